#include "app/appdelegate.h"

#include "app/appservices.h"
#include "app/kestroveapp.h"

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

    const AppServices &services = m_app.services();
    if (services.startTrackingServices && m_app.modelContext())
        services.startTrackingServices(*m_app.modelContext());
    if (services.startClipboardMonitor)
        services.startClipboardMonitor();
    if (services.checkForUpdatesIfNeeded) {
        // Its own turn of the event loop, like a task started here: launching goes on meanwhile.
        QTimer::singleShot(0, this, [this] {
            if (const auto &check = m_app.services().checkForUpdatesIfNeeded)
                check();
        });
    }

    if (m_app.showOnboarding())
        QTimer::singleShot(onboardingActivationDelay, this, [this] { m_app.openMainWindow(); });
}
