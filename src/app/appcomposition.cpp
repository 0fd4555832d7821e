#include "app/appcomposition.h"

#include "base/clock.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace
{
UpdateChecker::Options updateCheckerOptions(Clock *clock, Preferences *preferences)
{
    UpdateChecker::Options options;
    options.clock = clock;
    options.preferences = preferences;
    return options;
}
}

AppComposition::AppComposition(ModelContext *context)
    : m_context(context)
    // The model stamps new records with the process clock; the services keep the same time.
    , m_clock(Clock::shared())
    , m_notifications(QDBusConnection::sessionBus(), &m_preferences, m_clock)
    , m_apiKeys(ApiKeyStore::keychain())
    , m_updates(updateCheckerOptions(m_clock, &m_preferences))
    , m_clipboard(QGuiApplication::clipboard(), &m_preferences, m_clock)
    , m_logos(&m_network, CarrierLogoService::defaultCacheDirectory())
    , m_geocoder(&m_network, m_clock, Geocoder::defaultCacheDirectory())
    , m_mapTiles(&m_network, m_clock, Geocoder::defaultCacheDirectory())
{
    // Requests read the key from memory; until the first read ends there is none. The read itself
    // starts with the services, after the first frame: the keyring's library and bus connection
    // would compete with the window for the processor.
    TrackingService::Collaborators collaborators;
    collaborators.apiKey = [keys = &m_apiKeys] { return keys->apiKey(); };
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
    ScreenServices services;
    services.context = m_context;
    services.tracking = m_tracking.get();
    services.preferences = &m_preferences;
    services.clock = m_clock;
    services.requests = &m_requests;
    services.logos = &m_logos;
    services.apiKeys = &m_apiKeys;
    services.updates = &m_updates;
    services.notifications = &m_notifications;
    services.geocoder = &m_geocoder;
    services.mapTiles = &m_mapTiles;
    return services;
}

StartupHooks AppComposition::startupHooks()
{
    StartupHooks hooks;
    hooks.startClipboardMonitor = [this] { m_clipboard.start(); };
    hooks.checkForUpdatesIfNeeded = [updates = &m_updates] { [[maybe_unused]] auto check = updates->checkIfNeeded(); };
    hooks.clearDetectedTrackingNumber = [this] { m_clipboard.clearDetected(); };
    hooks.dismissDetectedTrackingNumber = [this](const QString &number) { m_clipboard.dismissDetected(number); };
    return hooks;
}
