#pragma once

#include "model/preferences.h"
#include "notifications/notificationservice.h"
#include "services/clipboardmonitor.h"
#include "services/carrierlogoservice.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/screenservices.h"

#include <QNetworkAccessManager>
#include <QString>

#include <functional>

class ModelContext;

/**
 * The start-up steps of the clipboard monitor and the update checker, and the banner's calls to
 * the monitor. The shell calls them in their place in the launch order; tests record them.
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
 * desktop notifications, the tracking service with its provider and polling, the clipboard
 * monitor, the request bus, the carrier logos) and connects them to each other. The shell and its
 * windows receive them as ScreenServices.
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

    /** The start-up steps on these services (the update checker does not exist yet). */
    [[nodiscard]] StartupHooks startupHooks();

private:
    ModelContext *m_context;
    Clock *m_clock;
    Preferences m_preferences;
    NotificationService m_notifications;
    AppNotifications m_requests;
    std::unique_ptr<TrackingService> m_tracking;
    ClipboardMonitor m_clipboard;
    QNetworkAccessManager m_network;
    CarrierLogoService m_logos;
};
