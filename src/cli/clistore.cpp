#include "cli/clistore.h"

#include "base/visibletext.h"
#include "model/modelcontainer.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <algorithm>

namespace Cli
{
ModelContext *openStore(Invocation &invocation)
{
    // Nothing but the groups at first: a command about one package reads just that package, and
    // whatever needs every package (fetchPackages()) reads the rest then.
    auto opened = ModelContainer::openShared(0);
    if (!opened) {
        fail(invocation, QStringLiteral("Could not create ModelContainer: ") + opened.error());
        return nullptr;
    }
    return opened.value();
}

QList<Package *> findPackages(ModelContext &context, const QString &number)
{
    const QString normalised = Package::normalizeTrackingNumber(number);
    const auto newestFirst = [](const Package &a, const Package &b) { return a.dateAdded() > b.dateAdded(); };
    for (const QString &candidate : {number, normalised}) {
        auto found = context.packagesWithTrackingNumber(candidate);
        if (found && !found.value().isEmpty()) {
            QList<Package *> packages = std::move(found).value();
            std::stable_sort(packages.begin(), packages.end(),
                             [&](const Package *a, const Package *b) { return newestFirst(*a, *b); });
            return packages;
        }
    }
    return {};
}

std::optional<NumberedPackages> findNumberedPackages(Invocation &invocation, const QCommandLineParser &parser,
                                                     int &exitCode)
{
    exitCode = Failure;
    ModelContext *context = openStore(invocation);
    if (!context)
        return std::nullopt;
    const QString number = parser.positionalArguments().constFirst();
    QList<Package *> found = findPackages(*context, number);
    if (found.isEmpty()) {
        fail(invocation, QStringLiteral("No package with tracking number ") + number);
        return std::nullopt;
    }
    exitCode = Success;
    const QString trackingNumber = found.constFirst()->trackingNumber();
    return NumberedPackages {context, trackingNumber, std::move(found)};
}

bool listOrder(const Package &a, const Package &b)
{
    if (a.isPinned() != b.isPinned())
        return a.isPinned();
    return a.dateAdded() > b.dateAdded();
}

QString shortDate(const QDateTime &date)
{
    if (!date.isValid())
        return QStringLiteral("-");
    return date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

void printPackageTable(QTextStream &out, const QList<Package *> &packages)
{
    qsizetype numberWidth = 0;
    qsizetype statusWidth = 0;
    qsizetype carrierWidth = 0;
    for (const Package *package : packages) {
        numberWidth = std::max(numberWidth, visibleText(package->trackingNumber()).size());
        statusWidth = std::max(statusWidth, TrackingStatuses::displayName(package->status()).size());
        carrierWidth = std::max(carrierWidth, visibleText(package->carrierDisplayName()).size());
    }
    for (const Package *package : packages) {
        QString line = (package->isPinned() ? QStringLiteral("* ") : QStringLiteral("  "))
            + visibleText(package->trackingNumber()).leftJustified(numberWidth) + QStringLiteral("  ")
            + TrackingStatuses::displayName(package->status()).leftJustified(statusWidth) + QStringLiteral("  ")
            + visibleText(package->carrierDisplayName()).leftJustified(carrierWidth) + QStringLiteral("  ")
            + visibleText(package->label());
        if (package->isArchived())
            line += QStringLiteral(" (archived)");
        while (line.endsWith(QLatin1Char(' '))) // an empty label leaves padding behind
            line.chop(1);
        out << line << '\n';
    }
}

void printPackageDetails(QTextStream &out, const Package &package)
{
    const auto row = [&](const QString &name, const QString &value) {
        out << QString(name + QLatin1Char(':')).leftJustified(20) << visibleText(value) << '\n';
    };
    const auto yesNo = [](bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); };
    out << visibleText(package.trackingNumber()) << '\n';
    row(QStringLiteral("Label"), package.label());
    row(QStringLiteral("Carrier"),
        package.carrierCode().isEmpty()
            ? QStringLiteral("-")
            : QStringLiteral("%1 (%2)").arg(package.carrierDisplayName(), package.carrierCode()));
    row(QStringLiteral("Status"), TrackingStatuses::displayName(package.status()));
    row(QStringLiteral("Estimated delivery"), shortDate(package.estimatedDelivery().value_or(QDateTime())));
    row(QStringLiteral("Added"), shortDate(package.dateAdded()));
    row(QStringLiteral("Last updated"), shortDate(package.lastUpdated()));
    row(QStringLiteral("Archived"), yesNo(package.isArchived()));
    row(QStringLiteral("Pinned"), yesNo(package.isPinned()));
    QStringList groups;
    for (const PackageGroup *group : package.groups())
        groups.append(group->name());
    row(QStringLiteral("Groups"), groups.isEmpty() ? QStringLiteral("-") : groups.join(u", "));
    if (package.colorTag())
        row(QStringLiteral("Colour tag"), *package.colorTag());
    if (!package.notes().isEmpty())
        row(QStringLiteral("Notes"), package.notes());
    if (package.lastErrorMessage())
        row(QStringLiteral("Last error"), *package.lastErrorMessage());

    const QList<TrackingEvent *> events = package.eventsNewestFirst();
    if (events.isEmpty()) {
        out << "\nNo events yet.\n";
        return;
    }
    out << "\nEvents, newest first:\n";
    for (const TrackingEvent *event : events) {
        QString line = QStringLiteral("  ") + shortDate(event->timestamp()) + QStringLiteral("  ")
            + TrackingStatuses::displayName(event->status()) + QStringLiteral("  ") + event->eventDescription();
        if (!event->location().isEmpty())
            line += QStringLiteral(" \u2014 ") + event->location();
        out << visibleText(line) << '\n';
    }
}
}
