#include "ui/groupchipbar.h"

#include "model/modelcontext.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "ui/capsulebutton.h"
#include "ui/chipstrip.h"
#include "ui/hexcolor.h"
#include "ui/uistyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

GroupChipBar::GroupChipBar(ModelContext *context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_withGroups(new QWidget(this))
    , m_strip(new ChipStrip(m_withGroups))
    , m_addGroups(new QPushButton(this))
{
    setObjectName(QStringLiteral("groupsSidebarSection"));

    auto *caption = new QLabel(tr("Groups"), m_withGroups);
    caption->setFont(UiStyle::font(UiStyle::TextStyle::caption2, font(), QFont::DemiBold));
    UiStyle::makeSecondary(caption);
    auto *gear = new QToolButton(m_withGroups);
    gear->setObjectName(QStringLiteral("manageGroupsButton"));
    gear->setAutoRaise(true);
    UiStyle::setSymbol(gear, QStringLiteral("gear"));
    gear->setIconSize(QSize(14, 14));
    gear->setToolTip(tr("Manage Groups"));
    gear->setAccessibleName(tr("Manage Groups"));
    connect(gear, &QToolButton::clicked, this, &GroupChipBar::manageGroupsRequested);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(10, 0, 6, 0);
    header->addWidget(caption);
    header->addStretch();
    header->addWidget(gear);
    auto *withGroupsLayout = new QVBoxLayout(m_withGroups);
    withGroupsLayout->setContentsMargins(0, 4, 0, 6);
    withGroupsLayout->setSpacing(2);
    withGroupsLayout->addLayout(header);
    withGroupsLayout->addWidget(m_strip);

    m_addGroups->setObjectName(QStringLiteral("addGroupsButton"));
    m_addGroups->setText(tr("Add Groups"));
    UiStyle::setSymbol(m_addGroups, QStringLiteral("folder.badge.plus"));
    m_addGroups->setFlat(true);
    m_addGroups->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    m_addGroups->setCursor(Qt::PointingHandCursor);
    connect(m_addGroups, &QPushButton::clicked, this, &GroupChipBar::manageGroupsRequested);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_withGroups);
    layout->addWidget(m_addGroups, 0, Qt::AlignHCenter);

    if (m_context)
        connect(m_context, &ModelContext::objectsChanged, this, [this] { scheduleReload(); });
    reload();
}

CapsuleButton *GroupChipBar::chip(const PackageGroup *group) const
{
    const qsizetype i = m_groups.indexOf(const_cast<PackageGroup *>(group));
    return i >= 0 && i < m_chips.size() ? m_chips.at(i) : nullptr;
}

void GroupChipBar::setSelectedGroup(PackageGroup *group)
{
    m_selected = group;
    applyColors();
}

void GroupChipBar::scheduleReload()
{
    m_reloadCall.schedule();
}

void GroupChipBar::reload()
{
    m_reloadCall.cancel();
    for (PackageGroup *group : std::as_const(m_groups)) {
        if (group)
            disconnect(group, nullptr, this, nullptr);
    }
    m_strip->clear();
    m_chips.clear();
    m_groups.clear();
    if (m_context) {
        auto fetched = PackageStore::fetchGroupsInOrder(*m_context);
        if (fetched)
            m_groups = fetched.value();
    }
    for (PackageGroup *group : std::as_const(m_groups)) {
        auto *chip = new CapsuleButton(m_strip);
        chip->setObjectName(QStringLiteral("groupChip"));
        chip->setText(group->name());
        chip->setDotColor(HexColor::colorOr(group->colorHex(), UiStyle::named(StatusColor::gray, palette())));
        chip->setTrailingText(QString::number(group->packages().size()));
        chip->setPadding(10, 5);
        chip->setAccessibleName(group->name());
        chip->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(chip, &CapsuleButton::clicked, this, [this, group] { Q_EMIT groupClicked(group); });
        connect(chip, &QWidget::customContextMenuRequested, this, [this, chip](const QPoint &pos) {
            // Owned by the bar, not the chip: a reload may replace the chip while the menu is open.
            auto *menu = new QMenu(this);
            menu->setObjectName(QStringLiteral("groupChipMenu"));
            menu->setAttribute(Qt::WA_DeleteOnClose);
            QAction *manage = menu->addAction(tr("Manage Groups..."));
            manage->setObjectName(QStringLiteral("manageGroupsAction"));
            connect(manage, &QAction::triggered, this, &GroupChipBar::manageGroupsRequested);
            menu->popup(chip->mapToGlobal(pos));
        });
        // Renames, recolouring and member changes show at once, not only after a save.
        connect(group, &PackageGroup::changed, this, [this] { scheduleReload(); });
        m_chips.append(chip);
        m_strip->addWidget(chip);
    }
    m_withGroups->setVisible(!m_groups.isEmpty());
    m_addGroups->setVisible(m_groups.isEmpty());
    applyColors();
    Q_EMIT groupsChanged();
}

void GroupChipBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void GroupChipBar::applyColors()
{
    const QPalette pal = palette();
    for (qsizetype i = 0; i < m_chips.size() && i < m_groups.size(); ++i) {
        PackageGroup *group = m_groups.at(i);
        const QColor groupColor = HexColor::colorOr(group->colorHex(), UiStyle::named(StatusColor::blue, pal));
        const bool selected = m_selected && m_selected->id() == group->id();
        // Chips are not toggles: the selection decides their look.
        m_chips.at(i)->setChecked(selected);
        m_chips.at(i)->setColors(UiStyle::withAlpha(groupColor, 0.2), UiStyle::primary(pal),
                                 UiStyle::withAlpha(UiStyle::secondary(pal), 0.08), UiStyle::primary(pal));
    }
}
