#pragma once

#include "model/trackingevent.h"
#include "model/trackingstatus.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class ModelContext;
class PackageGroup;

/**
 * One tracked shipment. Observable: every setter that changes a value emits changed(), and the
 * owning ModelContext remembers which stored columns changed so that a save writes only those.
 * Create it, then hand it to ModelContext::insert(), which takes ownership.
 */
class Package : public QObject
{
    Q_OBJECT
public:
    /** The stored columns, in schema order: one list that the store derives everything from (recordcolumns.h). */
    struct Columns;

    /**
     * A new, uninserted package: dateAdded and lastUpdated are Clock::shared()->now(), isArchived false,
     * the optional values absent, the notification flags true, true, false, true, isPinned false.
     */
    explicit Package(const QString &trackingNumber, const QString &carrierCode, const QString &label = {},
                     TrackingStatus status = TrackingStatus::pending,
                     const std::optional<QDateTime> &estimatedDelivery = std::nullopt, const QString &notes = {},
                     QObject *parent = nullptr);
    ~Package() override;

    /** The stored form of an entered number: upper-cased, every space and hyphen removed, nothing else. */
    [[nodiscard]] static QString normalizeTrackingNumber(const QString &entered);

    [[nodiscard]] QString trackingNumber() const { return m_trackingNumber; }
    [[nodiscard]] QString carrierCode() const { return m_carrierCode; }
    [[nodiscard]] QString label() const { return m_label; }
    [[nodiscard]] TrackingStatus status() const { return m_status; }
    [[nodiscard]] std::optional<QDateTime> estimatedDelivery() const { return m_estimatedDelivery; }
    [[nodiscard]] QDateTime dateAdded() const { return m_dateAdded; }
    [[nodiscard]] QDateTime lastUpdated() const { return m_lastUpdated; }
    [[nodiscard]] bool isArchived() const { return m_isArchived; }
    [[nodiscard]] QString notes() const { return m_notes; }
    [[nodiscard]] std::optional<QString> lastErrorMessage() const { return m_lastErrorMessage; }
    [[nodiscard]] std::optional<QString> colorTag() const { return m_colorTag; }
    [[nodiscard]] std::optional<double> customRefreshInterval() const { return m_customRefreshInterval; }
    [[nodiscard]] bool notificationsEnabled() const { return m_notificationsEnabled; }
    [[nodiscard]] bool notifyOnStatusChange() const { return m_notifyOnStatusChange; }
    [[nodiscard]] bool notifyOnLocationUpdate() const { return m_notifyOnLocationUpdate; }
    [[nodiscard]] bool notifyOnEstimatedDeliveryChange() const { return m_notifyOnEstimatedDeliveryChange; }
    [[nodiscard]] bool isPinned() const { return m_isPinned; }
    /** The user's picture; read from its file beside the store on first access. */
    [[nodiscard]] std::optional<QByteArray> customImageData() const;
    /** True when a picture is set, without reading it. */
    [[nodiscard]] bool hasCustomImage() const;

    void setTrackingNumber(const QString &value);
    void setCarrierCode(const QString &value);
    void setLabel(const QString &value);
    void setStatus(TrackingStatus value);
    void setEstimatedDelivery(const std::optional<QDateTime> &value);
    void setDateAdded(const QDateTime &value);
    void setLastUpdated(const QDateTime &value);
    void setArchived(bool value);
    void setNotes(const QString &value);
    void setLastErrorMessage(const std::optional<QString> &value);
    void setColorTag(const std::optional<QString> &value);
    void setCustomRefreshInterval(const std::optional<double> &value);
    void setNotificationsEnabled(bool value);
    void setNotifyOnStatusChange(bool value);
    void setNotifyOnLocationUpdate(bool value);
    void setNotifyOnEstimatedDeliveryChange(bool value);
    void setPinned(bool value);
    void setCustomImageData(const std::optional<QByteArray> &value);

    /** The events in list order (append order); read from the store on first access. */
    [[nodiscard]] const QList<TrackingEvent *> &events() const;
    /** The events sorted by timestamp, newest first; equal timestamps keep list order. */
    [[nodiscard]] QList<TrackingEvent *> eventsNewestFirst() const;
    /** The event with the greatest timestamp (the earlier one in the list on ties); nullptr without events. Cheap. */
    [[nodiscard]] TrackingEvent *latestEvent() const;
    /** True when the package has at least one event; does not load the event list. */
    [[nodiscard]] bool hasEvents() const { return latestEvent() != nullptr; }
    /** Takes ownership of a detached event, sets its package and appends it; returns it. */
    TrackingEvent *appendEvent(std::unique_ptr<TrackingEvent> event);

