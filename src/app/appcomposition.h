#pragma once

#include "model/preferences.h"
#include "notifications/notificationservice.h"
#include "services/apikeystore.h"
#include "services/updatechecker.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/screenservices.h"

#include <QString>

#include <functional>

class ModelContext;

/**
 * Start-up steps the shell calls in their place in the launch order (the clipboard monitor, which
 * this build does not have yet, and the weekly update check); tests record them.
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
 * polling, the update checker, the request bus) and connects them to each other. The shell and
 * its windows receive them as ScreenServices. Reading the key starts here, off the GUI thread.
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
    [[nodiscard]] ApiKeyStore &apiKeys() { return m_apiKeys; }
    [[nodiscard]] UpdateChecker &updates() { return m_updates; }

    /** The start-up steps of this build: the update check; the clipboard monitor does not exist yet. */
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
};
