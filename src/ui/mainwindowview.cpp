#include "ui/mainwindowview.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "providers/trackingprovider.h"
#include "services/apikeystore.h"
#include "services/csvservice.h"
#include "tracking/trackingservice.h"
#include "ui/addpackagedialog.h"
#include "ui/appnotifications.h"
#include "ui/batchactionbar.h"
#include "ui/calendarview.h"
#include "ui/capsulebutton.h"
#include "ui/csvimportjob.h"
#include "ui/emptystateview.h"
#include "ui/filepanels.h"
#include "ui/filterpillbar.h"
#include "ui/groupchipbar.h"
#include "ui/groupmanagementview.h"
#include "ui/packagedetailview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/savereporter.h"
#include "ui/shellactions.h"
#include "ui/trackingnumberdrop.h"
#include "ui/uistyle.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QProgressDialog>
#include <QProxyStyle>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const char *const csvFilter = QT_TRANSLATE_NOOP("MainWindowView", "Comma-separated values (*.csv)");

MainWindowView::SheetFactory &groupManagementFactory()
{
    static MainWindowView::SheetFactory factory
        = [](ModelContext *context, QWidget *parent) -> QDialog * { return new GroupManagementView(context, parent); };
    return factory;
}

/**
 * Draws a checked menu item with a "checkmark" symbol at its trailing end. Items with icons
 * otherwise show their check only as a faint frame around the icon, which does not tell the
 * current sort order at a glance.
 */
class TrailingCheckmarkStyle : public QProxyStyle
{
public:
    static constexpr int checkmarkSize = 14;
    static constexpr int checkmarkMargin = 8;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuItem || !item || item->checkType == QStyleOptionMenuItem::NotCheckable) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionMenuItem plain(*item);
        plain.checked = false;
        QProxyStyle::drawControl(element, &plain, painter, widget);
        if (!item->checked)
            return;
        const bool highlighted = item->state.testFlag(State_Selected) && item->state.testFlag(State_Enabled);
        const QColor color = item->palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
        const QRect mark(item->rect.right() - checkmarkMargin - checkmarkSize + 1,
                         item->rect.center().y() - checkmarkSize / 2, checkmarkSize, checkmarkSize);
        painter->drawPixmap(
            mark,
            UiStyle::symbol(QStringLiteral("checkmark"), checkmarkSize, color, painter->device()->devicePixelRatioF()));
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuItem)
            result.rwidth() += checkmarkSize + checkmarkMargin;
        return result;
    }
};

/** A one-pixel line between the sidebar and the detail, drawn in the palette's mid tone. */
class LineSplitterHandle : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), palette().color(QPalette::Mid)); }
};

// A style sheet would do the same in one line, but it puts every widget below it through the
// style-sheet style, which made opening and painting the window markedly slower.
class LineSplitter : public QSplitter
{
public:
    explicit LineSplitter(QWidget *parent)
        : QSplitter(Qt::Horizontal, parent)
    { }

protected:
    QSplitterHandle *createHandle() override { return new LineSplitterHandle(orientation(), this); }
};
}

MainWindowView::MainWindowView(const ScreenServices &services, ShellActions *shell, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_context(services.context)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("main-window-view"));
    setAcceptDrops(true);

    // The sidebar builds the list, which the toolbar's actions need.
    QWidget *sidebar = buildSidebar();
    QWidget *detail = buildDetail();
    buildToolBar();
    m_apiKeyBanner = buildApiKeyBanner();
    m_rateLimitBanner = buildRateLimitBanner();
    m_saveErrorBanner = buildSaveErrorBanner();

    m_splitter = new LineSplitter(this);
    m_splitter->setObjectName(QStringLiteral("mainSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    m_splitter->addWidget(sidebar);
    m_splitter->addWidget(detail);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({sidebarIdealWidth, 520});

    m_content = new QStackedWidget(this);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->addWidget(m_splitter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_apiKeyBanner);
    layout->addWidget(m_rateLimitBanner);
    layout->addWidget(m_saveErrorBanner);
    layout->addWidget(m_content, 1);
    layout->addWidget(buildDeletionNotice());

    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        setViewMode(ViewMode::list);
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    auto *refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, [this] {
        if (!m_services.tracking->isRefreshing())
            refreshAll();
    });

    AppNotifications *requests = m_services.requests;
    connect(requests, &AppNotifications::addPackageRequested, this,
            [this](const QString &number) { showAddPackage(number); });
    // Unlike the toolbar button, this path starts a refresh even while one runs.
    connect(requests, &AppNotifications::refreshAllRequested, this, &MainWindowView::refreshAll);
    connect(requests, &AppNotifications::archiveSelectedRequested, this, &MainWindowView::archiveSelected);
    connect(requests, &AppNotifications::selectPackageRequested, this, &MainWindowView::selectPackageByNumber);
    TrackingService *service = m_services.tracking;
    connect(service, &TrackingService::isRefreshingChanged, this, &MainWindowView::updateRefreshState);
    connect(service, &TrackingService::providerChanged, this, &MainWindowView::updateApiKeyBanner);
    connect(service, &TrackingService::rateLimitChanged, this, &MainWindowView::updateRateLimitBanner);
    if (m_services.apiKeys) {
        connect(m_services.apiKeys, &ApiKeyStore::apiKeyChanged, this, &MainWindowView::updateApiKeyBanner);
        connect(m_services.apiKeys, &ApiKeyStore::loaded, this, &MainWindowView::updateApiKeyBanner);
    }

    updateApiKeyBanner();
    updateRateLimitBanner();
    updateRefreshState();
    updateBatchBar();
    updateDetail();
}

