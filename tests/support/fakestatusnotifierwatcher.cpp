#include "fakestatusnotifierwatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutexLocker>

namespace
{
const QString connectionName = QStringLiteral("kestrove-fake-status-notifier-watcher");
}

/** The object exported on the bus; lives in the watcher's thread. */
class FakeStatusNotifierWatcherService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    explicit FakeStatusNotifierWatcherService(FakeStatusNotifierWatcher &owner)
        : m_owner(owner)
    { }

    bool registerOnBus()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
        if (!bus.isConnected())
            return false;
        if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this, QDBusConnection::ExportAllContents))
            return false;
        return bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }

    void unregisterFromBus()
    {
        QDBusConnection bus(connectionName);
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(connectionName);
    }

    [[nodiscard]] bool isHostRegistered() const { return true; }
    [[nodiscard]] int protocolVersion() const { return 0; }
    [[nodiscard]] QStringList items() const { return m_owner.registeredItems(); }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service)
    {
        // Items may pass their object path only; the sender's name then identifies them.
        QString name = service;
        if (service.startsWith(QLatin1Char('/')) && calledFromDBus())
            name = message().service() + service;
        m_owner.addItem(name);
        Q_EMIT StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString &) { }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    FakeStatusNotifierWatcher &m_owner;
};

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("FakeStatusNotifierWatcher"));
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    if (m_service) {
        QMetaObject::invokeMethod(
            m_service,
            [service = m_service] {
                service->unregisterFromBus();
                delete service;
            },
            Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}

bool FakeStatusNotifierWatcher::start()
{
    if (m_service)
        return true;
    m_thread.start();
    m_service = new FakeStatusNotifierWatcherService(*this);
    m_service->moveToThread(&m_thread);
    bool registered = false;
    QMetaObject::invokeMethod(
        m_service, [this, &registered] { registered = m_service->registerOnBus(); }, Qt::BlockingQueuedConnection);
    return registered;
}

QStringList FakeStatusNotifierWatcher::registeredItems() const
{
    QMutexLocker lock(&m_mutex);
    return m_items;
}

void FakeStatusNotifierWatcher::addItem(const QString &service)
{
    {
        QMutexLocker lock(&m_mutex);
        m_items.append(service);
    }
    Q_EMIT itemRegistered(service);
}

#include "fakestatusnotifierwatcher.moc"
