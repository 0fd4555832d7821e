#include "app/singleinstance.h"

#include "base/logmanager.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QMetaObject>

namespace
{
// Long enough for a busy first instance to answer, short enough that a hung one does not
// keep the second start waiting visibly.
constexpr int activateTimeoutMs = 5000;
}

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{ }

SingleInstance::Role SingleInstance::claim(QDBusConnection bus)
{
    m_role = Role::standalone;
    if (!bus.isConnected() || !bus.interface())
        return m_role;

    // Two rounds: the owner may end between our request and our call, freeing the name.
    for (int round = 0; round < 2; ++round) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
            serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            LogManager::log(QStringLiteral("Could not claim the session bus name: ") + reply.error().message());
            return m_role;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
                LogManager::log(QStringLiteral("Could not export the activation object: ") + bus.lastError().message());
            }
            m_role = Role::primary;
            return m_role;
        }

        // Someone else owns the name. The owner is another process, so waiting for its
        // answer here cannot deadlock; nothing else runs in this process yet.
        const QDBusMessage call
            = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, QStringLiteral("Activate"));
        QDBusPendingCall pending = bus.asyncCall(call, activateTimeoutMs);
        pending.waitForFinished();
        if (!pending.isError()) {
            m_role = Role::secondary;
            return m_role;
        }
        const QDBusError error = pending.error();
        const bool ownerGone = error.type() == QDBusError::ServiceUnknown
            || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
        if (!ownerGone) {
            // The owner is alive but did not answer; still never run a second copy on the same store.
            LogManager::log(QStringLiteral("Kestrove is already running but did not answer: ") + error.message());
            m_role = Role::secondary;
            return m_role;
        }
    }
    return m_role;
}

void SingleInstance::Activate()
{
    // Queued, so that the bus reply goes out before windows are built.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT activationRequested(); }, Qt::QueuedConnection);
}
