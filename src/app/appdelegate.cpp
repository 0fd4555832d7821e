#include "app/appdelegate.h"

#include "app/appservices.h"
#include "app/kestroveapp.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// The policy delays are user-interface pauses (let the closing window leave the window
// list, let the tray settle before the onboarding comes forward), not schedules: they run
// on QTimer rather than on the injectable Clock.

AppDelegate::AppDelegate(KestroveApp &app, QObject *parent)
    : QObject(parent)
    , m_app(app)
{ }

AppDelegate::~AppDelegate()
{
    if (m_observing && qApp)
        qApp->removeEventFilter(this);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (!m_observing) {
        qApp->installEventFilter(this);
        m_observing = true;
    }
    startAppServices();
}

void AppDelegate::startAppServices()
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

    setActivationPolicy(ActivationPolicy::accessory);

    if (m_app.showOnboarding()) {
        QTimer::singleShot(onboardingActivationDelay, this, [this] {
            setActivationPolicy(ActivationPolicy::regular);
            m_app.openMainWindow();
        });
    }
}

bool AppDelegate::isAppWindow(const QWidget *window)
{
    if (!window || !window->isWindow())
        return false;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog)
        return false;
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return false;
    return !window->windowTitle().isEmpty();
}

void AppDelegate::setActivationPolicy(ActivationPolicy policy)
{
    if (m_policy == policy)
        return;
    m_policy = policy;
    Q_EMIT activationPolicyChanged(policy);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Activation and close events also reach every child widget and the QWindow behind
    // each widget; only the top-level widgets are windows in the sense used here.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Close) {
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->isWindow()) {
            if (event->type() == QEvent::WindowActivate)
                windowDidBecomeKey(widget);
            else
                windowWillClose(widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::windowDidBecomeKey(QWidget *window)
{
    if (isAppWindow(window))
        setActivationPolicy(ActivationPolicy::regular);
}

void AppDelegate::windowWillClose(QWidget *window)
{
    if (!isAppWindow(window))
        return;
    QPointer<QWidget> closing(window);
    QTimer::singleShot(windowCloseCheckDelay, this, [this, closing] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (const QWidget *other : windows) {
            if (other != closing && other->isVisible() && isAppWindow(other))
                return;
        }
        setActivationPolicy(ActivationPolicy::accessory);
    });
}
