#include "ui/menubarpopoverview.h"

#include "services/appnotifications.h"
#include "ui/shellactions.h"
#include "ui/symbolicon.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QToolButton *iconButton(const QString &objectName, const QString &symbol, const QString &help, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(SymbolIcon::icon(symbol));
    button->setToolTip(help);
    button->setAutoRaise(true);
    return button;
}
}

MenuBarPopoverView::MenuBarPopoverView(ModelContext *context, ShellActions *shell, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("menu-bar-popover-view"));
    const QColor secondary = palette().color(QPalette::PlaceholderText);

    auto *title = new QLabel(tr("Kestrove"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto *add = iconButton(QStringLiteral("popover-add"), QStringLiteral("plus"), tr("Add Package"), this);
    connect(add, &QToolButton::clicked, this, [this] {
        m_shell->openMainWindow();
        AppNotifications::shared()->post(AppNotifications::addPackageRequested);
        window()->close();
    });
    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addStretch();
    header->addWidget(add);

    auto *emptyIcon = new QLabel(this);
    emptyIcon->setPixmap(SymbolIcon::tinted(QStringLiteral("shippingbox"), 28, secondary, devicePixelRatioF()));
    emptyIcon->setAlignment(Qt::AlignCenter);
    auto *emptyTitle = new QLabel(tr("No packages"), this);
    emptyTitle->setAlignment(Qt::AlignCenter);
    auto *emptyText = new QLabel(tr("Click + to start tracking a package"), this);
    emptyText->setAlignment(Qt::AlignCenter);
    QPalette captionPalette = emptyText->palette();
    captionPalette.setColor(QPalette::WindowText, secondary);
    emptyText->setPalette(captionPalette);
    QFont captionFont = emptyText->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.85);
    emptyText->setFont(captionFont);

    auto *open = new QToolButton(this);
    open->setObjectName(QStringLiteral("popover-open"));
    open->setText(tr("Open Kestrove"));
    open->setIcon(SymbolIcon::icon(QStringLiteral("macwindow")));
    open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    open->setAutoRaise(true);
    connect(open, &QToolButton::clicked, this, &MenuBarPopoverView::openMainWindowAndClose);
    auto *settings = iconButton(QStringLiteral("popover-settings"), QStringLiteral("gear"), tr("Settings"), this);
    connect(settings, &QToolButton::clicked, this, [this] {
        m_shell->openSettings();
        window()->close();
    });
    auto *quit = iconButton(QStringLiteral("popover-quit"), QStringLiteral("power"), tr("Quit Kestrove"), this);
    connect(quit, &QToolButton::clicked, this, [this] { m_shell->quit(); });
    auto *footer = new QHBoxLayout;
    footer->addStretch();
    footer->addWidget(open);
    footer->addStretch();
    footer->addWidget(settings);
    footer->addWidget(quit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(divider(this));
    layout->addStretch();
    layout->addWidget(emptyIcon);
    layout->addWidget(emptyTitle);
    layout->addWidget(emptyText);
    layout->addStretch();
    layout->addWidget(divider(this));
    layout->addLayout(footer);
}

void MenuBarPopoverView::openMainWindowAndClose()
{
    m_shell->openMainWindow();
    window()->close();
}
