#include "ui/groupmanagementview.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "ui/emptystateview.h"
#include "ui/groupcolorpicker.h"
#include "ui/hexcolor.h"
#include "ui/savereporter.h"
#include "ui/statusbadgeview.h"
#include "ui/uistyle.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
enum Role {
    IndexRole = Qt::UserRole + 1, // position in the view's own list of groups or packages
    ColorRole, // the group's hex colour
    CountRole, // a group's member count
    CarrierRole, // a package's carrier display name
    StatusRole, // a package's TrackingStatus, as int
    MemberRole, // the package is a member of the selected group
};

constexpr int dotSize = 10;
constexpr int rowPadding = 8;

QColor groupColor(const QString &hex, const QPalette &palette)
{
    return HexColor::colorOr(hex, UiStyle::named(StatusColor::gray, palette));
}

/** A group row: colour dot, name (edited in place) and the member count at the right. */
class GroupRowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect r = opt.rect.adjusted(rowPadding, 0, -rowPadding, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette &pal = opt.palette;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(groupColor(index.data(ColorRole).toString(), pal));
        painter->drawEllipse(QRectF(r.left(), r.center().y() - dotSize / 2.0 + 0.5, dotSize, dotSize));

        const QString count = QString::number(index.data(CountRole).toInt());
        const QFontMetrics fm(opt.font);
        const int countWidth = fm.horizontalAdvance(count);
        const QRect countRect(r.right() - countWidth, r.top(), countWidth, r.height());
        painter->setFont(opt.font);
        painter->setPen(selected ? pal.color(QPalette::HighlightedText) : UiStyle::secondary(pal));
        painter->drawText(countRect, Qt::AlignVCenter | Qt::AlignRight, count);

        const QRect nameRect(r.left() + dotSize + 8, r.top(), countRect.left() - 8 - (r.left() + dotSize + 8),
                             r.height());
        painter->setPen(selected ? pal.color(QPalette::HighlightedText) : UiStyle::primary(pal));
        painter->drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft,
                          fm.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, nameRect.width()));
        painter->restore();
    }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {200, std::max(28, QFontMetrics(option.font).height() + 12)};
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("groupNameEditor"));
        editor->setPlaceholderText(QCoreApplication::translate("GroupManagementView", "Name"));
        editor->setAccessibleName(editor->placeholderText());
        return editor;
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        // Between the dot and the count, so both stay visible while typing.
        const QRect r = option.rect.adjusted(rowPadding + dotSize + 4, 2, -rowPadding - 28, -2);
        editor->setGeometry(r);
    }
};

/** A package row: membership mark, title over carrier, status badge at the right. */
class PackageToggleDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        // Rows are buttons, not a selection: only the hover highlight is drawn.
        opt.state &= ~QStyle::State_Selected;
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QPalette &pal = opt.palette;
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QRect r = opt.rect.adjusted(rowPadding, 0, -rowPadding, 0);
        const bool member = index.data(MemberRole).toBool();
        const QColor markColor = member ? HexColor::colorOr(index.data(ColorRole).toString(), UiStyle::accent(pal))
                                        : UiStyle::secondary(pal);
        const int markSize = 18;
        painter->drawPixmap(QPoint(r.left(), r.center().y() - markSize / 2 + 1),
                            UiStyle::symbol(member ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                                            markSize, markColor, dpr));

        const auto status = static_cast<TrackingStatus>(index.data(StatusRole).toInt());
        const QSize badge = StatusBadgeView::sizeFor(status, StatusBadgeView::BadgeSize::regular, opt.font);
        StatusBadgeView::paint(*painter, QPoint(r.right() - badge.width(), r.center().y() - badge.height() / 2), status,
                               StatusBadgeView::BadgeSize::regular, pal, opt.font, dpr);

        const int textLeft = r.left() + markSize + 10;
        const int textWidth = r.right() - badge.width() - 10 - textLeft;
        const QFont titleFont = UiStyle::font(UiStyle::TextStyle::body, opt.font);
        const QFont carrierFont = UiStyle::font(UiStyle::TextStyle::caption, opt.font);
        const QFontMetrics titleMetrics(titleFont);
        const QFontMetrics carrierMetrics(carrierFont);
        const int textHeight = titleMetrics.height() + carrierMetrics.height();
        const int top = r.center().y() - textHeight / 2;
        painter->save();
        painter->setFont(titleFont);
        painter->setPen(UiStyle::primary(pal));
        painter->drawText(QRect(textLeft, top, textWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textWidth));
        painter->setFont(carrierFont);
        painter->setPen(UiStyle::secondary(pal));
        painter->drawText(QRect(textLeft, top + titleMetrics.height(), textWidth, carrierMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          carrierMetrics.elidedText(index.data(CarrierRole).toString(), Qt::ElideRight, textWidth));
        painter->restore();
    }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        const int text = QFontMetrics(UiStyle::font(UiStyle::TextStyle::body, option.font)).height()
            + QFontMetrics(UiStyle::font(UiStyle::TextStyle::caption, option.font)).height();
        return {260, text + 14};
    }
};
}

