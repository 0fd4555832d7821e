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
{
    new FreedesktopApplication(this);
}

SingleInstance::Role SingleInstance::claim(QDBusConnection bus)
{
    m_role = Role::standalone;
    if (!bus.isConnected() || !bus.interface())
        return m_role;

    // The object goes on the bus before the name: a launcher that started Kestrove through
    // D-Bus activation calls Activate the moment the name is taken.
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAdaptors))
        LogManager::log(QStringLiteral("Could not export the activation object: ") + bus.lastError().message());
    claimName(bus);
    if (m_role != Role::primary)
        bus.unregisterObject(objectPath);
    return m_role;
}

void SingleInstance::claimName(QDBusConnection &bus)
{
    // Two rounds: the owner may end between our request and our call, freeing the name.
    for (int round = 0; round < 2; ++round) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
            serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            LogManager::log(QStringLiteral("Could not claim the session bus name: ") + reply.error().message());
            return;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_role = Role::primary;
            return;
        }

        // Someone else owns the name. The owner is another process, so waiting for its
        // answer here cannot deadlock; nothing else runs in this process yet.
        QDBusMessage call
            = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, QStringLiteral("Activate"));
        // Should the owner have just ended, the bus must not start another Kestrove from the
        // installed activation file: this start claims the name in the next round instead.
        call.setAutoStartService(false);
        QDBusPendingCall pending = bus.asyncCall(call, activateTimeoutMs);
        pending.waitForFinished();
        if (!pending.isError()) {
            m_role = Role::secondary;
            return;
        }
        const QDBusError error = pending.error();
        const bool ownerGone = error.type() == QDBusError::ServiceUnknown
            || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
        if (!ownerGone) {
            // The owner is alive but did not answer; still never run a second copy on the same store.
            LogManager::log(QStringLiteral("Kestrove is already running but did not answer: ") + error.message());
            m_role = Role::secondary;
            return;
        }
    }
}

void SingleInstance::Activate()
{
    requestActivation({});
}

void SingleInstance::requestActivation(const QVariantMap &platformData)
{
    // A Wayland launcher's token lets the window take the focus; Qt reads it from the environment.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    // Queued, so that the bus reply goes out before windows are built.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT activationRequested(); }, Qt::QueuedConnection);
}

FreedesktopApplication::FreedesktopApplication(SingleInstance *instance)
    : QDBusAbstractAdaptor(instance)
    , m_instance(instance)
{ }

void FreedesktopApplication::Activate(const QVariantMap &platformData)
{
    m_instance->requestActivation(platformData);
}

void FreedesktopApplication::Open(const QStringList & /*uris*/, const QVariantMap &platformData)
{
    m_instance->requestActivation(platformData);
}

void FreedesktopApplication::ActivateAction(const QString &name, const QVariantList & /*parameter*/,
                                            const QVariantMap & /*platformData*/)
{
    // Qt keeps the bus call's context on the adaptor's parent.
    m_instance->sendErrorReply(QDBusError::InvalidArgs,
                               QStringLiteral("Kestrove has no action named \"%1\"").arg(name));
}