MainWindowView::~MainWindowView() = default;

void MainWindowView::setGroupManagementFactory(SheetFactory factory)
{
    groupManagementFactory() = std::move(factory);
}

// ---- Building ------------------------------------------------------------------------------

void MainWindowView::buildToolBar()
{
    m_toolBar = new QToolBar(tr("Main"), this);
    m_toolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(18, 18));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->toggleViewAction()->setVisible(false);

    // View picker: two segments, 80 points wide together.
    auto *picker = new QWidget(m_toolBar);
    const QPalette pal = palette();
    picker->setObjectName(QStringLiteral("viewPicker"));
    picker->setAccessibleName(tr("View"));
    picker->setToolTip(tr("View"));
    picker->setFixedWidth(80);
    auto *pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(2);
    auto *segments = new QButtonGroup(picker);
    const auto segment = [&](const QString &objectName, ViewMode mode) {
        auto *button = new CapsuleButton(picker);
        button->setObjectName(objectName);
        button->setSymbol(ViewModes::iconName(mode));
        button->setPadding(12, 6);
        button->setColors(UiStyle::accent(pal), UiStyle::onAccent(pal),
                          UiStyle::withAlpha(UiStyle::secondary(pal), 0.12), UiStyle::primary(pal));
        button->setAccessibleName(mode == ViewMode::list ? tr("List") : tr("Calendar"));
        button->setToolTip(button->accessibleName());
        segments->addButton(button);
        pickerLayout->addWidget(button);
        connect(button, &CapsuleButton::clicked, this, [this, mode] { setViewMode(mode); });
        return button;
    };
    m_listModeButton = segment(QStringLiteral("viewModeList"), ViewMode::list);
    m_calendarModeButton = segment(QStringLiteral("viewModeCalendar"), ViewMode::calendar);
    m_listModeButton->setChecked(true);
    m_toolBar->addWidget(picker);

    auto *spacer = new QWidget(m_toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolBar->addWidget(spacer);

    QAction *add = m_toolBar->addAction(tr("Add Package"));
    UiStyle::setSymbol(add, QStringLiteral("plus"), palette());
    add->setObjectName(QStringLiteral("addPackageAction"));
    add->setToolTip(tr("Add Package (Ctrl+N)"));
    connect(add, &QAction::triggered, this, [this] { showAddPackage(); });

    m_refreshAction = m_toolBar->addAction(tr("Refresh"));
    UiStyle::setSymbol(m_refreshAction, QStringLiteral("arrow.clockwise"), palette());
    m_refreshAction->setObjectName(QStringLiteral("refreshAction"));
    m_refreshAction->setToolTip(tr("Refresh (F5)"));
    connect(m_refreshAction, &QAction::triggered, this, &MainWindowView::refreshAll);
    // The refresh button's stand-in while a refresh runs: a busy bar, as in the tray panel.
    auto *indicator = new QProgressBar(m_toolBar);
    indicator->setObjectName(QStringLiteral("refreshProgress"));
    indicator->setRange(0, 0);
    indicator->setTextVisible(false);
    indicator->setFixedSize(40, 6);
    indicator->setToolTip(tr("Refreshing..."));
    indicator->setAccessibleName(tr("Refreshing..."));
    m_refreshIndicator = m_toolBar->addWidget(indicator);

    auto *sort = new QToolButton(m_toolBar);
    sort->setObjectName(QStringLiteral("sortButton"));
    UiStyle::setSymbol(sort, QStringLiteral("arrow.up.arrow.down"));
    sort->setText(tr("Sort"));
    sort->setToolTip(tr("Sort packages"));
    sort->setAccessibleName(tr("Sort"));
    sort->setPopupMode(QToolButton::InstantPopup);
    auto *sortMenu = new QMenu(sort);
    sortMenu->setObjectName(QStringLiteral("sortMenu"));
    auto *checkmarkStyle = new TrailingCheckmarkStyle;
    checkmarkStyle->setParent(sortMenu);
    sortMenu->setStyle(checkmarkStyle);
    auto *sortGroup = new QActionGroup(sortMenu);
    sortGroup->setExclusive(true);
    for (const PackageSortMode mode : PackageSortModes::allCases()) {
        QAction *action = sortMenu->addAction(PackageSortModes::label(mode));
        UiStyle::setSymbol(action, PackageSortModes::iconName(mode), palette());
        action->setObjectName(QStringLiteral("sort-") + PackageSortModes::rawValue(mode));
        // The checked state draws the check mark beside the current mode.
        action->setCheckable(true);
        action->setChecked(mode == m_sortMode);
        sortGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode] { setSortMode(mode); });
        m_sortActions.append(action);
    }
    sort->setMenu(sortMenu);
    m_toolBar->addWidget(sort);

    m_batchAction = m_toolBar->addAction(tr("Select"));
    UiStyle::setSymbol(m_batchAction, QStringLiteral("checkmark.circle"), palette());
    m_batchAction->setObjectName(QStringLiteral("batchToggleAction"));
    m_batchAction->setCheckable(true);
    m_batchAction->setToolTip(tr("Batch select packages"));
    connect(m_batchAction, &QAction::toggled, this, &MainWindowView::setBatchMode);

    auto *more = new QToolButton(m_toolBar);
    more->setObjectName(QStringLiteral("moreButton"));
    UiStyle::setSymbol(more, QStringLiteral("ellipsis.circle"));
    more->setText(tr("More"));
    more->setToolTip(tr("More"));
    more->setAccessibleName(tr("More"));
    more->setPopupMode(QToolButton::InstantPopup);
    auto *moreMenu = new QMenu(more);
    moreMenu->setObjectName(QStringLiteral("moreMenu"));
    QAction *import = moreMenu->addAction(tr("Import CSV..."));
    UiStyle::setSymbol(import, QStringLiteral("square.and.arrow.down"), palette());
    import->setObjectName(QStringLiteral("importCSVAction"));
    connect(import, &QAction::triggered, this, &MainWindowView::importCSV);
    QAction *exportAction = moreMenu->addAction(tr("Export CSV..."));
    UiStyle::setSymbol(exportAction, QStringLiteral("square.and.arrow.up"), palette());
    exportAction->setObjectName(QStringLiteral("exportCSVAction"));
    connect(exportAction, &QAction::triggered, this, &MainWindowView::exportCSV);
    moreMenu->addSeparator();
    QAction *settings = moreMenu->addAction(tr("Settings..."));
    UiStyle::setSymbol(settings, QStringLiteral("gearshape"), palette());
    settings->setObjectName(QStringLiteral("settingsAction"));
    connect(settings, &QAction::triggered, this, [this] {
        if (m_shell)
            m_shell->openSettings();
    });
    more->setMenu(moreMenu);
    m_toolBar->addWidget(more);

    // A tool bar takes its buttons out of the Tab order; "Select" has no shortcut, so keep all of them in.
    for (QAction *action : {add, m_refreshAction, m_batchAction})
        m_toolBar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
    // The chevron that shows when the window is too narrow for every button.
    if (auto *overflow = m_toolBar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        overflow->setAccessibleName(tr("More Tools"));
}