GroupManagementView::GroupManagementView(ModelContext *context, QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_newGroupColor(PackageGroup::colorPalette().constFirst().hex)
{
    setObjectName(QStringLiteral("groupManagementSheet"));
    setWindowTitle(tr("Manage Groups"));
    resize(680, 460);

    auto *title = new QLabel(tr("Manage Groups"), this);
    title->setObjectName(QStringLiteral("groupManagementTitle"));
    title->setFont(UiStyle::font(UiStyle::TextStyle::headline, font(), QFont::DemiBold));
    m_closeButton = new QToolButton(this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->setIconSize(QSize(18, 18));
    connect(m_closeButton, &QToolButton::clicked, this, &QDialog::reject);

    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_closeButton);

    auto *columns = new QHBoxLayout;
    columns->setSpacing(0);
    QWidget *left = buildGroupsColumn();
    left->setFixedWidth(280);
    columns->addWidget(left);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    columns->addWidget(divider);
    columns->addWidget(buildAssignmentColumn(), 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 0, 0);
    layout->setSpacing(8);
    auto *headerMargins = new QWidget(this);
    headerMargins->setLayout(header);
    header->setContentsMargins(16, 0, 10, 0);
    layout->addWidget(headerMargins);
    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setForegroundRole(QPalette::Mid);
    layout->addWidget(rule);
    layout->addLayout(columns, 1);

    if (m_context) {
        connect(m_context, &ModelContext::objectsChanged, this, [this] { scheduleReload(); });
    }
    changeEvent(nullptr);
    reload();
}

GroupManagementView::~GroupManagementView() = default;

QWidget *GroupManagementView::buildGroupsColumn()
{
    auto *column = new QWidget(this);
    auto *caption = new QLabel(tr("Groups"), column);
    caption->setFont(UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::DemiBold));
    UiStyle::makeSecondary(caption);

    m_groupList = new QListWidget(column);
    m_groupList->setObjectName(QStringLiteral("groupList"));
    m_groupList->setAccessibleName(tr("Groups"));
    auto *delegate = new GroupRowDelegate(m_groupList);
    m_groupList->setItemDelegate(delegate);
    // Return (or leaving the field) ends editing; the name was committed just before.
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] {
        m_editingGroupID = QUuid();
        scheduleReload();
    });
    m_groupList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_groupList->setDragDropMode(QAbstractItemView::InternalMove);
    m_groupList->setDefaultDropAction(Qt::MoveAction);
    m_groupList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_groupList->setFrameShape(QFrame::NoFrame);
    m_groupList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_groupList->viewport()->setAutoFillBackground(false);
    connect(m_groupList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_reloading)
            return;
        setSelectedGroup(row >= 0 && row < m_groups.size() ? m_groups.at(row) : nullptr);
    });
    connect(m_groupList, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (m_reloading)
            return;
        const int index = item->data(IndexRole).toInt();
        PackageGroup *group = m_groups.value(index);
        if (!group)
            return;
        // An emptied name would leave a blank chip; the old name stays instead.
        const QString name = item->text();
        if (name.trimmed().isEmpty()) {
            scheduleReload();
            return;
        }
        if (name != group->name()) {
            group->setName(name);
            save();
        }
    });
    connect(m_groupList->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int start, int, const QModelIndex &, int row) {
                if (!m_reloading)
                    reorderGroups(start, row > start ? row - 1 : row);
            });
    connect(m_groupList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QListWidgetItem *item = m_groupList->itemAt(pos);
        if (!item)
            return;
        PackageGroup *group = m_groups.value(item->data(IndexRole).toInt());
        if (!group)
            return;
        QMenu *menu = createGroupMenu(group, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_groupList->viewport()->mapToGlobal(pos));
    });

    m_groupsEmpty = new EmptyStateView(column);
    m_groupsEmpty->setObjectName(QStringLiteral("groupsEmptyState"));
    m_groupsEmpty->setContent(QStringLiteral("folder.badge.plus"), tr("No Groups Yet"),
                              tr("Create a group below to organize your packages."));
    m_groupsStack = new QStackedWidget(column);
    m_groupsStack->addWidget(m_groupList);
    m_groupsStack->addWidget(m_groupsEmpty);

    // The add bar.
    m_newGroupName = new QLineEdit(column);
    m_newGroupName->setObjectName(QStringLiteral("newGroupNameField"));
    m_newGroupName->setPlaceholderText(tr("New group name"));
    m_newGroupName->setAccessibleName(m_newGroupName->placeholderText());
    connect(m_newGroupName, &QLineEdit::textChanged, this, &GroupManagementView::updateAddButton);
    connect(m_newGroupName, &QLineEdit::returnPressed, this, &GroupManagementView::addGroup);
    m_colorPicker = new GroupColorPicker(true, column);
    m_colorPicker->setObjectName(QStringLiteral("newGroupColorPicker"));
    m_colorPicker->setSelectedHex(m_newGroupColor);
    connect(m_colorPicker, &GroupColorPicker::colorChosen, this, [this](const QString &hex) { m_newGroupColor = hex; });
    m_addButton = new QToolButton(column);
    m_addButton->setObjectName(QStringLiteral("addGroupButton"));
    m_addButton->setAutoRaise(true);
    m_addButton->setToolTip(tr("Add Group"));
    m_addButton->setAccessibleName(tr("Add Group"));
    m_addButton->setIconSize(QSize(22, 22));
    connect(m_addButton, &QToolButton::clicked, this, &GroupManagementView::addGroup);

    auto *addBar = new QWidget(column);
    addBar->setObjectName(QStringLiteral("addGroupBar"));
    auto *addLayout = new QVBoxLayout(addBar);
    addLayout->setContentsMargins(12, 8, 12, 12);
    addLayout->setSpacing(6);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(m_newGroupName, 1);
    nameRow->addWidget(m_addButton);
    addLayout->addLayout(nameRow);
    addLayout->addWidget(m_colorPicker);

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(4);
    auto *captionRow = new QHBoxLayout;
    captionRow->setContentsMargins(16, 0, 16, 0);
    captionRow->addWidget(caption);
    layout->addLayout(captionRow);
    layout->addWidget(m_groupsStack, 1);
    auto *rule = new QFrame(column);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setForegroundRole(QPalette::Mid);
    layout->addWidget(rule);
    layout->addWidget(addBar);
    updateAddButton();
    return column;
}

