#include "app/appcomposition.h"
#include "app/appicon.h"
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "app/statusitem.h"
#include "fakestatusnotifierwatcher.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/preferences.h"
#include "testmain.h"
#include "ui/mainwindowview.h"
#include "ui/menubarpopoverview.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QMenu>
#include <QObject>
#include <QScopeGuard>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

// With a tray host on the bus: the tray item replaces the main window at launch, its
// panel opens on a click without making Kestrove a windowed application, and a first
// run still comes forward on its own.
class ShellTrayTest : public QObject
{
    Q_OBJECT

    FakeStatusNotifierWatcher m_watcher;
    ModelContext *m_context = nullptr;
    std::unique_ptr<AppComposition> m_services;
    std::unique_ptr<KestroveApp> m_app;

    /** A shell on the composition root's services, launched. */
    KestroveApp &launch(bool onboardingCompleted)
    {
        m_app.reset();
        m_services = std::make_unique<AppComposition>(m_context);
        m_services->preferences().setHasCompletedOnboarding(onboardingCompleted);
        m_app = std::make_unique<KestroveApp>(m_services->screenServices(), StartupHooks());
        m_app->applicationDidFinishLaunching();
        return *m_app;
    }

    /** Clicks the tray item the way the desktop's tray host does: over the bus. */
    void clickTrayItem(const QString &item)
    {
        QDBusMessage click
            = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                             QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
        click << 0 << 0;
        // Asynchronous: the item lives in this thread.
        QDBusConnection::sessionBus().asyncCall(click);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("No session bus: run through scripts/run-tests.sh");
        // Before Qt first asks: it decides once per process whether a tray host exists.
        QVERIFY(m_watcher.start());
        QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
        const auto opened = ModelContainer::openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error()));
        m_context = opened.value();
    }

    void cleanup()
    {
        m_app.reset();
        m_services.reset();
    }

    void trayItemTakesThePlaceOfTheMainWindow()
    {
        KestroveApp &app = launch(true);
        QVERIFY(app.statusItem());
        QVERIFY(!app.mainWindow());
        QSystemTrayIcon *tray = app.statusItem()->trayIcon();
        QVERIFY(tray->isVisible() && !tray->icon().isNull());
        QTRY_VERIFY(!m_watcher.registeredItems().isEmpty());
        QTest::qWait(200);
        QVERIFY(!app.mainWindow());
    }

    void menuOffersThePanelsPackages()
    {
        auto *package = new Package(QStringLiteral("1ZMENU"), QStringLiteral("ups"), QStringLiteral("Shoes & socks"),
                                    TrackingStatus::inTransit);
        package->setEstimatedDelivery(QDateTime::currentDateTime().addDays(1));
        m_context->insert(package);
        QVERIFY(m_context->save());
        const auto removeAfter = qScopeGuard([&] {
            m_context->remove(package);
            (void)m_context->save();
        });
        KestroveApp &app = launch(true);
        // Desktops that show only this menu: it lists the panel's packages.
        QMenu *menu = app.statusItem()->trayIcon()->contextMenu();
        Q_EMIT menu->aboutToShow();
        QAction *row = menu->actions().constFirst();
        QCOMPARE(row->iconText(), QStringLiteral("Shoes & socks \u00b7 Tomorrow"));
        row->trigger();
        QTRY_VERIFY(app.mainWindow());
        QTRY_COMPARE(app.mainWindow()->view()->selectedPackage(), package);
    }

    void trayIconComesFromTheIconTheme_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed icons: the symbolic one, by name") << true;
        QTest::newRow("no icon theme: the built-in application icon") << false;
    }
    void trayIconComesFromTheIconTheme()
    {
        QFETCH(bool, installed);
        const auto restore = qScopeGuard([paths = QIcon::themeSearchPaths()] { QIcon::setThemeSearchPaths(paths); });
        QTemporaryDir empty;
        // The build folder holds share/icons beside bin/, as an installation does.
        if (installed)
            KestroveApp::setUpIconTheme();
        else
            QIcon::setThemeSearchPaths({empty.path()});

        const qsizetype before = m_watcher.registeredItems().size();
        KestroveApp &app = launch(true);
        QTRY_COMPARE(m_watcher.registeredItems().size(), before + 1);
        // What the tray host sees; asynchronous, because the item lives in this thread.
        QDBusMessage get
            = QDBusMessage::createMethodCall(m_watcher.registeredItems().last(), QStringLiteral("/StatusNotifierItem"),
                                             QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("IconName");
        QDBusPendingReply<QDBusVariant> iconName = QDBusConnection::sessionBus().asyncCall(get);
        QTRY_VERIFY(iconName.isFinished());
        QVERIFY2(iconName.isValid(), qPrintable(iconName.error().message()));
        if (installed) {
            QCOMPARE(iconName.value().variant().toString(), AppIcon::symbolicThemeName);
        } else {
            QVERIFY(iconName.value().variant().toString() != AppIcon::symbolicThemeName);
            QVERIFY(!app.statusItem()->trayIcon()->icon().pixmap(16).isNull());
            QCOMPARE(AppIcon::application().pixmap(256).width(), 256);
        }
    }

    void clickOpensThePanelWithoutComingForward()
    {
        const qsizetype before = m_watcher.registeredItems().size();
        KestroveApp &app = launch(true);
        QTRY_COMPARE(m_watcher.registeredItems().size(), before + 1);
        clickTrayItem(m_watcher.registeredItems().last());

        QTRY_VERIFY(app.statusItem()->panel() && app.statusItem()->panel()->isVisible());
        QWidget *panel = app.statusItem()->panel();
        QVERIFY(panel->windowFlags().testFlag(Qt::Popup));
        QVERIFY(panel->findChild<MenuBarPopoverView *>());
        QCOMPARE(panel->width(), StatusItem::panelSize.width());
        QVERIFY(panel->height() <= StatusItem::panelSize.height());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(available.contains(panel->geometry()));

        QTest::qWait(300);
        QVERIFY(!app.mainWindow());

        // "Open Kestrove" hands over to the main window and closes the panel.
        auto *open = panel->findChild<QToolButton *>(QStringLiteral("popover-open"));
        QVERIFY(open);
        open->click();
        QTRY_VERIFY(!app.statusItem()->panel());
        QVERIFY(app.mainWindow());
        QVERIFY(QTest::qWaitForWindowActive(app.mainWindow()));
    }

    // The half-second delay itself is the application test's; here the tray must not swallow the window.
    void firstRunComesForwardDespiteTheTray()
    {
        KestroveApp &app = launch(false);
        QVERIFY(!app.mainWindow());
        QTRY_VERIFY(app.mainWindow());
        QTRY_VERIFY(app.mainWindow()->onboardingSheet() && app.mainWindow()->onboardingSheet()->isVisible());
    }

    void panelPosition_data()
    {
        QTest::addColumn<QRect>("icon");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("icon in a top panel: centred below it")
            << QRect(600, 0, 24, 24) << QPoint(5, 5) << screen << QPoint(441, 28);
        QTest::newRow("icon at the end of a top panel: kept on screen")
            << QRect(1256, 0, 24, 24) << QPoint(5, 5) << screen << QPoint(940, 28);
        QTest::newRow("icon in a bottom panel: above it")
            << QRect(1200, 776, 24, 24) << QPoint(5, 5) << screen << QPoint(940, 352);
        QTest::newRow("no icon geometry: at the cursor, kept on screen")
            << QRect() << QPoint(100, 200) << screen << QPoint(0, 205);
        QTest::newRow("cursor low on the screen: above it")
            << QRect() << QPoint(640, 790) << screen << QPoint(470, 366);
        QTest::newRow("second screen to the right")
            << QRect(3170, 0, 24, 24) << QPoint(5, 5) << QRect(1280, 0, 1920, 1080) << QPoint(2860, 28);
    }
    void panelPosition()
    {
        QFETCH(QRect, icon);
        QFETCH(QPoint, cursor);
        QFETCH(QRect, available);
        QFETCH(QPoint, expected);
        QCOMPARE(StatusItem::panelPosition(icon, cursor, StatusItem::panelSize, available), expected);
    }
};

KESTROVE_GUI_TEST_MAIN(ShellTrayTest)
#include "shelltraytest.moc"
