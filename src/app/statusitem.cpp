#include "app/statusitem.h"

#include "app/appicon.h"
#include "app/kestroveapp.h"
#include "ui/menubarpopoverview.h"
#include "ui/symbolicon.h"

#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace
{
// A click on the tray icon while the panel is open first closes the panel (the click
// lands outside the popup) and then arrives as an activation; within this window that
// activation is the same click and must not reopen the panel.
constexpr qint64 reopenGuardMs = 300;

class PopoverPanel : public QFrame
{
public:
    explicit PopoverPanel(QWidget *content)
        : QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint)
    {
        // Frameless, so the panel draws its own edge against what lies beneath.
        setFrameShape(QFrame::StyledPanel);
        setObjectName(QStringLiteral("menu-bar-popover"));
        setFixedSize(StatusItem::panelSize);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        content->setParent(this);
        layout->addWidget(content);
    }
};
}

StatusItem::StatusItem(KestroveApp &app, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_tray(new QSystemTrayIcon(this))
    , m_menu(new QMenu)
{
    m_tray->setIcon(AppIcon::tray());
    m_tray->setToolTip(tr("Kestrove"));

    QAction *open = m_menu->addAction(SymbolIcon::icon(QStringLiteral("macwindow")), tr("Open Kestrove"));
    connect(open, &QAction::triggered, this, [this] { m_app.openMainWindow(); });
    QAction *settings = m_menu->addAction(SymbolIcon::icon(QStringLiteral("gear")), tr("Settings..."));
    connect(settings, &QAction::triggered, this, [this] { m_app.openSettings(); });
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(SymbolIcon::icon(QStringLiteral("power")), tr("Quit Kestrove"));
    connect(quit, &QAction::triggered, this, [this] { m_app.quit(); });
    m_tray->setContextMenu(m_menu);

    connect(m_tray, &QSystemTrayIcon::activated, this, &StatusItem::activated);
    m_tray->show();
}

StatusItem::~StatusItem()
{
    delete m_panel;
    delete m_menu;
}

void StatusItem::activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        togglePanel();
}

void StatusItem::togglePanel()
{
    if (m_panel && m_panel->isVisible()) {
        closePanel();
        return;
    }
    if (m_sinceClosed.isValid() && m_sinceClosed.elapsed() < reopenGuardMs)
        return;
    showPanel();
}

void StatusItem::showPanel()
{
    if (!m_panel) {
        m_panel = new PopoverPanel(new MenuBarPopoverView(m_app.services(), &m_app));
        m_panel->installEventFilter(this);
    }
    const QRect icon = m_tray->geometry();
    const QPoint cursor = QCursor::pos();
    QScreen *screen = QGuiApplication::screenAt(icon.isValid() ? icon.center() : cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), panelSize);
    m_panel->move(panelPosition(icon, cursor, panelSize, available));
    m_panel->show();
}

bool StatusItem::eventFilter(QObject *watched, QEvent *event)
{
    // However the panel goes (a click outside, Escape, a button that hands over to a
    // window), it is rebuilt on the next opening, so that it always shows current data.
    if (watched == m_panel && event->type() == QEvent::Hide) {
        m_sinceClosed.start();
        m_panel->deleteLater();
        m_panel = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void StatusItem::closePanel()
{
    if (m_panel)
        m_panel->close();
}

QPoint StatusItem::panelPosition(const QRect &iconGeometry, const QPoint &cursor, const QSize &size,
                                 const QRect &available)
{
    const QRect anchor = iconGeometry.isValid() && !iconGeometry.isEmpty() ? iconGeometry : QRect(cursor, QSize(1, 1));
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.center().y() < available.center().y() ? anchor.bottom() + 1 + panelGap
                                                         : anchor.top() - panelGap - size.height();
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}