QWidget *GroupManagementView::buildAssignmentColumn()
{
    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("packageAssignment"));
    m_assignmentEmpty = new EmptyStateView(column);
    m_assignmentEmpty->setObjectName(QStringLiteral("assignmentEmptyState"));

    auto *panel = new QWidget(column);
    m_assignmentDot = new QLabel(panel);
    m_assignmentName = new QLabel(panel);
    m_assignmentName->setObjectName(QStringLiteral("assignmentGroupName"));
    m_assignmentName->setFont(UiStyle::font(UiStyle::TextStyle::headline, font(), QFont::DemiBold));
    m_assignmentCount = new QLabel(panel);
    m_assignmentCount->setObjectName(QStringLiteral("assignmentCount"));
    UiStyle::makeSecondary(m_assignmentCount);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(16, 8, 16, 4);
    header->setSpacing(8);
    header->addWidget(m_assignmentDot);
    header->addWidget(m_assignmentName);
    header->addStretch();
    header->addWidget(m_assignmentCount);

    m_packageList = new QListWidget(panel);
    m_packageList->setObjectName(QStringLiteral("packageToggleList"));
    m_packageList->setAccessibleName(tr("Packages"));
    m_packageList->setItemDelegate(new PackageToggleDelegate(m_packageList));
    m_packageList->setSelectionMode(QAbstractItemView::NoSelection);
    m_packageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_packageList->setMouseTracking(true);
    m_packageList->setSpacing(1);
    connect(m_packageList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        Package *package = m_packages.value(item->data(IndexRole).toInt());
        if (package && m_selected)
            togglePackageInGroup(package, m_selected);
    });

    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addLayout(header);
    auto *inset = new QHBoxLayout;
    inset->setContentsMargins(12, 0, 12, 12);
    inset->addWidget(m_packageList);
    panelLayout->addLayout(inset, 1);

    m_assignmentStack = new QStackedWidget(column);
    m_assignmentStack->addWidget(m_assignmentEmpty);
    m_assignmentStack->addWidget(panel);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_assignmentStack);
    return column;
}

