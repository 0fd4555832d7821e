#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

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

/** Sorts stably in place: pinned first, then by the mode; ties keep their order. */
void sort(QList<Package *> &packages, PackageSortMode mode);
}
