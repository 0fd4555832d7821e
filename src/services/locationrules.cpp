#include "services/locationrules.h"

#include "model/trackingevent.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <array>

namespace LocationRules
{
namespace
{
// Removed in this order; a later phrase is searched in what the earlier removals left.
constexpr std::array facilityPhrases {
    "PROCESSING & DISTRIBUTION CENTER",
    "PROCESSING AND DISTRIBUTION CENTER",
    "NETWORK DISTRIBUTION CENTER",
    "DISTRIBUTION CENTER",
    "REGIONAL ORIGIN FACILITY",
    "REGIONAL FACILITY",
    "PROCESSING CENTER",
    "SORTING CENTER",
    "POST OFFICE",
    "DELIVERY UNIT",
};

// Descriptions are scanned only this far: a place worth a pin is named early, and the patterns
// would otherwise take quadratic time on a pasted log of thousands of characters.
constexpr qsizetype maxDescriptionScan = 500;

const QSet<QString> &usStates()
{
    static const QSet<QString> states = [] {
        QSet<QString> set;
        for (const char *code :
             {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA", "HI", "ID", "IL", "IN", "IA", "KS", "KY",
              "LA", "ME", "MD", "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND",
              "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY", "DC"})
            set.insert(QString::fromLatin1(code));
        return set;
    }();
    return states;
}

// Country names that alone are too vague for a pin, in lower case.
const QSet<QString> &countryNames()
{
    static const QSet<QString> names = [] {
        QSet<QString> set;
        for (const char *name : {"afghanistan",
                                 "albania",
                                 "algeria",
                                 "angola",
                                 "argentina",
                                 "australia",
                                 "austria",
                                 "azerbaijan",
                                 "bangladesh",
                                 "belarus",
                                 "belgium",
                                 "bolivia",
                                 "brazil",
                                 "bulgaria",
                                 "cambodia",
                                 "cameroon",
                                 "canada",
                                 "chile",
                                 "china",
                                 "colombia",
                                 "croatia",
                                 "cuba",
                                 "czech republic",
                                 "czechia",
                                 "denmark",
                                 "ecuador",
                                 "egypt",
                                 "ethiopia",
                                 "finland",
                                 "france",
                                 "germany",
                                 "ghana",
                                 "greece",
                                 "guatemala",
                                 "hong kong",
                                 "hungary",
                                 "india",
                                 "indonesia",
                                 "iran",
                                 "iraq",
                                 "ireland",
                                 "israel",
                                 "italy",
                                 "japan",
                                 "jordan",
                                 "kazakhstan",
                                 "kenya",
                                 "kuwait",
                                 "laos",
                                 "latvia",
                                 "lebanon",
                                 "libya",
                                 "lithuania",
                                 "luxembourg",
                                 "malaysia",
                                 "mexico",
                                 "morocco",
                                 "myanmar",
                                 "nepal",
                                 "netherlands",
                                 "new zealand",
                                 "nigeria",
                                 "norway",
                                 "oman",
                                 "pakistan",
                                 "panama",
                                 "paraguay",
                                 "peru",
                                 "philippines",
                                 "poland",
                                 "portugal",
                                 "qatar",
                                 "romania",
                                 "russia",
                                 "saudi arabia",
                                 "senegal",
                                 "serbia",
                                 "singapore",
                                 "slovakia",
                                 "slovenia",
                                 "somalia",
                                 "south africa",
                                 "south korea",
                                 "spain",
                                 "sri lanka",
                                 "sudan",
                                 "sweden",
                                 "switzerland",
                                 "syria",
                                 "taiwan",
                                 "tanzania",
                                 "thailand",
                                 "tunisia",
                                 "turkey",
                                 "uganda",
                                 "ukraine",
                                 "united arab emirates",
                                 "united kingdom",
                                 "united states",
                                 "uruguay",
                                 "uzbekistan",
                                 "venezuela",
                                 "vietnam",
                                 "yemen",
                                 "zambia",
                                 "zimbabwe"})
            set.insert(QString::fromLatin1(name));
        return set;
    }();
    return names;
}

QString trimmed(QStringView text, QStringView characters)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && characters.contains(text.at(start)))
        ++start;
    while (end > start && characters.contains(text.at(end - 1)))
        --end;
    return text.sliced(start, end - start).toString();
}

QString trimSpacesAndTabs(QStringView text)
{
    return trimmed(text, u" \t");
}

// Carrier feeds sometimes carry control characters (tabs, NULs, escape codes); they separate words.
QString withoutControlCharacters(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    }
    return text;
}
}

