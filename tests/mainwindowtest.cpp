#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"
#include "screenfixture.h"
#include "services/csvservice.h"
#include "services/keychainmanager.h"
#include "showcase.h"
#include "sqlprobe.h"
#include "testmain.h"
#include "tracking/trackingservice.h"
#include "ui/addpackagedialog.h"
#include "ui/batchactionbar.h"
#include "ui/capsulebutton.h"
#include "ui/emptystateview.h"
#include "ui/filepanels.h"
#include "ui/filterpillbar.h"
#include "ui/groupchipbar.h"
#include "ui/mainwindowview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/packagerowview.h"
#include "ui/savereporter.h"
#include "ui/shellactions.h"
#include "virtualclock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using S = Fake17TrackServer;

namespace
{
class FakeShell final : public ShellActions
{
public:
    void openMainWindow() override { ++mainWindowOpened; }
    void openSettings() override { ++settingsOpened; }
    void quit() override { }
    int mainWindowOpened = 0;
    int settingsOpened = 0;
};

QStringList visibleNumbers(const MainWindowView &view)
{
    QStringList numbers;
    const PackageListModel *model = view.packageList()->listModel();
    for (int i = 0; i < model->rowCount(); ++i)
        numbers.append(model->index(i).data(PackageListModel::TrackingNumberRole).toString());
    return numbers;
}

}

class MainWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<S> m_server;
    std::unique_ptr<ScreenFixture> m_screen;
    std::unique_ptr<ModelContext> m_context;
    FakeShell m_shell;
    std::unique_ptr<MainWindowView> m_view;
    int m_stores = 0;

    Package *add(const QString &number, TrackingStatus status, int minutesAgo, const QString &label = {},
                 const QString &carrier = QStringLiteral("ups"))
    {
        auto *p = new Package(number, carrier, label, status);
        p->setLastUpdated(QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo));
        m_context->insert(p);
        return p;
    }

    PackageGroup *addGroup(const QString &name, const QString &hex, int order)
    {
        auto *group = new PackageGroup(name, hex, order);
        m_context->insert(group);
        return group;
    }

    MainWindowView &openView(Clock *clock = nullptr)
    {
        ScreenServices services = m_screen->services(m_context.get());
        services.clock = clock ? clock : services.clock;
        m_view = std::make_unique<MainWindowView>(services, &m_shell);
        m_view->resize(1000, 680);
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view.get()))
            qWarning("the view was not exposed");
        return *m_view;
    }

    void clickRow(MainWindowView &view, int row)
    {
        PackageListView *list = view.packageList();
        const QRect rect = list->visualRect(list->listModel()->index(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    /** The import alert once it shows, or nullptr after a minute. */
    QMessageBox *waitForImportAlert()
    {
        QMessageBox *alert = nullptr;
        QElapsedTimer waited;
        waited.start();
        while (!(alert = m_view->findChild<QMessageBox *>(QStringLiteral("importResultAlert")))
               && waited.elapsed() < 60000)
            QTest::qWait(10);
        return alert;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_server = std::make_unique<S>();
        QVERIFY(m_server->listen());
        // The tracking service's client reads the address when it is made: point it at the fake service first.
        qputenv("KESTROVE_17TRACK_BASE_URL", m_server->baseUrl().toUtf8());
        m_screen = std::make_unique<ScreenFixture>(m_dir.filePath(QStringLiteral("preferences.conf")));
    }

    void cleanupTestCase() { m_screen.reset(); }

    void init()
    {
        auto opened = ModelContainer::open(m_dir.filePath(QStringLiteral("main%1.sqlite").arg(++m_stores)));
        QVERIFY(opened);
        m_context = std::move(opened).value();
        m_shell = FakeShell();
    }

    void cleanup()
    {
        FilePanels::setOpenHandler({});
        FilePanels::setSaveHandler({});
        m_view.reset();
        m_context.reset();
    }

    void apiKeyBannerFollowsTheKey()
    {
        // No key yet: the banner asks for one and its link opens the settings.
        MainWindowView &view = openView();
        auto *banner = view.findChild<QWidget *>(QStringLiteral("apiKeyBanner"));
        QVERIFY(banner->isVisible());
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("apiKeyBannerText"))->text(),
                 QStringLiteral("Tracking API key not configured."));
        QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("openSettingsLink")), Qt::LeftButton);
        QCOMPARE(m_shell.settingsOpened, 1);

        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QStringLiteral("test-key")));
        m_view.reset();
        QVERIFY(!openView().findChild<QWidget *>(QStringLiteral("apiKeyBanner"))->isVisible());
    }

    void emptyStatesPerFilterAndSearch_data()
    {
        QTest::addColumn<QString>("pill");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("all") << QStringLiteral("all") << QString() << QStringLiteral("No Packages")
                             << QStringLiteral("Add a package to start tracking.");
        QTest::newRow("a search under all names the text")
            << QStringLiteral("all") << QStringLiteral("zq") << QStringLiteral("No Results for \u201czq\u201d")
            << QStringLiteral("Check the spelling or try a new search.");
        QTest::newRow("a search under another filter shows that filter's panel")
            << QStringLiteral("inTransit") << QStringLiteral("zq") << QStringLiteral("No Packages In Transit")
            << QStringLiteral("Packages currently in transit will appear here.");
    }

    void emptyStatesPerFilterAndSearch()
    {
        QFETCH(QString, pill);
        QFETCH(QString, search);
        QFETCH(QString, title);
        QFETCH(QString, text);
        MainWindowView &view = openView();
        QTest::mouseClick(view.findChild<CapsuleButton *>(QStringLiteral("filterPill-") + pill), Qt::LeftButton);
        QTest::keyClicks(view.findChild<QLineEdit *>(QStringLiteral("searchField")), search);
        EmptyStateView *empty = view.packageList()->emptyState();
        QTRY_VERIFY(empty->isVisible());
        QCOMPARE(empty->title(), title);
        QCOMPARE(empty->text(), text);

        // Nothing is selected: the detail side asks for a choice.
        auto *detail = view.findChild<EmptyStateView *>(QStringLiteral("detailEmptyState"));
        QVERIFY(detail->isVisible());
        QCOMPARE(detail->title(), QStringLiteral("Select a Package"));
        QCOMPARE(detail->text(), QStringLiteral("Choose a package from the sidebar to view its details."));
    }

    void pillsAndChips()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        auto *chips = view.findChild<GroupChipBar *>();
        PackageGroup *home = chips->groups().at(0);
        QCOMPARE(chips->groups().size(), 3);
        QCOMPARE(chips->chip(home)->text(), QStringLiteral("Home"));

        // A chip shows its members, archived ones included, and resets the filter to "All".
        QTest::mouseClick(view.findChild<CapsuleButton *>(QStringLiteral("filterPill-delivered")), Qt::LeftButton);
        QCOMPARE(visibleNumbers(view), QStringList {QStringLiteral("JD014600006281230467")});
        QTest::mouseClick(chips->chip(home), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), home);
        QCOMPARE(view.selectedFilter(), PackageFilter::all);
        QCOMPARE(visibleNumbers(view),
                 (QStringList {QStringLiteral("1Z999AA10123456784"), QStringLiteral("ARCH00000001")}));
        QVERIFY(view.findChild<CapsuleButton *>(QStringLiteral("filterPill-all"))->isChecked());

        // "All" keeps the group; any other pill drops it.
        QTest::mouseClick(view.findChild<CapsuleButton *>(QStringLiteral("filterPill-all")), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), home);
        QTest::mouseClick(view.findChild<CapsuleButton *>(QStringLiteral("filterPill-inTransit")), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), nullptr);
        QCOMPARE(visibleNumbers(view),
                 (QStringList {QStringLiteral("9400111899223817460012"), QStringLiteral("TBA123456789000"),
                               QStringLiteral("1Z999AA10123456784")}));

        // Tapping the selected group's chip again deselects it.
        QTest::mouseClick(chips->chip(home), Qt::LeftButton);
        QTest::mouseClick(chips->chip(home), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), nullptr);
        QVERIFY(!chips->chip(home)->isChecked());

        // Counts include archived members and follow membership changes.
        QCOMPARE(chips->chip(home)->trailingText(), QStringLiteral("2"));
        Package *lamp = m_context
                            ->fetchPackages([](const Package &p) {
                                return p.trackingNumber() == QLatin1String("9400111899223817460012");
                            })
                            .value()
                            .constFirst();
        lamp->addToGroup(home);
        QTRY_COMPARE(chips->chip(home)->trailingText(), QStringLiteral("3"));
        const CapsuleButton *rebuiltBefore = chips->chip(home);
        // Any saved change rebuilds the chips while they are shown: the row keeps their whole height.
        lamp->setPinned(true);
        QVERIFY(m_context->save());
        QTRY_VERIFY(chips->chip(home) != rebuiltBefore);
        CapsuleButton *rebuilt = chips->chip(home);
        QTRY_VERIFY(rebuilt->isVisible());
        QTRY_COMPARE(rebuilt->visibleRegion().boundingRect().height(), rebuilt->height());
    }

    void groupsSectionWithoutGroupsOffersToAddThem()
    {
        int made = 0;
        MainWindowView::setGroupManagementFactory([&made](ModelContext *, QWidget *parent) {
            ++made;
            auto *dialog = new QDialog(parent);
            dialog->setObjectName(QStringLiteral("fakeGroupSheet"));
            return dialog;
        });
        MainWindowView &view = openView();
        auto *addGroups = view.findChild<QPushButton *>(QStringLiteral("addGroupsButton"));
        QVERIFY(addGroups->isVisible());
        QCOMPARE(addGroups->text(), QStringLiteral("Add Groups"));
        QTest::mouseClick(addGroups, Qt::LeftButton);
        QCOMPARE(made, 1);
        QTRY_VERIFY(view.findChild<QDialog *>(QStringLiteral("fakeGroupSheet")));
        view.findChild<QDialog *>(QStringLiteral("fakeGroupSheet"))->close();

        // The first group replaces the button with the section.
        addGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 0);
        QTRY_VERIFY(!addGroups->isVisible());
        QVERIFY(view.findChild<QToolButton *>(QStringLiteral("manageGroupsButton"))->isVisible());
        MainWindowView::setGroupManagementFactory({});
    }

    void searchSortAndKeyboard()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        auto *search = view.findChild<QLineEdit *>(QStringLiteral("searchField"));
        QCOMPARE(search->placeholderText(), QStringLiteral("Search packages"));

        // Ctrl+F focuses the search field; typing narrows the list; Escape clears it.
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("LAMP"));
        QCOMPARE(visibleNumbers(view), QStringList {QStringLiteral("9400111899223817460012")});
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(search->text(), QString());
        QCOMPARE(visibleNumbers(view).size(), 8);

        // Carrier names are searched too.
        QTest::keyClicks(search, QStringLiteral("fedex"));
        QCOMPARE(visibleNumbers(view), QStringList {QStringLiteral("782910365432")});
        search->clear();

        // Sorting by status: pinned first, then pending, transit, out for delivery, delivered, others.
        view.findChild<QAction *>(QStringLiteral("sort-status"))->trigger();
        QCOMPARE(view.sortMode(), PackageSortMode::status);
        QVERIFY(view.findChild<QAction *>(QStringLiteral("sort-status"))->isChecked());
        QVERIFY(!view.findChild<QAction *>(QStringLiteral("sort-lastUpdated"))->isChecked());
        QCOMPARE(visibleNumbers(view).mid(0, 5),
                 (QStringList {QStringLiteral("9400111899223817460012"), QStringLiteral("TBA123456789000"),
                               QStringLiteral("1Z999AA10123456784"), QStringLiteral("JD014600006281230467"),
                               QStringLiteral("782910365432")}));

        // Down from the search field enters the list; arrows select; Delete removes the selection.
        search->setFocus();
        QTest::keyClick(search, Qt::Key_Down);
        QTRY_VERIFY(view.packageList()->hasFocus());
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("9400111899223817460012"));
        QTest::keyClick(view.packageList(), Qt::Key_Down);
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("TBA123456789000"));
        QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("packageSummary"))->isVisible());
        QTest::keyClick(view.packageList(), Qt::Key_Delete);
        QCOMPARE(view.selectedPackage(), nullptr);
        QTRY_VERIFY(!visibleNumbers(view).contains(QStringLiteral("TBA123456789000")));
        QCOMPARE(m_context->fetchPackages().value().size(), 8);
    }

    void archiveSelectedArchivesTheSelection()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        const auto find = [&](const QString &number) {
            const auto found
                = m_context->fetchPackages([&](const Package &p) { return p.trackingNumber() == number; }, {});
            return found.value().value(0);
        };

        // Outside batch mode: the package shown in the detail.
        const QString shown = visibleNumbers(view).at(0);
        view.setSelectedPackage(find(shown));
        Q_EMIT m_screen->requests.archiveSelectedRequested();
        QVERIFY(find(shown)->isArchived());
        QTRY_VERIFY(!visibleNumbers(view).contains(shown)); // the list updates on the next turn

        // In batch mode: the ticked packages, and batch mode ends.
        view.findChild<QAction *>(QStringLiteral("batchToggleAction"))->trigger();
        clickRow(view, 0);
        clickRow(view, 1);
        const QStringList ticked = {visibleNumbers(view).at(0), visibleNumbers(view).at(1)};
        const QString untouched = visibleNumbers(view).at(2);
        Q_EMIT m_screen->requests.archiveSelectedRequested();
        for (const QString &number : ticked)
            QVERIFY2(find(number)->isArchived(), qPrintable(number));
        QVERIFY(!find(untouched)->isArchived());
        QVERIFY(!view.isBatchMode());

        // The archive is saved: a second context on the file sees it.
        auto reopened = ModelContext::open(m_context->storePath());
        QVERIFY(reopened);
        const auto archived = reopened.value()->fetchPackages([](const Package &p) { return p.isArchived(); }, {});
        QVERIFY(archived);
        QVERIFY(archived.value().size() >= 3);
    }

    void aSaveBlockedByAnotherWriterStaysPendingAndIsRetried()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        VirtualClock clock;
        MainWindowView &view = openView(&clock);
        auto *banner = view.findChild<QWidget *>(QStringLiteral("saveErrorBanner"));
        QVERIFY(banner && !banner->isVisible());
        const QString number = visibleNumbers(view).at(0);
        Package *package
            = m_context->fetchPackages([&](const Package &p) { return p.trackingNumber() == number; }).value().value(0);
        view.setSelectedPackage(package);

        // Another process holds the write lock: the archive stays pending, and the banner says so.
        TestSupport::SqlProbe lock(m_context->storePath());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        view.archiveSelected();
        QVERIFY(banner->isVisible());
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("saveErrorBannerText"))->text(),
                 QStringLiteral("The changes could not be saved to %1. Database is locked. Your changes are not saved "
                                "yet; Kestrove keeps trying.")
                     .arg(QDir::toNativeSeparators(m_context->storePath())));
        QVERIFY(package->isArchived() && m_context->hasChanges());
        clock.advance(SaveReporter::retryInterval);
        QTRY_COMPARE(clock.requestedSleeps().size(), 2); // the first retry failed and waits again
        QVERIFY(banner->isVisible());

        // Once the lock is gone the next retry writes it.
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        clock.advance(SaveReporter::retryInterval);
        QTRY_VERIFY(!banner->isVisible());
        QCOMPARE(TestSupport::SqlProbe(m_context->storePath())
                     .scalar(QStringLiteral("SELECT isArchived FROM Package WHERE trackingNumber = '%1'").arg(number))
                     .toBool(),
                 true);
    }

    void batchArchiveDeleteAndAddToGroup()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        auto *bar = view.findChild<BatchActionBar *>();
        QVERIFY(!bar->isVisible());
        view.findChild<QAction *>(QStringLiteral("batchToggleAction"))->trigger();
        QVERIFY(view.isBatchMode());
        QVERIFY(bar->isVisible());

        // Rows 0 and 1 ticked, then row 0 unticked and row 2 ticked.
        clickRow(view, 0);
        clickRow(view, 1);
        clickRow(view, 0);
        clickRow(view, 2);
        auto *count = view.findChild<QLabel *>(QStringLiteral("batchSelectedCount"));
        QCOMPARE(count->text(), QStringLiteral("2 selected"));
        QCOMPARE(view.selectedPackage(), nullptr);
        const QStringList ticked = {visibleNumbers(view).at(1), visibleNumbers(view).at(2)};

        // Add to a group: members gain it, batch mode stays.
        PackageGroup *work = view.findChild<GroupChipBar *>()->groups().at(2);
        QMenu *menu = bar->addToGroupMenu();
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(menu->actions().at(2)->text(), QStringLiteral("Work"));
        menu->actions().at(2)->trigger();
        QCOMPARE(work->packages().size(), 2);
        QVERIFY(view.isBatchMode());
        menu->actions().at(2)->trigger();
        QCOMPARE(work->packages().size(), 2);

        // Archive: the ticked packages leave "All", batch mode ends with an empty selection.
        view.findChild<QToolButton *>(QStringLiteral("batchArchiveButton"))->click();
        QVERIFY(!view.isBatchMode());
        QVERIFY(view.batchSelection().isEmpty());
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(!visibleNumbers(view).contains(ticked.at(0)) && !visibleNumbers(view).contains(ticked.at(1)));
        QVERIFY(!m_context->hasChanges());

        // Delete: no question asked; the selected package among them is deselected first.
        clickRow(view, 0);
        Package *selected = view.selectedPackage();
        QVERIFY(selected);
        view.findChild<QAction *>(QStringLiteral("batchToggleAction"))->trigger();
        clickRow(view, 0);
        clickRow(view, 1);
        QCOMPARE(view.selectedPackage(), selected);
        QSignalSpy deselected(&view, &MainWindowView::selectedPackageChanged);
        view.findChild<QToolButton *>(QStringLiteral("batchDeleteButton"))->click();
        QCOMPARE(view.selectedPackage(), nullptr);
        QCOMPARE(deselected.size(), 1);
        QVERIFY(!view.isBatchMode());
        QCOMPARE(m_context->fetchPackages().value().size(), 7);
        QVERIFY(!m_context->hasChanges());

        // Turning batch mode off by the toggle empties the selection too.
        view.findChild<QAction *>(QStringLiteral("batchToggleAction"))->trigger();
        clickRow(view, 0);
        QCOMPARE(view.batchSelection().size(), 1);
        view.findChild<QAction *>(QStringLiteral("batchToggleAction"))->trigger();
        QVERIFY(view.batchSelection().isEmpty());
    }

    void contextMenu()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        Package *shoes = view.packageList()->listModel()->packageAt(2);
        QCOMPARE(shoes->trackingNumber(), QStringLiteral("1Z999AA10123456784"));
        std::unique_ptr<QMenu> menu(view.packageList()->createContextMenu(shoes, nullptr));
        auto *colors = menu->findChild<QMenu *>(QStringLiteral("colorTagMenu"));
        QVERIFY(!colors->actions().at(0)->isEnabled()); // nothing to remove yet

        // Pin moves the package to the top (before the older pinned one) and is saved.
        menu->findChild<QAction *>(QStringLiteral("pinAction"))->trigger();
        QVERIFY(shoes->isPinned());
        QVERIFY(!m_context->hasChanges());
        QTRY_COMPARE(visibleNumbers(view).at(0), QStringLiteral("1Z999AA10123456784"));

        // A colour tag, then the same menu again offers "Unpin" and an enabled "Remove Color".
        colors->findChild<QAction *>(QStringLiteral("colorTag-Teal"))->trigger();
        QCOMPARE(shoes->colorTag(), std::optional<QString>(QStringLiteral("#5AC8FA")));
        menu.reset(view.packageList()->createContextMenu(shoes, nullptr));
        QCOMPARE(menu->findChild<QAction *>(QStringLiteral("pinAction"))->text(), QStringLiteral("Unpin"));
        QVERIFY(menu->findChild<QMenu *>(QStringLiteral("colorTagMenu"))->actions().at(0)->isEnabled());

        // Group membership toggles by id; the copy action puts the number on the clipboard.
        auto *groups = menu->findChild<QMenu *>(QStringLiteral("addToGroupMenu"));
        QCOMPARE(groups->actions().size(), 3);
        QCOMPARE(shoes->groups().size(), 1);
        groups->actions().at(0)->trigger();
        QCOMPARE(shoes->groups().size(), 0);
        menu->findChild<QAction *>(QStringLiteral("copyTrackingNumberAction"))->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1Z999AA10123456784"));

        // Archive, then delete from the menu.
        menu->findChild<QAction *>(QStringLiteral("archiveAction"))->trigger();
        QVERIFY(shoes->isArchived());
        menu.reset(view.packageList()->createContextMenu(shoes, nullptr));
        QCOMPARE(menu->findChild<QAction *>(QStringLiteral("archiveAction"))->text(), QStringLiteral("Unarchive"));
        menu->findChild<QAction *>(QStringLiteral("deleteAction"))->trigger();
        QVERIFY(shoes->isDeleted());
    }

    void dropOffersTheFirstCandidate_data()
    {
        QTest::addColumn<QByteArray>("dropped");
        QTest::addColumn<QString>("prefill");
        QTest::newRow("a number in parentheses with a full stop")
            << QByteArray("Your parcel (1Z999AA10123456784). Thanks") << QStringLiteral("1Z999AA10123456784");
        QTest::newRow("space-separated short blocks give nothing") << QByteArray("9400 1118 9922 3817") << QString();
    }

    void dropOffersTheFirstCandidate()
    {
        QFETCH(QByteArray, dropped);
        QFETCH(QString, prefill);
        MainWindowView &view = openView();
        QMimeData mime;
        mime.setData(QStringLiteral("text/plain"), dropped);
        const QPoint at = view.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &drop);
        QVERIFY(drop.isAccepted());
        if (prefill.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(view.addPackageSheet(), nullptr);
            return;
        }
        QTRY_VERIFY(view.addPackageSheet());
        QCOMPARE(view.addPackageSheet()->trackingNumber(), prefill);
        view.addPackageSheet()->reject();
    }

    void addSheetAddsThroughTheTrackingService()
    {
        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QStringLiteral("test-key")));
        const QString number = QStringLiteral("1Z999AA10123456784");
        m_server->setTrackInfo(
            number,
            S::trackInfo(10,
                         {S::event(QStringLiteral("2026-03-01T09:00:00Z"), QStringLiteral("Origin scan"), 10,
                                   QStringLiteral("Louisville, KY"))}),
            100002);
        PackageGroup *gifts = addGroup(QStringLiteral("Gifts"), QStringLiteral("#FF2D55"), 0);
        addGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 1);
        QVERIFY(m_context->save());
        MainWindowView &view = openView();

        // The menu bar's request opens the sheet with the number, detected at once.
        m_server->clearRequests();
        Q_EMIT m_screen->requests.addPackageRequested(QStringLiteral("1z999aa10123456784"));
        QTRY_VERIFY(view.addPackageSheet());
        AddPackageDialog *sheet = view.addPackageSheet();
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->detectionResults().value(0).carrierCode, QStringLiteral("ups"));
        QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("detectedCarrierName"))->text(), QStringLiteral("UPS"));

        sheet->findChild<QLineEdit *>(QStringLiteral("labelField"))->setText(QStringLiteral("  Shoes  "));
        QTest::mouseClick(sheet->findChild<QToolButton *>(QStringLiteral("colorSwatch-Purple")), Qt::LeftButton);
        auto *giftsChip = sheet->findChild<CapsuleButton *>(QStringLiteral("groupChip-")
                                                            + gifts->id().toString(QUuid::WithoutBraces));
        QTest::mouseClick(giftsChip, Qt::LeftButton);
        QCOMPARE(giftsChip->trailingText(), QStringLiteral("\u2713"));
        auto *picker = sheet->findChild<QDateEdit *>(QStringLiteral("deliveryDatePicker"));
        QVERIFY(!picker->isVisible());
        sheet->findChild<QCheckBox *>(QStringLiteral("estimatedDeliveryToggle"))->setChecked(true);
        // The toggle shows the date picker under its title "Delivery Date".
        QVERIFY(picker->isVisible());
        const QList<QLabel *> labels = sheet->findChildren<QLabel *>();
        const auto title = std::find_if(labels.begin(), labels.end(), [&](QLabel *l) { return l->buddy() == picker; });
        QVERIFY(title != labels.end());
        QCOMPARE((*title)->text(), QStringLiteral("Delivery Date"));
        QVERIFY((*title)->isVisible());

        QSignalSpy added(sheet, &AddPackageDialog::packageAdded);
        QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("addButton")), Qt::LeftButton);
        // The sheet closes at once, without waiting for the service.
        QTRY_COMPARE(view.addPackageSheet(), nullptr);

        Package *package = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((package = [&]() -> Package * {
                                     const auto found = m_context->fetchPackages([&](const Package &p) {
                                         return p.trackingNumber() == number && p.colorTag().has_value();
                                     });
                                     return found && !found.value().isEmpty() ? found.value().constFirst() : nullptr;
                                 }()),
                                 20000);
        QCOMPARE(package->label(), QStringLiteral("Shoes"));
        QCOMPARE(package->carrierCode(), QStringLiteral("ups"));
        QCOMPARE(package->colorTag(), std::optional<QString>(QStringLiteral("#AF52DE")));
        QCOMPARE(package->groups(), QList<PackageGroup *> {gifts});
        QVERIFY(package->estimatedDelivery().has_value());
        QVERIFY(!m_context->hasChanges());
        QVERIFY(m_server->requests().size() >= 1);
        QCOMPARE(m_server->requests().constFirst().numbers, QStringList {number});
    }

    void rowsLeaveTheTitleReadable_data()
    {
        QTest::addColumn<qreal>("pointSize");
        QTest::newRow("9 pt") << 9.0;
        QTest::newRow("11 pt (a desktop default)") << 11.0;
    }

    void rowsLeaveTheTitleReadable()
    {
        QFETCH(qreal, pointSize);
        QFont base = QApplication::font();
        base.setPointSizeF(pointSize);
        // The fullest row: pinned, colour-tagged, out for delivery with a countdown, a long label.
        Package *row = add(QStringLiteral("1Z999AA10123456784"), TrackingStatus::outForDelivery, 5,
                           QStringLiteral("Office chair with armrests and headrest"));
        row->setPinned(true);
        row->setColorTag(QStringLiteral("#FF9500"));
        const QDateTime now = QDateTime::currentDateTime();
        row->setEstimatedDelivery(now.addDays(-2));
        QFont titleFont = base;
        titleFont.setPointSizeF(pointSize * 0.95);
        const int readable = PackageRowView::minimumTitleCharacters * QFontMetrics(titleFont).averageCharWidth();

        // Rows as wide as the sidebar allows (220 to 350 points, less the scroll bar and the row's inset).
        for (int width = 200; width <= 340; width += 4) {
            const int title = PackageRowView::titleWidth(*row, width, base, now);
            if (PackageRowView::badgeSize(width, base) == StatusBadgeView::BadgeSize::regular)
                QVERIFY2(title >= readable,
                         qPrintable(QStringLiteral("badges with names left the title %1 px of %2 "
                                                   "in a %3 px row")
                                        .arg(title)
                                        .arg(readable)
                                        .arg(width)));
            // From the ideal sidebar width on, the title always keeps its readable room.
            if (width >= MainWindowView::sidebarIdealWidth - 24)
                QVERIFY2(
                    title >= readable,
                    qPrintable(
                        QStringLiteral("a %1 px row left the title %2 px of %3").arg(width).arg(title).arg(readable)));
        }
        // A wide sidebar has room for the names again.
        if (pointSize <= 10)
            QCOMPARE(PackageRowView::badgeSize(MainWindowView::sidebarMaximumWidth - 24, base),
                     StatusBadgeView::BadgeSize::regular);
    }

    void addSheetFormFitsTheSheet_data()
    {
        QTest::addColumn<qreal>("pointSize");
        QTest::newRow("9 pt") << 9.0;
        QTest::newRow("11 pt (a desktop default)") << 11.0;
    }

    void addSheetFormFitsTheSheet()
    {
        QFETCH(qreal, pointSize);
        const QFont previous = QApplication::font();
        QFont font = previous;
        font.setPointSizeF(pointSize);
        QApplication::setFont(font);
        const auto restore = qScopeGuard([&] { QApplication::setFont(previous); });
        addGroup(QStringLiteral("Work"), QStringLiteral("#007AFF"), 0);
        MainWindowView &view = openView();
        view.showAddPackage(QStringLiteral("LX123456789CN"));
        QTRY_VERIFY(view.addPackageSheet());
        AddPackageDialog *sheet = view.addPackageSheet();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        // The form scrolls only vertically: anything wider than the sheet would be cut off at its edge.
        auto *scroll = sheet->findChild<QScrollArea *>();
        QVERIFY2(scroll->widget()->minimumSizeHint().width() <= scroll->viewport()->width(),
                 qPrintable(QStringLiteral("the form needs %1 px, the sheet shows %2")
                                .arg(scroll->widget()->minimumSizeHint().width())
                                .arg(scroll->viewport()->width())));
        sheet->reject();
    }

    void addSheetDetectionAndValidation()
    {
        MainWindowView &view = openView();
        view.findChild<QAction *>(QStringLiteral("addPackageAction"))->trigger();
        QTRY_VERIFY(view.addPackageSheet());
        AddPackageDialog *sheet = view.addPackageSheet();
        auto *field = sheet->findChild<QLineEdit *>(QStringLiteral("trackingNumberField"));
        auto *add = sheet->findChild<QPushButton *>(QStringLiteral("addButton"));
        const auto message = [&] {
            auto *label = sheet->findChild<QLabel *>(QStringLiteral("detectionMessage"));
            return label ? label->text() : QString();
        };
        QVERIFY(!add->isEnabled());
        QCOMPARE(message(), QStringLiteral("Enter a tracking number to auto-detect the carrier"));

        // Three characters: not empty, but detection has not run.
        QTest::keyClicks(field, QStringLiteral("1Z9"));
        QVERIFY(add->isEnabled());
        QTRY_COMPARE(message(), QStringLiteral("Could not detect carrier -- consider selecting manually"));
        QVERIFY(sheet->detectionResults().isEmpty());
        field->setText(QStringLiteral("1Z999AA10123456784"));
        QCOMPARE(sheet->resolvedCarrierCode(), QStringLiteral("ups"));

        // Manual mode with nothing chosen hands on no carrier; back to auto uses the guesses again.
        QTest::mouseClick(sheet->findChild<QAbstractButton *>(QStringLiteral("carrierModeManual")), Qt::LeftButton);
        auto *picker = sheet->findChild<QComboBox *>(QStringLiteral("manualCarrierPicker"));
        QVERIFY(picker->isVisible());
        QCOMPARE(picker->itemText(0), QStringLiteral("Select a carrier..."));
        QCOMPARE(sheet->resolvedCarrierCode(), QString());
        picker->setCurrentIndex(picker->findData(QStringLiteral("fedex")));
        QCOMPARE(sheet->resolvedCarrierCode(), QStringLiteral("fedex"));
        QTest::mouseClick(sheet->findChild<QAbstractButton *>(QStringLiteral("carrierModeAuto")), Qt::LeftButton);
        QCOMPARE(sheet->resolvedCarrierCode(), QStringLiteral("ups"));

        // No groups in the store: no groups section. Escape closes the sheet.
        QVERIFY(sheet->findChildren<CapsuleButton *>(QRegularExpression(QStringLiteral("^groupChip-"))).isEmpty());
        QTest::keyClick(field, Qt::Key_Escape);
        QTRY_COMPARE(view.addPackageSheet(), nullptr);
    }

    void notificationsSelectAndRefresh()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        view.setSelectedFilter(PackageFilter::archived);
        view.setViewMode(ViewMode::calendar);
        Q_EMIT m_screen->requests.selectPackageRequested(QStringLiteral("782910365432"));
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("782910365432"));
        QCOMPARE(view.viewMode(), ViewMode::list);
        QCOMPARE(view.selectedFilter(), PackageFilter::all);
        QVERIFY(view.packageList()->selectionModel()->isSelected(
            view.packageList()->listModel()->indexOf(view.selectedPackage())));

        // An archived package under "Transit" is selected but not shown; the filter stays.
        view.setSelectedFilter(PackageFilter::inTransit);
        Q_EMIT m_screen->requests.selectPackageRequested(QStringLiteral("ARCH00000001"));
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("ARCH00000001"));
        QCOMPARE(view.selectedFilter(), PackageFilter::inTransit);
        QVERIFY(!visibleNumbers(view).contains(QStringLiteral("ARCH00000001")));

        // Without a number nothing changes; an unknown number selects nothing.
        Q_EMIT m_screen->requests.selectPackageRequested(QString());
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("ARCH00000001"));
        Q_EMIT m_screen->requests.selectPackageRequested(QStringLiteral("NOPE"));
        QCOMPARE(view.selectedPackage(), nullptr);

        // The refresh request reaches the service: it refreshes and the button waits meanwhile.
        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QStringLiteral("test-key")));
        TrackingService *tracking = m_screen->tracking.get();
        QSignalSpy refreshing(tracking, &TrackingService::isRefreshingChanged);
        Q_EMIT m_screen->requests.refreshAllRequested();
        QTRY_VERIFY(refreshing.size() >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(!tracking->isRefreshing(), 30000);
        auto *refreshAction = view.findChild<QAction *>(QStringLiteral("refreshAction"));
        QVERIFY(refreshAction->isEnabled());

        // F5 starts the same refresh; meanwhile the button gives way to the progress indicator.
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keyClick(&view, Qt::Key_F5);
        QVERIFY(tracking->isRefreshing());
        QVERIFY(!refreshAction->isEnabled());
        QVERIFY(!refreshAction->isVisible());
        QTRY_VERIFY(view.findChild<QWidget *>(QStringLiteral("refreshProgress"))->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!tracking->isRefreshing(), 30000);
        QVERIFY(refreshAction->isEnabled());
    }

    void csvImportAndExportThroughThePanels()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        const QString exportPath = m_dir.filePath(QStringLiteral("exported.csv"));
        QString proposed;
        FilePanels::setSaveHandler([&](QWidget *, const QString &, const QString &suggested, const QString &) {
            proposed = suggested;
            return exportPath;
        });
        view.findChild<QAction *>(QStringLiteral("exportCSVAction"))->trigger();
        QCOMPARE(proposed, QStringLiteral("Kestrove-Export.csv"));
        QFile exported(exportPath);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QString csv = QString::fromUtf8(exported.readAll());
        const auto all = m_context->fetchPackages(
            {}, [](const Package &a, const Package &b) { return a.lastUpdated() > b.lastUpdated(); });
        QCOMPARE(csv, CSVService::exportPackages(all.value()));
        QCOMPARE(csv.count(u'\n'), 9);

        // Importing the export back: everything is a duplicate, plus one new row.
        const QString importPath = m_dir.filePath(QStringLiteral("import.csv"));
        QFile file(importPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csv.toUtf8() + "\nNEW-0000 01,ups,Fresh,inTransit\n");
        file.close();
        FilePanels::setOpenHandler([&](QWidget *, const QString &, const QString &) { return importPath; });
        QSignalSpy finished(&view, &MainWindowView::csvImportFinished);
        view.findChild<QAction *>(QStringLiteral("importCSVAction"))->trigger();
        QMessageBox *alert = waitForImportAlert();
        QVERIFY(alert);
        QCOMPARE(alert->windowTitle(), QStringLiteral("Import Complete"));
        QCOMPARE(alert->informativeText(), QStringLiteral("1 package(s) imported, 9 skipped (duplicate or invalid)."));
        // The counts read on one line, not squeezed under the short title.
        QTRY_VERIFY(alert->isVisible());
        const QList<QLabel *> alertLabels = alert->findChildren<QLabel *>();
        const auto counts = std::find_if(alertLabels.begin(), alertLabels.end(),
                                         [&](QLabel *l) { return l->text() == alert->informativeText(); });
        QVERIFY(counts != alertLabels.end());
        QVERIFY2((*counts)->height() <= (*counts)->heightForWidth(10000), "the counts wrap");
        QTRY_VERIFY(visibleNumbers(view).contains(QStringLiteral("NEW000001")));
        alert->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(!view.findChild<QMessageBox *>(QStringLiteral("importResultAlert")));
        QVERIFY(!m_context->hasChanges());

        // A file that is not text still shows the alert, with zero counts.
        QFile binary(importPath);
        QVERIFY(binary.open(QIODevice::WriteOnly | QIODevice::Truncate));
        binary.write(QByteArray("\x89PNG\r\n\x1a\n\xff\xfe\0\0", 12));
        binary.close();
        view.findChild<QAction *>(QStringLiteral("importCSVAction"))->trigger();
        alert = waitForImportAlert();
        QVERIFY(alert);
        QVERIFY(alert->informativeText().startsWith(
            QStringLiteral("0 package(s) imported, 0 skipped (duplicate or invalid).")));
        alert->button(QMessageBox::Ok)->click();

        // Cancelling the panel does nothing.
        FilePanels::setOpenHandler([](QWidget *, const QString &, const QString &) { return QString(); });
        view.findChild<QAction *>(QStringLiteral("importCSVAction"))->trigger();
        QTest::qWait(50);
        QCOMPARE(finished.size(), 2);
    }

    void largeImportKeepsTheWindowResponsive()
    {
        MainWindowView &view = openView();
        const int rows = 50000;
        const QString path = m_dir.filePath(QStringLiteral("large.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray text = "trackingNumber,carrier,label,status,dateAdded,estimatedDelivery,notes,groups,colorTag\n";
        for (int i = 0; i < rows; ++i)
            text += QStringLiteral("BULK%1,ups,Item %1,inTransit,,,\"a note, with a comma\",,\n")
                        .arg(i, 8, 10, QLatin1Char('0'))
                        .toUtf8();
        file.write(text);
        file.close();

        // A timer that should tick every 10 ms measures the longest stall of the event loop.
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longest = qMax(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        ticker.start();
        view.importCSVFile(path);
        QMessageBox *alert = waitForImportAlert();
        QVERIFY(alert);
        ticker.stop();
        QCOMPARE(alert->informativeText(),
                 QStringLiteral("%1 package(s) imported, 0 skipped (duplicate or invalid).").arg(rows));
        QTRY_COMPARE(view.packageList()->listModel()->rowCount(), rows);
        qInfo("imported %d rows in %lld ms; longest stall %lld ms", rows, clock.elapsed(), longest);
        QVERIFY2(longest < 500, qPrintable(QStringLiteral("the window stalled for %1 ms").arg(longest)));
    }
};

KESTROVE_GUI_TEST_MAIN(MainWindowTest)
#include "mainwindowtest.moc"
