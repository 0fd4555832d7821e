#pragma once

#include "model/preferences.h"
#include "model/trackingstatus.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <qcoro/qcorotask.h>

#include <limits>
#include <optional>

class Clock;
class Package;
class QDBusMessage;
class QDBusPendingCallWatcher;

/**
 * Turns status changes of packages into desktop notifications (org.freedesktop.Notifications
 * on the session bus) and the user's clicks on them into the signals openPackageDetailRequested()
 * and markDeliveredRequested().
 *
 * Only the tracking service calls the three notify operations, after a result changed a
 * package's status: notifyDelivered() for delivered, notifyException() for failedAttempt and
 * exception, notifyStatusChange() for every other new status. Each one checks the switches
 * and quiet hours, builds the notification and hands it to the server asynchronously; none
 * blocks, returns a result or fails. Without a notification server (no bus, nobody owning the
 * name, an error answer) the notification is lost and a line is logged.
 *
 * Lives on the GUI thread. Preferences are read at every call, so settings take effect at once.
 */
class NotificationService : public QObject
{
    Q_OBJECT
public:
    /** Category identifiers, as the actions are grouped. */
    static inline const QString deliveryCategory = QStringLiteral("DELIVERY");
    static inline const QString statusChangeCategory = QStringLiteral("STATUS_CHANGE");
    static inline const QString exceptionCategory = QStringLiteral("EXCEPTION");
    /** Action identifiers; "default" is the server's key for a click on the notification itself. */
    static inline const QString openAction = QStringLiteral("OPEN_ACTION");
    static inline const QString viewDetailsAction = QStringLiteral("VIEW_DETAILS_ACTION");
    static inline const QString markDeliveredAction = QStringLiteral("MARK_DELIVERED_ACTION");
    static inline const QString defaultAction = QStringLiteral("default");
    /** The well-known name of the desktop's notification server. */
    static inline const QString defaultServiceName = QStringLiteral("org.freedesktop.Notifications");

    /** One action button: its identifier, its title, and whether it brings the application forward. */
    struct Action {
        QString identifier;
        QString title;
        bool foreground = false;
    };
    /** A registered category and its actions in order. */
    struct Category {
        QString identifier;
        QList<Action> actions;
    };

    /**
     * A service on the given bus, reading preferences and clock (both required) at every use.
     * serviceName is the notification server's bus name (tests may name one nobody owns).
     */
    NotificationService(const QDBusConnection &bus, Preferences *preferences, Clock *clock,
                        const QString &serviceName = defaultServiceName, QObject *parent = nullptr);
    ~NotificationService() override;

    /** Posts "Package Delivered!" for the package, unless a switch or quiet hours stop it. */
    void notifyDelivered(const Package &package);
    /** Posts "Delivery Exception" for the package, unless a switch or quiet hours stop it. */
    void notifyException(const Package &package);
    /** Posts "Status Update" with "Old → New", unless a switch or quiet hours stop it. */
    void notifyStatusChange(const Package &package, TrackingStatus oldStatus, TrackingStatus newStatus);

    /**
     * Asks whether a notification server answers (GetServerInformation). Notifications are posted
     * the same way whatever the answer; callers may ignore it. Never throws.
     */
    QCoro::Task<bool> requestAuthorization();

    /** True when quiet hours are on and the current local time of day falls inside them. */
    [[nodiscard]] bool isInQuietHours() const;

    /** The three categories with their actions, in registration order. */
    [[nodiscard]] static const QList<Category> &categories();

    /**
     * The request identifier of a status change at the clock's current time; never one given
     * before, even for two changes within the clock's millisecond.
     */
    [[nodiscard]] QString statusChangeIdentifier(const QString &trackingNumber);

    /** The six preference-backed switches; each reads the preferences on every call. */
    [[nodiscard]] bool notificationsEnabled() const { return m_notificationsEnabled.value(); }
    [[nodiscard]] bool notifyOnStatusChange() const { return m_notifyOnStatusChange.value(); }
    [[nodiscard]] bool soundNotificationsEnabled() const { return m_soundNotificationsEnabled.value(); }
    [[nodiscard]] bool quietHoursEnabled() const { return m_quietHoursEnabled.value(); }
    [[nodiscard]] double quietHoursStart() const { return m_quietHoursStart.value(); }
    [[nodiscard]] double quietHoursEnd() const { return m_quietHoursEnd.value(); }

Q_SIGNALS:
    /** A notification server accepted a request (tests and diagnostics). */
    void posted(const QString &requestIdentifier, quint32 serverId);
    /** A request was lost: no bus, no server, or an error answer. */
    void postFailed(const QString &requestIdentifier, const QString &reason);
    /** The user clicked a notification of this package, or its "Open in Kestrove" or "View Details". */
    void openPackageDetailRequested(const QString &trackingNumber);
    /** The user chose "Mark Delivered" on a notification of this package. */
    void markDeliveredRequested(const QString &trackingNumber);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message);
    void onNotificationClosed(uint id, uint reason, const QDBusMessage &message);

private:
    enum class Kind {
        delivered,
        exception,
        statusChange,
    };

    // The content of one notification before it is mapped onto the bus.
    struct Content {
        QString title;
        QString subtitle;
        QString body;
        QString categoryIdentifier;
        QVariantMap userInfo;
        bool sound = false;
        bool timeSensitive = false;
    };

    struct Request {
        QString identifier;
        Content content;
    };

    /** What the service remembers per request identifier, for replacement. */
    struct Slot {
        quint32 serverId = 0;
        bool inFlight = false;
        std::optional<Request> queued;
    };

    /** What the service remembers per server id, to answer actions. */
    struct Posted {
        QString requestIdentifier;
        QString trackingNumber;
        QString server; // unique bus name of the server that gave the id
    };

    [[nodiscard]] Content deliveredContent(const Package &package) const;
    [[nodiscard]] Content exceptionContent(const Package &package) const;
    [[nodiscard]] Content statusChangeContent(const Package &package, TrackingStatus oldStatus,
                                              TrackingStatus newStatus) const;
    [[nodiscard]] bool passesGates(const Package &package, Kind kind) const;
    void add(Request request);
    void dispatch(Request request);
    void send(const Request &request, quint32 replacesId);
    void onNotifyFinished(QDBusPendingCallWatcher *watcher, const Request &request);
    void onCapabilitiesFinished(QDBusPendingCallWatcher *watcher);
    [[nodiscard]] QDBusMessage notifyMessage(const Request &request, quint32 replacesId) const;
    void forget(quint32 serverId);

    QDBusConnection m_bus;
    QString m_serviceName;
    Clock *m_clock;
    AppStorageBacked<bool> m_notificationsEnabled;
    AppStorageBacked<bool> m_notifyOnStatusChange;
    AppStorageBacked<bool> m_soundNotificationsEnabled;
    AppStorageBacked<bool> m_quietHoursEnabled;
    AppStorageBacked<double> m_quietHoursStart;
    AppStorageBacked<double> m_quietHoursEnd;

    // The server's capabilities decide whether the body is sent as markup; asked once before
    // the first notification and again after a failure (the server may have changed).
    std::optional<QStringList> m_capabilities;
    bool m_capabilitiesRequested = false;
    QList<Request> m_waitingForCapabilities;

    QHash<QString, Slot> m_slots;
    QHash<quint32, Posted> m_posted;
    // The time written into the last status-change identifier, in seconds since 1970.
    double m_lastStatusChangeSeconds = -std::numeric_limits<double>::infinity();
};
