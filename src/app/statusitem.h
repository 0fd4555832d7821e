#pragma once

#include "ui/coalescedcall.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>

class KestroveApp;
class QMenu;
class QWidget;

/**
 * The tray item "Kestrove": a click opens the panel with the menu-bar popover next to
 * the icon (or at the cursor when the tray does not say where the icon is); a second
 * click closes it. The context menu offers the panel's packages and commands, for desktops
 * that show only a menu.
 */
class StatusItem : public QObject
{
    Q_OBJECT
public:
    /** The panel's width and the greatest height it takes (it is as tall as its content). */
    static constexpr QSize panelSize {340, 420};
    /** Room between the icon and the panel. */
    static constexpr int panelGap = 4;

    explicit StatusItem(KestroveApp &app, QObject *parent = nullptr);
    ~StatusItem() override;

    [[nodiscard]] QSystemTrayIcon *trayIcon() const { return m_tray; }
    /** The panel while it is open. */
    [[nodiscard]] QWidget *panel() const { return m_panel; }

    /** Opens the panel, or closes it when it is open. */
    void togglePanel();
    void showPanel();
    void closePanel();

    /**
     * Where the panel's top-left corner goes: centred under an icon in the upper half of
     * the screen, above one in the lower half, kept inside the available area. An empty
     * icon geometry means the tray did not tell; the cursor stands in for the icon.
     */
    [[nodiscard]] static QPoint panelPosition(const QRect &iconGeometry, const QPoint &cursor, const QSize &size,
                                              const QRect &available);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    /** The context menu: the panel's packages, then add, refresh, open, settings and quit. */
    void rebuildMenu();

    KestroveApp &m_app;
    QSystemTrayIcon *m_tray;
    QMenu *m_menu;
    CoalescedCall m_menuCall {this, [this] { rebuildMenu(); }};
    QPointer<QWidget> m_panel;
    QElapsedTimer m_sinceClosed;
};
