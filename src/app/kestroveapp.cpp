#include "app/kestroveapp.h"

#include "app/appdelegate.h"
#include "app/appicon.h"
#include "app/mainwindow.h"
#include "app/settingswindow.h"
#include "app/singleinstance.h"
#include "app/startupreport.h"
#include "app/statusitem.h"
#include "base/logmanager.h"
#include "model/modelcontainer.h"
#include "model/packagestore.h"
#include "model/preferences.h"
#include "services/loginitem.h"
#include "ui/appnotifications.h"
#include "ui/appstyle.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace
{
// Platforms on which a dialog has no one to look at it.
bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void bringForward(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}
}

int KestroveApp::main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("com.kestrove.app"));
    QApplication::setApplicationName(QStringLiteral("Kestrove"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROVE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrove.app"));
    // Closing the last window leaves Kestrove in the tray; only Quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    AppStyle::install();

    // Before the store is touched: a second copy must never poll and write the same file.
    SingleInstance instance;
    if (instance.claim(QDBusConnection::sessionBus()) == SingleInstance::Role::secondary)
        return 0;

    // The window icon waits for the first frame: finding it in the theme and decoding it costs more
    // than building the window.
    setUpIconTheme();

    // The first screen of rows now (a tall screen shows some forty), the rest once the window is up:
    // the list grows as they arrive.
    constexpr int firstPackages = 60;
    const Result<ModelContext *, QString> container = ModelContainer::openShared(firstPackages);
    if (!container) {
        const QString message = tr(containerErrorPrefix) + container.error();
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        if (hasDisplay()) {
            QApplication::setWindowIcon(AppIcon::window());
            QMessageBox::critical(nullptr, tr("Kestrove"), message);
        }
        return 1;
    }

    if (container.value()->isFullyLoaded())
        StartupReport::storeLoaded();
    else
        connect(container.value(), &ModelContext::fullyLoaded, &app, &StartupReport::storeLoaded);

    // The composition root: every long-lived service is made here, once, and handed down.
    AppComposition services(container.value());
    KestroveApp shell(services.screenServices(), services.startupHooks());
    shell.setStartedAtLogin(QApplication::arguments().contains(QLatin1String(LoginItem::autostartArgument)));
    connect(&instance, &SingleInstance::activationRequested, &shell, &KestroveApp::activateFromAnotherStart);
    QTimer::singleShot(0, &shell, &KestroveApp::applicationDidFinishLaunching);
    return app.exec();
}

void KestroveApp::setUpIconTheme()
{
    // The platform often reports "hicolor", which holds almost no action icons; the
    // symbolic names used throughout resolve in Adwaita. On the offscreen platform and
    // under a private XDG_DATA_HOME the system icon folders are not searched by default.
    // Kestrove's own installation comes first: under a prefix outside XDG_DATA_DIRS (~/.local,
    // /opt) nothing else would find the application icon.
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(AppIcon::installedIconFolder()))
        paths.prepend(AppIcon::installedIconFolder());
    const QStringList located = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                          QStandardPaths::LocateDirectory);
    const QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList candidates = located;
    for (const QString &dir : dataDirs)
        candidates.append(dir + QStringLiteral("/icons"));
    for (const QString &path : std::as_const(candidates)) {
        if (!paths.contains(path))
            paths.append(path);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

KestroveApp::KestroveApp(const ScreenServices &services, StartupHooks hooks, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_hooks(std::move(hooks))
    , m_delegate(new AppDelegate(*this, this))
    , m_showOnboarding(!services.preferences->hasCompletedOnboarding())
{
    connect(m_services.requests, &AppNotifications::openPackageDetail, this, &KestroveApp::openPackageDetail);
    connect(m_services.requests, &AppNotifications::trackingNumberDetected, this, &KestroveApp::offerDetectedNumber);
    // Ended by the session rather than by Quit: one last try for changes not saved yet (logged when it fails).
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        if (m_services.context && m_services.context->hasChanges())
            (void)PackageStore::save(*m_services.context);
    });
}

KestroveApp::~KestroveApp()
{
    delete m_statusItem;
    delete m_mainWindow;
    delete m_settingsWindow;
}

MainWindow *KestroveApp::mainWindow() const
{
    return m_mainWindow;
}

SettingsWindow *KestroveApp::settingsWindow() const
{
    return m_settingsWindow;
}

void KestroveApp::applicationDidFinishLaunching()
{
    if (!m_statusItem && QSystemTrayIcon::isSystemTrayAvailable())
        m_statusItem = new StatusItem(*this);
    if (!m_statusItem && !m_startedAtLogin) {
        // Without a tray there would be no way in: the main window stands in for it, and the rest
        // waits for its first frame.
        openMainWindow();
        return;
    }
    // No window to wait for.
    startDeferredWork();
    if (m_statusItem)
        return;
    // At login the panel that holds the tray often starts after Kestrove: look for it once a
    // second for a while before the main window stands in for it. A user-interface pause, not
    // a schedule, so it runs on QTimer.
    auto *waiting = new QTimer(this);
    waiting->setInterval(1000);
    connect(waiting, &QTimer::timeout, this, [this, waiting, attempts = 0]() mutable {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            m_statusItem = new StatusItem(*this);
        else if (++attempts < trayWaitAtLoginSeconds)
            return;
        waiting->deleteLater();
        if (!m_statusItem)
            openMainWindow();
    });
    waiting->start();
}

