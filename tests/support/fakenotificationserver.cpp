#include "fakenotificationserver.h"

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QMutexLocker>
#include <QTimer>

namespace
{
QAtomicInt s_instanceCounter;
}

/** The object exported on the bus; lives in the server's thread. */
class FakeNotificationServerService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotificationServerService(FakeNotificationServer &owner, QString connectionName)
        : m_owner(owner)
        , m_connectionName(std::move(connectionName))
    { }

    /** Returns the connection's unique name, or an empty text on failure. */
    QString registerOnBus(const QString &name)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
        if (!bus.isConnected())
            return {};
        if (!bus.registerObject(FakeNotificationServer::objectPath, this, QDBusConnection::ExportAllSlots))
            return {};
        if (!bus.registerService(name))
            return {};
        m_name = name;
        return bus.baseService();
    }

    void unregisterFromBus()
    {
        QDBusConnection bus(m_connectionName);
        if (!m_name.isEmpty())
            bus.unregisterService(m_name);
        bus.unregisterObject(FakeNotificationServer::objectPath);
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

public Q_SLOTS:
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        m_owner.recordServerInformationRequest();
        vendor = QStringLiteral("Kestrove tests");
        version = QStringLiteral("1.0");
        specVersion = QStringLiteral("1.2");
        const QString serverName = QStringLiteral("FakeNotificationServer");
        if (const int delay = replyDelay(); delay > 0) {
            setDelayedReply(true);
            QDBusMessage reply = message().createReply({serverName, vendor, version, specVersion});
            sendLater(reply, delay);
        }
        return serverName;
    }

    QStringList GetCapabilities()
    {
        QMutexLocker lock(&m_owner.m_mutex);
        return m_owner.m_capabilities;
    }

    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        bool fail = false;
        {
            QMutexLocker lock(&m_owner.m_mutex);
            fail = m_owner.m_failNotify;
        }
        if (fail) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("Notifications are switched off"));
            return 0;
        }
        const quint32 id = m_owner.record(
            {0, appName, replacesId, appIcon, summary, body, actions, hints, static_cast<qint32>(expireTimeout)});
        if (const int delay = replyDelay(); delay > 0) {
            setDelayedReply(true);
            sendLater(message().createReply(QVariant::fromValue(uint(id))), delay);
        }
        return id;
    }

    void CloseNotification(uint id)
    {
        // As a real server does: a notification closed by a call reports reason 3.
        m_owner.closeNotification(id, 3);
    }

private:
    int replyDelay() const
    {
        QMutexLocker lock(&m_owner.m_mutex);
        return m_owner.m_replyDelay;
    }

    void sendLater(const QDBusMessage &reply, int delay)
    {
        QTimer::singleShot(delay, this, [name = m_connectionName, reply] { QDBusConnection(name).send(reply); });
    }

    FakeNotificationServer &m_owner;
    QString m_connectionName;
    QString m_name;
};

FakeNotificationServer::FakeNotificationServer(QObject *parent)
    : QObject(parent)
    , m_connectionName(
          QStringLiteral("kestrove-fake-notification-server-%1").arg(s_instanceCounter.fetchAndAddRelaxed(1)))
    , m_capabilities {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("sound")}
{
    m_thread.setObjectName(QStringLiteral("FakeNotificationServer"));
}

FakeNotificationServer::~FakeNotificationServer()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

bool FakeNotificationServer::start(const QString &name)
{
    if (m_service)
        return true;
    if (!m_thread.isRunning())
        m_thread.start();
    m_service = new FakeNotificationServerService(*this, m_connectionName);
    m_service->moveToThread(&m_thread);
    QString unique;
    QMetaObject::invokeMethod(
        m_service, [this, &unique, &name] { unique = m_service->registerOnBus(name); }, Qt::BlockingQueuedConnection);
    if (unique.isEmpty())
        stop();
    return !unique.isEmpty();
}

void FakeNotificationServer::stop()
{
    if (!m_service)
        return;
    QMetaObject::invokeMethod(
        m_service,
        [service = m_service] {
            service->unregisterFromBus();
            delete service;
        },
        Qt::BlockingQueuedConnection);
    m_service = nullptr;
    QMutexLocker lock(&m_mutex);
    m_openIds.clear();
}

bool FakeNotificationServer::isRunning() const
{
    return m_service != nullptr;
}

void FakeNotificationServer::setCapabilities(const QStringList &capabilities)
{
    QMutexLocker lock(&m_mutex);
    m_capabilities = capabilities;
}

void FakeNotificationServer::setFailNotify(bool fail)
{
    QMutexLocker lock(&m_mutex);
    m_failNotify = fail;
}

void FakeNotificationServer::setReplyDelay(int milliseconds)
{
    QMutexLocker lock(&m_mutex);
    m_replyDelay = milliseconds;
}

QList<FakeNotificationServer::Notification> FakeNotificationServer::notifications() const
{
    QMutexLocker lock(&m_mutex);
    return m_notifications;
}

int FakeNotificationServer::serverInformationRequests() const
{
    QMutexLocker lock(&m_mutex);
    return m_serverInformationRequests;
}

void FakeNotificationServer::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_notifications.clear();
    m_serverInformationRequests = 0;
}

void FakeNotificationServer::invokeAction(quint32 id, const QString &actionKey)
{
    sendSignal(QStringLiteral("ActionInvoked"), {QVariant::fromValue(uint(id)), actionKey});
}

void FakeNotificationServer::closeNotification(quint32 id, quint32 reason)
{
    {
        QMutexLocker lock(&m_mutex);
        m_openIds.removeAll(id);
    }
    sendSignal(QStringLiteral("NotificationClosed"),
               {QVariant::fromValue(uint(id)), QVariant::fromValue(uint(reason))});
}

quint32 FakeNotificationServer::record(Notification notification)
{
    quint32 id = 0;
    {
        QMutexLocker lock(&m_mutex);
        // Replacing keeps the id of an open notification; an unknown or closed one gets a new id.
        if (notification.replacesId != 0 && m_openIds.contains(notification.replacesId)) {
            id = notification.replacesId;
        } else {
            id = m_nextId++;
            m_openIds.append(id);
        }
        notification.id = id;
        m_notifications.append(notification);
    }
    return id;
}

void FakeNotificationServer::recordServerInformationRequest()
{
    QMutexLocker lock(&m_mutex);
    ++m_serverInformationRequests;
}

bool FakeNotificationServer::sendSignal(const QString &name, const QVariantList &arguments)
{
    if (!m_service)
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(objectPath, interfaceName, name);
    signal.setArguments(arguments);
    // Sending is thread-safe; it goes out on the server's own connection, so its sender is the server.
    return QDBusConnection(m_connectionName).send(signal);
}

#include "fakenotificationserver.moc"
