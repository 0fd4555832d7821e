#include "services/clipboardmonitor.h"

#include "model/preferences.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

/**
 * The monitor on the application's real clipboard, driven by a script of steps:
 * "copy:TEXT", "image", "html" (rich text without plain text), "huge" (10 MB of text),
 * "tick" (one polling interval), "dismiss:TEXT", "off" and "on" (the preference).
 */
class ClipboardMonitorTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<ClipboardMonitor> m_monitor;

    static void copy(const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
        QCoreApplication::processEvents();
    }

    void tick()
    {
        m_clock->advance(ClipboardMonitor::pollInterval);
        // The offer is published one event-loop turn after the tick.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    void run(const QStringList &steps)
    {
        for (const QString &step : steps) {
            if (step.startsWith("copy:"_L1)) {
                copy(step.mid(5));
            } else if (step == "image"_L1) {
                QImage image(8, 8, QImage::Format_RGB32);
                image.fill(Qt::red);
                QGuiApplication::clipboard()->setImage(image);
            } else if (step == "html"_L1) {
                auto *data = new QMimeData;
                data->setHtml(u"<b>1Z999AA10123456784</b>"_s);
                QGuiApplication::clipboard()->setMimeData(data);
            } else if (step == "huge"_L1) {
                copy(QString(10 * 1024 * 1024, u'7'));
            } else if (step == "tick"_L1) {
                tick();
            } else if (step.startsWith("dismiss:"_L1)) {
                m_monitor->dismissDetected(step.mid(8));
            } else {
                QVERIFY2(step == "on"_L1 || step == "off"_L1, qPrintable(step));
                m_preferences->setClipboardMonitoringEnabled(step == "on"_L1);
            }
            QCoreApplication::processEvents();
        }
    }

private Q_SLOTS:
    void init()
    {
        m_preferences = std::make_unique<Preferences>(m_dir.filePath(u"prefs.conf"_s));
        m_clock = std::make_unique<VirtualClock>();
        m_monitor
            = std::make_unique<ClipboardMonitor>(QGuiApplication::clipboard(), m_preferences.get(), m_clock.get());
    }

    void cleanup()
    {
        m_monitor.reset();
        m_preferences.reset();
        QFile::remove(m_dir.filePath(u"prefs.conf"_s));
    }

    void offersEachNumberOnce_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("offered");
        const QString ups = u"1Z999AA10123456784"_s;
        const QString fortyDigits = u"JVGL"_s + QString(36, u'4');
        QTest::newRow("start content never offered, copying it again offers it")
            << QStringList {u"copy:"_s + ups} << QStringList {"tick"_L1, u"copy:"_s + ups, "tick"_L1}
            << QStringList {ups};
        QTest::newRow("same normalised form offered once")
            << QStringList {}
            << QStringList {"copy:1z999aa10123456784"_L1, "tick"_L1, "copy:1Z 999-AA1 0123456784"_L1, "tick"_L1}
            << QStringList {u"1z999aa10123456784"_s};
        QTest::newRow("offered trimmed, inner spaces and hyphens kept")
            << QStringList {} << QStringList {"copy: \t1Z 999-AA10123456784\n"_L1, "tick"_L1}
            << QStringList {u"1Z 999-AA10123456784"_s};
        QTest::newRow("7 characters ignored even when a carrier matches")
            << QStringList {} << QStringList {"copy:JVGL123"_L1, "tick"_L1} << QStringList {};
        QTest::newRow("8 characters examined")
            << QStringList {} << QStringList {"copy:1234-5678"_L1, "tick"_L1} << QStringList {u"1234-5678"_s};
        QTest::newRow("40 characters examined, 41 ignored")
            << QStringList {}
            << QStringList {u"copy:"_s + fortyDigits + u'4', "tick"_L1, u"copy:"_s + fortyDigits, "tick"_L1}
            << QStringList {fortyDigits};
        QTest::newRow("text no carrier recognises ignored")
            << QStringList {} << QStringList {"copy:hello world, see you"_L1, "tick"_L1} << QStringList {};
        QTest::newRow("image, rich text and 10 MB of text pass, then a number is offered")
            << QStringList {} << QStringList {"image"_L1, "tick"_L1, "html"_L1,        "tick"_L1,
                                              "huge"_L1,  "tick"_L1, u"copy:"_s + ups, "tick"_L1}
            << QStringList {ups};
        QTest::newRow("only the last of two copies between ticks is examined")
            << QStringList {} << QStringList {"copy:12345678"_L1, u"copy:"_s + ups, "tick"_L1} << QStringList {ups};
        QTest::newRow("a dismissed number is not offered in another form")
            << QStringList {} << QStringList {"dismiss:1Z999-AA10123456784"_L1, "copy:1z999aa10123456784"_L1, "tick"_L1}
            << QStringList {};
        QTest::newRow("switched off nothing is offered; on again the clipboard's content is not offered")
            << QStringList {}
            << QStringList {"off"_L1, u"copy:"_s + ups, "tick"_L1, "on"_L1, "tick"_L1, "copy:12345678"_L1, "tick"_L1}
            << QStringList {u"12345678"_s};
    }

    void offersEachNumberOnce()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QStringList, offered);
        QSignalSpy spy(m_monitor.get(), &ClipboardMonitor::trackingNumberDetected);
        m_preferences->setClipboardMonitoringEnabled(true);
        run(before);
        m_monitor->start();
        QVERIFY(m_monitor->isMonitoring());
        run(after);

        QStringList seen;
        for (const QList<QVariant> &arguments : std::as_const(spy))
            seen.append(arguments.constFirst().toString());
        QCOMPARE(seen, offered);
        QCOMPARE(m_monitor->detectedTrackingNumber(), offered.isEmpty() ? QString() : offered.constLast());
    }

    void disabledAtLaunchNeverWatches()
    {
        QSignalSpy spy(m_monitor.get(), &ClipboardMonitor::trackingNumberDetected);
        m_monitor->start();
        run({u"copy:1Z999AA10123456784"_s, u"tick"_s});
        QVERIFY(!m_monitor->isMonitoring());
        QCOMPARE(spy.count(), 0);
    }

    void seenSetEmptiedPastItsBound()
    {
        m_preferences->setClipboardMonitoringEnabled(true);
        m_monitor->start();
        QSignalSpy spy(m_monitor.get(), &ClipboardMonitor::trackingNumberDetected);
        qsizetype largest = 0;
        for (int i = 0; i < 60; ++i) {
            run({u"copy:%1"_s.arg(10000000 + i), u"tick"_s});
            largest = std::max(largest, m_monitor->recentlySeenNumbers().size());
        }
        QCOMPARE(spy.count(), 60);
        QCOMPARE(largest, ClipboardMonitor::maxRecentCount + 1);
        // The 52nd emptied the set: the first number may be offered again, the last may not.
        QCOMPARE(m_monitor->recentlySeenNumbers().size(), 60 - 51);
        run({u"copy:10000000"_s, u"tick"_s, u"copy:10000059"_s, u"tick"_s});
        QCOMPARE(spy.count(), 61);
        QCOMPARE(spy.constLast().constFirst().toString(), u"10000000"_s);
    }
};

KESTROVE_GUI_TEST_MAIN(ClipboardMonitorTest)
#include "clipboardmonitortest.moc"
