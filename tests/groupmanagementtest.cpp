#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "screenfixture.h"
#include "testmain.h"
#include "ui/addpackagedialog.h"
#include "ui/capsulebutton.h"
#include "ui/emptystateview.h"
#include "ui/groupchipbar.h"
#include "ui/groupcolorpicker.h"
#include "ui/groupmanagementview.h"
#include "ui/mainwindowview.h"
#include "ui/shellactions.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace
{
class FakeShell final : public ShellActions
{
public:
    void openMainWindow() override { }
    void openSettings() override { }
    void quit() override { }
};

QString hexOf(const QString &presetName)
{
    for (const PackageGroup::PaletteColor &preset : PackageGroup::colorPalette()) {
        if (preset.name == presetName)
            return preset.hex;
    }
    return {};
}

QStringList namesInOrder(const QList<PackageGroup *> &groups)
{
    QStringList names;
    for (const PackageGroup *group : groups)
        names.append(group->name() + u':' + QString::number(group->sortOrder()));
    return names;
}
}

class GroupManagementTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ModelContext> m_context;
    ScreenFixture m_screen {m_dir.filePath(QStringLiteral("preferences.conf"))};
    FakeShell m_shell;
    std::unique_ptr<MainWindowView> m_view;
    std::unique_ptr<ModelContext> m_reopened;
    int m_stores = 0;

    PackageGroup *addGroup(const QString &name, int order)
    {
        auto *group = new PackageGroup(name, QStringLiteral("#34C759"), order);
        m_context->insert(group);
        return group;
    }

    Package *addPackage(const QString &number, const QString &label = {}, bool archived = false)
    {
        auto *package = new Package(number, QStringLiteral("ups"), label, TrackingStatus::inTransit);
        package->setArchived(archived);
        m_context->insert(package);
        return package;
    }

    /** The main window with its group sheet opened through the gear or "Add Groups". */
    GroupManagementView *openSheet()
    {
        m_view = std::make_unique<MainWindowView>(m_screen.services(m_context.get()), &m_shell);
        m_view->resize(1000, 680);
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view.get()))
            qWarning("the view was not exposed");
        auto *addGroups = m_view->findChild<QPushButton *>(QStringLiteral("addGroupsButton"));
        auto *gear = m_view->findChild<QToolButton *>(QStringLiteral("manageGroupsButton"));
        QTest::mouseClick(addGroups->isVisible() ? static_cast<QAbstractButton *>(addGroups) : gear, Qt::LeftButton);
        auto *sheet = m_view->findChild<GroupManagementView *>();
        if (sheet && !QTest::qWaitForWindowExposed(sheet))
            qWarning("the sheet was not exposed");
        return sheet;
    }

    /** Opens the store file again in a second context, as the next launch would. */
    std::unique_ptr<ModelContext> reopen()
    {
        auto opened = ModelContainer::open(m_path);
        return opened ? std::move(opened).value() : nullptr;
    }

    /** The groups as the store file holds them, by sort order; the second context stays open while they are read. */
    QList<PackageGroup *> storedGroups()
    {
        m_reopened = reopen();
        return m_reopened
            ->fetchGroups({},
                          [](const PackageGroup &a, const PackageGroup &b) { return a.sortOrder() < b.sortOrder(); })
            .value();
    }

    static QListWidgetItem *groupItem(GroupManagementView *sheet, const QString &name)
    {
        auto *list = sheet->findChild<QListWidget *>(QStringLiteral("groupList"));
        const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.constFirst();
    }

    static void triggerMenuAction(GroupManagementView *sheet, PackageGroup *group, const QString &objectName)
    {
        std::unique_ptr<QMenu> menu(sheet->createGroupMenu(group, sheet));
        auto *action = menu->findChild<QAction *>(objectName);
        QVERIFY2(action, qPrintable(objectName));
        action->trigger();
    }

