#include "model/packagelistrule.h"

#include "carriers/carrier.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingstatus.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <map>
#include <vector>

namespace
{
/** One case of a list enumeration: its stored raw string, menu or pill label, and symbol. */
template<typename Enum> struct CaseInfo {
    Enum value;
    const char *raw;
    const char *label;
    const char *icon;
};

/** Every case in declaration order, so that a case indexes its own row. */
template<typename Enum, std::size_t N> struct CaseTable {
    std::array<CaseInfo<Enum>, N> rows;

    [[nodiscard]] const CaseInfo<Enum> &operator[](Enum value) const { return rows[std::size_t(value)]; }

    [[nodiscard]] std::optional<Enum> fromRawValue(QStringView raw) const
    {
        for (const CaseInfo<Enum> &row : rows) {
            if (raw == QLatin1String(row.raw))
                return row.value;
        }
        return std::nullopt;
    }
};

constexpr CaseTable<PackageFilter, 5> filterTable {{{
    {PackageFilter::all, "all", "All", "shippingbox.fill"},
    {PackageFilter::inTransit, "inTransit", "Transit", "shippingbox"},
    {PackageFilter::delivered, "delivered", "Delivered", "checkmark.circle.fill"},
    {PackageFilter::exceptions, "exceptions", "Issues", "exclamationmark.triangle"},
    {PackageFilter::archived, "archived", "Archived", "archivebox"},
}}};

constexpr CaseTable<PackageSortMode, 5> sortTable {{{
    {PackageSortMode::lastUpdated, "lastUpdated", "Last Updated", "clock.arrow.circlepath"},
    {PackageSortMode::dateAdded, "dateAdded", "Date Added", "calendar.badge.plus"},
    {PackageSortMode::status, "status", "Status", "arrow.triangle.branch"},
    {PackageSortMode::carrier, "carrier", "Carrier", "shippingbox"},
    {PackageSortMode::estimatedDelivery, "estimatedDelivery", "Est. Delivery", "calendar"},
}}};

template<typename Enum, std::size_t N> constexpr bool inDeclarationOrder(const CaseTable<Enum, N> &table)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (std::size_t(table.rows[i].value) != i)
            return false;
    }
    return true;
}
static_assert(inDeclarationOrder(filterTable) && inDeclarationOrder(sortTable));