void KestroveApp::setShowOnboarding(bool show)
{
    m_showOnboarding = show;
}

void KestroveApp::openPackageDetail(const QString &trackingNumber)
{
    // A click on a desktop notification: the main window comes forward on that package.
    if (trackingNumber.isEmpty())
        return;
    openMainWindow();
    Q_EMIT m_services.requests->selectPackageRequested(trackingNumber);
}

void KestroveApp::offerDetectedNumber(const QString &trackingNumber)
{
    if (trackingNumber.isEmpty())
        return;
    m_detectedTrackingNumber = trackingNumber;
    m_showClipboardBanner = true;
    Q_EMIT clipboardBannerChanged();
}

void KestroveApp::addDetectedPackage(const QString &number)
{
    m_showClipboardBanner = false;
    Q_EMIT clipboardBannerChanged();
    if (m_hooks.clearDetectedTrackingNumber)
        m_hooks.clearDetectedTrackingNumber();
    Q_EMIT m_services.requests->addPackageRequested(number);
}

void KestroveApp::dismissClipboardBanner()
{
    if (!m_detectedTrackingNumber.isEmpty() && m_hooks.dismissDetectedTrackingNumber)
        m_hooks.dismissDetectedTrackingNumber(m_detectedTrackingNumber);
    m_showClipboardBanner = false;
    m_detectedTrackingNumber.clear();
    Q_EMIT clipboardBannerChanged();
}

void KestroveApp::openMainWindow()
{
    if (!m_mainWindow) {
        m_mainWindow = new MainWindow(*this);
        StartupReport::afterNextFrame(m_mainWindow, [this] {
            StartupReport::firstFrame();
            startDeferredWork();
        });
    }
    bringForward(m_mainWindow);
    if (m_showOnboarding)
        m_mainWindow->presentOnboarding();
}

void KestroveApp::startDeferredWork()
{
    if (std::exchange(m_deferredWorkStarted, true))
        return;
    QApplication::setWindowIcon(AppIcon::window());
    m_delegate->applicationDidFinishLaunching();
    // The rest of the store, behind the first screen of rows or the tray item.
    if (ModelContext *context = m_services.context)
        QTimer::singleShot(0, context, &ModelContext::loadRestInBackground);
}

SettingsServices KestroveApp::settingsServices() const
{
    SettingsServices settings;
    settings.preferences = m_services.preferences;
    settings.apiKeys = m_services.apiKeys;
    settings.tracking = m_services.tracking;
    settings.updates = m_services.updates;
    settings.clock = m_services.clock;
    settings.setLoginItem
        = [](bool enabled) { return LoginItem::setEnabled(enabled, QCoreApplication::applicationFilePath()); };
    return settings;
}

void KestroveApp::openSettings()
{
    if (!m_settingsWindow)
        m_settingsWindow = new SettingsWindow(settingsServices(), *this);
    bringForward(m_settingsWindow);
}

void KestroveApp::openSettingsOn(SettingsView::Tab tab)
{
    openSettings();
    m_settingsWindow->view()->showTab(tab);
}

void KestroveApp::quit()
{
    // Changes a screen could not save (another process held the store) are pending: write them now,
    // waiting the store's full time for its lock, since the user is leaving.
    if (ModelContext *context = m_services.context; context && context->hasChanges()) {
        if (const auto saved = PackageStore::save(*context); !saved) {
            askBeforeLosingChanges(saved.error().underlying.description);
            return;
        }
    }
    Q_EMIT quitting();
    QApplication::quit();
}

void KestroveApp::askBeforeLosingChanges(const QString &reason)
{
    auto *alert = new QMessageBox(QMessageBox::Warning, tr("Kestrove"), tr("Some changes could not be saved."),
                                  QMessageBox::NoButton, m_mainWindow);
    alert->setObjectName(QStringLiteral("unsavedChangesAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setInformativeText(reason + QLatin1Char(' ') + tr("If you quit now, they are lost."));
    QPushButton *retry = alert->addButton(tr("Try Again"), QMessageBox::AcceptRole);
    QPushButton *discard = alert->addButton(tr("Quit Without Saving"), QMessageBox::DestructiveRole);
    alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(retry);
    connect(alert, &QMessageBox::buttonClicked, this, [this, retry, discard](QAbstractButton *button) {
        if (button == retry) {
            QTimer::singleShot(0, this, &KestroveApp::quit);
        } else if (button == discard) {
            LogManager::log(QStringLiteral("Quit without saving changes that could not be written"));
            Q_EMIT quitting();
            QApplication::quit();
        }
    });
    alert->open();
}

void KestroveApp::activateFromAnotherStart()
{
    LogManager::log(QStringLiteral("Another start of Kestrove asked for the main window"));
    openMainWindow();
}