QString cleanLocation(const QString &text)
{
    static const QRegularExpression zip(QStringLiteral("\\b\\d{5}(-\\d{4})?\\b"));
    static const QRegularExpression cityStateAtEnd(QStringLiteral("^([A-Za-z\\s\\.]+?)\\s+([A-Z]{2})(?:,?\\s+US)?$"));

    QString cleaned = withoutControlCharacters(text);
    for (const char *phrase : facilityPhrases) {
        const qsizetype at = cleaned.indexOf(QLatin1String(phrase), 0, Qt::CaseInsensitive);
        if (at >= 0)
            cleaned.remove(at, qsizetype(qstrlen(phrase)));
    }
    cleaned.remove(zip);
    cleaned = trimmed(cleaned.simplified(), u", ");

    // A text this long is no place name; skipping the pattern keeps its cost linear.
    if (cleaned.size() > maxPlaceLength)
        return cleaned;
    const QRegularExpressionMatch match = cityStateAtEnd.match(cleaned);
    if (match.hasMatch() && usStates().contains(match.captured(2)))
        return trimSpacesAndTabs(match.capturedView(1)) + QStringLiteral(", ") + match.captured(2)
            + QStringLiteral(", US");
    return cleaned;
}

bool isSpecificLocation(const QString &text)
{
    const QString place = trimSpacesAndTabs(text);
    if (place.size() < 3 || place.size() > maxPlaceLength)
        return false;
    // Punctuation and digits alone name no place.
    if (std::none_of(place.cbegin(), place.cend(), [](QChar c) { return c.isLetter(); }))
        return false;
    if (place.size() == 3 && place == place.toUpper())
        return false;
    if (countryNames().contains(place.toLower()))
        return false;
    if (place.contains(QLatin1Char(',')))
        return true;
    return place.split(QLatin1Char(' '), Qt::SkipEmptyParts).size() > 1;
}

std::optional<QString> extractLocation(const QString &description)
{
    static const QRegularExpression cityStateZip(QStringLiteral("([A-Za-z\\s\\.]+),\\s*([A-Z]{2})\\b\\s*(\\d{5})?"));
    static const QRegularExpression prepositionCityState(
        QStringLiteral("(?:in|at|to|from|via)\\s+([A-Z][A-Za-z\\s\\.]+?)\\s+([A-Z]{2})\\b"));

    const QString text = withoutControlCharacters(description.left(maxDescriptionScan));
    const QRegularExpressionMatch first = cityStateZip.match(text);
    if (first.hasMatch()) {
        const QString city = trimSpacesAndTabs(first.capturedView(1));
        if (!city.isEmpty() && usStates().contains(first.captured(2)))
            return city + QStringLiteral(", ") + first.captured(2);
    }
    const QRegularExpressionMatch second = prepositionCityState.match(text);
    if (second.hasMatch() && usStates().contains(second.captured(2))) {
        const QString city = trimSpacesAndTabs(second.capturedView(1));
        if (city.size() >= 3)
            return city + QStringLiteral(", ") + second.captured(2);
    }
    return std::nullopt;
}

std::optional<QString> geocodeString(const TrackingEvent &event)
{
    if (!event.location().isEmpty()) {
        const QString cleaned = cleanLocation(event.location());
        if (isSpecificLocation(cleaned))
            return cleaned;
    }
    return extractLocation(event.eventDescription());
}

QString placeKey(const QString &placeText)
{
    return placeText.simplified().toLower();
}

CameraPosition computeSmartCameraPosition(const QList<GeocodedEvent> &events)
{
    if (events.isEmpty())
        return std::nullopt;
    double minLatitude = events.first().coordinate.latitude;
    double maxLatitude = minLatitude;
    double minLongitude = events.first().coordinate.longitude;
    double maxLongitude = minLongitude;
    for (const GeocodedEvent &pin : events) {
        minLatitude = std::min(minLatitude, pin.coordinate.latitude);
        maxLatitude = std::max(maxLatitude, pin.coordinate.latitude);
        minLongitude = std::min(minLongitude, pin.coordinate.longitude);
        maxLongitude = std::max(maxLongitude, pin.coordinate.longitude);
    }
    const double latitudeSpan = maxLatitude - minLatitude;
    const double longitudeSpan = maxLongitude - minLongitude;
    const GeoCoordinate boxCenter {(minLatitude + maxLatitude) / 2, (minLongitude + maxLongitude) / 2};

    if (latitudeSpan <= 10.0 && longitudeSpan <= 20.0)
        return CameraRegion {boxCenter, std::max(2.0, 1.5 * latitudeSpan), std::max(2.0, 1.5 * longitudeSpan)};

    // A long route: the newest half says where the parcel is now, so the camera leans towards it.
    QList<GeocodedEvent> byTime = events;
    std::stable_sort(byTime.begin(), byTime.end(), [](const GeocodedEvent &a, const GeocodedEvent &b) {
        return a.event->timestamp() < b.event->timestamp();
    });
    const qsizetype newestCount = std::max<qsizetype>(1, byTime.size() / 2);
    double latitudeSum = 0;
    double longitudeSum = 0;
    for (qsizetype i = byTime.size() - newestCount; i < byTime.size(); ++i) {
        latitudeSum += byTime.at(i).coordinate.latitude;
        longitudeSum += byTime.at(i).coordinate.longitude;
    }
    const GeoCoordinate center {0.3 * boxCenter.latitude + 0.7 * latitudeSum / double(newestCount),
                                0.3 * boxCenter.longitude + 0.7 * longitudeSum / double(newestCount)};
    return CameraRegion {center, std::max(15.0, 1.4 * latitudeSpan), std::max(25.0, 1.4 * longitudeSpan)};
}
}
