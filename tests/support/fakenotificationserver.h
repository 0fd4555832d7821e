#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

class FakeNotificationServerService;

/**
 * A stand-in for the desktop's notification server on the test session bus. It owns
 * "org.freedesktop.Notifications" at "/org/freedesktop/Notifications", answers
 * GetServerInformation, GetCapabilities, Notify and CloseNotification, and records every
 * call. It runs in its own thread on its own bus connection, so the code under test may
 * call it from the GUI thread without deadlocking.
 *
 * Typical use in a test slot:
 *
 *     FakeNotificationServer server;
 *     QVERIFY(server.start());
 *     ... code that posts notifications ...
 *     QTRY_COMPARE(server.notifications().size(), 1);
 *     server.invokeAction(server.notifications().first().id, QStringLiteral("default"));
 *
 * Every getter is thread-safe. Ids start at 1 and increase by one per Notify that does not
 * replace an existing notification; a Notify with the id of an open notification keeps it.
 */
class FakeNotificationServer : public QObject
{
    Q_OBJECT
public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");

    /** One Notify call, as received. */
    struct Notification {
        /** The id the server answered with. */
        quint32 id = 0;
        QString appName;
        quint32 replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        /** Pairs of action key and label, as on the bus. */
        QStringList actions;
        QVariantMap hints;
        qint32 expireTimeout = 0;
    };

    explicit FakeNotificationServer(QObject *parent = nullptr);
    /** Stops the server (if running) and its thread. */
    ~FakeNotificationServer() override;

    /**
     * Connects to the session bus in the server's thread and claims the service name; false
     * when there is no session bus or the name is taken. A stopped server may start again.
     */
    bool start(const QString &name = serviceName);
    /** Releases the name and closes the server's bus connection; the recorded calls stay. */
    void stop();
    [[nodiscard]] bool isRunning() const;

    /** Capabilities answered by GetCapabilities (default: "actions", "body", "sound"). */
    void setCapabilities(const QStringList &capabilities);
    /** Answers Notify with an org.freedesktop.DBus.Error.Failed error instead of an id. */
    void setFailNotify(bool fail);
    /** Delays the answers to Notify and GetServerInformation by this many milliseconds. */
    void setReplyDelay(int milliseconds);

    /** Every Notify call so far, in order of arrival. */
    [[nodiscard]] QList<Notification> notifications() const;
    /** How many times GetServerInformation was called. */
    [[nodiscard]] int serverInformationRequests() const;
    /** Forgets the recorded calls (the id counter keeps counting). */
    void clearLog();

    /** Emits ActionInvoked(id, actionKey) from the server's connection, as a click would. */
    void invokeAction(quint32 id, const QString &actionKey);
    /** Emits NotificationClosed(id, reason) (1 expired, 2 dismissed, 3 closed by call, 4 other). */
    void closeNotification(quint32 id, quint32 reason = 2);

private:
    friend class FakeNotificationServerService;
    quint32 record(Notification notification);
    void recordServerInformationRequest();
    bool sendSignal(const QString &name, const QVariantList &arguments);

    QThread m_thread;
    FakeNotificationServerService *m_service = nullptr;
    QString m_connectionName;

    mutable QMutex m_mutex;
    QStringList m_capabilities;
    bool m_failNotify = false;
    int m_replyDelay = 0;
    quint32 m_nextId = 1;
    QList<quint32> m_openIds;
    QList<Notification> m_notifications;
    int m_serverInformationRequests = 0;
};
