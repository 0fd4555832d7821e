#pragma once

#include <QSqlDatabase>
#include <QStringView>

/**
 * The list's search as an SQL function of the store's connections, so that a query picks the
 * matching rows before any of them becomes a Package:
 * packageSearchMatches(searchText, label, trackingNumber, carrierCode, notes) is 1 exactly when
 * PackageListRule::SearchMatcher matches those fields.
 */
namespace StoreSearch
{
/** The condition over the Package table, with one ? for the search text. */
inline constexpr QStringView condition = u"packageSearchMatches(?, label, trackingNumber, carrierCode, notes)";

/** Adds the function to an open SQLite connection; false when its driver is not SQLite's. */
[[nodiscard]] bool install(const QSqlDatabase &database);
}
