#pragma once

#include <QString>

#include <functional>

class ModelContext;

/**
 * The long-lived services the shell starts once after launch and talks to from the
 * clipboard banner. Each entry is one operation; tests replace them to observe the order.
 */
struct AppServices {
    /** Starts tracking: notification permission, polling, retention clean-up, on the main context. */
    std::function<void(ModelContext &)> startTrackingServices;
    /** Starts watching the clipboard for tracking numbers. */
    std::function<void()> startClipboardMonitor;
    /** Checks for a newer version when the last check is old enough. */
    std::function<void()> checkForUpdatesIfNeeded;
    /** The user accepted the clipboard offer: the monitor forgets its detected number. */
    std::function<void()> clearDetectedTrackingNumber;
    /** The user declined the clipboard offer of this number: the monitor does not offer it again. */
    std::function<void(const QString &)> dismissDetectedTrackingNumber;

    /** The services of this build, wired to their shared instances. */
    static AppServices standard();
};
