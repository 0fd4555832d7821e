#include "model/packagelistrule.h"

#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingstatus.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>

namespace
{
struct FilterInfo {
    PackageFilter filter;
    const char *raw;
    const char *label;
    const char *icon;
};

constexpr std::array<FilterInfo, 5> filterTable {{
    {PackageFilter::all, "all", "All", "shippingbox.fill"},
    {PackageFilter::inTransit, "inTransit", "Transit", "shippingbox"},
    {PackageFilter::delivered, "delivered", "Delivered", "checkmark.circle.fill"},
    {PackageFilter::exceptions, "exceptions", "Issues", "exclamationmark.triangle"},
    {PackageFilter::archived, "archived", "Archived", "archivebox"},
}};

struct SortInfo {
    PackageSortMode mode;
    const char *raw;
    const char *label;
    const char *icon;
};

constexpr std::array<SortInfo, 5> sortTable {{
    {PackageSortMode::lastUpdated, "lastUpdated", "Last Updated", "clock.arrow.circlepath"},
    {PackageSortMode::dateAdded, "dateAdded", "Date Added", "calendar.badge.plus"},
    {PackageSortMode::status, "status", "Status", "arrow.triangle.branch"},
    {PackageSortMode::carrier, "carrier", "Carrier", "shippingbox"},
    {PackageSortMode::estimatedDelivery, "estimatedDelivery", "Est. Delivery", "calendar"},
}};

const FilterInfo &info(PackageFilter filter)
{
    return filterTable[std::size_t(filter)];
}

const SortInfo &info(PackageSortMode mode)
{
    return sortTable[std::size_t(mode)];
}

/** Lower case in the user's locale, so that the search compares the way the user reads. */
QString folded(const QLocale &locale, const QString &text)
{
    return locale.toLower(text);
}

/** The search fields in their documented order; needle is already folded. */
bool containsFolded(const QLocale &locale, const Package &package, const QString &needle)
{
    return folded(locale, package.label()).contains(needle) || folded(locale, package.trackingNumber()).contains(needle)
        || folded(locale, package.carrierDisplayName()).contains(needle)
        || folded(locale, package.notes()).contains(needle);
}
}

namespace PackageFilters
{
const std::array<PackageFilter, 5> &allCases()
{
    static constexpr std::array<PackageFilter, 5> cases {PackageFilter::all, PackageFilter::inTransit,
                                                         PackageFilter::delivered, PackageFilter::exceptions,
                                                         PackageFilter::archived};
    return cases;
}

QString rawValue(PackageFilter filter)
{
    return QString::fromLatin1(info(filter).raw);
}

std::optional<PackageFilter> fromRawValue(QStringView raw)
{
    for (const FilterInfo &entry : filterTable) {
        if (raw == QLatin1String(entry.raw))
            return entry.filter;
    }
    return std::nullopt;
}

QString label(PackageFilter filter)
{
    return QString::fromLatin1(info(filter).label);
}

QString iconName(PackageFilter filter)
{
    return QString::fromLatin1(info(filter).icon);
}

bool matches(PackageFilter filter, const Package &package)
{
    const TrackingStatus status = package.status();
    switch (filter) {
    case PackageFilter::all:
        return !package.isArchived();
    case PackageFilter::inTransit:
        return !package.isArchived()
            && (status == TrackingStatus::inTransit || status == TrackingStatus::outForDelivery
                || status == TrackingStatus::pending);
    case PackageFilter::delivered:
        return !package.isArchived() && status == TrackingStatus::delivered;
    case PackageFilter::exceptions:
        return !package.isArchived()
            && (status == TrackingStatus::exception || status == TrackingStatus::failedAttempt);
    case PackageFilter::archived:
        return package.isArchived();
    }
    return false;
}
}

namespace PackageSortModes
{
const std::array<PackageSortMode, 5> &allCases()
{
    static constexpr std::array<PackageSortMode, 5> cases {PackageSortMode::lastUpdated, PackageSortMode::dateAdded,
                                                           PackageSortMode::status, PackageSortMode::carrier,
                                                           PackageSortMode::estimatedDelivery};
    return cases;
}

QString rawValue(PackageSortMode mode)
{
    return QString::fromLatin1(info(mode).raw);
}

std::optional<PackageSortMode> fromRawValue(QStringView raw)
{
    for (const SortInfo &entry : sortTable) {
        if (raw == QLatin1String(entry.raw))
            return entry.mode;
    }
    return std::nullopt;
}

QString label(PackageSortMode mode)
{
    return QString::fromLatin1(info(mode).label);
}

QString iconName(PackageSortMode mode)
{
    return QString::fromLatin1(info(mode).icon);
}
}

namespace ViewModes
{
const std::array<ViewMode, 2> &allCases()
{
    static constexpr std::array<ViewMode, 2> cases {ViewMode::list, ViewMode::calendar};
    return cases;
}

QString rawValue(ViewMode mode)
{
    return mode == ViewMode::list ? QStringLiteral("list") : QStringLiteral("calendar");
}

std::optional<ViewMode> fromRawValue(QStringView raw)
{
    if (raw == u"list")
        return ViewMode::list;
    if (raw == u"calendar")
        return ViewMode::calendar;
    return std::nullopt;
}

QString iconName(ViewMode mode)
{
    return mode == ViewMode::list ? QStringLiteral("list.bullet") : QStringLiteral("calendar");
}
}

namespace PackageListRule
{
bool matchesSearch(const Package &package, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    const QLocale locale;
    return containsFolded(locale, package, folded(locale, searchText));
}

void sort(QList<Package *> &packages, PackageSortMode mode)
{
    // Carrier names are compared with one collator for the whole sort, and computed once per package.
    QHash<const Package *, QString> carrierNames;
    QCollator collator;
    if (mode == PackageSortMode::carrier) {
        for (const Package *package : std::as_const(packages))
            carrierNames.insert(package, package->carrierDisplayName());
    }

    const auto comesFirst = [&](const Package *a, const Package *b) {
        if (a->isPinned() != b->isPinned())
            return a->isPinned();
        switch (mode) {
        case PackageSortMode::lastUpdated:
            return a->lastUpdated() > b->lastUpdated();
        case PackageSortMode::dateAdded:
            return a->dateAdded() > b->dateAdded();
        case PackageSortMode::status:
            return TrackingStatuses::sortRank(a->status()) < TrackingStatuses::sortRank(b->status());
        case PackageSortMode::carrier:
            return collator.compare(carrierNames.value(a), carrierNames.value(b)) < 0;
        case PackageSortMode::estimatedDelivery: {
            // A missing date counts as the distant future: after every dated package, tied with the others.
            const auto da = a->estimatedDelivery();
            const auto db = b->estimatedDelivery();
            if (!da || !db)
                return da.has_value() && !db.has_value();
            return *da < *db;
        }
        }
        return false;
    };
    std::stable_sort(packages.begin(), packages.end(), comesFirst);
}

QList<Package *> visiblePackages(const QList<Package *> &allPackages, const Criteria &criteria)
{
    QList<Package *> source;
    if (criteria.group) {
        source = criteria.group->packages();
    } else {
        source.reserve(allPackages.size());
        for (Package *package : allPackages) {
            if (package && PackageFilters::matches(criteria.filter, *package))
                source.append(package);
        }
    }

    if (!criteria.searchText.isEmpty()) {
        const QLocale locale;
        const QString needle = folded(locale, criteria.searchText);
        source.removeIf([&](const Package *package) { return !containsFolded(locale, *package, needle); });
    }

    sort(source, criteria.sortMode);
    return source;
}
}