// ---- Operations ----------------------------------------------------------------------------

void GroupManagementView::addGroup()
{
    const QString name = m_newGroupName->text().trimmed();
    if (name.isEmpty() || !m_context)
        return;
    auto *group = new PackageGroup(name, m_newGroupColor, int(m_groups.size()));
    m_context->insert(group);
    save();
    m_newGroupName->clear();
    reload();
    setSelectedGroup(group);
}

void GroupManagementView::reorderGroups(int from, int to)
{
    if (from < 0 || from >= m_groups.size() || to < 0 || to >= m_groups.size())
        return;
    m_groups.move(from, to);
    for (int i = 0; i < m_groups.size(); ++i)
        m_groups.at(i)->setSortOrder(i);
    save();
    // The moved rows carry stale positions; list them again.
    scheduleReload();
}

void GroupManagementView::renameGroup(PackageGroup *group)
{
    if (QListWidgetItem *item = itemFor(group)) {
        m_editingGroupID = group->id();
        m_groupList->setCurrentItem(item);
        m_groupList->editItem(item);
    }
}

void GroupManagementView::setGroupColor(PackageGroup *group, const QString &hex)
{
    if (!group)
        return;
    group->setColorHex(hex);
    save();
}

void GroupManagementView::deleteGroup(PackageGroup *group)
{
    if (!group || !m_context || group->isDeleted())
        return;
    if (m_selected == group)
        setSelectedGroup(nullptr);
    group->prepareForDeletion();
    m_context->remove(group);
    save();
    reload();
}

void GroupManagementView::togglePackageInGroup(Package *package, PackageGroup *group)
{
    if (!package || !group)
        return;
    package->toggleGroup(group);
    save();
    scheduleReload();
}

