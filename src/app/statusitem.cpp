#include "app/statusitem.h"

#include "app/appicon.h"
#include "app/kestroveapp.h"
#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/deliverycountdown.h"
#include "ui/keyboardfocus.h"
#include "ui/menubarpopoverview.h"
#include "ui/packagerowview.h"
#include "ui/uistyle.h"

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
        // Told apart from the main window, which a screen reader announces as "Kestrove".
        setAccessibleName(StatusItem::tr("Kestrove Packages"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        // As tall as its content (never taller than the most the panel may take), so that nothing
        // gapes above the footer, and it follows the content as packages come and go.
        layout->setSizeConstraint(QLayout::SetFixedSize);
        content->setParent(this);
        const int edges = 2 * (layout->contentsMargins().left() + frameWidth());
        content->setFixedWidth(StatusItem::panelSize.width() - edges);
        content->setMaximumHeight(StatusItem::panelSize.height() - edges);
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

    // Some desktops show only this menu and never report a click: it offers what the panel does.
    connect(m_menu, &QMenu::aboutToShow, this, &StatusItem::rebuildMenu);
    if (ModelContext *context = m_app.modelContext())
        connect(context, &ModelContext::objectsChanged, this, [this] { m_menuCall.schedule(); });
    rebuildMenu();
    m_tray->setContextMenu(m_menu);

    connect(m_tray, &QSystemTrayIcon::activated, this, &StatusItem::activated);
    m_tray->show();
}

StatusItem::~StatusItem()
{
    delete m_panel;
    delete m_menu;
}

void StatusItem::rebuildMenu()
{
    m_menuCall.cancel();
    m_menu->clear();
    const QPalette palette = m_menu->palette();
    QList<Package *> packages;
    if (ModelContext *context = m_app.modelContext()) {
        packages = MenuBarPopoverView::sortedPackages(context->loadedPackages());
    }
    const ScreenServices &services = m_app.services();
    const QDateTime now = services.clock->now();
    for (Package *package : packages.mid(0, MenuBarPopoverView::maximumRows)) {
        QString text = UiStyle::actionText(PackageRowView::title(*package));
        if (const std::optional<DeliveryCountdown::Label> countdown = DeliveryCountdown::forPackage(*package, now))
            text += QStringLiteral(" \u00b7 ") + countdown->text;
        QAction *row
            = m_menu->addAction(UiStyle::symbolIcon(TrackingStatuses::iconName(package->status()), palette), text);
        const QString number = package->trackingNumber();
        connect(row, &QAction::triggered, this, [this, number] {
            m_app.openMainWindow();
            Q_EMIT m_app.services().requests->selectPackageRequested(number);
        });
    }
    if (packages.size() > MenuBarPopoverView::maximumRows) {
        connect(m_menu->addAction(tr("View all %1 packages...").arg(packages.size())), &QAction::triggered, this,
                [this] { m_app.openMainWindow(); });
    }
    if (packages.isEmpty())
        m_menu->addAction(tr("No packages"))->setEnabled(false);
    m_menu->addSeparator();
    QAction *add = m_menu->addAction(UiStyle::symbolIcon(QStringLiteral("plus"), palette), tr("Add Package..."));
    connect(add, &QAction::triggered, this, [this] {
        m_app.openMainWindow();
        Q_EMIT m_app.services().requests->addPackageRequested();
    });
    QAction *refresh
        = m_menu->addAction(UiStyle::symbolIcon(QStringLiteral("arrow.clockwise"), palette), tr("Refresh"));
    refresh->setEnabled(!services.tracking->isRefreshing());
    connect(refresh, &QAction::triggered, this, [this] {
        TrackingService *tracking = m_app.services().tracking;
        if (ModelContext *context = m_app.modelContext(); context && !tracking->isRefreshing())
            (void)tracking->refreshAll(*context);
    });
    m_menu->addSeparator();
    QAction *open = m_menu->addAction(UiStyle::symbolIcon(QStringLiteral("macwindow"), palette), tr("Open Kestrove"));
    connect(open, &QAction::triggered, this, [this] { m_app.openMainWindow(); });
    QAction *settings = m_menu->addAction(UiStyle::symbolIcon(QStringLiteral("gear"), palette), tr("Settings..."));
    connect(settings, &QAction::triggered, this, [this] { m_app.openSettings(); });
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(UiStyle::symbolIcon(QStringLiteral("power"), palette), tr("Quit Kestrove"));
    connect(quit, &QAction::triggered, this, [this] { m_app.quit(); });
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
    m_panel->adjustSize();
    m_panel->move(panelPosition(icon, cursor, m_panel->size(), available));
    m_panel->show();
    KeyboardFocus::focusFirstControl(m_panel);
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
