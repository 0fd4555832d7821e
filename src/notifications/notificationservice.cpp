#include "notifications/notificationservice.h"

#include "base/clock.h"
#include "base/logmanager.h"
#include "model/package.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <qcoro/qcorodbuspendingcall.h>

#include <cmath>
#include <limits>

namespace
{
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
const QString appName = QStringLiteral("Kestrove");
const QString appIcon = QStringLiteral("package-x-generic");
const QString desktopEntry = QStringLiteral("com.kestrove.app");
const QString soundName = QStringLiteral("message-new-instant");
// The user-info key under which a notification remembers its package.
const QString trackingNumberKey = QStringLiteral("trackingNumber");
// A server that does not answer within this time is treated as absent; nothing waits for it.
constexpr int callTimeoutMs = 10000;
// Urgency levels of the notification protocol.
constexpr uchar urgencyNormal = 1;
constexpr uchar urgencyCritical = 2;

QString labelOrNumber(const Package &package)
{
    return package.label().isEmpty() ? package.trackingNumber() : package.label();
}

QVariantMap userInfoFor(const Package &package)
{
    return {{trackingNumberKey, package.trackingNumber()}};
}

const NotificationService::Category *findCategory(const QString &identifier)
{
    for (const auto &category : NotificationService::categories()) {
        if (category.identifier == identifier)
            return &category;
    }
    return nullptr;
}
}

NotificationService::NotificationService(const QDBusConnection &bus, Preferences *preferences, Clock *clock,
                                         const QString &serviceName, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(serviceName)
    , m_clock(clock)
    , m_notificationsEnabled(PreferenceKeys::notificationsEnabled, true, preferences)
    , m_notifyOnStatusChange(PreferenceKeys::notifyOnStatusChange, true, preferences)
    , m_soundNotificationsEnabled(PreferenceKeys::soundNotifications, true, preferences)
    , m_quietHoursEnabled(PreferenceKeys::quietHoursEnabled, false, preferences)
    , m_quietHoursStart(PreferenceKeys::quietHoursStart, 79200, preferences)
    , m_quietHoursEnd(PreferenceKeys::quietHoursEnd, 25200, preferences)
{
    if (!m_bus.isConnected())
        return;
    // No sender in the match: naming the well-known name would make QtDBus resolve its owner with
    // a blocking call. Signals are matched to our notifications by id and by the sender that gave
    // the id instead, so other applications' notifications are never answered.
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString, QDBusMessage)));
    m_bus.connect(QString(), objectPath, interfaceName, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint, QDBusMessage)));
}

NotificationService::~NotificationService() = default;

const QList<NotificationService::Category> &NotificationService::categories()
{
    static const Action open {openAction, QStringLiteral("Open in Kestrove"), true};
    static const Action viewDetails {viewDetailsAction, QStringLiteral("View Details"), true};
    static const Action markDelivered {markDeliveredAction, QStringLiteral("Mark Delivered"), false};
    static const QList<Category> table = {
        {deliveryCategory, {open}},
        {statusChangeCategory, {viewDetails, markDelivered}},
        {exceptionCategory, {viewDetails}},
    };
    return table;
}

void NotificationService::notifyDelivered(const Package &package)
{
    if (!passesGates(package, Kind::delivered))
        return;
    add({QStringLiteral("delivered-") + package.trackingNumber(), deliveredContent(package)});
}

void NotificationService::notifyException(const Package &package)
{
    if (!passesGates(package, Kind::exception))
        return;
    add({QStringLiteral("exception-") + package.trackingNumber(), exceptionContent(package)});
}

void NotificationService::notifyStatusChange(const Package &package, TrackingStatus oldStatus, TrackingStatus newStatus)
{
    if (!passesGates(package, Kind::statusChange))
        return;
    add({statusChangeIdentifier(package.trackingNumber()), statusChangeContent(package, oldStatus, newStatus)});
}

bool NotificationService::passesGates(const Package &package, Kind kind) const
{
    if (!notificationsEnabled())
        return false;
    if (kind == Kind::statusChange && !notifyOnStatusChange())
        return false;
    if (!package.notificationsEnabled())
        return false;
    if (kind == Kind::statusChange && !package.notifyOnStatusChange())
        return false;
    // Dropped, not deferred: nothing re-posts it when quiet hours end.
    return !isInQuietHours();
}

bool NotificationService::isInQuietHours() const
{
    if (!quietHoursEnabled())
        return false;
    // Elapsed seconds since local midnight, not the wall-clock reading: the settings window stores
    // the chosen times the same way, and on a day with a clock change both sides agree on it.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime now = m_clock->now().toTimeZone(zone);
    const double t = double(now.date().startOfDay(zone).msecsTo(now)) / 1000.0;
    const double start = quietHoursStart();
    const double end = quietHoursEnd();
    if (end < start)
        return t >= start || t < end;
    return start <= t && t < end;
}