    /** The groups this package belongs to (inverse of PackageGroup::packages()). */
    [[nodiscard]] const QList<PackageGroup *> &groups() const { return m_groups; }
    /** Adds the package to the group, on both sides; nothing when it is a member already. */
    void addToGroup(PackageGroup *group);
    /** Removes the package from the group, on both sides. */
    void removeFromGroup(PackageGroup *group);
    /** Makes the memberships exactly these groups. */
    void setGroups(const QList<PackageGroup *> &groups);
    /** Whether the package belongs to a group with this group's id. */
    [[nodiscard]] bool isInGroup(const PackageGroup &group) const;
    /** Leaves every group with this group's id when a member, else joins the group. */
    void toggleGroup(PackageGroup *group);

    /** Polled and refreshed: not archived and still in flight (neither delivered nor expired). */
    [[nodiscard]] bool isActive() const { return !m_isArchived && TrackingStatuses::isInFlight(m_status); }

    /** The catalogue's display name of the normalised carrier code, else the stored code upper-cased. */
    [[nodiscard]] QString carrierDisplayName() const;

    /** Removes this package from every group's member list (matching by identity), then empties groups(). */
    void prepareForDeletion();

    /** The context that owns this package; nullptr before insert() and once it was deleted. */
    [[nodiscard]] ModelContext *modelContext() const { return m_context; }
    /** The store's row id; 0 until the first save that writes it. */
    [[nodiscard]] qint64 persistentId() const { return m_rowId; }
    /** True once the package was deleted from its context (the object stays valid until the context goes). */
    [[nodiscard]] bool isDeleted() const { return m_deleted; }

Q_SIGNALS:
    /** A stored property, the event list, an event's coordinates or the group memberships changed. */
    void changed();

private:
    friend class ModelContext;
    friend class PackageGroup;
    friend class StoreMerge;
    friend class StoreSave;
    friend class PictureFiles;
    friend class TrackingEvent;

    struct LoadTag {
    };
    Package(LoadTag, QObject *parent); // rows loaded by the store

    /** Sets a stored member; a change marks its column dirty and emits changed(). */
    template<auto Member, typename T> void assign(const T &value);
    void markDirty(int column);
    /** The stored picture file changed under the record: the bytes are read again on next access. */
    void pictureFileReplaced();
    void eventChanged(TrackingEvent *event);
    void ensureEventsLoaded() const;
    void linkGroup(PackageGroup *group);
    void unlinkGroup(PackageGroup *group);

    QString m_trackingNumber;
    QString m_carrierCode;
    QString m_label;
    TrackingStatus m_status = TrackingStatus::pending;
    std::optional<QDateTime> m_estimatedDelivery;
    QDateTime m_dateAdded;
    QDateTime m_lastUpdated;
    bool m_isArchived = false;
    QString m_notes;
    std::optional<QString> m_lastErrorMessage;
    std::optional<QString> m_colorTag;
    std::optional<double> m_customRefreshInterval;
    bool m_notificationsEnabled = true;
    bool m_notifyOnStatusChange = true;
    bool m_notifyOnLocationUpdate = false;
    bool m_notifyOnEstimatedDeliveryChange = true;
    bool m_isPinned = false;

    // The picture: bytes once read or set; the stored column names the file (in the folder beside
    // the store) that holds the saved bytes.
    mutable std::optional<QByteArray> m_imageData;
    mutable bool m_imageLoaded = true;
    std::optional<QString> m_imageFile;
    QString m_imageDirectory;

    // Events load on first access. Until then m_latestEvent may hold the one row the context
    // read for list rows; loading adopts that object so that identity is kept.
    mutable QList<TrackingEvent *> m_events;
    mutable bool m_eventsLoaded = true;
    mutable TrackingEvent *m_latestEvent = nullptr;
    mutable bool m_latestValid = true;
    mutable std::unique_ptr<TrackingEvent> m_preloadedLatest;

    QList<PackageGroup *> m_groups;

    ModelContext *m_context = nullptr;
    qint64 m_rowId = 0;
    quint32 m_dirty = 0;
    bool m_hasEventChanges = false;
    bool m_deleted = false;
};