QMenu *GroupManagementView::createGroupMenu(PackageGroup *group, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("groupMenu"));
    const QPointer<PackageGroup> target = group;
    QAction *rename = menu->addAction(tr("Rename"));
    rename->setObjectName(QStringLiteral("renameGroupAction"));
    connect(rename, &QAction::triggered, this, [this, target] { renameGroup(target); });

    QMenu *colors = menu->addMenu(tr("Change Color"));
    colors->setObjectName(QStringLiteral("changeColorMenu"));
    const qreal dpr = devicePixelRatioF();
    for (const PackageGroup::PaletteColor &preset : PackageGroup::colorPalette()) {
        const bool current = group->colorHex() == preset.hex;
        QAction *color = colors->addAction(preset.name);
        color->setObjectName(QStringLiteral("groupColorAction-") + preset.name);
        color->setIcon(
            QIcon(UiStyle::symbol(current ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle.fill"), 16,
                                  groupColor(preset.hex, palette()), dpr)));
        const QString hex = preset.hex;
        connect(color, &QAction::triggered, this, [this, target, hex] { setGroupColor(target, hex); });
    }
    menu->addSeparator();
    QAction *remove = menu->addAction(tr("Delete"));
    remove->setObjectName(QStringLiteral("deleteGroupAction"));
    remove->setIcon(
        QIcon(UiStyle::symbol(QStringLiteral("trash"), 16, UiStyle::named(StatusColor::red, palette()), dpr)));
    connect(remove, &QAction::triggered, this, [this, target] { deleteGroup(target); });
    return menu;
}

void GroupManagementView::setSelectedGroup(PackageGroup *group)
{
    if (group && group->isDeleted())
        group = nullptr;
    m_selected = group;
    const QListWidgetItem *item = itemFor(group);
    const int row = item ? m_groupList->row(item) : -1;
    if (m_groupList->currentRow() != row) {
        const bool wasReloading = m_reloading;
        m_reloading = true;
        m_groupList->setCurrentRow(row);
        if (row < 0)
            m_groupList->clearSelection();
        m_reloading = wasReloading;
    }
    reloadAssignment();
}

// ---- Showing the store ---------------------------------------------------------------------

void GroupManagementView::save()
{
    if (m_context)
        SaveReporter::save(*m_context);
}

void GroupManagementView::scheduleReload()
{
    m_reloadCall.schedule();
}

void GroupManagementView::reload()
{
    m_reloadCall.cancel();
    reloadGroups();
    reloadAssignment();
}

void GroupManagementView::reloadGroups()
{
    for (PackageGroup *group : std::as_const(m_groups)) {
        if (group)
            disconnect(group, nullptr, this, nullptr);
    }
    m_groups.clear();
    if (m_context) {
        auto fetched = PackageStore::fetchGroupsInOrder(*m_context);
        if (fetched)
            m_groups = fetched.value();
    }
    if (m_selected && (m_selected->isDeleted() || !m_groups.contains(m_selected.data())))
        m_selected = nullptr;

    // A name being edited survives the reload: the editor belongs to the row, which is kept.
    const bool editing = !m_editingGroupID.isNull();
    m_reloading = true;
    if (!editing || m_groupList->count() != m_groups.size()) {
        m_groupList->clear();
        m_editingGroupID = QUuid();
        for (int i = 0; i < m_groups.size(); ++i) {
            auto *item = new QListWidgetItem(m_groupList);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
        }
    }
    for (int i = 0; i < m_groups.size(); ++i) {
        PackageGroup *group = m_groups.at(i);
        QListWidgetItem *item = m_groupList->item(i);
        item->setData(IndexRole, i);
        item->setText(group->name());
        item->setData(ColorRole, group->colorHex());
        item->setData(CountRole, int(group->packages().size()));
        item->setToolTip(group->name());
        // Member changes through other screens show at once, not only after a save.
        connect(group, &PackageGroup::changed, this, &GroupManagementView::scheduleReload);
    }
    const QListWidgetItem *current = itemFor(m_selected);
    m_groupList->setCurrentRow(current ? m_groupList->row(current) : -1);
    m_reloading = false;
    m_groupsStack->setCurrentWidget(m_groups.isEmpty() ? static_cast<QWidget *>(m_groupsEmpty) : m_groupList);
}

