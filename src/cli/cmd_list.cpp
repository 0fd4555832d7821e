#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagejson.h"
#include "model/packagelistrule.h"
#include "model/packagestore.h"

#include <QJsonArray>

namespace
{
const auto synopsis = QStringLiteral("list [--filter F] [--group NAME] [--search TEXT] [--sort MODE] [--json]");

/** "a, b, c" of every raw value, for the error of an unknown one. */
template<typename Cases, typename Raw> QString validValues(const Cases &cases, Raw raw)
{
    QStringList values;
    for (const auto value : cases)
        values.append(raw(value));
    return values.join(QStringLiteral(", "));
}

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("filter"), QStringLiteral("status filter"), QStringLiteral("F")));
    parser.addOption(QCommandLineOption(QStringLiteral("group"), QStringLiteral("group name"), QStringLiteral("NAME")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("search"), QStringLiteral("search text"), QStringLiteral("TEXT")));
    parser.addOption(QCommandLineOption(QStringLiteral("sort"), QStringLiteral("sort mode"), QStringLiteral("MODE")));
    if (!Cli::parse(parser, invocation, QStringLiteral("list"), synopsis, 0, 0))
        co_return Cli::UsageError;

    // The main window's rule with the main window's defaults: the "all" filter (archived packages
    // only with --filter archived), sorted by last update, pinned first.
    PackageListRule::Criteria criteria;
    criteria.filter = PackageFilter::all;
    criteria.sortMode = PackageSortMode::lastUpdated;
    if (parser.isSet(QStringLiteral("filter"))) {
        const QString raw = parser.value(QStringLiteral("filter"));
        const auto filter = PackageFilters::fromRawValue(raw);
        if (!filter)
            co_return Cli::fail(invocation,
                                QStringLiteral("unknown filter \"%1\"; valid filters: %2")
                                    .arg(raw, validValues(PackageFilters::allCases(), PackageFilters::rawValue)),
                                Cli::UsageError);
        criteria.filter = *filter;
    }
    if (parser.isSet(QStringLiteral("sort"))) {
        const QString raw = parser.value(QStringLiteral("sort"));
        const auto mode = PackageSortModes::fromRawValue(raw);
        if (!mode)
            co_return Cli::fail(invocation,
                                QStringLiteral("unknown sort mode \"%1\"; valid sort modes: %2")
                                    .arg(raw, validValues(PackageSortModes::allCases(), PackageSortModes::rawValue)),
                                Cli::UsageError);
        criteria.sortMode = *mode;
    }
    criteria.searchText = parser.value(QStringLiteral("search"));

    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    if (parser.isSet(QStringLiteral("group"))) {
        const QString name = parser.value(QStringLiteral("group"));
        auto groups = PackageStore::fetchGroupsInOrder(*context,
                                                       [&](const PackageGroup &group) { return group.name() == name; });
        if (!groups)
            co_return Cli::fail(invocation, groups.error().description);
        if (groups.value().isEmpty())
            co_return Cli::fail(invocation, QStringLiteral("No group named ") + name);
        criteria.group = groups.value().constFirst();
    }
    // Only the rows shown are read from the store.
    auto visible = PackageStore::fetchVisiblePackages(*context, criteria);
    if (!visible)
        co_return Cli::fail(invocation, visible.error().description);
    const QList<Package *> &packages = visible.value();

    if (parser.isSet(QStringLiteral("json"))) {
        if (packages.isEmpty()) {
            invocation.out << "[]\n"; // QJsonDocument would spread an empty array over two lines
            invocation.out.flush();
            co_return Cli::Success;
        }
        QJsonArray array;
        for (const Package *package : packages)
            array.append(PackageJson::toJson(*package, PackageJson::Events::omit));
        Cli::printJson(invocation, array);
        co_return Cli::Success;
    }
    if (packages.isEmpty())
        invocation.out << "No packages.\n";
    else
        Cli::printPackageTable(invocation.out, packages);
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("list"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("list packages as the main window does (default: --filter all "
                                                "--sort lastUpdated, pinned first)"),
                      .order = 60,
                      .run = run})
