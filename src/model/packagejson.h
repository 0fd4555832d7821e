#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class Package;
class TrackingEvent;

/** JSON forms of the records, keyed by their property names (the command-line front end, exports, tests). */
namespace PackageJson
{
enum class Events {
    omit,
    newestFirst,
};

/** ISO 8601 with the UTC offset ("2026-06-15T12:00:00+02:00"); milliseconds only when present. Null when invalid. */
[[nodiscard]] QJsonValue date(const QDateTime &date);
/** Every stored property, groups by name, and (unless omitted) "events" newest first. */
[[nodiscard]] QJsonObject toJson(const Package &package, Events events = Events::newestFirst);
[[nodiscard]] QJsonObject toJson(const TrackingEvent &event);
}
