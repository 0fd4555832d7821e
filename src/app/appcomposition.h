#pragma once

#include "model/preferences.h"
#include "notifications/notificationservice.h"
#include "services/apikeystore.h"
#include "services/carrierlogoservice.h"
#include "services/clipboardmonitor.h"
#include "services/geocoder.h"
#include "services/maptileservice.h"
#include "services/updatechecker.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/screenservices.h"

#include <QNetworkAccessManager>
#include <QString>

#include <functional>

class ModelContext;

/**
 * Start-up steps the shell calls in their place in the launch order (the clipboard monitor and the
 * weekly update check), and the banner's calls to the monitor; tests record them.
 */
struct StartupHooks {
    /** Starts watching the clipboard for tracking numbers. */
    std::function<void()> startClipboardMonitor;
    /** Checks for a newer version when the last check is old enough. */
    std::function<void()> checkForUpdatesIfNeeded;
    /** The user accepted the clipboard offer: the monitor forgets its detected number. */
    std::function<void()> clearDetectedTrackingNumber;
    /** The user declined the clipboard offer of this number: the monitor does not offer it again. */
    std::function<void(const QString &)> dismissDetectedTrackingNumber;
};

/**
 * The application's composition root: builds the long-lived services once (preferences, the
 * desktop notifications, the API key in memory, the tracking service with its provider and
 * polling, the clipboard monitor, the update checker, the request bus, the carrier logos) and
 * connects them to each other. The shell and its windows receive them as ScreenServices.
 * Reading the key starts here, off the GUI thread.
 */
class AppComposition
{
public:
    /** The services of this process, working on the store's main context. */
    explicit AppComposition(ModelContext *context);
    ~AppComposition();

    AppComposition(const AppComposition &) = delete;
    AppComposition &operator=(const AppComposition &) = delete;

    [[nodiscard]] ScreenServices screenServices();
    [[nodiscard]] Preferences &preferences() { return m_preferences; }
    [[nodiscard]] TrackingService &tracking() { return *m_tracking; }
    [[nodiscard]] NotificationService &notifications() { return m_notifications; }
    [[nodiscard]] AppNotifications &requests() { return m_requests; }
    [[nodiscard]] ClipboardMonitor &clipboardMonitor() { return m_clipboard; }
    [[nodiscard]] CarrierLogoService &logos() { return m_logos; }
    [[nodiscard]] ApiKeyStore &apiKeys() { return m_apiKeys; }
    [[nodiscard]] UpdateChecker &updates() { return m_updates; }
    [[nodiscard]] Geocoder &geocoder() { return m_geocoder; }
    [[nodiscard]] MapTileService &mapTiles() { return m_mapTiles; }

    /** The start-up steps on these services. */
    [[nodiscard]] StartupHooks startupHooks();

private:
    ModelContext *m_context;
    Clock *m_clock;
    Preferences m_preferences;
    NotificationService m_notifications;
    AppNotifications m_requests;
    ApiKeyStore m_apiKeys;
    UpdateChecker m_updates;
    std::unique_ptr<TrackingService> m_tracking;
    ClipboardMonitor m_clipboard;
    QNetworkAccessManager m_network;
    CarrierLogoService m_logos;
    // One geocoder for the whole application, so that every map panel shares its request pace.
    Geocoder m_geocoder;
    MapTileService m_mapTiles;
};