private Q_SLOTS:
    void init()
    {
        m_path = m_dir.filePath(QStringLiteral("groups%1.sqlite").arg(++m_stores));
        auto opened = ModelContainer::open(m_path);
        QVERIFY(opened);
        m_context = std::move(opened).value();
    }

    void cleanup()
    {
        m_view.reset();
        m_reopened.reset();
        m_context.reset();
    }

    void createdGroupShowsAsChipInTheMainWindow()
    {
        GroupManagementView *sheet = openSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QVERIFY(sheet->findChild<EmptyStateView *>(QStringLiteral("groupsEmptyState"))->isVisible());
        auto *assignmentEmpty = sheet->findChild<EmptyStateView *>(QStringLiteral("assignmentEmptyState"));

        // The first preset is chosen until another swatch is clicked, and the choice stays for the next group.
        QCOMPARE(sheet->newGroupColor(), PackageGroup::colorPalette().constFirst().hex);
        auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("newGroupNameField"));
        QTest::keyClicks(name, QStringLiteral("  Home \t"));
        QTest::mouseClick(sheet->findChild<QToolButton *>(QStringLiteral("colorSwatch-Purple")), Qt::LeftButton);
        QTest::mouseClick(sheet->findChild<QToolButton *>(QStringLiteral("addGroupButton")), Qt::LeftButton);
        QVERIFY(name->text().isEmpty());
        QTest::keyClicks(name, QStringLiteral("Work"));
        QTest::keyClick(name, Qt::Key_Return);

        const QList<PackageGroup *> groups = storedGroups();
        QCOMPARE(namesInOrder(groups), QStringList({QStringLiteral("Home:0"), QStringLiteral("Work:1")}));
        for (const PackageGroup *group : groups)
            QCOMPARE(group->colorHex(), hexOf(QStringLiteral("Purple")));

        // The newest group is selected; without packages the right side says so.
        QCOMPARE(sheet->selectedGroup()->name(), QStringLiteral("Work"));
        QCOMPARE(assignmentEmpty->title(), QStringLiteral("No Packages"));

        auto *chips = m_view->findChild<GroupChipBar *>();
        QTRY_COMPARE(chips->groups().size(), 2);
        QCOMPARE(chips->chip(chips->groups().constFirst())->text(), QStringLiteral("Home"));

        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!m_view->findChild<GroupManagementView *>());
    }

    void blankNamesCreateNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("creates");
        QTest::newRow("nothing typed") << QString() << false;
        QTest::newRow("spaces only") << QStringLiteral("    ") << false;
        QTest::newRow("one letter among spaces") << QStringLiteral("  a  ") << true;
    }

    void blankNamesCreateNothing()
    {
        QFETCH(QString, typed);
        QFETCH(bool, creates);
        GroupManagementView *sheet = openSheet();
        auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("newGroupNameField"));
        auto *add = sheet->findChild<QToolButton *>(QStringLiteral("addGroupButton"));
        QTest::keyClicks(name, typed);
        QCOMPARE(add->isEnabled(), creates);
        QTest::keyClick(name, Qt::Key_Return);
        sheet->addGroup();
        const QList<PackageGroup *> groups = storedGroups();
        QCOMPARE(groups.size(), creates ? 1 : 0);
        if (creates)
            QCOMPARE(groups.constFirst()->name(), typed.trimmed());
    }

    void sortOrdersFollowCreationDeletionAndDrag()
    {
        addGroup(QStringLiteral("A"), 0);
        addGroup(QStringLiteral("B"), 1);
        addGroup(QStringLiteral("C"), 2);
        QVERIFY(m_context->save());
        GroupManagementView *sheet = openSheet();
        auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("newGroupNameField"));
        QTest::keyClicks(name, QStringLiteral("D"));
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(
            namesInOrder(sheet->groups()),
            QStringList({QStringLiteral("A:0"), QStringLiteral("B:1"), QStringLiteral("C:2"), QStringLiteral("D:3")}));

        // Deleting leaves a gap; only a reorder renumbers.
        triggerMenuAction(sheet, sheet->groups().constFirst(), QStringLiteral("deleteGroupAction"));
        QCOMPARE(namesInOrder(sheet->groups()),
                 QStringList({QStringLiteral("B:1"), QStringLiteral("C:2"), QStringLiteral("D:3")}));

        // A drag in the list: D moves to the top.
        auto *list = sheet->findChild<QListWidget *>(QStringLiteral("groupList"));
        QVERIFY(list->model()->moveRow({}, 2, {}, 0));
        const QStringList expected({QStringLiteral("D:0"), QStringLiteral("B:1"), QStringLiteral("C:2")});
        QCOMPARE(namesInOrder(sheet->groups()), expected);
        QCOMPARE(namesInOrder(storedGroups()), expected);
        QTRY_COMPARE(list->item(0)->text(), QStringLiteral("D"));

        // And the chips in the main window follow the new order.
        auto *chips = m_view->findChild<GroupChipBar *>();
        QTRY_COMPARE(chips->groups().constFirst()->name(), QStringLiteral("D"));
    }

    void renameAndRecolourAreSavedAtOnce()
    {
        PackageGroup *group = addGroup(QStringLiteral("Hme"), 0);
        QVERIFY(m_context->save());
        GroupManagementView *sheet = openSheet();
        triggerMenuAction(sheet, group, QStringLiteral("renameGroupAction"));
        QCOMPARE(sheet->editingGroupID(), group->id());
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = sheet->findChild<QLineEdit *>(QStringLiteral("groupNameEditor"))));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Home"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(sheet->editingGroupID().isNull());
        QTRY_VERIFY(groupItem(sheet, QStringLiteral("Home")));

        // Return ends editing, not the sheet.
        QVERIFY(sheet->isVisible());
        triggerMenuAction(sheet, group, QStringLiteral("groupColorAction-Orange"));

        const QList<PackageGroup *> stored = storedGroups();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.constFirst()->name(), QStringLiteral("Home"));
        QCOMPARE(stored.constFirst()->colorHex(), hexOf(QStringLiteral("Orange")));
        auto *chips = m_view->findChild<GroupChipBar *>();
        QTRY_COMPARE(chips->chip(group) ? chips->chip(group)->text() : QString(), QStringLiteral("Home"));

        // Emptying the name keeps the old one rather than leaving a blank group.
        triggerMenuAction(sheet, group, QStringLiteral("renameGroupAction"));
        QTRY_VERIFY((editor = sheet->findChild<QLineEdit *>(QStringLiteral("groupNameEditor"))));
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(sheet->editingGroupID().isNull());
        QCOMPARE(group->name(), QStringLiteral("Home"));
    }

    void deletingAGroupKeepsItsPackages()
    {
        PackageGroup *gifts = addGroup(QStringLiteral("Gifts"), 0);
        PackageGroup *work = addGroup(QStringLiteral("Work"), 1);
        Package *lamp = addPackage(QStringLiteral("1Z999AA10123456784"), QStringLiteral("Lamp"));
        Package *old = addPackage(QStringLiteral("9400111899223197428490"), {}, true);
        gifts->addPackage(lamp);
        gifts->addPackage(old);
        work->addPackage(lamp);
        QVERIFY(m_context->save());

        GroupManagementView *sheet = openSheet();
        sheet->setSelectedGroup(gifts);
        // The archived member counts in the first number, but archived packages are not offered.
        QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("assignmentCount"))->text(), QStringLiteral("2 of 1"));
        QCOMPARE(sheet->findChild<QListWidget *>(QStringLiteral("packageToggleList"))->count(), 1);

        triggerMenuAction(sheet, gifts, QStringLiteral("deleteGroupAction"));
        QVERIFY(!sheet->selectedGroup());
        QVERIFY(sheet->findChild<EmptyStateView *>(QStringLiteral("assignmentEmptyState"))->isVisible());

        auto stored = reopen();
        auto packages = stored->fetchPackages();
        QCOMPARE(packages.value().size(), 2);
        for (const Package *package : packages.value()) {
            QStringList names;
            for (const PackageGroup *group : package->groups())
                names.append(group->name());
            QCOMPARE(names,
                     package->trackingNumber() == lamp->trackingNumber() ? QStringList {QStringLiteral("Work")}
                                                                         : QStringList {});
        }
        QCOMPARE(namesInOrder(stored->fetchGroups().value()), QStringList {QStringLiteral("Work:1")});
        auto *chips = m_view->findChild<GroupChipBar *>();
        QTRY_COMPARE(chips->groups().size(), 1);
    }

    void toggleRowsAssignPackages()
    {
        PackageGroup *home = addGroup(QStringLiteral("Home"), 0);
        addPackage(QStringLiteral("1Z999AA10123456784"), QStringLiteral("Lamp"));
        addPackage(QStringLiteral("9400111899223197428490"));
        QVERIFY(m_context->save());
        GroupManagementView *sheet = openSheet();
        auto *list = sheet->findChild<QListWidget *>(QStringLiteral("groupList"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(sheet->selectedGroup(), home);
        auto *count = sheet->findChild<QLabel *>(QStringLiteral("assignmentCount"));
        QCOMPARE(count->text(), QStringLiteral("0 of 2"));

        // Rows show the label, or the number when there is none.
        auto *packages = sheet->findChild<QListWidget *>(QStringLiteral("packageToggleList"));
        QStringList titles;
        for (int i = 0; i < packages->count(); ++i)
            titles.append(packages->item(i)->text());
        QVERIFY(titles.contains(QStringLiteral("Lamp")));
        QVERIFY(titles.contains(QStringLiteral("9400111899223197428490")));

        const int lampRow = int(titles.indexOf(QStringLiteral("Lamp")));
        const QPoint lampPoint = packages->visualItemRect(packages->item(lampRow)).center();
        QTest::mouseClick(packages->viewport(), Qt::LeftButton, {}, lampPoint);
        QTRY_COMPARE(count->text(), QStringLiteral("1 of 2"));
        QVERIFY(packages->item(lampRow)->data(Qt::UserRole + 6).toBool());
        QCOMPARE(storedGroups().constFirst()->packages().size(), 1);
        QCOMPARE(storedGroups().constFirst()->packages().constFirst()->label(), QStringLiteral("Lamp"));
        auto *chips = m_view->findChild<GroupChipBar *>();
        QTRY_COMPARE(chips->chip(home)->trailingText(), QStringLiteral("1"));

        // A second press takes it out again.
        QTest::mouseClick(packages->viewport(), Qt::LeftButton, {}, lampPoint);
        QTRY_COMPARE(count->text(), QStringLiteral("0 of 2"));
        QCOMPARE(storedGroups().constFirst()->packages().size(), 0);
    }

    void closeButtonDismisses()
    {
        GroupManagementView *sheet = openSheet();
        QTest::mouseClick(sheet->findChild<QToolButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
        QTRY_VERIFY(!m_view->findChild<GroupManagementView *>());
    }
};

KESTROVE_GUI_TEST_MAIN(GroupManagementTest)
#include "groupmanagementtest.moc"