void GroupManagementView::reloadAssignment()
{
    PackageGroup *group = m_selected;
    if (!group) {
        m_assignmentEmpty->setContent(QStringLiteral("folder"), tr("Select a Group"),
                                      tr("Choose a group from the left to assign packages."));
        m_assignmentStack->setCurrentWidget(m_assignmentEmpty);
        return;
    }
    QList<Package *> packages;
    if (m_context) {
        auto fetched = m_context->fetchPackages(
            [](const Package &p) { return !p.isArchived(); },
            [](const Package &a, const Package &b) { return a.lastUpdated() < b.lastUpdated(); });
        if (fetched)
            packages = fetched.value();
    }
    if (packages.isEmpty()) {
        m_assignmentEmpty->setContent(QStringLiteral("shippingbox"), tr("No Packages"),
                                      tr("Add packages to start organizing."));
        m_assignmentStack->setCurrentWidget(m_assignmentEmpty);
        return;
    }
    m_assignmentDot->setPixmap(UiStyle::dot(groupColor(group->colorHex(), palette()), dotSize, devicePixelRatioF()));
    m_assignmentName->setText(group->name());
    m_assignmentCount->setText(
        tr("%1 of %2").arg(QString::number(group->packages().size()), QString::number(packages.size())));

    const int scroll = m_packageList->verticalScrollBar()->value();
    m_packages.clear();
    for (Package *package : std::as_const(packages))
        m_packages.append(package);
    if (m_packageList->count() != packages.size()) {
        m_packageList->clear();
        for (int i = 0; i < packages.size(); ++i)
            new QListWidgetItem(m_packageList);
    }
    for (int i = 0; i < packages.size(); ++i) {
        const Package *package = packages.at(i);
        QListWidgetItem *item = m_packageList->item(i);
        const QString title = package->label().isEmpty() ? package->trackingNumber() : package->label();
        item->setData(IndexRole, i);
        item->setText(title);
        item->setData(CarrierRole, package->carrierDisplayName());
        item->setData(StatusRole, int(package->status()));
        item->setData(MemberRole, package->isInGroup(*group));
        item->setData(ColorRole, group->colorHex());
        item->setData(Qt::AccessibleTextRole, title);
        item->setData(Qt::UserRole, package->trackingNumber());
    }
    m_packageList->verticalScrollBar()->setValue(scroll);
    m_assignmentStack->setCurrentIndex(1);
}

void GroupManagementView::updateAddButton()
{
    m_addButton->setEnabled(!m_newGroupName->text().trimmed().isEmpty());
}

QListWidgetItem *GroupManagementView::itemFor(const PackageGroup *group) const
{
    if (!group)
        return nullptr;
    const int index = int(m_groups.indexOf(const_cast<PackageGroup *>(group)));
    if (index < 0)
        return nullptr;
    for (int row = 0; row < m_groupList->count(); ++row) {
        if (m_groupList->item(row)->data(IndexRole).toInt() == index)
            return m_groupList->item(row);
    }
    return nullptr;
}

void GroupManagementView::changeEvent(QEvent *event)
{
    if (event)
        QDialog::changeEvent(event);
    if (event && event->type() != QEvent::PaletteChange)
        return;
    const QPalette pal = palette();
    m_closeButton->setIcon(
        QIcon(UiStyle::symbol(QStringLiteral("xmark.circle.fill"), 18, UiStyle::secondary(pal), devicePixelRatioF())));
    m_addButton->setIcon(
        QIcon(UiStyle::symbol(QStringLiteral("plus.circle.fill"), 22, UiStyle::accent(pal), devicePixelRatioF())));
    if (event)
        reload();
}
