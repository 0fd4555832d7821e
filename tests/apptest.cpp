#include "app/appcomposition.h"
#include "app/appdelegate.h"
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "app/settingswindow.h"
#include "model/modelcontainer.h"
#include "model/package.h"
#include "model/preferences.h"
#include "sqlprobe.h"
#include "testmain.h"
#include "tracking/adaptivepollingmanager.h"
#include "ui/clipboardbanner.h"
#include "ui/mainwindowview.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Qt::WindowFlags)

class AppTest : public QObject
{
    Q_OBJECT

    // A request on the bus: its name and the tracking number it carries (empty for none).
    struct Posted {
        QString name;
        QString number;
    };

    ModelContext *m_context = nullptr;
    // Service calls, in the order they happened.
    QStringList m_calls;
    QList<Posted> m_posted;
    std::unique_ptr<AppComposition> m_services;
    std::unique_ptr<KestroveApp> m_app;

    StartupHooks recordingHooks()
    {
        StartupHooks hooks;
        hooks.startClipboardMonitor = [this] { m_calls.append(QStringLiteral("clipboard")); };
        hooks.checkForUpdatesIfNeeded = [this] { m_calls.append(QStringLiteral("updates")); };
        hooks.clearDetectedTrackingNumber = [this] {
            m_calls.append(QStringLiteral("clear detected, banner shown: %1").arg(m_app->showClipboardBanner()));
        };
        hooks.dismissDetectedTrackingNumber = [this](const QString &number) {
            m_calls.append(QStringLiteral("dismiss %1 while showing %2").arg(number, m_app->detectedTrackingNumber()));
        };
        return hooks;
    }

    /** The composition root's services, with every request on their bus recorded. */
    AppComposition &makeServices()
    {
        m_app.reset();
        m_services = std::make_unique<AppComposition>(m_context);
        AppNotifications *requests = &m_services->requests();
        const auto record = [this, requests](auto signal, const QString &name) {
            connect(requests, signal, this, [this, name](const auto &...number) {
                m_posted.append({name, (QString() + ... + number)});
            });
        };
        record(&AppNotifications::addPackageRequested, u"addPackageRequested"_s);
        record(&AppNotifications::refreshAllRequested, u"refreshAllRequested"_s);
        record(&AppNotifications::archiveSelectedRequested, u"archiveSelectedRequested"_s);
        record(&AppNotifications::selectPackageRequested, u"selectPackageRequested"_s);
        // Starting polling is the tracking service's last visible step of startServices().
        connect(m_services->tracking().pollingManager(), &AdaptivePollingManager::isRunningChanged, this,
                [this] { m_calls.append(QStringLiteral("tracking")); });
        return *m_services;
    }

    KestroveApp &makeApp(bool onboardingCompleted = true)
    {
        AppComposition &services = makeServices();
        services.preferences().setHasCompletedOnboarding(onboardingCompleted);
        m_app = std::make_unique<KestroveApp>(services.screenServices(), recordingHooks());
        return *m_app;
    }

    /** Launches without a tray: the main window opens. */
    MainWindow *launchWithMainWindow()
    {
        KestroveApp &app = makeApp();
        app.applicationDidFinishLaunching();
        MainWindow *window = app.mainWindow();
        if (!window || !QTest::qWaitForWindowActive(window))
            return nullptr;
        return window;
    }

    QList<Posted> postedNamed(const QString &name) const
    {
        QList<Posted> found;
        for (const Posted &posted : m_posted) {
            if (posted.name == name)
                found.append(posted);
        }
        return found;
    }

