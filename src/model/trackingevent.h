#pragma once

#include "model/trackingstatus.h"

#include <QDateTime>
#include <QString>

#include <optional>

class ModelContext;
class Package;

/**
 * One scan event of a package, as the carrier reported it. A plain class rather than a
 * QObject because a store holds hundreds of thousands of them; observers watch the owning
 * Package, whose changed() fires when an event is appended or geocoded.
 * Owned by its Package once appended (Package::appendEvent); deleted with it.
 */
class TrackingEvent
{
public:
    /** The stored columns, in schema order: one list that the store derives everything from (recordcolumns.h). */
    struct Columns;

    /** A detached event; package(), latitude() and longitude() stay absent until it is appended and geocoded. */
    TrackingEvent(const QDateTime &timestamp, TrackingStatus status, const QString &eventDescription,
                  const QString &location = {}, const QString &rawStatusCode = {});
    TrackingEvent(const TrackingEvent &) = delete;
    TrackingEvent &operator=(const TrackingEvent &) = delete;

    /** The owning package; nullptr until appended. */
    [[nodiscard]] Package *package() const { return m_package; }
    [[nodiscard]] QDateTime timestamp() const { return m_timestamp; }
    [[nodiscard]] TrackingStatus status() const { return m_status; }
    [[nodiscard]] QString eventDescription() const { return m_eventDescription; }
    [[nodiscard]] QString location() const { return m_location; }
    [[nodiscard]] QString rawStatusCode() const { return m_rawStatusCode; }
    [[nodiscard]] std::optional<double> latitude() const { return m_latitude; }
    [[nodiscard]] std::optional<double> longitude() const { return m_longitude; }

    /** Geocoding result; the only edit an event gets after it was recorded. */
    void setCoordinates(std::optional<double> latitude, std::optional<double> longitude);

    /** The store's row id; 0 until the first save that writes it. */
    [[nodiscard]] qint64 persistentId() const { return m_rowId; }

private:
    friend class ModelContext;
    friend class Package;
    friend class StoreMerge;
    friend class StoreSave;

    TrackingEvent() = default; // rows loaded by the store

    Package *m_package = nullptr;
    QDateTime m_timestamp;
    TrackingStatus m_status = TrackingStatus::unknown;
    QString m_eventDescription;
    QString m_location;
    QString m_rawStatusCode;
    std::optional<double> m_latitude;
    std::optional<double> m_longitude;
    qint64 m_rowId = 0;
    quint32 m_dirty = 0; // bits of the columns changed since the last save (only the coordinates change)
};
