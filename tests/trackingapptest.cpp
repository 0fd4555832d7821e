// The application's receivers of the desktop notifications' actions: "View Details" opens the
// main window on the package, "Mark Delivered" marks it delivered through the tracking service.
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/preferences.h"
#include "services/appnotifications.h"
#include "testmain.h"
#include "tracking/trackingservice.h"
#include "ui/mainwindowview.h"

#include <QSystemTrayIcon>
#include <QTest>

#include <memory>
#include <thread>

class TrackingAppTest : public QObject
{
    Q_OBJECT

private:
    ModelContext *m_context = nullptr;
    std::unique_ptr<TrackingService> m_service;
    std::unique_ptr<KestroveApp> m_app;

    KestroveApp &makeApp()
    {
        Preferences::shared()->setHasCompletedOnboarding(true);
        TrackingService::Collaborators collaborators;
        collaborators.postNotifications = false;
        collaborators.polling.observeSystemSleep = false;
        m_service = std::make_unique<TrackingService>(std::move(collaborators));
        AppServices services;
        services.startTrackingServices = [this](ModelContext &context) { m_service->startServices(context); };
        services.startClipboardMonitor = [] {};
        services.checkForUpdatesIfNeeded = [] {};
        services.clearDetectedTrackingNumber = [] {};
        services.dismissDetectedTrackingNumber = [](const QString &) {};
        m_app = std::make_unique<KestroveApp>(m_context, std::move(services));
        return *m_app;
    }

    Package *insert(const QString &number, TrackingStatus status, bool archived = false)
    {
        auto *package = new Package(number, QStringLiteral("ups"), QString(), status);
        package->setArchived(archived);
        m_context->insert(package);
        return package;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("This desktop has a tray; run through scripts/run-tests.sh");
        const auto opened = ModelContainer::openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.ok() ? QString() : opened.error()));
        m_context = opened.value();
        insert(QStringLiteral("FIRST111"), TrackingStatus::inTransit);
        insert(QStringLiteral("SECOND222"), TrackingStatus::outForDelivery);
        insert(QStringLiteral("OLD333"), TrackingStatus::inTransit, true);
        QVERIFY(m_context->save());
    }

    void cleanup()
    {
        m_app.reset();
        m_service.reset();
    }

    void viewDetailsOpensTheMainWindowOnThePackage()
    {
        KestroveApp &app = makeApp();
        QVERIFY(!app.mainWindow());
        // The notification service posts from another thread.
        std::thread poster([] {
            AppNotifications::shared()->post(AppNotifications::openPackageDetail,
                                             {{AppNotifications::trackingNumberKey, QStringLiteral("SECOND222")}});
        });
        poster.join();
        QTRY_VERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        MainWindowView *view = app.mainWindow()->view();
        QTRY_VERIFY(view->selectedPackage());
        QCOMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("SECOND222"));

        // Another click while the window is open selects the other package in the same window.
        MainWindow *window = app.mainWindow();
        AppNotifications::shared()->post(AppNotifications::openPackageDetail,
                                         {{AppNotifications::trackingNumberKey, QStringLiteral("FIRST111")}});
        QTRY_COMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("FIRST111"));
        QCOMPARE(app.mainWindow(), window);

        // Without a number nothing happens.
        AppNotifications::shared()->post(AppNotifications::openPackageDetail, {});
        QTest::qWait(20);
        QCOMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("FIRST111"));
        window->close();
    }

    void viewDetailsWithoutANumberOpensNothing()
    {
        KestroveApp &app = makeApp();
        AppNotifications::shared()->post(AppNotifications::openPackageDetail,
                                         {{AppNotifications::trackingNumberKey, 42}});
        QTest::qWait(50);
        QVERIFY(!app.mainWindow());
    }

    void markDeliveredUsesTheResultPath()
    {
        Preferences::shared()->setAutoArchiveDelivered(true);
        KestroveApp &app = makeApp();
        app.applicationDidFinishLaunching(); // starts the tracking service on the main context
        QVERIFY(m_service->servicesStarted());
        const auto found = m_context->fetchPackages(
            [](const Package &p) { return p.trackingNumber() == QLatin1String("SECOND222"); });
        QVERIFY(found && found.value().size() == 1);
        Package *package = found.value().constFirst();

        std::thread poster([] {
            AppNotifications::shared()->post(AppNotifications::markPackageDelivered,
                                             {{AppNotifications::trackingNumberKey, QStringLiteral("SECOND222")}});
        });
        poster.join();
        QTRY_COMPARE(package->status(), TrackingStatus::delivered);
        QVERIFY(package->isArchived());
        QVERIFY(!package->lastErrorMessage().has_value());
        QVERIFY(!m_context->hasChanges());
        Preferences::shared()->setAutoArchiveDelivered(false);
        if (app.mainWindow())
            app.mainWindow()->close();
    }
};

KESTROVE_GUI_TEST_MAIN(TrackingAppTest)
#include "trackingapptest.moc"