    /** Opens the main window with the clipboard banner showing the number; the call logs start empty. */
    MainWindow *showBanner(const QString &number)
    {
        MainWindow *window = launchWithMainWindow();
        if (!window)
            return nullptr;
        Q_EMIT m_services->requests().trackingNumberDetected(number);
        if (!QTest::qWaitFor([&] { return window->clipboardBanner()->isVisible(); }))
            return nullptr;
        m_calls.clear();
        m_posted.clear();
        return window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Without a tray (plain Xvfb) the shell opens the main window at launch.
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("This desktop has a tray; run through scripts/run-tests.sh");
        const auto opened = ModelContainer::openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error()));
        m_context = opened.value();
    }

    void init()
    {
        m_calls.clear();
        m_posted.clear();
    }

    void cleanup()
    {
        m_app.reset();
        m_services.reset();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) { return w->isVisible(); }));
    }

    void launchStartsServicesOnceAndInOrder()
    {
        QApplication::setWindowIcon(QIcon());
        KestroveApp &app = makeApp();
        app.applicationDidFinishLaunching();
        // Without a tray the window comes first; the services start once its first frame is out, the
        // update check on a later turn of the event loop.
        QVERIFY(app.mainWindow());
        QVERIFY(m_calls.isEmpty());
        QVERIFY(QApplication::windowIcon().isNull());
        QTRY_COMPARE(m_calls, QStringList({u"tracking"_s, u"clipboard"_s, u"updates"_s}));
        QVERIFY(!QApplication::windowIcon().isNull());
        QVERIFY(QTest::qWaitForWindowActive(app.mainWindow()));

        app.delegate()->applicationDidFinishLaunching();
        QTest::qWait(50);
        QCOMPARE(m_calls.count(QStringLiteral("tracking")), 1);
        QCOMPARE(m_calls.count(QStringLiteral("clipboard")), 1);
        QCOMPARE(m_calls.count(QStringLiteral("updates")), 1);
    }

    void mainWindowIdentityAndGeometry()
    {
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        const QRect room
            = QGuiApplication::primaryScreen()->availableGeometry().marginsRemoved(MainWindow::decorationMargins);
        QVERIFY((window->geometry().center() - room.center()).manhattanLength() <= 2); // centred
        window->resize(400, 300);
        QCOMPARE(window->size(), window->minimumSize());
        // One replaceable content view below the banner.
        QCOMPARE(window->findChildren<MainWindowView *>().size(), 1);
        QVERIFY(window->view()->isVisible());
    }

    void mainWindowFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("size");
        QTest::newRow("a large screen: the default size") << QRect(0, 0, 1920, 1080) << MainWindow::defaultSize;
        QTest::newRow("900x600 under a top panel: smaller, title bar on screen")
            << QRect(0, 27, 900, 573) << QSize(800, 533);
    }

    void mainWindowFitsTheScreen()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, size);
        const QRect geometry = MainWindow::initialGeometry(available);
        QCOMPARE(geometry.size(), size);
        QVERIFY(available.marginsRemoved(MainWindow::decorationMargins).contains(geometry));
    }

    void openingTwiceRaisesTheSameWindows()
    {
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        m_app->openMainWindow();
        QCOMPARE(m_app->mainWindow(), window);
        m_app->openSettings();
        SettingsWindow *settings = m_app->settingsWindow();
        QVERIFY(settings);
        m_app->openSettings();
        QCOMPARE(m_app->settingsWindow(), settings);
        int visibleSettingsWindows = 0;
        for (const QWidget *widget : QApplication::topLevelWidgets())
            visibleSettingsWindows += qobject_cast<const SettingsWindow *>(widget) && widget->isVisible() ? 1 : 0;
        QCOMPARE(visibleSettingsWindows, 1);
    }

    void menuCommandsPostNotifications_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("notification");
        QTest::newRow("Ctrl+N asks for the add sheet")
            << "action-add-package" << int(Qt::Key_N) << Qt::KeyboardModifiers(Qt::ControlModifier)
            << "addPackageRequested";
        QTest::newRow("Ctrl+R refreshes all") << "action-refresh-all" << int(Qt::Key_R)
                                              << Qt::KeyboardModifiers(Qt::ControlModifier) << "refreshAllRequested";
        QTest::newRow("Ctrl+Shift+A archives the selection")
            << "action-archive-selected" << int(Qt::Key_A)
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << "archiveSelectedRequested";
    }
    void menuCommandsPostNotifications()
    {
        QFETCH(QString, action);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, notification);

        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        auto *command = window->findChild<QAction *>(action);
        QVERIFY(command && !command->text().isEmpty());
        m_posted.clear();

        QTest::keyClick(window, Qt::Key(key), modifiers);
        QCOMPARE(m_posted.size(), 1);
        QCOMPARE(m_posted.first().name, notification);
        QVERIFY(m_posted.first().number.isEmpty());
    }

    void settingsShortcutOpensSettingsWithItsTabs()
    {
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        QTest::keyClick(window, Qt::Key_Comma, Qt::ControlModifier);
        SettingsWindow *settings = m_app->settingsWindow();
        QVERIFY(settings);
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QVERIFY(!settings->windowTitle().isEmpty());
        QVERIFY(m_posted.isEmpty());
    }

    void firstRunComesForwardHalfASecondAfterLaunch()
    {
        KestroveApp &app = makeApp(false);
        QVERIFY(app.showOnboarding());
        QElapsedTimer sinceLaunch;
        sinceLaunch.start();
        app.delegate()->applicationDidFinishLaunching();
        QVERIFY(!app.mainWindow());

        QTRY_VERIFY(app.mainWindow());
        // Half a second, minus what a coarse timer may fire early.
        QVERIFY2(sinceLaunch.elapsed() >= 475, qPrintable(QString::number(sinceLaunch.elapsed())));
        QTRY_VERIFY(app.mainWindow()->onboardingSheet() && app.mainWindow()->onboardingSheet()->isVisible());
        QDialog *sheet = app.mainWindow()->onboardingSheet();
        QCOMPARE(sheet->parentWidget(), app.mainWindow());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);

        // Next, Next, Next, Get Started.
        auto *forward = sheet->findChild<QPushButton *>(QStringLiteral("onboardingForward"));
        QVERIFY(forward);
        for (int page = 0; page < 4; ++page)
            forward->click();
        QTRY_VERIFY(!app.mainWindow()->onboardingSheet());
        QVERIFY(m_services->preferences().hasCompletedOnboarding());
        QVERIFY(!app.showOnboarding());

        // Reopened later in the same run, the main window comes without the sheet.
        app.mainWindow()->close();
        QTRY_VERIFY(!app.mainWindow());
        app.openMainWindow();
        QTest::qWait(50);
        QVERIFY(!app.mainWindow()->onboardingSheet());
    }

    void completedOnboardingStaysInTheTray()
    {
        KestroveApp &app = makeApp(true);
        app.delegate()->applicationDidFinishLaunching();
        QTest::qWait(700);
        QVERIFY(!app.mainWindow());
    }

    void bannerShowsOnlyForDetectedNumbers_data()
    {
        QTest::addColumn<bool>("detected");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("shown");
        QTest::newRow("a detected number shows the banner") << true << u"1Z999AA10123456784"_s << true;
        QTest::newRow("an empty number is ignored") << true << QString() << false;
        QTest::newRow("other requests never show it") << false << u"1Z999AA10123456784"_s << false;
    }
    void bannerShowsOnlyForDetectedNumbers()
    {
        QFETCH(bool, detected);
        QFETCH(QString, number);
        QFETCH(bool, shown);
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        ClipboardBanner *banner = window->clipboardBanner();
        QVERIFY(!banner->isVisible());

        if (detected)
            Q_EMIT m_services->requests().trackingNumberDetected(number);
        else
            Q_EMIT m_services->requests().selectPackageRequested(number);
        QCOMPARE(m_app->showClipboardBanner(), shown);
        if (shown) {
            QTRY_VERIFY(banner->isVisible());
            QCOMPARE(banner->findChild<QLabel *>(QStringLiteral("clipboard-banner-number"))->text(),
                     QStringLiteral("1Z999AA10123456784"));
            QCOMPARE(m_app->detectedTrackingNumber(), QStringLiteral("1Z999AA10123456784"));
            // The banner sits above the content, pushing it down once fully in.
            QTRY_VERIFY(banner->mapTo(window, QPoint(0, banner->height())).y()
                        <= window->view()->mapTo(window, QPoint(0, 0)).y());
        } else {
            QTest::qWait(MainWindow::bannerAnimationMs + 50);
            QVERIFY(!banner->isVisible());
            QVERIFY(m_app->detectedTrackingNumber().isEmpty());
        }
    }

    void bannerAddPostsTheNumberToTheMainWindow()
    {
        MainWindow *window = showBanner(QStringLiteral("RR123456785CN"));
        QVERIFY(window);

        auto *add = window->findChild<QPushButton *>(QStringLiteral("clipboard-banner-add"));
        QVERIFY(add);
        QTRY_VERIFY(add->isVisible());
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(m_calls, QStringList({u"clear detected, banner shown: 0"_s}));
        const QList<Posted> requests = postedNamed(u"addPackageRequested"_s);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().number, QStringLiteral("RR123456785CN"));
        QTRY_VERIFY(!window->clipboardBanner()->isVisible());
        QVERIFY(!m_app->showClipboardBanner());
    }

    void bannerDismissTellsTheMonitorFirst()
    {
        MainWindow *window = showBanner(QStringLiteral("RR123456785CN"));
        QVERIFY(window);

        auto *dismiss = window->findChild<QPushButton *>(QStringLiteral("clipboard-banner-dismiss"));
        QVERIFY(dismiss);
        QTest::mouseClick(dismiss, Qt::LeftButton);
        QCOMPARE(m_calls, QStringList({u"dismiss RR123456785CN while showing RR123456785CN"_s}));
        QVERIFY(m_app->detectedTrackingNumber().isEmpty());
        QVERIFY(postedNamed(u"addPackageRequested"_s).isEmpty());
        QTRY_VERIFY(!window->clipboardBanner()->isVisible());
    }

    void bannerWaitsForTheMainWindow()
    {
        KestroveApp &app = makeApp();
        app.delegate()->applicationDidFinishLaunching();
        Q_EMIT m_services->requests().trackingNumberDetected(QStringLiteral("LX123"));
        QVERIFY(!app.mainWindow());
        app.openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        QVERIFY(app.mainWindow()->clipboardBanner()->isVisible());
        QCOMPARE(app.mainWindow()->clipboardBanner()->trackingNumber(), QStringLiteral("LX123"));
    }

    void quitWritesPendingChangesOrAsksFirst()
    {
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        m_context->insert(new Package(u"QUIT1"_s, {}, {})); // pending, as a save blocked by another writer leaves it
        QSignalSpy quitting(m_app.get(), &KestroveApp::quitting);
        QMessageBox *alert = nullptr;
        {
            TestSupport::SqlProbe lock(m_context->storePath());
            QVERIFY(lock.exec(u"BEGIN IMMEDIATE"_s));
            m_context->setBusyTimeout(50ms);
            m_app->quit();
            alert = window->findChild<QMessageBox *>(u"unsavedChangesAlert"_s);
            QVERIFY(alert && alert->informativeText().contains(u"Database is locked."_s));
            QCOMPARE(quitting.size(), 0);
        } // the other writer is done
        m_context->setBusyTimeout(ModelContext::defaultBusyTimeout);
        alert->defaultButton()->click(); // "Try Again"
        QTRY_COMPARE(quitting.size(), 1);
        QVERIFY(!m_context->hasChanges());
    }
};

KESTROVE_GUI_TEST_MAIN(AppTest)
#include "apptest.moc"
