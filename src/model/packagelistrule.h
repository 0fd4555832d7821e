#pragma once

#include "model/trackingstatus.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <span>

class Package;
class PackageGroup;

/** The status filters of the main window's pills, in pill order. */
enum class PackageFilter {
    all,
    inTransit,
    delivered,
    exceptions,
    archived,
};

/** The sort orders of the list, in menu order. */
enum class PackageSortMode {
    lastUpdated,
    dateAdded,
    status,
    carrier,
    estimatedDelivery,
};

/** The main window's two layouts. */
enum class ViewMode {
    list,
    calendar,
};

namespace PackageFilters
{
/** Every case, in pill order. */
[[nodiscard]] const std::array<PackageFilter, 5> &allCases();
/** "all", "inTransit", "delivered", "exceptions", "archived". */
[[nodiscard]] QString rawValue(PackageFilter filter);
/** Exact, case-sensitive match of a raw value. */
[[nodiscard]] std::optional<PackageFilter> fromRawValue(QStringView raw);
/** The pill label ("Transit" for inTransit, "Issues" for exceptions). */
[[nodiscard]] QString label(PackageFilter filter);
/** System symbol name of the pill icon. */
[[nodiscard]] QString iconName(PackageFilter filter);
/** What a filter lets through: the archived packages or the others, and of those only these statuses. */
struct Rule {
    bool archived = false;
    std::span<const TrackingStatus> statuses; // every status when empty
};
/** The filter's rule, which matches() applies and the store's list query turns into SQL. */
[[nodiscard]] Rule rule(PackageFilter filter);
/** True when the package belongs under the filter (archived ones only under archived). */
[[nodiscard]] bool matches(PackageFilter filter, const Package &package);
}

namespace PackageSortModes
{
/** Every case, in menu order. */
[[nodiscard]] const std::array<PackageSortMode, 5> &allCases();
/** "lastUpdated", "dateAdded", "status", "carrier", "estimatedDelivery". */
[[nodiscard]] QString rawValue(PackageSortMode mode);
/** Exact, case-sensitive match of a raw value. */
[[nodiscard]] std::optional<PackageSortMode> fromRawValue(QStringView raw);
/** The menu label ("Est. Delivery" for estimatedDelivery). */
[[nodiscard]] QString label(PackageSortMode mode);
/** System symbol name of the menu icon. */
[[nodiscard]] QString iconName(PackageSortMode mode);
}

namespace ViewModes
{
/** Both cases: list, calendar. */
[[nodiscard]] const std::array<ViewMode, 2> &allCases();
/** "list" or "calendar". */
[[nodiscard]] QString rawValue(ViewMode mode);
/** Exact, case-sensitive match of a raw value. */
[[nodiscard]] std::optional<ViewMode> fromRawValue(QStringView raw);
/** System symbol name of the segment icon. */
[[nodiscard]] QString iconName(ViewMode mode);
}

/**
 * The rule that turns the stored packages into the visible list, shared by the main window
 * and `kestrove-cli list`: source set (the selected group's members, else the filter), search,
 * then a stable sort with pinned packages first.
 */
namespace PackageListRule
{
struct Criteria {
    PackageFilter filter = PackageFilter::all;
    /** When set, its members in stored order replace the filtered set, archived ones included. */
    const PackageGroup *group = nullptr;
    QString searchText;
    PackageSortMode sortMode = PackageSortMode::lastUpdated;
};

/**
 * The visible list. allPackages is the caller's query of every package; its order is the order
 * that ties keep when no group is selected.
 */
[[nodiscard]] QList<Package *> visiblePackages(const QList<Package *> &allPackages, const Criteria &criteria);

/** True when the text is empty or found, case-insensitively in the user's locale, in label, number, carrier name or
 * notes. */
[[nodiscard]] bool matchesSearch(const Package &package, const QString &searchText);

/** The search of the visible list for one search text; the store's list query runs it on the stored columns. */
class SearchMatcher
{
public:
    explicit SearchMatcher(const QString &searchText);

    [[nodiscard]] bool matches(const Package &package);
    /** The same test on a package's stored fields: its carrier's display name comes from the code. */
    [[nodiscard]] bool matches(QStringView label, QStringView trackingNumber, QStringView carrierCode,
                               QStringView notes);

private:
    [[nodiscard]] bool contains(QStringView field) const;
    bool carrierMatches(QStringView carrierCode);

    const QLocale m_locale;
    const QString m_needle;
    const bool m_needleIsAscii;
    const bool m_localeLowersAsciiPlainly;
    // By stored carrier code. An ordered map: seeded hashing of short texts costs more than a few
    // comparisons of them.
    std::map<QString, bool, std::less<>> m_carrierMatches;
};

/** Sorts stably in place: pinned first, then by the mode; ties keep their order. */
void sort(QList<Package *> &packages, PackageSortMode mode);
}
