#include "model/modelcontext.h"
#include "model/package.h"
#include "screenfixture.h"
#include "testmain.h"
#include "ui/menubarpopoverview.h"
#include "ui/shellactions.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace
{
class RecordingShell final : public ShellActions
{
public:
    void openMainWindow() override { calls.append(QStringLiteral("openMainWindow")); }
    void openSettings() override { calls.append(QStringLiteral("openSettings")); }
    void quit() override { calls.append(QStringLiteral("quit")); }

    QStringList calls;
};
}

class PopoverTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ModelContext> m_context;
    ScreenFixture m_screen {m_dir.filePath(QStringLiteral("preferences.conf"))};
    RecordingShell m_shell;
    int m_stores = 0;

    Package *addPackage(const QString &number, TrackingStatus status = TrackingStatus::inTransit, int minutesAgo = 0)
    {
        auto *package = new Package(number, QStringLiteral("ups"), {}, status);
        package->setLastUpdated(QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo));
        m_context->insert(package);
        return package;
    }

    std::unique_ptr<MenuBarPopoverView> makeView()
    {
        auto view = std::make_unique<MenuBarPopoverView>(m_screen.services(m_context.get()), &m_shell);
        view->resize(340, 420);
        return view;
    }

    static QStringList rowTitles(const MenuBarPopoverView &view)
    {
        QStringList titles;
        for (const MenuBarPackageRow *row : view.findChildren<MenuBarPackageRow *>())
            titles.append(row->findChild<QLabel *>(QStringLiteral("popover-row-title"))->text());
        return titles;
    }

    static QString badgeText(const MenuBarPopoverView &view)
    {
        const auto *badge = view.findChild<QLabel *>(QStringLiteral("popover-in-flight"));
        return badge->isHidden() ? QString() : badge->text();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        auto opened = ModelContext::open(m_dir.filePath(QStringLiteral("store-%1.sqlite").arg(++m_stores)));
        QVERIFY(opened);
        m_context = std::move(opened).value();
        m_shell.calls.clear();
    }

    void cleanup() { m_context.reset(); }

    void listsFirstFiveAndOffersTheRest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("viewAll");
        QTest::newRow("no packages shows the empty state") << 0 << 0 << QString();
        QTest::newRow("exactly five need no view-all button") << 5 << 5 << QString();
        QTest::newRow("seven show five and name all seven") << 7 << 5 << QStringLiteral("View all 7 packages...");
    }

    void listsFirstFiveAndOffersTheRest()
    {
        QFETCH(int, count);
        QFETCH(int, rows);
        QFETCH(QString, viewAll);
        for (int i = 0; i < count; ++i)
            addPackage(QStringLiteral("1Z%1").arg(i), TrackingStatus::inTransit, i);
        const auto view = makeView();

        QCOMPARE(view->findChildren<MenuBarPackageRow *>().size(), rows);
        const auto *button = view->findChild<QPushButton *>(QStringLiteral("popover-view-all"));
        QCOMPARE(button ? button->text() : QString(), viewAll);
        QCOMPARE(view->findChild<QWidget *>(QStringLiteral("popover-empty"))->isHidden(), count > 0);
        if (count > 0) // newest update first
            QCOMPARE(rowTitles(*view).constFirst(), QStringLiteral("1Z0"));
    }

    void pinnedFirstArchivedNever()
    {
        addPackage(QStringLiteral("NEWEST"), TrackingStatus::inTransit, 0);
        addPackage(QStringLiteral("OLDER"), TrackingStatus::inTransit, 30);
        Package *pinned = addPackage(QStringLiteral("PINNED"), TrackingStatus::inTransit, 60);
        pinned->setPinned(true);
        Package *archived = addPackage(QStringLiteral("ARCHIVED"), TrackingStatus::inTransit, 1);
        archived->setPinned(true);
        archived->setArchived(true);
        QVERIFY(m_context->save());

        const auto view = makeView();
        QCOMPARE(rowTitles(*view),
                 (QStringList {QStringLiteral("PINNED"), QStringLiteral("NEWEST"), QStringLiteral("OLDER")}));
    }

    void badgeCountsPackagesOnTheirWay()
    {
        // Pending, exception and failed attempt are on their way; expired and delivered are not.
        const QList<TrackingStatus> statuses {TrackingStatus::pending, TrackingStatus::expired,
                                              TrackingStatus::exception, TrackingStatus::failedAttempt,
                                              TrackingStatus::delivered};
        for (int i = 0; i < statuses.size(); ++i)
            addPackage(QStringLiteral("N%1").arg(i), statuses.at(i));
        QCOMPARE(badgeText(*makeView()), QStringLiteral("3"));
    }

    void followsTheStore()
    {
        const auto view = makeView();
        QVERIFY(badgeText(*view).isEmpty());
        Package *package = addPackage(QStringLiteral("LIVE"), TrackingStatus::pending);
        QTRY_COMPARE(rowTitles(*view), QStringList {QStringLiteral("LIVE")});
        QCOMPARE(badgeText(*view), QStringLiteral("1"));

        // Several changes in one turn: the rows built after them show the final state.
        package->setLabel(QStringLiteral("Shoes"));
        package->setStatus(TrackingStatus::delivered);
        QTRY_COMPARE(rowTitles(*view), QStringList {QStringLiteral("Shoes")});
        QCOMPARE(badgeText(*view), QString());

        package->setArchived(true);
        QTRY_VERIFY(rowTitles(*view).isEmpty());
        package->setArchived(false);
        QTRY_COMPARE(rowTitles(*view), QStringList {QStringLiteral("Shoes")});
    }

    void choosingARowOpensThePackage()
    {
        addPackage(QStringLiteral("1ZCHOSEN"));
        const auto view = makeView();
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QSignalSpy selected(&m_screen.requests, &AppNotifications::selectPackageRequested);

        auto *row = view->findChild<MenuBarPackageRow *>();
        QVERIFY(row);
        QTest::mouseClick(row, Qt::LeftButton);

        QCOMPARE(m_shell.calls, QStringList {QStringLiteral("openMainWindow")});
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.at(0).at(0).toString(), QStringLiteral("1ZCHOSEN"));
        QVERIFY(!view->isVisible());
    }
};

KESTROVE_GUI_TEST_MAIN(PopoverTest)
#include "popovertest.moc"