QWidget *MainWindowView::buildBanner(const QString &objectName, StatusColor tone, QHBoxLayout *&layout)
{
    auto *banner = new QWidget(this);
    banner->setObjectName(objectName);
    banner->setAutoFillBackground(true);
    QPalette p = banner->palette();
    const QColor symbol = UiStyle::named(tone, p);
    const bool error = tone == StatusColor::red;
    const QColor light = error ? QColor(0xff, 0xe5, 0xe3) : QColor(0xff, 0xf4, 0xcc);
    const QColor dark = error ? QColor(0x45, 0x1c, 0x1a) : QColor(0x3a, 0x32, 0x10);
    p.setColor(QPalette::Window, UiStyle::isDark(p) ? dark : light);
    banner->setPalette(p);

    auto *icon = new QLabel(banner);
    icon->setPixmap(UiStyle::symbol(QStringLiteral("exclamationmark.triangle.fill"), 16, symbol, devicePixelRatioF()));
    layout = new QHBoxLayout(banner);
    layout->setContentsMargins(12, 4, 8, 4);
    layout->setSpacing(8);
    layout->addWidget(icon);
    return banner;
}

QWidget *MainWindowView::buildApiKeyBanner()
{
    QHBoxLayout *layout = nullptr;
    QWidget *banner = buildBanner(QStringLiteral("apiKeyBanner"), StatusColor::yellow, layout);
    auto *text = new QLabel(tr("Tracking API key not configured."), banner);
    text->setObjectName(QStringLiteral("apiKeyBannerText"));
    auto *link = new QPushButton(tr("Open Settings"), banner);
    link->setObjectName(QStringLiteral("openSettingsLink"));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    QPalette linkPalette = link->palette();
    linkPalette.setColor(QPalette::ButtonText, linkPalette.color(QPalette::Link));
    link->setPalette(linkPalette);
    connect(link, &QPushButton::clicked, this, [this] {
        if (m_shell)
            m_shell->openSettings();
    });
    layout->addWidget(text);
    layout->addStretch();
    layout->addWidget(link);
    return banner;
}