/** True when every character is plain ASCII. */
bool isAscii(QStringView text)
{
    // No early exit: the loop vectorises, and the fields are short.
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

/** Whether the ASCII text, lower-cased letter by letter, contains the needle. */
bool asciiLowerContains(QStringView text, QStringView needle)
{
    const qsizetype length = needle.size();
    if (length == 0)
        return true;
    if (length > text.size())
        return false;
    const char16_t *haystack = text.utf16();
    const char16_t *wanted = needle.utf16();
    for (qsizetype start = 0, last = text.size() - length; start <= last; ++start) {
        if (asciiLower(haystack[start]) != wanted[0])
            continue;
        qsizetype i = 1;
        while (i < length && asciiLower(haystack[start + i]) == wanted[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

/**
 * The position of each stored carrier code's display name in the collator's ascending order;
 * equal names share a position. Comparing positions orders exactly as comparing the names, but
 * each distinct name is collated a few times instead of at every step of the sort.
 */
std::map<QString, int> carrierRanks(const QList<Package *> &packages)
{
    std::map<QString, QString> nameByCode;
    for (const Package *package : packages) {
        const QString code = package->carrierCode();
        if (nameByCode.find(code) == nameByCode.end())
            nameByCode.emplace(code, package->carrierDisplayName());
    }
    QStringList names;
    for (const auto &[code, name] : nameByCode)
        names.append(name);
    names.removeDuplicates();
    const QCollator collator;
    std::sort(names.begin(), names.end(),
              [&collator](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    std::map<QString, int> rankByName;
    int rank = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0 && collator.compare(names.at(i - 1), names.at(i)) != 0)
            ++rank;
        rankByName.emplace(names.at(i), rank);
    }
    std::map<QString, int> rankByCode;
    for (const auto &[code, name] : nameByCode)
        rankByCode.emplace(code, rankByName.at(name));
    return rankByCode;
}

/** A package with its sort key read once, so that the comparisons copy nothing. */
struct SortEntry {
    Package *package = nullptr;
    bool pinned = false;
    int rank = 0; // status or carrier position; 1 for a missing estimated delivery, 0 otherwise
    QDateTime date;
};
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
    return QString::fromLatin1(filterTable[filter].raw);
}

std::optional<PackageFilter> fromRawValue(QStringView raw)
{
    return filterTable.fromRawValue(raw);
}

QString label(PackageFilter filter)
{
    return QString::fromLatin1(filterTable[filter].label);
}

QString iconName(PackageFilter filter)
{
    return QString::fromLatin1(filterTable[filter].icon);
}

Rule rule(PackageFilter filter)
{
    static constexpr TrackingStatus inTransit[]
        = {TrackingStatus::inTransit, TrackingStatus::outForDelivery, TrackingStatus::pending};
    static constexpr TrackingStatus delivered[] = {TrackingStatus::delivered};
    static constexpr TrackingStatus exceptions[] = {TrackingStatus::exception, TrackingStatus::failedAttempt};
    switch (filter) {
    case PackageFilter::all:
        return {};
    case PackageFilter::inTransit:
        return {false, inTransit};
    case PackageFilter::delivered:
        return {false, delivered};
    case PackageFilter::exceptions:
        return {false, exceptions};
    case PackageFilter::archived:
        return {true, {}};
    }
    return {};
}

bool matches(PackageFilter filter, const Package &package)
{
    const Rule filterRule = rule(filter);
    return package.isArchived() == filterRule.archived
        && (filterRule.statuses.empty()
            || std::ranges::find(filterRule.statuses, package.status()) != filterRule.statuses.end());
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
    return QString::fromLatin1(sortTable[mode].raw);
}

std::optional<PackageSortMode> fromRawValue(QStringView raw)
{
    return sortTable.fromRawValue(raw);
}

QString label(PackageSortMode mode)
{
    return QString::fromLatin1(sortTable[mode].label);
}

QString iconName(PackageSortMode mode)
{
    return QString::fromLatin1(sortTable[mode].icon);
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
/*
 * A package matches when the text, lower-cased in the user's locale, is contained in one of its
 * fields lower-cased the same way. Lower-casing a field is the expensive part of a keystroke, so it
 * is avoided where the result is known without it:
 * - ASCII text lower-cases to its ASCII lower case in every locale that maps A-Z onto a-z (all but
 *   a few, such as Turkish with its dotless i; checked once per search). There the raw field is
 *   searched with its letters lower-cased on the fly, which finds exactly what the lower-cased
 *   field would contain; a needle with other than ASCII characters cannot occur in it at all.
 * - The carrier's display name depends only on the stored carrier code, so it is looked up and
 *   compared once per code and search, not once per package.
 */
SearchMatcher::SearchMatcher(const QString &searchText)
    : m_needle(m_locale.toLower(searchText))
    , m_needleIsAscii(isAscii(m_needle))
    , m_localeLowersAsciiPlainly(m_locale.toLower(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
                                 == QLatin1String("abcdefghijklmnopqrstuvwxyz"))
{ }

// The fields in their documented order, both times: label, tracking number, carrier name, notes.
// A package's fields are copied only as far as the first match.
bool SearchMatcher::matches(const Package &package)
{
    return contains(package.label()) || contains(package.trackingNumber()) || carrierMatches(package.carrierCode())
        || contains(package.notes());
}

bool SearchMatcher::matches(QStringView label, QStringView trackingNumber, QStringView carrierCode, QStringView notes)
{
    return contains(label) || contains(trackingNumber) || carrierMatches(carrierCode) || contains(notes);
}

bool SearchMatcher::contains(QStringView field) const
{
    if (m_localeLowersAsciiPlainly && isAscii(field))
        return m_needleIsAscii && asciiLowerContains(field, m_needle);
    return m_locale.toLower(field.toString()).contains(m_needle);
}

bool SearchMatcher::carrierMatches(QStringView carrierCode)
{
    auto known = m_carrierMatches.find(carrierCode);
    if (known == m_carrierMatches.end()) {
        const QString code = carrierCode.toString();
        known = m_carrierMatches.emplace(code, contains(Carrier::displayName(code))).first;
    }
    return known->second;
}

bool matchesSearch(const Package &package, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    return SearchMatcher(searchText).matches(package);
}

void sort(QList<Package *> &packages, PackageSortMode mode)
{
    const std::map<QString, int> carrierRank
        = mode == PackageSortMode::carrier ? carrierRanks(packages) : std::map<QString, int>();
    std::vector<SortEntry> entries;
    entries.reserve(std::size_t(packages.size()));
    for (Package *package : std::as_const(packages)) {
        SortEntry entry;
        entry.package = package;
        entry.pinned = package->isPinned();
        switch (mode) {
        case PackageSortMode::lastUpdated:
            entry.date = package->lastUpdated();
            break;
        case PackageSortMode::dateAdded:
            entry.date = package->dateAdded();
            break;
        case PackageSortMode::status:
            entry.rank = TrackingStatuses::sortRank(package->status());
            break;
        case PackageSortMode::carrier:
            entry.rank = carrierRank.at(package->carrierCode());
            break;
        case PackageSortMode::estimatedDelivery:
            // A missing date counts as the distant future: after every dated package, tied with the others.
            if (const auto date = package->estimatedDelivery())
                entry.date = *date;
            else
                entry.rank = 1;
            break;
        }
        entries.push_back(entry);
    }

    const auto comesFirst = [mode](const SortEntry &a, const SortEntry &b) {
        if (a.pinned != b.pinned)
            return a.pinned;
        switch (mode) {
        case PackageSortMode::lastUpdated:
        case PackageSortMode::dateAdded:
            return a.date > b.date; // later first
        case PackageSortMode::status:
        case PackageSortMode::carrier:
            return a.rank < b.rank;
        case PackageSortMode::estimatedDelivery:
            return a.rank != b.rank ? a.rank < b.rank : a.date < b.date;
        }
        return false;
    };
    std::stable_sort(entries.begin(), entries.end(), comesFirst);
    for (std::size_t i = 0; i < entries.size(); ++i)
        packages[qsizetype(i)] = entries[i].package;
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
        SearchMatcher matcher(criteria.searchText);
        source.removeIf([&matcher](const Package *package) { return !matcher.matches(*package); });
    }

    sort(source, criteria.sortMode);
    return source;
}
}
