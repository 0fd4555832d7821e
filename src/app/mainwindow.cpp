#include "app/mainwindow.h"

#include "app/kestroveapp.h"
#include "ui/appnotifications.h"
#include "ui/clipboardbanner.h"
#include "ui/mainwindowview.h"
#include "ui/onboardingview.h"
#include "ui/packagelistview.h"

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVariantAnimation>

MainWindow::MainWindow(KestroveApp &app, QWidget *parent)
    : QMainWindow(parent)
    , m_app(app)
    , m_view(new MainWindowView(app.services(), &app))
    , m_bannerSlot(new QWidget)
    , m_banner(new ClipboardBanner(m_bannerSlot))
    , m_bannerOpacity(new QGraphicsOpacityEffect(m_banner))
    , m_bannerAnimation(new QVariantAnimation(this))
{
    setObjectName(identifier);
    setWindowTitle(tr("Kestrove"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = initialGeometry(screen->availableGeometry());
        setMinimumSize(minimumContentSize.boundedTo(geometry.size()));
        setGeometry(geometry);
    } else {
        setMinimumSize(minimumContentSize);
        resize(defaultSize);
    }

    m_bannerSlot->setObjectName(QStringLiteral("clipboard-banner-slot"));
    auto *slotLayout = new QVBoxLayout(m_bannerSlot);
    slotLayout->setContentsMargins(12, 8, 12, 0);
    // Anchored to the bottom of its slot: as the slot grows from zero height the banner
    // appears to move in from the top edge.
    slotLayout->addStretch();
    slotLayout->addWidget(m_banner);
    m_banner->setGraphicsEffect(m_bannerOpacity);
    connect(m_banner, &ClipboardBanner::addClicked, this,
            [this](const QString &number) { m_app.addDetectedPackage(number); });
    connect(m_banner, &ClipboardBanner::dismissClicked, this, [this] { m_app.dismissClipboardBanner(); });

    m_bannerAnimation->setDuration(bannerAnimationMs);
    m_bannerAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_bannerAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setBannerProgress(value.toReal()); });
    connect(m_bannerAnimation, &QVariantAnimation::finished, this, [this] {
        if (!m_bannerShown)
            m_bannerSlot->hide();
        else
            m_bannerSlot->setMaximumHeight(QWIDGETSIZE_MAX);
    });

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bannerSlot);
    layout->addWidget(m_view, 1);
    setCentralWidget(content);
    // The keyboard starts in the list: the arrow keys choose a package at once, and no caret
    // blinks (and wakes the process twice a second) in a search field nobody typed in.
    m_view->packageList()->setFocus();

    buildMenus();
    // The view's toolbar belongs at the top of the window, above the clipboard banner.
    addToolBar(Qt::TopToolBarArea, m_view->toolBar());

    connect(&m_app, &KestroveApp::clipboardBannerChanged, this, [this] { updateBanner(true); });
    updateBanner(false);
}

MainWindow::~MainWindow() = default;

QRect MainWindow::initialGeometry(const QRect &available)
{
    // The window manager puts a title bar and borders around this rectangle: on a small screen the
    // window is made smaller, so that its title bar and all of its controls stay on the screen.
    const QRect room = available.marginsRemoved(decorationMargins);
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, defaultSize.boundedTo(room.size()), room);
}

void MainWindow::buildMenus()
{
    auto addAction
        = [this](QMenu *menu, const QString &objectName, const QString &title, const QKeySequence &shortcut) {
              QAction *action = menu->addAction(title);
              action->setObjectName(objectName);
              action->setShortcut(shortcut);
              return action;
          };
    AppNotifications *requests = m_app.services().requests;

    QMenu *file = menuBar()->addMenu(tr("&File"));
    connect(
        addAction(file, QStringLiteral("action-add-package"), tr("Add Package..."), QKeySequence(Qt::CTRL | Qt::Key_N)),
        &QAction::triggered, requests, [requests] { Q_EMIT requests->addPackageRequested(); });
    file->addSeparator();
    connect(
        addAction(file, QStringLiteral("action-settings"), tr("Settings..."), QKeySequence(Qt::CTRL | Qt::Key_Comma)),
        &QAction::triggered, this, [this] { m_app.openSettings(); });
    file->addSeparator();
    QAction *quit
        = addAction(file, QStringLiteral("action-quit"), tr("Quit Kestrove"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [this] { m_app.quit(); });

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    // Takes back the last deletion; a focused text field keeps Ctrl+Z for its own typing.
    QAction *undo = addAction(edit, QStringLiteral("action-undo"), tr("Undo Delete"), QKeySequence::Undo);
    undo->setEnabled(m_view->canUndoDeletion());
    connect(undo, &QAction::triggered, m_view, &MainWindowView::undoLastDeletion);
    connect(m_view, &MainWindowView::undoAvailableChanged, undo, &QAction::setEnabled);
    edit->addSeparator();
    connect(addAction(edit, QStringLiteral("action-archive-selected"), tr("Archive Selected"),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)),
            &QAction::triggered, requests, &AppNotifications::archiveSelectedRequested);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    connect(
        addAction(view, QStringLiteral("action-refresh-all"), tr("Refresh All"), QKeySequence(Qt::CTRL | Qt::Key_R)),
        &QAction::triggered, requests, &AppNotifications::refreshAllRequested);
}

void MainWindow::updateBanner(bool animated)
{
    const QString number = m_app.detectedTrackingNumber();
    const bool shown = m_app.showClipboardBanner() && !number.isEmpty();
    if (shown)
        m_banner->setTrackingNumber(number);
    if (!animated) {
        m_bannerShown = shown;
        m_bannerAnimation->stop();
        setBannerProgress(shown ? 1.0 : 0.0);
        m_bannerSlot->setMaximumHeight(QWIDGETSIZE_MAX);
        m_bannerSlot->setVisible(shown);
        return;
    }
    if (shown == m_bannerShown)
        return;
    m_bannerShown = shown;
    m_bannerAnimation->stop();
    if (shown)
        m_bannerSlot->show();
    m_bannerAnimation->setStartValue(m_bannerProgress);
    m_bannerAnimation->setEndValue(shown ? 1.0 : 0.0);
    m_bannerAnimation->start();
}

void MainWindow::setBannerProgress(qreal progress)
{
    m_bannerProgress = progress;
    m_bannerOpacity->setOpacity(progress);
    // Hidden, it asks for no size: laying out its texts would load their fonts before the first frame.
    m_bannerSlot->setMaximumHeight(progress > 0 ? qRound(m_bannerSlot->sizeHint().height() * progress) : 0);
}

void MainWindow::presentOnboarding()
{
    if (m_onboarding) {
        // Raising the window must not bury its sheet (without a window manager nothing keeps it on top).
        m_onboarding->raise();
        m_onboarding->activateWindow();
        return;
    }
    auto *sheet = new OnboardingView(m_app.services().preferences, m_app.services().notifications, this);
    connect(sheet, &OnboardingView::apiKeySettingsRequested, this,
            [this] { m_app.openSettingsOn(SettingsView::Tab::apiKeys); });
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    m_onboarding = sheet;
    // However the sheet goes away, it is not presented again in this process.
    connect(sheet, &QDialog::finished, this, [this] { m_app.setShowOnboarding(false); });
    sheet->open();
}
