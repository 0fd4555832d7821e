// The settings tabs and the first-run introduction, driven by object name against real
// preferences, the 17TRACK client on the fake server and virtual time.
#include "fake17trackserver.h"
#include "model/preferences.h"
#include "providers/seventeentrackprovider.h"
#include "services/apikeystore.h"
#include "services/loginitem.h"
#include "services/updatechecker.h"
#include "taskrunner.h"
#include "testmain.h"
#include "tracking/trackingservice.h"
#include "ui/apikeyssettingstab.h"
#include "ui/formatinterval.h"
#include "ui/onboardingview.h"
#include "ui/settingsview.h"
#include "virtualclock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>

using namespace std::chrono_literals;

class SettingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<Fake17TrackServer> m_server;
    std::optional<QString> m_storedKey;
    std::unique_ptr<ApiKeyStore> m_keys;
    std::unique_ptr<TrackingService> m_tracking;
    std::unique_ptr<UpdateChecker> m_updates;
    std::unique_ptr<SettingsView> m_view;

    template<typename T> T *find(const char *name) const
    {
        T *widget = m_view->findChild<T *>(QLatin1String(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }

private Q_SLOTS:
    void init()
    {
        m_preferences = std::make_unique<Preferences>(m_dir.filePath(QStringLiteral("prefs.ini")));
        m_clock = std::make_unique<VirtualClock>();
        m_server = std::make_unique<Fake17TrackServer>(m_clock.get());
        QVERIFY(m_server->listen());
        m_server->setExpectedToken("demo-key");
        // The keyring is the far side here: a value in memory stands in for it.
        m_storedKey.reset();
        m_keys = std::make_unique<ApiKeyStore>(
            ApiKeyStore::Operations {[this] { return m_storedKey; },
                                     [this](const QString &value) -> Result<bool, QString> {
                                         m_storedKey = value;
                                         return true;
                                     }});

        TrackingService::Collaborators collaborators;
        collaborators.providerFactory = [this](TrackingProviderType) -> std::unique_ptr<TrackingProvider> {
            SeventeenTrackProvider::Options options;
            options.clock = m_clock.get();
            options.baseURL = m_server->baseUrl();
            options.apiKey = [this] { return m_keys->apiKey(); };
            return std::make_unique<SeventeenTrackProvider>(options);
        };
        collaborators.clock = m_clock.get();
        collaborators.preferences = m_preferences.get();
        collaborators.postNotifications = false;
        collaborators.polling.observeSystemSleep = false;
        m_tracking = std::make_unique<TrackingService>(std::move(collaborators));
        UpdateChecker::Options updates;
        updates.clock = m_clock.get();
        updates.preferences = m_preferences.get();
        updates.manifestUrl = QUrl(m_server->baseUrl() + QStringLiteral("/update.json"));
        m_updates = std::make_unique<UpdateChecker>(updates);

        SettingsServices services;
        services.preferences = m_preferences.get();
        services.apiKeys = m_keys.get();
        services.tracking = m_tracking.get();
        services.updates = m_updates.get();
        services.clock = m_clock.get();
        services.setLoginItem
            = [](bool enabled) { return LoginItem::setEnabled(enabled, QStringLiteral("/usr/bin/kestrove")); };
        m_view = std::make_unique<SettingsView>(services);
        m_view->show();
    }

    void cleanup()
    {
        m_view.reset();
        m_tracking.reset();
        m_updates.reset();
    }

    void formatInterval_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("fraction of a minute dropped") << qint64(90) << "1 min";
        QTest::newRow("last minute of the first hour") << qint64(3599) << "59 min";
        QTest::newRow("whole hours") << qint64(7200) << "2h";
        QTest::newRow("hours and minutes") << qint64(5400) << "1h 30m";
        QTest::newRow("whole day") << qint64(86400) << "1d";
        QTest::newRow("minutes beyond the day dropped") << qint64(86400 + 59 * 60) << "1d";
        QTest::newRow("day and hours") << qint64(90000) << "1d 1h";
    }
    void formatInterval()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(::formatInterval(seconds), text);
    }

    void launchAtLoginWritesTheEntryOrFallsBack()
    {
        auto *toggle = find<QCheckBox>("launchAtLoginToggle");
        toggle->click();
        QVERIFY(m_preferences->launchAtLogin());
        QVERIFY(QFile::exists(LoginItem::entryPath()));
        toggle->click();
        QVERIFY(!QFile::exists(LoginItem::entryPath()));

        // An autostart folder that cannot be written: the toggle goes back off.
        QFile blocker(QFileInfo(LoginItem::entryPath()).absolutePath());
        QVERIFY(QDir().rmdir(blocker.fileName()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        toggle->click();
        QVERIFY(!toggle->isChecked());
        QVERIFY(!m_preferences->launchAtLogin());
        QVERIFY(blocker.remove());
    }

    void aNewRefreshIntervalReplansThePoll()
    {
        m_tracking->pollingManager()->start();
        QCOMPARE(m_tracking->pollingManager()->nextPollDate(), m_clock->now().addSecs(900));
        auto *picker = find<QComboBox>("refreshIntervalPicker");
        QCOMPARE(picker->currentText(), QStringLiteral("15 minutes"));
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down); // 30 minutes
        QCOMPARE(m_preferences->refreshInterval(), 1800.0);
        QCOMPARE(m_tracking->pollingManager()->nextPollDate(), m_clock->now().addSecs(1800));

        // A value set elsewhere that is no choice is shown as it is.
        m_preferences->setRefreshInterval(5400);
        QCOMPARE(picker->currentText(), QStringLiteral("1h 30m"));
    }

    void dependentControlsFollowTheirSwitch()
    {
        m_preferences->setNotifyOnStatusChange(false);
        m_preferences->setSoundNotifications(true);
        auto *master = find<QCheckBox>("notificationsEnabledToggle");
        auto *statusChanges = find<QCheckBox>("notifyOnStatusChangeToggle");
        auto *sound = find<QCheckBox>("soundNotificationsToggle");
        master->click();
        QVERIFY(!m_preferences->notificationsEnabled());
        QVERIFY(!statusChanges->isEnabled() && !sound->isEnabled());
        QVERIFY(!statusChanges->isChecked() && sound->isChecked());
        QVERIFY(!m_preferences->notifyOnStatusChange() && m_preferences->soundNotifications());
        master->click();
        QVERIFY(statusChanges->isEnabled() && sound->isEnabled());

        auto *delay = find<QComboBox>("autoDeleteDelayPicker");
        QVERIFY(!delay->isVisibleTo(m_view.get()));
        find<QCheckBox>("autoDeleteToggle")->click();
        QVERIFY(delay->isVisibleTo(m_view.get()));
    }

    void quietHoursAreSecondsAfterMidnight()
    {
        m_preferences->setQuietHoursEnabled(true);
        m_preferences->setQuietHoursStart(27000);
        auto *start = find<QTimeEdit>("quietHoursStartPicker");
        QCOMPARE(start->time(), QTime(7, 30));
        find<QTimeEdit>("quietHoursEndPicker")->setTime(QTime(22, 15));
        QCOMPARE(m_preferences->quietHoursEnd(), 80100.0);
        QCOMPARE(m_preferences->quietHoursStart(), 27000.0);
    }

    void keyTestedStoredAndItsQuotaShown()
    {
        m_view->showTab(SettingsView::Tab::apiKeys);
        QVERIFY(TestSupport::runTask(m_keys->load()));
        auto *tab = m_view->apiKeysTab();
        QTRY_COMPARE(tab->keyStatus(), APIKeyStatus::notConfigured);
        auto *button = find<QPushButton>("testConnectionButton");
        QVERIFY(!button->isEnabled());
        auto *field = find<QLineEdit>("apiKeyField");
        QTest::keyClicks(field, QStringLiteral("  demo-key  "));
        QVERIFY(button->isEnabled());

        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(tab->isTesting());
        QVERIFY(!button->isEnabled()); // a second press cannot start a second save
        QTRY_COMPARE(m_clock->pendingSleepers(), 1);
        m_clock->advance(1s);
        QTRY_COMPARE(tab->keyStatus(), APIKeyStatus::configured);
        QCOMPARE(m_storedKey, QStringLiteral("demo-key"));
        QCOMPARE(m_keys->apiKey(), QStringLiteral("demo-key"));
        auto *quota = find<QLabel>("quotaText");
        QTRY_VERIFY(quota->isVisible());
        QCOMPARE(quota->text(), QStringLiteral("100 of 100 tracking numbers left"));

        // An answer that makes no sense shows no figure.
        m_clock->setAutoAdvance(true); // through the pacing of requests
        m_server->enqueue(QStringLiteral("getquota"),
                          Fake17TrackServer::Reply::json({{QStringLiteral("code"), 0}, {QStringLiteral("data"), 5}}));
        QVERIFY(TestSupport::runTask(tab->refreshQuota()));
        QVERIFY(!quota->isVisible());
    }

    void anotherProviderIsComingSoon()
    {
        m_view->showTab(SettingsView::Tab::apiKeys);
        QSignalSpy switched(m_tracking.get(), &TrackingService::providerChanged);
        auto *picker = find<QComboBox>("providerPicker");
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(m_preferences->selectedProvider(), QStringLiteral("ship24"));
        QCOMPARE(switched.size(), 1);
        QVERIFY(find<QWidget>("providerComingSoon")->isVisible());
        QCOMPARE(find<QGroupBox>("apiKeySection")->title(), QStringLiteral("Ship24 API Key"));
    }

    void introductionPagedByKeysAndButtons()
    {
        OnboardingView view(m_preferences.get(), nullptr);
        m_preferences->setHasCompletedOnboarding(false);
        QSignalSpy keySettings(&view, &OnboardingView::apiKeySettingsRequested);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto *back = view.findChild<QPushButton *>(QStringLiteral("onboardingBack"));
        QVERIFY(!back->isVisible());
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.currentPage(), 1);
        view.findChild<QPushButton *>(QStringLiteral("onboardingOpenKeySettings"))->click();
        QCOMPARE(keySettings.size(), 1);
        back->click();
        QCOMPARE(view.currentPage(), 0);
        for (int page = 1; page <= 3; ++page) {
            QTest::keyClick(&view, Qt::Key_Return);
            QCOMPARE(view.currentPage(), page);
        }
        QCOMPARE(view.findChild<QWidget *>(QStringLiteral("onboardingPageDots"))->accessibleName(),
                 QStringLiteral("Page 4 of 4"));
        QVERIFY(!m_preferences->hasCompletedOnboarding());
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(m_preferences->hasCompletedOnboarding());
        QCOMPARE(view.result(), int(QDialog::Accepted));
        QVERIFY(!view.isVisible());
    }
};

KESTROVE_GUI_TEST_MAIN(SettingsTest)
#include "settingstest.moc"
