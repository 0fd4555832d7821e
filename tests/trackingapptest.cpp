// The application's receivers of the desktop notifications' actions: "View Details" opens the
// main window on the package, "Mark Delivered" marks it delivered through the tracking service.
#include "app/appcomposition.h"
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/preferences.h"
#include "testmain.h"
#include "tracking/trackingservice.h"
#include "ui/mainwindowview.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>
#include <thread>

/** Names every object of the GUI thread a timer event reaches while it lives. */
struct TimerCounter : QObject {
    QStringList fired;
    TimerCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            fired.append(QString::fromLatin1(watched->metaObject()->className()) + u' ' + watched->objectName());
        return false;
    }
};

class TrackingAppTest : public QObject
{
    Q_OBJECT

private:
    ModelContext *m_context = nullptr;
    std::unique_ptr<AppComposition> m_services;
    std::unique_ptr<KestroveApp> m_app;

    KestroveApp &makeApp()
    {
        m_services = std::make_unique<AppComposition>(m_context);
        m_services->preferences().setHasCompletedOnboarding(true);
        m_app = std::make_unique<KestroveApp>(m_services->screenServices(), m_services->startupHooks());
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
        m_services.reset();
    }

    void viewDetailsOpensTheMainWindowOnThePackage()
    {
        KestroveApp &app = makeApp();
        QVERIFY(!app.mainWindow());
        // A click on the desktop notification arrives as the notification service's signal, here
        // from another thread.
        NotificationService *notifications = &m_services->notifications();
        std::thread poster(
            [notifications] { Q_EMIT notifications->openPackageDetailRequested(QStringLiteral("SECOND222")); });
        poster.join();
        QTRY_VERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        MainWindowView *view = app.mainWindow()->view();
        QTRY_VERIFY(view->selectedPackage());
        QCOMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("SECOND222"));

        // Another click while the window is open selects the other package in the same window.
        MainWindow *window = app.mainWindow();
        Q_EMIT notifications->openPackageDetailRequested(QStringLiteral("FIRST111"));
        QTRY_COMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("FIRST111"));
        QCOMPARE(app.mainWindow(), window);

        // Without a number nothing happens.
        Q_EMIT notifications->openPackageDetailRequested(QString());
        QTest::qWait(20);
        QCOMPARE(view->selectedPackage()->trackingNumber(), QStringLiteral("FIRST111"));
        window->close();
    }

    void viewDetailsWithoutANumberOpensNothing()
    {
        KestroveApp &app = makeApp();
        Q_EMIT m_services->notifications().openPackageDetailRequested(QString());
        QTest::qWait(50);
        QVERIFY(!app.mainWindow());
    }

    void markDeliveredUsesTheResultPath()
    {
        KestroveApp &app = makeApp();
        m_services->preferences().setAutoArchiveDelivered(true);
        app.applicationDidFinishLaunching(); // starts the tracking service on the main context
        QTRY_VERIFY(m_services->tracking().servicesStarted());
        const auto found = m_context->fetchPackages(
            [](const Package &p) { return p.trackingNumber() == QLatin1String("SECOND222"); });
        QVERIFY(found && found.value().size() == 1);
        Package *package = found.value().constFirst();

        NotificationService *notifications = &m_services->notifications();
        std::thread poster(
            [notifications] { Q_EMIT notifications->markDeliveredRequested(QStringLiteral("SECOND222")); });
        poster.join();
        QTRY_COMPARE(package->status(), TrackingStatus::delivered);
        QVERIFY(package->isArchived());
        QVERIFY(!package->lastErrorMessage().has_value());
        QVERIFY(!m_context->hasChanges());
        m_services->preferences().setAutoArchiveDelivered(false);
        if (app.mainWindow())
            app.mainWindow()->close();
    }

    // Idle means asleep: with the services running and the window open or closed, no timer of the
    // GUI thread fires while nothing is due (the next poll is minutes away).
    void anIdleApplicationWakesForNothing()
    {
        KestroveApp &app = makeApp();
        app.applicationDidFinishLaunching();
        QTRY_VERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        app.mainWindow()->view()->setSelectedPackage(m_context->fetchPackages().value().constFirst());
        for (const bool windowOpen : {true, false}) {
            if (!windowOpen)
                app.mainWindow()->close();
            QTest::qWait(1500); // start-up work and the first paint settle
            TimerCounter counter;
            QTest::qWait(3000);
            QVERIFY2(counter.fired.isEmpty(), qPrintable(counter.fired.join(u", ")));
        }
    }
};

KESTROVE_GUI_TEST_MAIN(TrackingAppTest)
#include "trackingapptest.moc"
