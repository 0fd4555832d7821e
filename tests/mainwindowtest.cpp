#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagejson.h"
#include "model/packagestore.h"
#include "model/preferences.h"
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
#include "ui/packagedetailview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/packagerowview.h"
#include "ui/packagesettingspopover.h"
#include "ui/savereporter.h"
#include "ui/shellactions.h"
#include "ui/symbolcache.h"
#include "ui/symbolicon.h"
#include "virtualclock.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QObject>
#include <QPlainTextEdit>
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

using namespace Qt::Literals::StringLiterals;
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

/** Takes the addresses QDesktopServices would open in the browser. */
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
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

    /** The package as the store file holds it, read through a second connection. */
    QJsonObject stored(const QString &number)
    {
        auto reopened = ModelContext::open(m_context->storePath());
        if (!reopened)
            return {};
        const auto found
            = reopened.value()->fetchPackages([&](const Package &p) { return p.trackingNumber() == number; });
        return found && !found.value().isEmpty() ? PackageJson::toJson(*found.value().constFirst()) : QJsonObject();
    }

    Package *find(const QString &number)
    {
        return m_context->fetchPackages([&](const Package &p) { return p.trackingNumber() == number; })
            .value()
            .value(0);
    }

    template<typename T = QWidget> T *child(const char *objectName)
    {
        return m_view->findChild<T *>(QString::fromLatin1(objectName));
    }

    template<typename T = QWidget> T *pane(const char *objectName)
    {
        return m_view->detailView()->findChild<T *>(QString::fromLatin1(objectName));
    }

    /** The import alert once it shows, or nullptr after a minute. */
    QMessageBox *waitForImportAlert()
    {
        QMessageBox *alert = nullptr;
        return QTest::qWaitFor([&] { return (alert = child<QMessageBox>("importResultAlert")) != nullptr; }, 60000)
            ? alert
            : nullptr;
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
        openView();
        auto *banner = child("apiKeyBanner");
        QVERIFY(banner->isVisible());
        QCOMPARE(child<QLabel>("apiKeyBannerText")->text(), QStringLiteral("Tracking API key not configured."));
        QTest::mouseClick(child<QPushButton>("openSettingsLink"), Qt::LeftButton);
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
        QTest::keyClicks(child<QLineEdit>("searchField"), search);
        EmptyStateView *empty = view.packageList()->emptyState();
        QTRY_VERIFY(empty->isVisible());
        QCOMPARE(empty->title(), title);
        QCOMPARE(empty->text(), text);

        // Nothing is selected: the detail side asks for a choice.
        QVERIFY(child<EmptyStateView>("detailEmptyState")->isVisible());
    }

    void pillsAndChips()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        auto *chips = view.findChild<GroupChipBar *>();
        PackageGroup *home = chips->groups().at(0);

        // A chip shows its members, archived ones included, and resets the filter to "All".
        QTest::mouseClick(child<CapsuleButton>("filterPill-delivered"), Qt::LeftButton);
        QCOMPARE(visibleNumbers(view), QStringList {QStringLiteral("JD014600006281230467")});
        QTest::mouseClick(chips->chip(home), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), home);
        QCOMPARE(view.selectedFilter(), PackageFilter::all);
        QCOMPARE(visibleNumbers(view),
                 (QStringList {QStringLiteral("1Z999AA10123456784"), QStringLiteral("ARCH00000001")}));
        QVERIFY(child<CapsuleButton>("filterPill-all")->isChecked());

        // "All" keeps the group; any other pill drops it.
        QTest::mouseClick(child<CapsuleButton>("filterPill-all"), Qt::LeftButton);
        QCOMPARE(view.selectedGroup(), home);
        QTest::mouseClick(child<CapsuleButton>("filterPill-inTransit"), Qt::LeftButton);
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
        Package *lamp = find(QStringLiteral("9400111899223817460012"));
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
        openView();
        auto *addGroups = child<QPushButton>("addGroupsButton");
        QVERIFY(addGroups->isVisible());
        QTest::mouseClick(addGroups, Qt::LeftButton);
        QCOMPARE(made, 1);
        QTRY_VERIFY(child<QDialog>("fakeGroupSheet"));
        child<QDialog>("fakeGroupSheet")->close();

        // The first group replaces the button with the section.
        addGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 0);
        QTRY_VERIFY(!addGroups->isVisible());
        QVERIFY(child<QToolButton>("manageGroupsButton")->isVisible());
        MainWindowView::setGroupManagementFactory({});
    }

    void searchSortAndKeyboard()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        auto *search = child<QLineEdit>("searchField");

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

        // Sorted by status (the list rule test holds the full order), the lamp and the phone lead.
        child<QAction>("sort-status")->trigger();
        QVERIFY(!child<QAction>("sort-lastUpdated")->isChecked());

        // Down from the search field enters the list; arrows select; Delete removes the selection.
        search->setFocus();
        QTest::keyClick(search, Qt::Key_Down);
        QTRY_VERIFY(view.packageList()->hasFocus());
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("9400111899223817460012"));
        QTest::keyClick(view.packageList(), Qt::Key_Down);
        QCOMPARE(view.selectedPackage()->trackingNumber(), QStringLiteral("TBA123456789000"));
        QTRY_VERIFY(view.detailView()->isVisible());
        QTest::keyClick(view.packageList(), Qt::Key_Delete);
        QCOMPARE(view.selectedPackage(), nullptr);
        QTRY_VERIFY(!visibleNumbers(view).contains(QStringLiteral("TBA123456789000")));
        QCOMPARE(m_context->fetchPackages().value().size(), 8);
        // With nothing chosen, the first arrow picks the first package, not the row after it.
        QTest::keyClick(view.packageList(), Qt::Key_Down);
        QCOMPARE(view.selectedPackage()->trackingNumber(), visibleNumbers(view).constFirst());
    }

    void archiveSelectedArchivesTheSelection()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();

        // Outside batch mode: the package shown in the detail.
        const QString shown = visibleNumbers(view).at(0);
        view.setSelectedPackage(find(shown));
        Q_EMIT m_screen->requests.archiveSelectedRequested();
        QVERIFY(find(shown)->isArchived());
        QTRY_VERIFY(!visibleNumbers(view).contains(shown)); // the list updates on the next turn

        // In batch mode: the ticked packages, and batch mode ends.
        child<QAction>("batchToggleAction")->trigger();
        clickRow(view, 0);
        clickRow(view, 1);
        const QStringList ticked = {visibleNumbers(view).at(0), visibleNumbers(view).at(1)};
        const QString untouched = visibleNumbers(view).at(2);
        Q_EMIT m_screen->requests.archiveSelectedRequested();
        for (const QString &number : ticked)
            QVERIFY2(find(number)->isArchived(), qPrintable(number));
        QVERIFY(!find(untouched)->isArchived());
        QVERIFY(!view.isBatchMode() && !m_context->hasChanges());
    }

    void aSaveBlockedByAnotherWriterStaysPendingAndIsRetried()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        VirtualClock clock;
        MainWindowView &view = openView(&clock);
        auto *banner = child("saveErrorBanner");
        QVERIFY(banner && !banner->isVisible());
        const QString number = visibleNumbers(view).at(0);
        Package *package = find(number);
        view.setSelectedPackage(package);

        // Another process holds the write lock: the archive stays pending, and the banner says so.
        TestSupport::SqlProbe lock(m_context->storePath());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        view.archiveSelected();
        QVERIFY(banner->isVisible());
        QCOMPARE(child<QLabel>("saveErrorBannerText")->text(),
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
        child<QAction>("batchToggleAction")->trigger();
        QVERIFY(view.isBatchMode());
        QVERIFY(bar->isVisible());

        // Rows 0 and 1 ticked, then row 0 unticked and row 2 ticked.
        clickRow(view, 0);
        clickRow(view, 1);
        clickRow(view, 0);
        clickRow(view, 2);
        auto *count = child<QLabel>("batchSelectedCount");
        QCOMPARE(count->text(), QStringLiteral("2 selected"));
        QCOMPARE(view.selectedPackage(), nullptr);
        const QStringList ticked = {visibleNumbers(view).at(1), visibleNumbers(view).at(2)};

        // Add to a group: members gain it, batch mode stays.
        PackageGroup *work = view.findChild<GroupChipBar *>()->groups().at(2);
        QMenu *menu = bar->addToGroupMenu();
        QCOMPARE(menu->actions().size(), 3);
        // An "&" in a name is shown, not taken for a shortcut mark.
        QCOMPARE(menu->actions().at(2)->iconText(), QStringLiteral("Travel & holidays"));
        menu->actions().at(2)->trigger();
        QCOMPARE(work->packages().size(), 2);
        QVERIFY(view.isBatchMode());
        menu->actions().at(2)->trigger();
        QCOMPARE(work->packages().size(), 2);

        // Archive: the ticked packages leave "All", batch mode ends with an empty selection.
        child<QToolButton>("batchArchiveButton")->click();
        QVERIFY(!view.isBatchMode());
        QVERIFY(view.batchSelection().isEmpty());
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(!visibleNumbers(view).contains(ticked.at(0)) && !visibleNumbers(view).contains(ticked.at(1)));
        QVERIFY(!m_context->hasChanges());

        // Delete: no question asked; the selected package among them is deselected first.
        clickRow(view, 0);
        Package *selected = view.selectedPackage();
        QVERIFY(selected);
        child<QAction>("batchToggleAction")->trigger();
        clickRow(view, 0);
        clickRow(view, 1);
        QCOMPARE(view.selectedPackage(), selected);
        QSignalSpy deselected(&view, &MainWindowView::selectedPackageChanged);
        child<QToolButton>("batchDeleteButton")->click();
        QCOMPARE(view.selectedPackage(), nullptr);
        QCOMPARE(deselected.size(), 1);
        QVERIFY(!view.isBatchMode());
        QCOMPARE(m_context->fetchPackages().value().size(), 7);
        QVERIFY(!m_context->hasChanges());
        // The notice offers to take both back, and so does Edit > Undo; the selection comes back with them.
        QCOMPARE(child<QLabel>("deletionNoticeText")->text(), QStringLiteral("2 packages deleted"));
        QVERIFY(view.undoLastDeletion());
        QCOMPARE(m_context->fetchPackages().value().size(), 9);
        QCOMPARE(view.selectedPackage()->trackingNumber(), selected->trackingNumber());
        view.setSelectedPackage(nullptr);

        // Turning batch mode off by the toggle empties the selection too.
        child<QAction>("batchToggleAction")->trigger();
        clickRow(view, 0);
        QCOMPARE(view.batchSelection().size(), 1);
        child<QAction>("batchToggleAction")->trigger();
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

    void dropOffersTheFirstCandidate()
    {
        MainWindowView &view = openView();
        QMimeData mime;
        mime.setData(QStringLiteral("text/plain"), QByteArray("Your parcel (1Z999AA10123456784). Thanks"));
        const QPoint at = view.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_VERIFY(view.addPackageSheet());
        QCOMPARE(view.addPackageSheet()->trackingNumber(), QStringLiteral("1Z999AA10123456784"));
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
        QTRY_VERIFY_WITH_TIMEOUT((package = find(number)) && package->colorTag(), 20000);
        QCOMPARE(package->label(), QStringLiteral("Shoes"));
        QCOMPARE(package->carrierCode(), QStringLiteral("ups"));
        QCOMPARE(package->colorTag(), std::optional<QString>(QStringLiteral("#AF52DE")));
        QCOMPARE(package->groups(), QList<PackageGroup *> {gifts});
        QVERIFY(package->estimatedDelivery().has_value());
        QVERIFY(!m_context->hasChanges());
        QVERIFY(m_server->requests().size() >= 1);
        QCOMPARE(m_server->requests().constFirst().numbers, QStringList {number});
    }

    static void fontSizes()
    {
        QTest::addColumn<qreal>("pointSize");
        QTest::newRow("9 pt") << 9.0;
        QTest::newRow("11 pt (a desktop default)") << 11.0;
    }

    void rowsShrinkTheTitleBeforeTheBadgeName_data() { fontSizes(); }

    void rowsShrinkTheTitleBeforeTheBadgeName()
    {
        QFETCH(qreal, pointSize);
        QFont base = QApplication::font();
        base.setPointSizeF(pointSize);
        const QDateTime now = QDateTime::currentDateTime();
        QFont titleFont = base;
        titleFont.setPointSizeF(pointSize * 0.95);
        const int readable = PackageRowView::minimumTitleCharacters * QFontMetrics(titleFont).averageCharWidth();
        // A row of the sidebar at its default width (less the scroll bar and the row's inset).
        const int defaultRow = MainWindowView::sidebarIdealWidth - 24;
        for (const TrackingStatus status : TrackingStatuses::allCases()) {
            Package plain(QStringLiteral("1Z999AA10123456784"), QStringLiteral("ups"), QStringLiteral("Desk"), status);
            QCOMPARE(PackageRowView::badgeFor(plain, defaultRow, base, now).size, StatusBadgeView::BadgeSize::regular);
        }

        // The fullest row: pinned, colour-tagged, out for delivery with a countdown, a long label.
        Package *row = add(QStringLiteral("1Z999AA10123456784"), TrackingStatus::outForDelivery, 5,
                           QStringLiteral("Office chair with armrests and headrest"));
        row->setPinned(true);
        row->setColorTag(QStringLiteral("#FF9500"));
        row->setEstimatedDelivery(now.addDays(-2));
        for (int width = 200; width <= 340; width += 4) {
            const PackageRowView::Badge badge = PackageRowView::badgeFor(*row, width, base, now);
            const int title = PackageRowView::titleWidth(*row, width, base, now);
            if (badge.size == StatusBadgeView::BadgeSize::regular)
                QVERIFY2(title >= readable,
                         qPrintable(QStringLiteral("a %1 px row with a badge name left the title %2 px of %3")
                                        .arg(width)
                                        .arg(title)
                                        .arg(readable)));
        }
        QCOMPARE(PackageRowView::badgeFor(*row, defaultRow, base, now).size, StatusBadgeView::BadgeSize::regular);
    }

    void addSheetFormFitsTheSheet_data() { fontSizes(); }

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
        child<QAction>("addPackageAction")->trigger();
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
        Q_EMIT m_screen->requests.refreshAllRequested();
        QVERIFY(tracking->isRefreshing());
        QTRY_VERIFY_WITH_TIMEOUT(!tracking->isRefreshing(), 30000);
        auto *refreshAction = child<QAction>("refreshAction");
        QVERIFY(refreshAction->isEnabled());

        // F5 starts the same refresh; meanwhile the button gives way to the progress indicator.
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keyClick(&view, Qt::Key_F5);
        QVERIFY(tracking->isRefreshing());
        QVERIFY(!refreshAction->isEnabled());
        QVERIFY(!refreshAction->isVisible());
        QTRY_VERIFY(child("refreshProgress")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!tracking->isRefreshing(), 30000);
        QVERIFY(refreshAction->isEnabled());
    }

    void everyControlIsNamedForScreenReaders()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        view.setBatchMode(true);
        QTest::keyClicks(child<QLineEdit>("searchField"), QStringLiteral("a"));
        QList<QWidget *> controls {view.packageList()};
        for (QAbstractButton *button : view.findChildren<QAbstractButton *>()) {
            if (button->isVisibleTo(&view))
                controls.append(button);
        }
        QVERIFY(controls.size() > 20);
        for (QWidget *control : std::as_const(controls)) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(QLatin1String(control->metaObject()->className()) + u' ' + control->objectName()));
        }
        // A row reads its label, carrier, status and countdown.
        child<QLineEdit>("searchField")->clear();
        QCOMPARE(view.packageList()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Desk lamp, USPS, In Transit, in 3d"));
    }

    void importPanelOpensInTheHomeFolder()
    {
        MainWindowView &view = openView();
        QString folder;
        QString fileName = QStringLiteral("unset");
        QTimer::singleShot(300, &view, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                folder = dialog->directory().absolutePath();
                fileName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
                dialog->reject();
            }
        });
        view.importCSV();
        QCOMPARE(folder, QDir::homePath());
        QCOMPARE(fileName, QString());
    }

    void eachStatusDrawsItsOwnSymbol()
    {
        QSet<QByteArray> shapes;
        for (const TrackingStatus status : TrackingStatuses::allCases()) {
            const QImage image = SymbolIcon::tinted(TrackingStatuses::iconName(status), 32, Qt::black).toImage();
            shapes.insert(QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(shapes.size(), TrackingStatuses::allCases().size());
    }

    // Themed symbols are kept on disk between runs; a damaged entry is drawn again, never shown.
    void theSymbolCacheKeepsDrawingsAndRedrawsDamagedOnes_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("intact") << QByteArray();
        QTest::newRow("cut short") << QByteArray("cut");
        QTest::newRow("foreign bytes") << QByteArray("These are not pixels.");
        QTest::newRow("absurd size") << QByteArray::fromHex("4b53594d7fffffff7fffffff3ff0000000000000");
        QTest::newRow("empty") << QByteArray("empty");
    }
    void theSymbolCacheKeepsDrawingsAndRedrawsDamagedOnes()
    {
        QFETCH(QByteArray, damage);
        const QString name
            = QStringLiteral("test.symbol.%1").arg(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        QImage drawing(20, 20, QImage::Format_ARGB32_Premultiplied);
        drawing.fill(Qt::transparent);
        drawing.setPixelColor(3, 4, QColor(10, 20, 30));
        drawing.setDevicePixelRatio(2);
        int draws = 0;
        const auto draw = [&] {
            ++draws;
            return drawing;
        };
        QCOMPARE(SymbolCache::image(name, 10, 2, draw), drawing);
        QCOMPARE(draws, 1);
        const QStringList entries = QDir(SymbolCache::directory()).entryList({name + u"-*"});
        QCOMPARE(entries.size(), 1);
        const QString entry = SymbolCache::directory() + u'/' + entries.constFirst();
        if (!damage.isEmpty()) {
            QFile file(entry);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (damage == "cut")
                QVERIFY(file.resize(file.size() / 2));
            else if (damage == "empty")
                QVERIFY(file.resize(0));
            else
                QVERIFY(file.write(damage) == damage.size());
        }
        const QImage served = SymbolCache::image(name, 10, 2, draw);
        QCOMPARE(served, drawing);
        QCOMPARE(served.devicePixelRatio(), 2.0);
        QCOMPARE(draws, damage.isEmpty() ? 1 : 2);
        // Mended: the next read is served again.
        QCOMPARE(SymbolCache::image(name, 10, 2, draw), drawing);
        QCOMPARE(draws, damage.isEmpty() ? 1 : 2);

        // A picture not from the theme (null) is not kept.
        int fallbacks = 0;
        for (int i = 0; i < 2; ++i)
            QVERIFY(SymbolCache::image(name + u".none", 10, 1, [&] { return ++fallbacks, QImage(); }).isNull());
        QCOMPARE(fallbacks, 2);
    }

    void anotherThemeStartsAFreshSymbolFolder()
    {
        const QString before = SymbolCache::directory();
        QVERIFY(QFileInfo(before).isDir());
        const QString theme = QIcon::themeName();
        QIcon::setThemeName(QStringLiteral("kestrove-test-theme"));
        const QString other = SymbolCache::directory();
        QIcon::setThemeName(theme);
        QVERIFY(other != before);
        QVERIFY(QFileInfo(other).isDir());
        QVERIFY2(!QFileInfo::exists(before), "the previous theme's symbols are removed");
        QCOMPARE(SymbolCache::directory(), before);
    }

    void detailPaneEditsThePackage()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        const QString number = QStringLiteral("1Z999AA10123456784");
        Package *shoes = find(number);
        view.setSelectedPackage(shoes);
        QTRY_VERIFY(view.detailView()->isVisible());
        QCOMPARE(pane<QLineEdit>("labelField")->text(), QStringLiteral("Running shoes"));
        QCOMPARE(pane<QLabel>("trackingNumberLabel")->text(), number);
        const QModelIndex row = pane<QListView>("timelineList")->model()->index(0, 0);
        QVERIFY(row.data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("Out for delivery, ")));
        QVERIFY(row.data(Qt::AccessibleTextRole).toString().endsWith(QStringLiteral(", Brooklyn, NY")));

        // Tab walks the pane top to bottom; Return presses the focused button.
        QStringList order;
        QWidget *w = pane("labelField");
        for (int step = 0; step < 500 && order.size() < 11; ++step, w = w->nextInFocusChain()) {
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && view.detailView()->isAncestorOf(w))
                order.append(w->objectName());
        }
        QCOMPARE(order,
                 (QStringList {u"labelField"_s, u"copyNumberButton"_s, u"pinButton"_s, u"packageSettingsButton"_s,
                               u"refreshButton"_s, u"copyTrackingButton"_s, u"trackOnlineButton"_s, u"archiveButton"_s,
                               u"deleteButton"_s, u"timelineList"_s, u"notesEditor"_s}));
        QTest::keyClick(pane("pinButton"), Qt::Key_Return);
        QTRY_VERIFY(shoes->isPinned());
        pane<QToolButton>("pinButton")->click();

        // The label is saved as typed; notes typed just before another package is shown are not lost.
        QTest::keyClicks(pane<QLineEdit>("labelField"), QStringLiteral(" v2"));
        QCOMPARE(shoes->label(), QStringLiteral("Running shoes v2"));
        QTRY_COMPARE(stored(number).value(QStringLiteral("label")).toString(), QStringLiteral("Running shoes v2"));
        QTest::keyClicks(pane<QPlainTextEdit>("notesEditor"), QStringLiteral("Size 44"));
        view.setSelectedPackage(find(QStringLiteral("782910365432")));
        QCOMPARE(stored(number).value(QStringLiteral("notes")).toString(), QStringLiteral("Size 44"));
        QCOMPARE(pane<QPlainTextEdit>("notesEditor")->toPlainText(), QString());

        // 100,000 characters pasted into the label and the notes are stored whole, without a stall.
        view.setSelectedPackage(shoes);
        const QString longText(100000, QLatin1Char('x'));
        QApplication::clipboard()->setText(longText);
        QElapsedTimer pasting;
        pasting.start();
        for (QWidget *field : {static_cast<QWidget *>(pane<QLineEdit>("labelField")),
                               static_cast<QWidget *>(pane<QPlainTextEdit>("notesEditor"))}) {
            field->setFocus();
            QTest::keySequence(field, QKeySequence::SelectAll);
            QTest::keySequence(field, QKeySequence::Paste);
        }
        view.detailView()->saveTypingNow();
        QVERIFY2(pasting.elapsed() < 3000, qPrintable(QString::number(pasting.elapsed())));
        QCOMPARE(stored(number).value(QStringLiteral("label")).toString().size(), 100000);
        QCOMPARE(stored(number).value(QStringLiteral("notes")).toString().size(), 100000);

        // Pin and archive save at once; archived, the package stays selected and shown.
        pane<QToolButton>("pinButton")->click();
        QVERIFY(shoes->isPinned() && !m_context->hasChanges());
        QCOMPARE(pane<QToolButton>("pinButton")->accessibleName(), QStringLiteral("Unpin package"));
        pane<QPushButton>("archiveButton")->click();
        QVERIFY(shoes->isArchived() && !m_context->hasChanges());
        QTRY_VERIFY(!visibleNumbers(view).contains(number));
        QCOMPARE(view.selectedPackage(), shoes);
        QCOMPARE(pane<QPushButton>("archiveButton")->text(), QStringLiteral("Unarchive"));

        // Copy and the carrier's page.
        pane<QPushButton>("copyTrackingButton")->click();
        QCOMPARE(QApplication::clipboard()->text(), number);
        UrlRecorder browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        pane<QPushButton>("trackOnlineButton")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(browser.opened, QList<QUrl> {QUrl(QStringLiteral("https://www.ups.com/track?tracknum=") + number)});
    }

    void detailPaneBannersRetryAndRefresh()
    {
        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QStringLiteral("test-key")));
        const QString number = QStringLiteral("1Z999AA10123456785");
        m_server->setTrackInfo(number,
                               S::trackInfo(10,
                                            {S::event(QStringLiteral("2026-03-01T09:00:00Z"),
                                                      QStringLiteral("Origin scan"), 10, QStringLiteral("Kyiv"))}),
                               100002);
        Package *package = add(number, TrackingStatus::pending, 1);
        package->setLastErrorMessage(QStringLiteral("Network error: timed out"));
        QVERIFY(m_context->save());
        MainWindowView &view = openView();
        view.setSelectedPackage(package);
        QTRY_VERIFY(pane("errorBanner")->isVisible());
        QCOMPARE(pane<QLabel>("errorBannerText")->text(), QStringLiteral("Network error: timed out"));
        QVERIFY(pane<QLabel>("timelineEmptyText")->isVisible());

        // Retry asks the service; its answer clears the error and fills the timeline.
        pane<QPushButton>("retryButton")->click();
        QTRY_VERIFY(!package->lastErrorMessage());
        QTRY_COMPARE(pane<QListView>("timelineList")->model()->rowCount(), 1);
        QVERIFY(!pane("errorBanner")->isVisible());
        const qsizetype asked = m_server->requests().size();
        pane<QPushButton>("refreshButton")->click();
        QTRY_VERIFY(m_server->requests().size() > asked);

        // Without a usable key the key warning shows instead, whatever error the package has.
        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QString()));
        package->setLastErrorMessage(QStringLiteral("HTTP 500"));
        QVERIFY(pane("apiKeyWarningBanner")->isVisible());
        QVERIFY(!pane("errorBanner")->isVisible());
        pane<QPushButton>("openSettingsButton")->click();
        QCOMPARE(m_shell.settingsOpened, 1);
        QVERIFY(KeychainManager::save(QString::fromLatin1(KeychainManager::apiKeyName), QStringLiteral("test-key")));
    }

    void deleteAsksAndUndoRestoresEverything()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        const QString number = QStringLiteral("1Z999AA10123456784");
        Package *shoes = find(number);
        shoes->setNotes(QStringLiteral("Size 44"));
        shoes->setColorTag(QStringLiteral("#FF9500"));
        shoes->setCustomRefreshInterval(3600);
        shoes->setCustomImageData(QByteArray("not decoded here"));
        shoes->events().constFirst()->setCoordinates(40.65, -73.95);
        QVERIFY(m_context->save());
        const QJsonObject before = stored(number);
        view.setSelectedPackage(shoes);

        // Cancel keeps it; Delete deletes it and deselects it.
        pane<QPushButton>("deleteButton")->click();
        QMessageBox *box = view.detailView()->deleteConfirmation();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->informativeText(),
                 QStringLiteral("Are you sure you want to delete \"Running shoes\"? This cannot be undone."));
        box->findChild<QPushButton *>(QStringLiteral("cancelDeleteButton"))->click();
        QVERIFY(!shoes->isDeleted());
        pane<QPushButton>("deleteButton")->click();
        view.detailView()
            ->deleteConfirmation()
            ->findChild<QPushButton *>(QStringLiteral("confirmDeleteButton"))
            ->click();
        QVERIFY(shoes->isDeleted());
        QCOMPARE(view.selectedPackage(), nullptr);
        QVERIFY(stored(number).isEmpty());
        QCOMPARE(child<QLabel>("deletionNoticeText")->text(), QStringLiteral("Package deleted"));

        // Undo brings back every field, event, group and the picture, and the selection.
        child<QPushButton>("undoDeletionButton")->click();
        QCOMPARE(stored(number), before);
        QCOMPARE(find(number)->customImageData(), std::optional<QByteArray>("not decoded here"));
        QCOMPARE(find(number)->events().constFirst()->latitude(), std::optional<double>(40.65));
        QCOMPARE(view.selectedPackage(), find(number));
        QVERIFY(!child("deletionNotice")->isVisible());

        QVERIFY(!view.canUndoDeletion());
    }

    void selectionFollowsThePackage()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        clickRow(view, 1);
        Package *chosen = view.selectedPackage();
        QVERIFY(chosen && !chosen->isArchived());
        QSignalSpy changes(&view, &MainWindowView::selectedPackageChanged);
        const auto stillChosen = [&] {
            return view.selectedPackage() == chosen && view.detailView()->package() == chosen && changes.isEmpty();
        };

        // A filter, a search, an archive and a batch archive hide it: it stays, and no other row is taken.
        view.setSelectedFilter(PackageFilter::exceptions);
        QTRY_VERIFY(!visibleNumbers(view).contains(chosen->trackingNumber()));
        QVERIFY(stillChosen());
        QVERIFY(view.packageList()->selectionModel()->selectedIndexes().isEmpty());
        view.setSelectedFilter(PackageFilter::all);
        child<QLineEdit>("searchField")->setText(QStringLiteral("zzz"));
        QTRY_COMPARE(visibleNumbers(view).size(), 0);
        child<QLineEdit>("searchField")->clear();
        QTRY_VERIFY(stillChosen());
        pane<QPushButton>("archiveButton")->click();
        QTRY_VERIFY(!visibleNumbers(view).contains(chosen->trackingNumber()));
        QVERIFY(stillChosen());
        view.setBatchMode(true);
        clickRow(view, 0);
        view.batchArchive();
        QTRY_VERIFY(stillChosen());

        // Only a deletion takes it away, here or in another process.
        auto other = ModelContext::open(m_context->storePath());
        QVERIFY(other);
        Package *there
            = other.value()
                  ->fetchPackages([&](const Package &p) { return p.trackingNumber() == chosen->trackingNumber(); })
                  .value()
                  .constFirst();
        QVERIFY(PackageStore::deletePackages(QList<Package *> {there}, *other.value()));
        QVERIFY(m_context->refreshFromStore());
        QTRY_COMPARE(view.selectedPackage(), nullptr);
        QVERIFY(!view.detailView()->isVisible());
    }

    void packageSettingsCheckInterval_data()
    {
        QTest::addColumn<double>("globalInterval");
        QTest::addColumn<QString>("choice"); // empty: the custom interval is turned on, "off": on, then off
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("turning it on picks 15 minutes")
            << 900.0 << QString() << QVariant(900.0) << QStringLiteral("15 minutes");
        QTest::newRow("the shortest choice")
            << 900.0 << QStringLiteral("1 minute") << QVariant(60.0) << QStringLiteral("1 minute");
        QTest::newRow("off shows the global interval")
            << 5400.0 << QStringLiteral("off") << QVariant() << QStringLiteral("Using default: 1h 30m");
        QTest::newRow("off with no global interval shows 15 min")
            << 0.0 << QStringLiteral("off") << QVariant() << QStringLiteral("Using default: 15 min");
    }

    void packageSettingsCheckInterval()
    {
        QFETCH(double, globalInterval);
        QFETCH(QString, choice);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        m_screen->preferences.setValue(PreferenceKeys::refreshInterval, globalInterval);
        Package *package = add(QStringLiteral("CHECK0000001"), TrackingStatus::inTransit, 1);
        QVERIFY(m_context->save());
        AdaptivePollingManager *polling = m_screen->tracking->pollingManager();
        polling->setRunning();
        MainWindowView &view = openView();
        view.setSelectedPackage(package);
        view.detailView()->showPackageSettings();
        PackageSettingsPopover *popover = view.detailView()->packageSettings();
        QTRY_VERIFY(popover && popover->isVisible());
        auto *picker = popover->findChild<QComboBox *>(QStringLiteral("intervalPicker"));
        popover->findChild<QCheckBox *>(QStringLiteral("useCustomInterval"))->click();
        if (choice == QLatin1String("off"))
            popover->findChild<QCheckBox *>(QStringLiteral("useCustomInterval"))->click();
        else if (!choice.isEmpty())
            Q_EMIT picker->activated(picker->findText(choice));
        QCOMPARE(package->customRefreshInterval() ? QVariant(*package->customRefreshInterval()) : QVariant(), stored);
        QVERIFY(!m_context->hasChanges());
        const auto caption = popover->findChild<QLabel *>(QStringLiteral("defaultIntervalCaption"));
        QCOMPARE(stored.isValid() ? picker->currentText() : caption->text(), shown);
        QCOMPARE(picker->isVisible(), stored.isValid());
        // The next poll follows at once (in transit alone, the package would be polled every 15 minutes).
        if (stored.isValid() && stored.toDouble() < 900) {
            QVERIFY(polling->nextPollDate());
            QVERIFY(qAbs(QDateTime::currentDateTime().secsTo(*polling->nextPollDate()) - 60) < 5);
        }
        popover->close();
    }

    void packageSettingsPopoverControls()
    {
        QVERIFY(TestSupport::fillShowcase(*m_context));
        MainWindowView &view = openView();
        Package *phone = find(QStringLiteral("TBA123456789000"));
        view.setSelectedPackage(phone);
        QTest::mouseClick(pane<QToolButton>("packageSettingsButton"), Qt::LeftButton);
        PackageSettingsPopover *popover = view.detailView()->packageSettings();
        QTRY_VERIFY(popover && popover->isVisible());
        const auto control
            = [popover](const char *name) { return popover->findChild<QAbstractButton *>(QString::fromLatin1(name)); };

        // Colour tag, groups (wrapping chips), delivery date, notifications: each saved at once.
        control("colorSwatch-Teal")->click();
        QCOMPARE(phone->colorTag(), std::optional<QString>(QStringLiteral("#5AC8FA")));
        control("removeColorTag")->click();
        QCOMPARE(phone->colorTag(), std::nullopt);
        QCOMPARE(phone->groups().size(), 1);
        control("groupChip-Travel & holidays")->click();
        control("groupChip-Gifts")->click();
        QCOMPARE(phone->groups().size(), 1);
        QCOMPARE(phone->groups().constFirst()->name(), QStringLiteral("Travel & holidays"));
        QVERIFY(control("groupChip-Travel & holidays")->isChecked());
        control("setDeliveryDate")->click(); // the carrier's date goes
        QCOMPARE(phone->estimatedDelivery(), std::nullopt);
        QVERIFY(popover->findChild<QLabel *>(QStringLiteral("noDeliveryDateCaption"))->isVisible());
        control("setDeliveryDate")->click();
        QCOMPARE(phone->estimatedDelivery()->toLocalTime().date(), QDate::currentDate().addDays(3));
        popover->findChild<QDateEdit *>(QStringLiteral("deliveryDatePicker"))->setDate(QDate::currentDate().addDays(9));
        QCOMPARE(phone->estimatedDelivery()->toLocalTime().date(), QDate::currentDate().addDays(9));
        control("enableNotifications")->click();
        QVERIFY(!phone->notificationsEnabled());
        QVERIFY(!control("notifyStatusChanges")->isVisible());
        QVERIFY(!m_context->hasChanges());
        const QJsonObject saved = stored(phone->trackingNumber());
        QCOMPARE(saved.value(QStringLiteral("groups")).toArray(), QJsonArray {QStringLiteral("Travel & holidays")});
        QCOMPARE(saved.value(QStringLiteral("notificationsEnabled")).toBool(), false);
    }

    void packageSettingsCustomIcon_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("storedSize"); // invalid: nothing changes
        const auto png = [](int width, int height, QImage::Format format = QImage::Format_RGB32) {
            QImage image(width, height, format);
            image.fill(Qt::red);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return bytes;
        };
        QTest::newRow("4000 by 2000 is scaled to 128 by 64") << png(4000, 2000) << QSize(128, 64);
        QTest::newRow("100 by 50 keeps its size") << png(100, 50) << QSize(100, 50);
        QTest::newRow("a text file changes nothing") << QByteArray("just words") << QSize();
        for (const char *format : {"PNG", "JPEG"}) {
            QImage noise(400, 400, QImage::Format_RGB32);
            for (int y = 0; y < noise.height(); ++y)
                for (int x = 0; x < noise.width(); ++x)
                    noise.setPixel(x, y, qRgb((x * 7) ^ y, (y * 13) ^ x, x + y));
            QByteArray whole;
            QBuffer buffer(&whole);
            buffer.open(QIODevice::WriteOnly);
            noise.save(&buffer, format);
            QTest::newRow(qPrintable(QStringLiteral("a truncated %1 changes nothing").arg(QLatin1String(format))))
                << whole.left(whole.size() / 2) << QSize();
        }
        QTest::newRow("20,000 by 20,000 changes nothing") << png(20000, 20000, QImage::Format_Mono) << QSize();
    }

    void packageSettingsCustomIcon()
    {
        QFETCH(QByteArray, file);
        QFETCH(QSize, storedSize);
        const QString path = m_dir.filePath(QStringLiteral("picture.png"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        FilePanels::setOpenHandler([path](QWidget *, const QString &, const QString &) { return path; });
        Package *package = add(QStringLiteral("ICON00000001"), TrackingStatus::inTransit, 1);
        package->setCustomImageData(QByteArray("previous"));
        QVERIFY(m_context->save());
        MainWindowView &view = openView();
        view.setSelectedPackage(package);
        view.detailView()->showPackageSettings();
        QTRY_VERIFY(view.detailView()->packageSettings());
        view.detailView()->packageSettings()->findChild<QPushButton *>(QStringLiteral("chooseImageButton"))->click();
        if (storedSize.isValid())
            QCOMPARE(QImage::fromData(*package->customImageData(), "PNG").size(), storedSize);
        else
            QCOMPARE(package->customImageData(), std::optional<QByteArray>("previous"));
        QVERIFY(!m_context->hasChanges());
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
        child<QAction>("exportCSVAction")->trigger();
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
        child<QAction>("importCSVAction")->trigger();
        QMessageBox *alert = waitForImportAlert();
        QVERIFY(alert);
        QCOMPARE(alert->windowTitle(), QStringLiteral("Import Complete"));
        QCOMPARE(alert->informativeText(), QStringLiteral("1 package(s) imported, 9 skipped (duplicate or invalid)."));
        QTRY_VERIFY(visibleNumbers(view).contains(QStringLiteral("NEW000001")));
        alert->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(!child<QMessageBox>("importResultAlert"));
        QVERIFY(!m_context->hasChanges());

        // Cancelling the panel does nothing.
        FilePanels::setOpenHandler([](QWidget *, const QString &, const QString &) { return QString(); });
        child<QAction>("importCSVAction")->trigger();
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
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
