#include "model/storesearch.h"

#include "model/packagelistrule.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace
{
/** The text of an argument; SQLite converts the stored UTF-8 once per value, NULL reads as empty. */
QStringView text(sqlite3_value *value)
{
    const void *utf16 = sqlite3_value_text16(value);
    if (!utf16)
        return {};
    return QStringView(static_cast<const char16_t *>(utf16), sqlite3_value_bytes16(value) / 2);
}

void searchMatches(sqlite3_context *context, int, sqlite3_value **arguments)
{
    // One matcher per statement: SQLite keeps it with the search text, a bound value, while the rows go by.
    auto *matcher = static_cast<PackageListRule::SearchMatcher *>(sqlite3_get_auxdata(context, 0));
    if (!matcher) {
        sqlite3_set_auxdata(context, 0, new PackageListRule::SearchMatcher(text(arguments[0]).toString()),
                            [](void *made) { delete static_cast<PackageListRule::SearchMatcher *>(made); });
        // set_auxdata frees the matcher at once when it cannot keep it.
        matcher = static_cast<PackageListRule::SearchMatcher *>(sqlite3_get_auxdata(context, 0));
        if (!matcher)
            return sqlite3_result_error_nomem(context);
    }
    sqlite3_result_int(
        context, matcher->matches(text(arguments[1]), text(arguments[2]), text(arguments[3]), text(arguments[4])));
}
}

namespace StoreSearch
{
bool install(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.data());
    return connection
        && sqlite3_create_function_v2(connection, "packageSearchMatches", 5, SQLITE_UTF16 | SQLITE_DETERMINISTIC,
                                      nullptr, searchMatches, nullptr, nullptr, nullptr)
        == SQLITE_OK;
}
}
