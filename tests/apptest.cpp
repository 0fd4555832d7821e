#include "app/appdelegate.h"
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "app/settingswindow.h"
#include "model/modelcontainer.h"
#include "model/preferences.h"
#include "services/appnotifications.h"
#include "testmain.h"
#include "ui/clipboardbanner.h"
#include "ui/mainwindowview.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
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

    struct Posted {
        QString name;
        QVariantMap userInfo;
    };

    ModelContext *m_context = nullptr;
    // Service calls, in the order they happened.
    QStringList m_calls;
    QList<Posted> m_posted;
    std::unique_ptr<KestroveApp> m_app;

    AppServices recordingServices()
    {
        AppServices services;
        services.startTrackingServices = [this](ModelContext &context) {
            m_calls.append(&context == m_context ? QStringLiteral("tracking")
                                                 : QStringLiteral("tracking on another context"));
        };
        services.startClipboardMonitor = [this] { m_calls.append(QStringLiteral("clipboard")); };
        services.checkForUpdatesIfNeeded = [this] { m_calls.append(QStringLiteral("updates")); };
        services.clearDetectedTrackingNumber = [this] {
            m_calls.append(QStringLiteral("clear detected, banner shown: %1").arg(m_app->showClipboardBanner()));
        };
        services.dismissDetectedTrackingNumber = [this](const QString &number) {
            m_calls.append(QStringLiteral("dismiss %1 while showing %2").arg(number, m_app->detectedTrackingNumber()));
        };
        return services;
    }

    KestroveApp &makeApp(bool onboardingCompleted = true)
    {
        Preferences::shared()->setHasCompletedOnboarding(onboardingCompleted);
        m_app = std::make_unique<KestroveApp>(m_context, recordingServices());
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
        AppNotifications::shared()->post(AppNotifications::trackingNumberDetected,
                                         {{AppNotifications::trackingNumberKey, number}});
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
        connect(AppNotifications::shared(), &AppNotifications::posted, this,
                [this](const QString &name, const QVariantMap &userInfo) {
                    m_posted.append({name, userInfo});
                });
    }

    void init()
    {
        m_calls.clear();
        m_posted.clear();
    }

    void cleanup()
    {
        m_app.reset();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) { return w->isVisible(); }));
    }

    void launchStartsServicesOnceAndInOrder()
    {
        KestroveApp &app = makeApp();
        app.applicationDidFinishLaunching();
        // The update check runs on a later turn of the event loop.
        QCOMPARE(m_calls, QStringList({u"tracking"_s, u"clipboard"_s}));
        QTRY_VERIFY(m_calls.contains(QStringLiteral("updates")));
        QCOMPARE(m_calls.indexOf(QStringLiteral("updates")), 2);

        QVERIFY(app.mainWindow());
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
        QCOMPARE(window->objectName(), QStringLiteral("main-window"));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((window->geometry().center() - available.center()).manhattanLength() <= 2); // centred
        window->resize(400, 300);
        QCOMPARE(window->size(), window->minimumSize());
        // One replaceable content view below the banner.
        QCOMPARE(window->findChildren<MainWindowView *>().size(), 1);
        QVERIFY(window->view()->isVisible());
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
            << AppNotifications::addPackageRequested;
        QTest::newRow("Ctrl+R refreshes all")
            << "action-refresh-all" << int(Qt::Key_R) << Qt::KeyboardModifiers(Qt::ControlModifier)
            << AppNotifications::refreshAllRequested;
        QTest::newRow("Ctrl+Shift+A archives the selection")
            << "action-archive-selected" << int(Qt::Key_A)
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)
            << AppNotifications::archiveSelectedRequested;
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
        QVERIFY(m_posted.first().userInfo.isEmpty());
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

        auto *getStarted = sheet->findChild<QPushButton *>(QStringLiteral("onboarding-get-started"));
        QVERIFY(getStarted);
        getStarted->click();
        QTRY_VERIFY(!app.mainWindow()->onboardingSheet());
        QVERIFY(Preferences::shared()->hasCompletedOnboarding());
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

    void bannerShowsOnlyForTextNumbers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<bool>("shown");
        const QString detected = AppNotifications::trackingNumberDetected;
        const QString key = AppNotifications::trackingNumberKey;
        QTest::newRow("text number shows the banner")
            << detected << QVariantMap {{key, u"1Z999AA10123456784"_s}} << true;
        QTest::newRow("no user info is ignored") << detected << QVariantMap() << false;
        QTest::newRow("integer number is ignored")
            << detected << QVariantMap {{key, qlonglong(940011020088123456)}} << false;
        QTest::newRow("other notifications never show it")
            << AppNotifications::selectPackageRequested << QVariantMap {{key, u"1Z999AA10123456784"_s}} << false;
    }
    void bannerShowsOnlyForTextNumbers()
    {
        QFETCH(QString, name);
        QFETCH(QVariantMap, userInfo);
        QFETCH(bool, shown);
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        ClipboardBanner *banner = window->clipboardBanner();
        QVERIFY(!banner->isVisible());

        AppNotifications::shared()->post(name, userInfo);
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

    void malformedNotificationLeavesShownBannerAlone()
    {
        MainWindow *window = launchWithMainWindow();
        QVERIFY(window);
        const QString key = AppNotifications::trackingNumberKey;
        AppNotifications::shared()->post(AppNotifications::trackingNumberDetected, {{key, QStringLiteral("LX123")}});
        AppNotifications::shared()->post(AppNotifications::trackingNumberDetected, {{key, 42}});
        AppNotifications::shared()->post(AppNotifications::trackingNumberDetected, {});
        QCOMPARE(m_app->detectedTrackingNumber(), QStringLiteral("LX123"));
        QTRY_VERIFY(window->clipboardBanner()->isVisible());
        QCOMPARE(window->clipboardBanner()->trackingNumber(), QStringLiteral("LX123"));
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
        const QList<Posted> requests = postedNamed(AppNotifications::addPackageRequested);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().userInfo,
                 QVariantMap({{AppNotifications::trackingNumberKey, QStringLiteral("RR123456785CN")}}));
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
        QVERIFY(postedNamed(AppNotifications::addPackageRequested).isEmpty());
        QTRY_VERIFY(!window->clipboardBanner()->isVisible());
    }

    void bannerWaitsForTheMainWindow()
    {
        KestroveApp &app = makeApp();
        app.delegate()->applicationDidFinishLaunching();
        AppNotifications::shared()->post(AppNotifications::trackingNumberDetected,
                                         {{AppNotifications::trackingNumberKey, QStringLiteral("LX123")}});
        QVERIFY(!app.mainWindow());
        app.openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
        QVERIFY(app.mainWindow()->clipboardBanner()->isVisible());
        QCOMPARE(app.mainWindow()->clipboardBanner()->trackingNumber(), QStringLiteral("LX123"));
    }
};

KESTROVE_GUI_TEST_MAIN(AppTest)
#include "apptest.moc"