NotificationService::Content NotificationService::deliveredContent(const Package &package) const
{
    Content content;
    content.title = QStringLiteral("Package Delivered!");
    content.subtitle = labelOrNumber(package);
    content.body
        = QStringLiteral("Your package from ") + package.carrierDisplayName() + QStringLiteral(" has been delivered.");
    content.categoryIdentifier = deliveryCategory;
    content.userInfo = userInfoFor(package);
    content.sound = true;
    content.timeSensitive = true;
    return content;
}

NotificationService::Content NotificationService::exceptionContent(const Package &package) const
{
    Content content;
    content.title = QStringLiteral("Delivery Exception");
    content.subtitle = labelOrNumber(package);
    content.body
        = QStringLiteral("There is a problem with your ") + package.carrierDisplayName() + QStringLiteral(" shipment.");
    content.categoryIdentifier = exceptionCategory;
    content.userInfo = userInfoFor(package);
    content.sound = soundNotificationsEnabled();
    content.timeSensitive = true;
    return content;
}

NotificationService::Content NotificationService::statusChangeContent(const Package &package, TrackingStatus oldStatus,
                                                                      TrackingStatus newStatus) const
{
    Content content;
    content.title = QStringLiteral("Status Update");
    content.subtitle = labelOrNumber(package);
    content.body = TrackingStatuses::displayName(oldStatus) + QStringLiteral(" \u2192 ")
        + TrackingStatuses::displayName(newStatus);
    content.categoryIdentifier = statusChangeCategory;
    content.userInfo = userInfoFor(package);
    content.sound = soundNotificationsEnabled();
    content.timeSensitive = false;
    return content;
}

QString NotificationService::statusChangeIdentifier(const QString &trackingNumber)
{
    // Seconds since 1970 in the shortest text that reads back as the same double, always with a
    // fractional part ("1781524800.0"), so that two status changes never share an identifier.
    double seconds = double(m_clock->now().toMSecsSinceEpoch()) / 1000.0;
    // The clock counts milliseconds: a second change within the same one (two packages with one
    // number in a batch) would replace the first notification. The next double after the last
    // time given is the current time to a fraction of a microsecond, and new.
    if (seconds <= m_lastStatusChangeSeconds)
        seconds = std::nextafter(m_lastStatusChangeSeconds, std::numeric_limits<double>::infinity());
    m_lastStatusChangeSeconds = seconds;
    QString text = QString::number(seconds, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return QStringLiteral("status-") + trackingNumber + QLatin1Char('-') + text;
}

void NotificationService::add(Request request)
{
    if (!m_bus.isConnected()) {
        const QString reason = QStringLiteral("no session bus");
        LogManager::log(QStringLiteral("Failed to post notification ") + request.identifier + QStringLiteral(": ")
                        + reason);
        Q_EMIT postFailed(request.identifier, reason);
        return;
    }
    if (m_capabilities) {
        dispatch(std::move(request));
        return;
    }
    m_waitingForCapabilities.append(std::move(request));
    if (m_capabilitiesRequested)
        return;
    m_capabilitiesRequested = true;
    const QDBusMessage call
        = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &NotificationService::onCapabilitiesFinished);
}

void NotificationService::onCapabilitiesFinished(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    m_capabilitiesRequested = false;
    const QDBusPendingReply<QStringList> reply = *watcher;
    if (!reply.isError())
        m_capabilities = reply.value();
    // Without an answer the requests go out anyway: a server may still take them, and a missing
    // one is reported per request.
    const QList<Request> waiting = std::exchange(m_waitingForCapabilities, {});
    for (const Request &request : waiting)
        dispatch(request);
}

void NotificationService::dispatch(Request request)
{
    Slot &slot = m_slots[request.identifier];
    if (slot.inFlight) {
        // The server's id for this identifier is not known yet; send the newer content once it
        // is, so that it replaces the first notification instead of appearing beside it.
        slot.queued = std::move(request);
        return;
    }
    slot.inFlight = true;
    send(request, slot.serverId);
}

