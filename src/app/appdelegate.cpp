#include "app/appdelegate.h"

#include "app/kestroveapp.h"
#include "services/apikeystore.h"
#include "tracking/trackingservice.h"

#include <QApplication>
#include <QTimer>

// The onboarding delay is a user-interface pause (let the tray settle before the onboarding
// comes forward), not a schedule: it runs on QTimer rather than on the injectable Clock.

AppDelegate::AppDelegate(KestroveApp &app, QObject *parent)
    : QObject(parent)
    , m_app(app)
{ }

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_servicesStarted)
        return;
    m_servicesStarted = true;

    // The key first (read off the GUI thread), then tracking (notification permission, polling,
    // retention clean-up), then the clipboard.
    if (ApiKeyStore *keys = m_app.services().apiKeys) [[maybe_unused]]
        auto reading = keys->load();
    if (TrackingService *tracking = m_app.services().tracking; tracking && m_app.modelContext())
        tracking->startServices(*m_app.modelContext());
    const StartupHooks &hooks = m_app.startupHooks();
    if (hooks.startClipboardMonitor)
        hooks.startClipboardMonitor();
    if (hooks.checkForUpdatesIfNeeded) {
        // Its own turn of the event loop, like a task started here: launching goes on meanwhile.
        QTimer::singleShot(0, this, [this] {
            if (const auto &check = m_app.startupHooks().checkForUpdatesIfNeeded)
                check();
        });
    }

    // Started at login, Kestrove stays in the tray; the introduction waits for the main window.
    if (m_app.showOnboarding() && !m_app.startedAtLogin())
        QTimer::singleShot(onboardingActivationDelay, this, [this] {
            // Brought forward for a user who has not found it yet; one already at work in one of
            // its windows (the introduction, a sheet opened meanwhile) keeps the focus where it is.
            if (!QApplication::activeWindow())
                m_app.openMainWindow();
        });
}
