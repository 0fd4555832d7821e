#pragma once

#include "ui/coalescedcall.h"
#include "ui/screenservices.h"

#include <QAbstractButton>
#include <QList>
#include <QPointer>
#include <QWidget>

class ModelContext;
class Package;
class QDateTime;
class QLabel;
class QProgressBar;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class ShellActions;

/**
 * One package in the tray panel: pin, status icon, title with the latest event below it and
 * the delivery countdown. A flat button; the panel opens the package when it is clicked.
 */
class MenuBarPackageRow : public QAbstractButton
{
    Q_OBJECT
public:
    /** The countdown is counted from now. */
    MenuBarPackageRow(Package *package, const QDateTime &now, QWidget *parent = nullptr);

    [[nodiscard]] Package *package() const { return m_package; }
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<Package> m_package; // the row goes with the next rebuild after a deletion
};

/**
 * The content of the panel that drops down from the tray item: header with the in-flight count
 * and the add button, the five most relevant active packages and the footer with refresh, open,
 * settings and quit. It follows the store live and closes its panel itself (window()->close())
 * when it has handed over to the main window.
 */
class MenuBarPopoverView : public QWidget
{
    Q_OBJECT
public:
    /** How many packages the panel lists before it offers "View all". */
    static constexpr int maximumRows = 5;

    /** The panel works on the services' main context and reaches the shell through shell. */
    MenuBarPopoverView(const ScreenServices &services, ShellActions *shell, QWidget *parent = nullptr);

    [[nodiscard]] ModelContext *modelContext() const { return m_context; }

    /** The packages the panel lists, in its order: not archived, pinned first, then latest update first. */
    [[nodiscard]] static QList<Package *> sortedPackages(const QList<Package *> &packages);

protected:
    void changeEvent(QEvent *event) override;

private:
    void openMainWindowAndClose();
    void selectAndOpen(Package *package);
    /** Asks for one rebuild at the next turn of the event loop, however many changes arrive before it. */
    void scheduleRebuild();
    void rebuild();
    void updateRefreshState();

    ScreenServices m_services;
    ModelContext *m_context;
    ShellActions *m_shell;
    CoalescedCall m_rebuildCall {this, [this] { rebuild(); }};
    QList<QPointer<Package>> m_watched;

    QLabel *m_badge = nullptr;
    QWidget *m_emptyState = nullptr;
    QScrollArea *m_scroll = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QToolButton *m_refresh = nullptr;
    QProgressBar *m_refreshProgress = nullptr;
};