QDBusMessage NotificationService::notifyMessage(const Request &request, quint32 replacesId) const
{
    const Content &content = request.content;
    QStringList actions;
    if (const Category *category = findCategory(content.categoryIdentifier)) {
        // A click on the notification itself is the "default" action; servers do not show it as a
        // button, but some list its title, so it carries the first button's.
        if (!category->actions.isEmpty())
            actions << defaultAction << category->actions.first().title;
        for (const Action &action : category->actions)
            actions << action.identifier << action.title;
    }

    QVariantMap hints;
    hints.insert(QStringLiteral("category"),
                 QString(QStringLiteral("x-kestrove.") + content.categoryIdentifier.toLower()));
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(content.timeSensitive ? urgencyCritical : urgencyNormal));
    if (content.sound)
        hints.insert(QStringLiteral("sound-name"), soundName);
    else
        hints.insert(QStringLiteral("suppress-sound"), true);

    // A server that understands markup would read "<" or "&" in a label as markup.
    const bool markup = m_capabilities && m_capabilities->contains(QStringLiteral("body-markup"));
    const QString body = markup ? content.subtitle.toHtmlEscaped() + QLatin1Char('\n') + content.body.toHtmlEscaped()
                                : content.subtitle + QLatin1Char('\n') + content.body;

    QDBusMessage call
        = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName, QStringLiteral("Notify"));
    call << appName << uint(replacesId) << appIcon << content.title << body << actions << hints << int(-1);
    return call;
}

void NotificationService::send(const Request &request, quint32 replacesId)
{
    auto *watcher
        = new QDBusPendingCallWatcher(m_bus.asyncCall(notifyMessage(request, replacesId), callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request](QDBusPendingCallWatcher *finished) { onNotifyFinished(finished, request); });
}

void NotificationService::onNotifyFinished(QDBusPendingCallWatcher *watcher, const Request &request)
{
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    auto it = m_slots.find(request.identifier);
    if (it == m_slots.end())
        return;
    it->inFlight = false;

    if (reply.isError()) {
        const QString reason = reply.error().message().isEmpty() ? QDBusError::errorString(reply.error().type())
                                                                 : reply.error().message();
        LogManager::log(QStringLiteral("Failed to post notification ") + request.identifier + QStringLiteral(": ")
                        + reason);
        // The server may have gone or changed; ask the next one what it can do.
        m_capabilities.reset();
        Q_EMIT postFailed(request.identifier, reason);
    } else {
        const quint32 serverId = reply.value();
        if (it->serverId != 0 && it->serverId != serverId)
            m_posted.remove(it->serverId);
        it->serverId = serverId;
        const QVariant number = request.content.userInfo.value(trackingNumberKey);
        m_posted.insert(serverId,
                        {request.identifier, number.typeId() == QMetaType::QString ? number.toString() : QString(),
                         reply.reply().service()});
        Q_EMIT posted(request.identifier, serverId);
    }

    // Emitting may have changed the table; look the slot up again.
    it = m_slots.find(request.identifier);
    if (it == m_slots.end() || it->inFlight)
        return;
    if (it->queued) {
        Request next = std::move(*it->queued);
        it->queued.reset();
        dispatch(std::move(next));
    } else if (it->serverId == 0) {
        m_slots.erase(it);
    }
}

void NotificationService::onActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message)
{
    const auto it = m_posted.constFind(id);
    if (it == m_posted.constEnd() || it->server != message.service())
        return;
    const QString trackingNumber = it->trackingNumber;
    if (trackingNumber.isEmpty())
        return;
    if (actionKey == markDeliveredAction)
        Q_EMIT markDeliveredRequested(trackingNumber);
    else if (actionKey == openAction || actionKey == viewDetailsAction || actionKey == defaultAction)
        Q_EMIT openPackageDetailRequested(trackingNumber);
}

void NotificationService::onNotificationClosed(uint id, uint reason, const QDBusMessage &message)
{
    Q_UNUSED(reason)
    const auto it = m_posted.constFind(id);
    if (it == m_posted.constEnd() || it->server != message.service())
        return;
    forget(id);
}

void NotificationService::forget(quint32 serverId)
{
    const Posted posted = m_posted.take(serverId);
    auto slot = m_slots.find(posted.requestIdentifier);
    if (slot == m_slots.end() || slot->serverId != serverId)
        return;
    // A closed notification cannot be replaced; the next one with this identifier is new.
    slot->serverId = 0;
    if (!slot->inFlight && !slot->queued)
        m_slots.erase(slot);
}

QCoro::Task<bool> NotificationService::requestAuthorization()
{
    if (!m_bus.isConnected()) {
        LogManager::log(QStringLiteral("Notification server not available: no session bus"));
        co_return false;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName,
                                                             QStringLiteral("GetServerInformation"));
    const QDBusMessage reply = co_await m_bus.asyncCall(call, callTimeoutMs);
    // `this` may be gone by now; nothing below touches it.
    if (reply.type() != QDBusMessage::ReplyMessage) {
        LogManager::log(QStringLiteral("Notification server not available: ") + reply.errorMessage());
        co_return false;
    }
    co_return true;
}