QWidget *MainWindowView::buildRateLimitBanner()
{
    QHBoxLayout *layout = nullptr;
    QWidget *banner = buildBanner(QStringLiteral("rateLimitBanner"), StatusColor::yellow, layout);
    m_rateLimitText = new QLabel(banner);
    m_rateLimitText->setObjectName(QStringLiteral("rateLimitBannerText"));
    m_rateLimitText->setWordWrap(true);
    layout->addWidget(m_rateLimitText, 1);
    banner->hide();
    return banner;
}

QWidget *MainWindowView::buildSaveErrorBanner()
{
    QHBoxLayout *layout = nullptr;
    QWidget *banner = buildBanner(QStringLiteral("saveErrorBanner"), StatusColor::red, layout);
    m_saveErrorText = new QLabel(banner);
    m_saveErrorText->setObjectName(QStringLiteral("saveErrorBannerText"));
    m_saveErrorText->setWordWrap(true);
    m_saveErrorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *dismiss = new QToolButton(banner);
    dismiss->setObjectName(QStringLiteral("saveErrorDismiss"));
    UiStyle::setSymbol(dismiss, QStringLiteral("xmark.circle.fill"));
    dismiss->setAutoRaise(true);
    dismiss->setToolTip(tr("Dismiss"));
    dismiss->setAccessibleName(tr("Dismiss"));
    connect(dismiss, &QToolButton::clicked, banner, &QWidget::hide);
    layout->addWidget(m_saveErrorText, 1);
    layout->addWidget(dismiss);
    banner->hide();

    if (m_context) {
        SaveReporter *reporter = SaveReporter::of(*m_context);
        reporter->setRetryClock(m_services.clock);
        connect(reporter, &SaveReporter::saveFailed, this, [this](const QString &description) {
            m_saveErrorText->setText(description + QLatin1Char(' ')
                                     + tr("Your changes are not saved yet; Kestrove keeps trying."));
            m_saveErrorBanner->show();
        });
        // A later save that goes through writes what the failed one left behind.
        connect(reporter, &SaveReporter::saved, banner, &QWidget::hide);
    }
    return banner;
}

