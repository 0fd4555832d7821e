#include "ui/batchactionbar.h"

#include "model/packagegroup.h"
#include "ui/uistyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QToolButton>

namespace
{
QToolButton *actionButton(QWidget *parent, const QString &objectName, const QString &text, const QString &symbol)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(text);
    UiStyle::setSymbol(button, symbol);
    button->setIconSize(QSize(14, 14));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFont(UiStyle::font(UiStyle::TextStyle::caption, parent->font()));
    return button;
}
}

BatchActionBar::BatchActionBar(QWidget *parent)
    : QWidget(parent)
    , m_count(new QLabel(this))
    , m_groupMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("batchActionBar"));
    m_count->setObjectName(QStringLiteral("batchSelectedCount"));
    m_count->setFont(UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::Medium));

    QToolButton *archive
        = actionButton(this, QStringLiteral("batchArchiveButton"), tr("Archive"), QStringLiteral("archivebox"));
    connect(archive, &QToolButton::clicked, this, &BatchActionBar::archiveRequested);

    m_addToGroup = actionButton(this, QStringLiteral("batchAddToGroupButton"), tr("Add to Group"),
                                QStringLiteral("folder.badge.plus"));
    m_groupMenu->setObjectName(QStringLiteral("batchAddToGroupMenu"));
    m_addToGroup->setMenu(m_groupMenu);
    m_addToGroup->setPopupMode(QToolButton::InstantPopup);

    QToolButton *remove
        = actionButton(this, QStringLiteral("batchDeleteButton"), tr("Delete"), QStringLiteral("trash"));
    QPalette destructive = remove->palette();
    destructive.setColor(QPalette::ButtonText, UiStyle::named(StatusColor::red, destructive));
    remove->setPalette(destructive);
    connect(remove, &QToolButton::clicked, this, &BatchActionBar::deleteRequested);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 2, 6, 2);
    layout->setSpacing(2);
    layout->addWidget(m_count);
    layout->addStretch();
    layout->addWidget(archive);
    layout->addWidget(m_addToGroup);
    layout->addWidget(remove);
    setSelectedCount(0);
}

void BatchActionBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Texts beside the icons while they fit; in a narrow sidebar the icons alone, named by their tooltips.
    const QList<QToolButton *> buttons = findChildren<QToolButton *>();
    int needed = layout()->contentsMargins().left() + layout()->contentsMargins().right() + m_count->sizeHint().width()
        + layout()->spacing() * int(buttons.size()) + 8;
    for (QToolButton *button : buttons) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        needed += button->sizeHint().width();
    }
    if (needed > width()) {
        for (QToolButton *button : buttons)
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
}

void BatchActionBar::setSelectedCount(qsizetype count)
{
    m_count->setText(tr("%1 selected").arg(count));
}

void BatchActionBar::setGroups(const QList<PackageGroup *> &groups)
{
    m_groups = groups;
    rebuildGroupMenu();
}

void BatchActionBar::rebuildGroupMenu()
{
    m_groupMenu->clear();
    for (PackageGroup *group : std::as_const(m_groups)) {
        QAction *action = m_groupMenu->addAction(UiStyle::symbolIcon(QStringLiteral("folder"), palette()),
                                                 UiStyle::actionText(group->name()));
        action->setObjectName(QStringLiteral("batchAddToGroup-") + group->id().toString(QUuid::WithoutBraces));
        const QPointer<PackageGroup> target(group);
        connect(action, &QAction::triggered, this, [this, target] {
            if (target && !target->isDeleted())
                Q_EMIT addToGroupRequested(target);
        });
    }
    m_addToGroup->setEnabled(!m_groups.isEmpty());
}
