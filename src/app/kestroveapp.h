#pragma once

#include "app/appcomposition.h"
#include "ui/screenservices.h"
#include "ui/settingsview.h"
#include "ui/shellactions.h"

#include <QObject>
#include <QPointer>
#include <QString>

class AppDelegate;
class MainWindow;
class ModelContext;
class SettingsWindow;
class StatusItem;

/**
 * The application shell: the tray item, the main window and the settings window, the
 * clipboard banner state, the first-run onboarding flag, and the delegate that starts the
 * services. It answers the requests to open a package's detail and to offer a number from
 * the clipboard.
 */
class KestroveApp : public QObject, public ShellActions
{
    Q_OBJECT
public:
    /** The start of the message with which Kestrove stops when its store cannot be opened. */
    static constexpr const char *containerErrorPrefix = QT_TR_NOOP("Could not create ModelContainer: ");
    /** Started at login without a tray: how long Kestrove waits for one before it opens the main window. */
    static constexpr int trayWaitAtLoginSeconds = 30;

    /** The process: single instance, store, shell, event loop. Returns the exit status. */
    static int main(int argc, char *argv[]);
    /** Makes freedesktop icon names resolve: Adwaita as fallback theme, system icon folders searched. */
    static void setUpIconTheme();

    /**
     * Reads "hasCompletedOnboarding" once. Every screen works with services (not owned); hooks
     * stand in for the services this build does not have yet.
     */
    KestroveApp(const ScreenServices &services, StartupHooks hooks, QObject *parent = nullptr);
    ~KestroveApp() override;

    /**
     * Launching has finished: the tray item, then the services. Without a tray the main window opens
     * first and the services start once its first frame is out.
     */
    void applicationDidFinishLaunching();

    [[nodiscard]] AppDelegate *delegate() const { return m_delegate; }
    [[nodiscard]] ModelContext *modelContext() const { return m_services.context; }
    [[nodiscard]] const ScreenServices &services() const { return m_services; }
    [[nodiscard]] const StartupHooks &startupHooks() const { return m_hooks; }

    /** The main window while it is open. */
    [[nodiscard]] MainWindow *mainWindow() const;
    /** The settings window while it is open. */
    [[nodiscard]] SettingsWindow *settingsWindow() const;
    /** The tray item, absent when the desktop offers no tray. */
    [[nodiscard]] StatusItem *statusItem() const { return m_statusItem; }

    /**
     * Started by the desktop at login (the autostart entry's argument): Kestrove stays in the tray
     * and opens no window by itself; without a tray it waits a while for one to appear.
     */
    void setStartedAtLogin(bool atLogin) { m_startedAtLogin = atLogin; }
    [[nodiscard]] bool startedAtLogin() const { return m_startedAtLogin; }

    /** What the settings window works with. */
    [[nodiscard]] SettingsServices settingsServices() const;
    /** Opens or raises the settings window on one of its tabs. */
    void openSettingsOn(SettingsView::Tab tab);

    /** Whether the onboarding sheet is to be shown over the main window. */
    [[nodiscard]] bool showOnboarding() const { return m_showOnboarding; }
    void setShowOnboarding(bool show);

    [[nodiscard]] bool showClipboardBanner() const { return m_showClipboardBanner; }
    /** The number the clipboard banner offers; empty when none. */
    [[nodiscard]] QString detectedTrackingNumber() const { return m_detectedTrackingNumber; }
    /** The banner's "Add": hides it, tells the clipboard monitor, asks the main window to add the number. */
    void addDetectedPackage(const QString &number);
    /** The banner's "Dismiss": tells the clipboard monitor not to offer the number again, hides the banner. */
    void dismissClipboardBanner();

    void openMainWindow() override;
    void openSettings() override;
    /** Quits once every change is saved; when one cannot be, the user decides (try again, quit anyway, stay). */
    void quit() override;

    /** A later start of kestrove asked for this process: bring the main window forward. */
    void activateFromAnotherStart();

Q_SIGNALS:
    /** The banner was shown, hidden, or offers another number. */
    void clipboardBannerChanged();
    /** Everything is saved or given up by the user; the application ends now. */
    void quitting();

private:
    void openPackageDetail(const QString &trackingNumber);
    void offerDetectedNumber(const QString &trackingNumber);
    void askBeforeLosingChanges(const QString &reason);
    /** The work launching leaves for later: window icon, services, the rest of the store. Runs once. */
    void startDeferredWork();

    ScreenServices m_services;
    StartupHooks m_hooks;
    AppDelegate *m_delegate;
    StatusItem *m_statusItem = nullptr;
    QPointer<MainWindow> m_mainWindow;
    QPointer<SettingsWindow> m_settingsWindow;
    bool m_showOnboarding;
    bool m_startedAtLogin = false;
    bool m_deferredWorkStarted = false;
    bool m_showClipboardBanner = false;
    QString m_detectedTrackingNumber;
};