QWidget *MainWindowView::buildSidebar()
{
    auto *sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(sidebarMinimumWidth);
    sidebar->setMaximumWidth(sidebarMaximumWidth);

    m_search = new QLineEdit(sidebar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(tr("Search packages"));
    m_search->setAccessibleName(tr("Search packages"));
    // The clear button loads its icon when it is enabled: not before there is something to clear.
    // It is named after its action, which has no text of its own.
    connect(
        m_search, &QLineEdit::textChanged, m_search,
        [this] {
            m_search->setClearButtonEnabled(true);
            if (auto *clear = m_search->findChild<QAction *>(QStringLiteral("_q_qlineeditclearaction")))
                clear->setText(tr("Clear Search"));
        },
        Qt::SingleShotConnection);
    QAction *magnifier = m_search->addAction(QIcon(), QLineEdit::LeadingPosition);
    magnifier->setText(tr("Search"));
    UiStyle::setSymbol(magnifier, QStringLiteral("magnifyingglass"), palette());
    m_search->installEventFilter(this);

    m_pills = new FilterPillBar(sidebar);
    m_groups = new GroupChipBar(m_context, sidebar);
    m_batchBar = new BatchActionBar(sidebar);
    m_list = new PackageListView(m_services, sidebar);

    connect(m_search, &QLineEdit::textChanged, m_list->listModel(), &PackageListModel::setSearchText);
    connect(m_pills, &FilterPillBar::filterChosen, this, [this](PackageFilter filter) {
        setSelectedFilter(filter);
        if (filter != PackageFilter::all)
            setSelectedGroup(nullptr);
    });
    connect(m_groups, &GroupChipBar::groupClicked, this, [this](PackageGroup *group) {
        if (m_group && group && m_group->id() == group->id()) {
            setSelectedGroup(nullptr);
        } else {
            setSelectedGroup(group);
            setSelectedFilter(PackageFilter::all);
        }
    });
    connect(m_groups, &GroupChipBar::manageGroupsRequested, this, &MainWindowView::showGroupManagement);
    connect(m_groups, &GroupChipBar::groupsChanged, this, [this] {
        if (m_group && (m_group->isDeleted() || !m_groups->groups().contains(m_group.data())))
            setSelectedGroup(nullptr);
        m_groups->setSelectedGroup(m_group);
        m_batchBar->setGroups(m_groups->groups());
    });
    connect(m_batchBar, &BatchActionBar::archiveRequested, this, &MainWindowView::batchArchive);
    connect(m_batchBar, &BatchActionBar::deleteRequested, this, &MainWindowView::batchDelete);
    connect(m_batchBar, &BatchActionBar::addToGroupRequested, this, &MainWindowView::batchAddToGroup);
    connect(m_list->listModel(), &PackageListModel::batchSelectionChanged, this, &MainWindowView::updateBatchBar);
    connect(m_list, &PackageListView::batchDeleteRequested, this, &MainWindowView::batchDelete);
    connect(m_list, &PackageListView::deleteRequested, this, [this](Package *package) { deletePackages({package}); });
    connect(m_list, &PackageListView::selectedPackageChanged, this, [this](Package *package) {
        updateDetail();
        Q_EMIT selectedPackageChanged(package);
    });
    m_batchBar->setGroups(m_groups->groups());

    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(8, 8, 8, 2);
    searchRow->addWidget(m_search);

    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(searchRow);
    layout->addWidget(m_pills);
    layout->addWidget(UiStyle::divider(sidebar));
    layout->addWidget(m_groups);
    layout->addWidget(UiStyle::divider(sidebar));
    layout->addWidget(m_batchBar);
    layout->addWidget(m_list, 1);
    return sidebar;
}

QWidget *MainWindowView::buildDetail()
{
    m_detail = new QStackedWidget(this);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detailEmpty = new EmptyStateView(m_detail);
    m_detailEmpty->setObjectName(QStringLiteral("detailEmptyState"));
    m_detailEmpty->setContent(QStringLiteral("shippingbox"), tr("Select a Package"),
                              tr("Choose a package from the sidebar to view its details."));
    m_detail->addWidget(m_detailEmpty);
    return m_detail;
}

QWidget *MainWindowView::buildDeletionNotice()
{
    m_deletionNotice = new QWidget(this);
    m_deletionNotice->setObjectName(QStringLiteral("deletionNotice"));
    m_deletionNotice->setAutoFillBackground(true);
    m_deletionNotice->setBackgroundRole(QPalette::AlternateBase);
    auto *icon = new QLabel(m_deletionNotice);
    icon->setPixmap(UiStyle::symbol(QStringLiteral("trash"), 14, UiStyle::secondary(palette()), devicePixelRatioF()));
    m_deletionText = new QLabel(m_deletionNotice);
    m_deletionText->setObjectName(QStringLiteral("deletionNoticeText"));
    auto *undo = new QPushButton(tr("Undo"), m_deletionNotice);
    undo->setObjectName(QStringLiteral("undoDeletionButton"));
    undo->setToolTip(tr("Undo (Ctrl+Z)"));
    connect(undo, &QPushButton::clicked, this, &MainWindowView::undoLastDeletion);
    auto *dismiss = new QToolButton(m_deletionNotice);
    dismiss->setObjectName(QStringLiteral("dismissDeletionNotice"));
    dismiss->setAutoRaise(true);
    UiStyle::setSymbol(dismiss, QStringLiteral("xmark"));
    dismiss->setToolTip(tr("Dismiss"));
    dismiss->setAccessibleName(tr("Dismiss"));
    connect(dismiss, &QToolButton::clicked, m_deletionNotice, &QWidget::hide);
    auto *layout = new QHBoxLayout(m_deletionNotice);
    layout->setContentsMargins(12, 4, 8, 4);
    layout->setSpacing(8);
    layout->addWidget(icon);
    layout->addWidget(m_deletionText, 1);
    layout->addWidget(undo);
    layout->addWidget(dismiss);
    m_deletionNotice->hide();
    return m_deletionNotice;
}

// ---- State ---------------------------------------------------------------------------------

Package *MainWindowView::selectedPackage() const
{
    return m_list->selectedPackage();
}

AddPackageDialog *MainWindowView::addPackageSheet() const
{
    return m_addSheet;
}

QString MainWindowView::searchText() const
{
    return m_search->text();
}

QSet<Package *> MainWindowView::batchSelection() const
{
    return m_list->listModel()->batchSelection();
}

void MainWindowView::setSelectedFilter(PackageFilter filter)
{
    m_filter = filter;
    m_pills->setSelectedFilter(filter);
    m_list->listModel()->setFilter(filter);
}

void MainWindowView::setSelectedGroup(PackageGroup *group)
{
    m_group = group;
    m_groups->setSelectedGroup(group);
    m_list->listModel()->setGroup(group);
}

void MainWindowView::setSelectedPackage(Package *package)
{
    m_list->setSelectedPackage(package);
}

void MainWindowView::setViewMode(ViewMode mode)
{
    m_viewMode = mode;
    m_listModeButton->setChecked(mode == ViewMode::list);
    m_calendarModeButton->setChecked(mode == ViewMode::calendar);
    if (mode == ViewMode::calendar)
        m_content->setCurrentWidget(calendar());
    else
        m_content->setCurrentWidget(m_splitter);
}

CalendarView *MainWindowView::calendar()
{
    // Made when first shown: most sessions never open it, and it would follow every change of the store.
    if (m_calendar)
        return m_calendar;
    m_calendar = new CalendarView(m_context, m_services.clock, this);
    connect(m_calendar, &CalendarView::packageSelected, this, &MainWindowView::setSelectedPackage);
    connect(m_calendar, &CalendarView::packageActivated, this, [this](Package *package) {
        // Opened from a day: the list shows it, whatever filter or group hid it.
        setViewMode(ViewMode::list);
        setSelectedGroup(nullptr);
        setSelectedFilter(PackageFilter::all);
        setSelectedPackage(package);
    });
    connect(this, &MainWindowView::selectedPackageChanged, m_calendar, &CalendarView::setSelectedPackage);
    m_calendar->setSelectedPackage(selectedPackage());
    m_content->addWidget(m_calendar);
    return m_calendar;
}

void MainWindowView::setSortMode(PackageSortMode mode)
{
    m_sortMode = mode;
    for (QAction *action : std::as_const(m_sortActions))
        action->setChecked(action->objectName() == QStringLiteral("sort-") + PackageSortModes::rawValue(mode));
    m_list->listModel()->setSortMode(mode);
}

void MainWindowView::setBatchMode(bool on)
{
    m_batchMode = on;
    if (m_batchAction->isChecked() != on)
        m_batchAction->setChecked(on);
    m_list->setBatchMode(on);
    updateBatchBar();
}

void MainWindowView::updateBatchBar()
{
    m_batchBar->setVisible(m_batchMode);
    m_batchBar->setSelectedCount(m_list->listModel()->batchSelection().size());
}

PackageDetailView *MainWindowView::detailView()
{
    // Made when a package is first chosen: until then the side shows its empty state.
    if (m_detailView)
        return m_detailView;
    m_detailView = new PackageDetailView(m_services, m_detail);
    connect(m_detailView, &PackageDetailView::deleteConfirmed, this,
            [this](Package *package) { deletePackages({package}); });
    connect(m_detailView, &PackageDetailView::openSettingsRequested, this, [this] {
        if (m_shell)
            m_shell->openSettings();
    });
    m_detail->addWidget(m_detailView);
    return m_detailView;
}

void MainWindowView::updateDetail()
{
    Package *package = m_list->selectedPackage();
    if (!package && !m_detailView)
        return;
    detailView()->setPackage(package);
    m_detail->setCurrentWidget(package ? static_cast<QWidget *>(m_detailView) : m_detailEmpty);
}

void MainWindowView::updateApiKeyBanner()
{
    const TrackingProvider *provider = m_services.tracking->provider();
    // While the key is still being read nothing is known yet: no warning that may be wrong.
    const bool known = !m_services.apiKeys || m_services.apiKeys->isLoaded();
    m_apiKeyBanner->setVisible(known && provider && !provider->isConfigured());
}

void MainWindowView::updateRateLimitBanner()
{
    const std::optional<QDateTime> until = m_services.tracking->rateLimitedUntil();
    m_rateLimitBanner->setVisible(until.has_value());
    if (!until)
        return;
    m_rateLimitText->setText(tr("17track asked Kestrove to wait. The next try is at %1.")
                                 .arg(QLocale().toString(until->toLocalTime().time(), QLocale::ShortFormat)));
    // Gone by itself once the time has come.
    [[maybe_unused]] auto hide = [](QPointer<MainWindowView> self, Clock *clock, QDateTime time) -> QCoro::Task<> {
        co_await clock->sleep(std::chrono::milliseconds(std::max<qint64>(0, clock->now().msecsTo(time))));
        if (self)
            self->updateRateLimitBanner();
    }(this, m_services.clock, *until);
}

void MainWindowView::updateRefreshState()
{
    const bool refreshing = m_services.tracking->isRefreshing();
    m_refreshAction->setVisible(!refreshing);
    m_refreshAction->setEnabled(!refreshing);
    m_refreshIndicator->setVisible(refreshing);
}

QList<Package *> MainWindowView::allPackages() const
{
    return m_list->listModel()->allPackages();
}

QList<PackageGroup *> MainWindowView::sortedGroups() const
{
    return m_groups->groups();
}

// ---- Actions -------------------------------------------------------------------------------

void MainWindowView::showAddPackage(const QString &number)
{
    if (m_addSheet) {
        m_addSheet->raise();
        m_addSheet->activateWindow();
        return;
    }
    auto *sheet
        = new AddPackageDialog(m_context, m_services.tracking, m_services.clock->now(), sortedGroups(), number, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_addSheet = sheet;
    sheet->open();
}

void MainWindowView::refreshAll()
{
    if (!m_context)
        return;
    // Started, not awaited: the service publishes its progress through isRefreshing.
    (void)m_services.tracking->refreshAll(*m_context);
}

void MainWindowView::batchArchive()
{
    const QSet<Package *> selection = m_list->listModel()->batchSelection();
    for (Package *package : selection)
        package->setArchived(true);
    if (m_context)
        SaveReporter::save(*m_context);
    m_list->listModel()->clearBatchSelection();
    setBatchMode(false);
}

void MainWindowView::batchDelete()
{
    const QSet<Package *> selection = m_list->listModel()->batchSelection();
    m_list->listModel()->clearBatchSelection();
    setBatchMode(false);
    // In list order, so that the notice and an undo treat them as the user saw them.
    QList<Package *> packages;
    for (Package *package : m_list->listModel()->allPackages()) {
        if (selection.contains(package))
            packages.append(package);
    }
    deletePackages(packages);
}

void MainWindowView::deletePackages(const QList<Package *> &packages)
{
    if (!m_context || packages.isEmpty())
        return;
    Deletion deletion {DeletedPackages::capture(packages), {}};
    if (deletion.packages.isEmpty())
        return;
    if (Package *selected = m_list->selectedPackage(); selected && packages.contains(selected)) {
        deletion.selectedNumber = selected->trackingNumber();
        m_list->setSelectedPackage(nullptr);
    }
    SaveReporter::deletePackages(packages, *m_context);
    const qsizetype count = deletion.packages.size();
    m_deletions.push_back(std::move(deletion));
    if (m_deletions.size() > undoLimit)
        m_deletions.erase(m_deletions.begin());
    showDeletionNotice(count);
    Q_EMIT undoAvailableChanged(true);
}

bool MainWindowView::undoLastDeletion()
{
    if (m_deletions.empty() || !m_context)
        return false;
    Deletion deletion = std::move(m_deletions.back());
    m_deletions.pop_back();
    m_deletionNotice->hide();
    const QList<Package *> restored = deletion.packages.restore(*m_context);
    SaveReporter::save(*m_context);
    m_list->listModel()->updateNow();
    for (Package *package : restored) {
        if (!deletion.selectedNumber.isEmpty() && package->trackingNumber() == deletion.selectedNumber)
            m_list->setSelectedPackage(package);
    }
    if (m_deletions.empty())
        Q_EMIT undoAvailableChanged(false);
    return true;
}

void MainWindowView::showDeletionNotice(qsizetype count)
{
    m_deletionText->setText(count == 1 ? tr("Package deleted") : tr("%1 packages deleted").arg(count));
    m_deletionNotice->show();
    (void)hideDeletionNoticeLater(++m_noticeGeneration);
}

QCoro::Task<> MainWindowView::hideDeletionNoticeLater(quint64 generation)
{
    const QPointer<MainWindowView> self(this);
    co_await m_services.clock->sleep(undoNoticeDuration);
    // A later deletion shows its own notice for its own 10 seconds.
    if (self && m_noticeGeneration == generation)
        m_deletionNotice->hide();
}

void MainWindowView::batchAddToGroup(PackageGroup *group)
{
    if (!group)
        return;
    for (Package *package : m_list->listModel()->batchSelection()) {
        if (!package->isInGroup(*group))
            package->addToGroup(group);
    }
    if (m_context)
        SaveReporter::save(*m_context);
}

void MainWindowView::handleDroppedText(const QByteArray &utf8)
{
    const std::optional<QString> text = TrackingNumberDrop::decode(utf8);
    if (!text)
        return;
    const QStringList candidates = TrackingNumberDrop::candidates(*text);
    if (!candidates.isEmpty())
        showAddPackage(candidates.constFirst());
}

void MainWindowView::importCSV()
{
    const QString path = FilePanels::openFile(this, tr("Import CSV"), tr(csvFilter));
    if (path.isEmpty())
        return;
    importCSVFile(path);
}

void MainWindowView::importCSVFile(const QString &path)
{
    if (m_importRunning || !m_context)
        return;
    m_importRunning = true;
    QSet<QString> existing;
    const QList<Package *> packages = allPackages();
    existing.reserve(packages.size());
    for (const Package *package : packages)
        existing.insert(package->trackingNumber());

    auto *progress = new QProgressDialog(tr("Importing packages..."), QString(), 0, 0, this);
    progress->setObjectName(QStringLiteral("csvImportProgress"));
    progress->setWindowTitle(tr("Import CSV"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setCancelButton(nullptr);

    auto *job = new CsvImportJob(m_context, this);
    connect(job, &CsvImportJob::progress, progress, [progress](qsizetype done, qsizetype total) {
        progress->setMaximum(int(qMax<qsizetype>(total, 1)));
        progress->setValue(int(done));
    });
    connect(job, &CsvImportJob::finished, this,
            [this, progress](qsizetype imported, qsizetype skipped, const QString &error) {
                progress->close();
                progress->deleteLater();
                m_importRunning = false;
                showImportResult(imported, skipped, error);
            });
    job->start(path, existing);
}

void MainWindowView::showImportResult(qsizetype imported, qsizetype skipped, const QString &error)
{
    if (m_importAlert)
        m_importAlert->close();
    auto *alert = new QMessageBox(this);
    alert->setObjectName(QStringLiteral("importResultAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Information);
    alert->setWindowTitle(tr("Import Complete"));
    alert->setText(tr("Import Complete"));
    // A failed import reads as zero counts, with the reason underneath.
    const QString counts = CSVService::resultMessage(error.isEmpty() ? imported : 0, error.isEmpty() ? skipped : 0);
    alert->setInformativeText(error.isEmpty() ? counts : counts + u'\n' + error);
    UiStyle::fitInformativeText(alert);
    alert->setStandardButtons(QMessageBox::Ok);
    m_importAlert = alert;
    alert->open();
    Q_EMIT csvImportFinished(imported, skipped);
}

void MainWindowView::exportCSV()
{
    const QString path = FilePanels::saveFile(this, tr("Export CSV"), exportFileName, tr(csvFilter));
    if (path.isEmpty())
        return;
    const QString csv = CSVService::exportPackages(allPackages());
    // Written whole or not at all; a failure is not reported.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(csv.toUtf8()) >= 0)
        file.commit();
}

void MainWindowView::showGroupManagement()
{
    if (m_groupSheet) {
        m_groupSheet->raise();
        return;
    }
    if (!groupManagementFactory())
        return;
    QDialog *sheet = groupManagementFactory()(m_context, this);
    if (!sheet)
        return;
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    m_groupSheet = sheet;
    sheet->open();
}

// ---- Notifications and events --------------------------------------------------------------

void MainWindowView::selectPackageByNumber(const QString &trackingNumber)
{
    if (trackingNumber.isEmpty())
        return;
    Package *found = nullptr;
    for (Package *package : allPackages()) {
        if (package->trackingNumber() == trackingNumber) {
            found = package;
            break;
        }
    }
    setSelectedPackage(found);
    if (m_viewMode == ViewMode::calendar)
        setViewMode(ViewMode::list);
    if (m_filter == PackageFilter::archived)
        setSelectedFilter(PackageFilter::all);
}

void MainWindowView::archiveSelected()
{
    // In batch mode the ticked packages are "the selection"; otherwise the one shown in the detail.
    if (m_batchMode) {
        if (!m_list->listModel()->batchSelection().isEmpty())
            batchArchive();
        return;
    }
    Package *package = m_list->selectedPackage();
    if (!package || package->isArchived())
        return;
    package->setArchived(true);
    if (m_context)
        SaveReporter::save(*m_context);
}

void MainWindowView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void MainWindowView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void MainWindowView::dropEvent(QDropEvent *event)
{
    QByteArray bytes = event->mimeData()->data(QStringLiteral("text/plain"));
    if (bytes.isEmpty())
        bytes = event->mimeData()->text().toUtf8();
    event->acceptProposedAction();
    // After the drop has finished: the sheet must not open inside the drag's own event loop.
    QTimer::singleShot(0, this, [this, bytes] { handleDroppedText(bytes); });
}

bool MainWindowView::event(QEvent *event)
{
    // Back from the settings window or a terminal, a key may have been stored: read it again, off
    // this thread; the banner follows when the read ends.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        updateApiKeyBanner();
        if (m_services.apiKeys && m_services.apiKeys->isLoaded()) [[maybe_unused]]
            auto reading = m_services.apiKeys->reload();
    }
    return QWidget::event(event);
}

void MainWindowView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        // The toolbar may live in the window's toolbar area, outside this view.
        UiStyle::retintSymbols(this);
        UiStyle::retintSymbols(m_toolBar);
        const QPalette pal = palette();
        for (CapsuleButton *button : {m_listModeButton, m_calendarModeButton})
            button->setColors(UiStyle::accent(pal), UiStyle::onAccent(pal),
                              UiStyle::withAlpha(UiStyle::secondary(pal), 0.12), UiStyle::primary(pal));
    }
}

bool MainWindowView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
            m_search->clear();
            return true;
        }
        if (key->key() == Qt::Key_Down) {
            m_list->setFocus(Qt::TabFocusReason);
            // Entering the list picks its first package unless the selected one is in view.
            m_list->chooseFirstIfNoneChosen();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
