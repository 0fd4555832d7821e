#include "app/appcomposition.h"

#include "base/clock.h"
#include "services/keychainmanager.h"

#include <QDBusConnection>
#include <QGuiApplication>

AppComposition::AppComposition(ModelContext *context)
    : m_context(context)
    // The model stamps new records with the process clock; the services keep the same time.
    , m_clock(Clock::shared())
    , m_notifications(QDBusConnection::sessionBus(), &m_preferences, m_clock)
    , m_clipboard(QGuiApplication::clipboard(), &m_preferences, m_clock)
    , m_logos(&m_network, CarrierLogoService::defaultCacheDirectory())
{
    TrackingService::Collaborators collaborators;
    collaborators.apiKey = KeychainManager::retrieveApiKey;
    collaborators.clock = m_clock;
    collaborators.preferences = &m_preferences;
    collaborators.notifications = &m_notifications;
    collaborators.context = context;
    m_tracking = std::make_unique<TrackingService>(std::move(collaborators));

    // A click on a desktop notification becomes a request to the shell; "Mark Delivered" goes on
    // to the tracking service. Receivers live on the GUI thread, so requests emitted on another
    // thread arrive there.
    QObject::connect(&m_notifications, &NotificationService::openPackageDetailRequested, &m_requests,
                     &AppNotifications::openPackageDetail);
    QObject::connect(&m_notifications, &NotificationService::markDeliveredRequested, &m_requests,
                     &AppNotifications::markPackageDelivered);
    QObject::connect(&m_requests, &AppNotifications::markPackageDelivered, m_tracking.get(),
                     &TrackingService::markDelivered);
    QObject::connect(&m_clipboard, &ClipboardMonitor::trackingNumberDetected, &m_requests,
                     &AppNotifications::trackingNumberDetected);
}

AppComposition::~AppComposition() = default;

ScreenServices AppComposition::screenServices()
{
    return {m_context, m_tracking.get(), &m_preferences, m_clock, &m_requests, &m_logos};
}

StartupHooks AppComposition::startupHooks()
{
    StartupHooks hooks;
    hooks.startClipboardMonitor = [this] { m_clipboard.start(); };
    // A stand-in that keeps its place in the start-up order until the update checker is built.
    hooks.checkForUpdatesIfNeeded = [] {};
    hooks.clearDetectedTrackingNumber = [this] { m_clipboard.clearDetected(); };
    hooks.dismissDetectedTrackingNumber = [this](const QString &number) { m_clipboard.dismissDetected(number); };
    return hooks;
}
