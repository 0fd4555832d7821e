#include "ui/menubarpopoverview.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"
#include "model/trackingstatus.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/deliverycountdown.h"
#include "ui/packagerowview.h"
#include "ui/shellactions.h"
#include "ui/symbolicon.h"
#include "ui/uistyle.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

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
    // In the palette's text colour: a theme's dark symbols vanish on a dark panel.
    UiStyle::setSymbol(button, symbol);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setAutoRaise(true);
    return button;
}

QToolButton *textButton(const QString &objectName, const QString &symbol, const QString &text, QWidget *parent)
{
    QToolButton *button = iconButton(objectName, symbol, text, parent);
    button->setText(text);
    button->setToolTip(QString());
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

/** A one-line label that ends in "…" when its text is wider than its place; text() stays whole. */
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;

    [[nodiscard]] QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()));
    }
};

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

/** A label that lets clicks through to the row button beneath it; an elided one ends in "…" when cut. */
QLabel *rowLabel(QWidget *parent, bool elided = false)
{
    QLabel *label = elided ? new ElidedLabel(parent) : new QLabel(parent);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QLabel *iconLabel(const QString &symbol, int size, const QColor &color, QWidget *parent)
{
    QLabel *label = rowLabel(parent);
    label->setPixmap(SymbolIcon::tinted(symbol, size, color, parent->devicePixelRatioF()));
    label->setFixedSize(size, size);
    return label;
}

constexpr int rowRadius = 6;
}

MenuBarPackageRow::MenuBarPackageRow(Package *package, const QDateTime &now, QWidget *parent)
    : QAbstractButton(parent)
    , m_package(package)
{
    setObjectName(QStringLiteral("popover-row"));
    // The row draws no text of its own: read out what the main window's list says.
    setAccessibleName(PackageRowView::accessibleText(*package, now));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    const QPalette pal = palette();
    const QFont base = font();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 5, 8, 5);
    layout->setSpacing(8);
    if (package->isPinned())
        layout->addWidget(iconLabel(QStringLiteral("pin.fill"), 8, UiStyle::named(StatusColor::orange, pal), this));
    const TrackingStatus status = package->status();
    layout->addWidget(
        iconLabel(TrackingStatuses::iconName(status), 16, UiStyle::named(TrackingStatuses::color(status), pal), this));

    auto *text = new QVBoxLayout;
    text->setSpacing(1);
    QLabel *title = rowLabel(this, true);
    title->setObjectName(QStringLiteral("popover-row-title"));
    title->setText(PackageRowView::title(*package));
    title->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, base, QFont::Medium));
    QLabel *detail = rowLabel(this, true);
    detail->setObjectName(QStringLiteral("popover-row-detail"));
    const TrackingEvent *latest = package->latestEvent();
    detail->setText(latest ? latest->eventDescription() : TrackingStatuses::displayName(status));
    detail->setFont(UiStyle::font(UiStyle::TextStyle::caption, base));
    setTextColor(detail, UiStyle::secondary(pal));
    setToolTip(detail->text());
    text->addWidget(title);
    text->addWidget(detail);
    layout->addLayout(text, 1);

    if (const std::optional<DeliveryCountdown::Label> countdown = DeliveryCountdown::forPackage(*package, now)) {
        const QColor color = DeliveryCountdown::color(countdown->style, pal);
        const bool semibold = countdown->style != DeliveryCountdown::Style::later;
        const QFont font
            = UiStyle::font(UiStyle::TextStyle::caption2, base, semibold ? QFont::DemiBold : QFont::Normal);
        const int iconSize = QFontMetrics(font).ascent();
        auto *countdownLayout = new QHBoxLayout;
        countdownLayout->setSpacing(3);
        countdownLayout->addWidget(iconLabel(QStringLiteral("calendar"), iconSize, color, this));
        QLabel *label = rowLabel(this);
        label->setObjectName(QStringLiteral("popover-row-countdown"));
        label->setText(countdown->text);
        label->setFont(font);
        setTextColor(label, color);
        countdownLayout->addWidget(label);
        layout->addLayout(countdownLayout);
    }
}

QSize MenuBarPackageRow::sizeHint() const
{
    return layout() ? layout()->sizeHint() : QAbstractButton::sizeHint();
}

void MenuBarPackageRow::paintEvent(QPaintEvent * /*event*/)
{
    if (!m_package)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_package->isPinned()) {
        painter.setBrush(UiStyle::withAlpha(UiStyle::named(StatusColor::orange, palette()), 0.04));
        painter.drawRoundedRect(area, rowRadius, rowRadius);
    }
    // A plain button still shows where the pointer is and that it was pressed.
    if (isDown() || underMouse()) {
        painter.setBrush(UiStyle::withAlpha(UiStyle::primary(palette()), isDown() ? 0.12 : 0.06));
        painter.drawRoundedRect(area, rowRadius, rowRadius);
    }
    if (hasFocus()) {
        painter.setPen(QPen(UiStyle::accent(palette()), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area, rowRadius, rowRadius);
    }
}

MenuBarPopoverView::MenuBarPopoverView(const ScreenServices &services, ShellActions *shell, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_context(services.context)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("menu-bar-popover-view"));
    const QColor secondary = palette().color(QPalette::PlaceholderText);

    auto *title = new QLabel(tr("Kestrove"), this);
    title->setFont(UiStyle::font(UiStyle::TextStyle::headline, font(), QFont::Bold));
    m_badge = new QLabel(this);
    m_badge->setObjectName(QStringLiteral("popover-in-flight"));
    m_badge->setFont(UiStyle::font(UiStyle::TextStyle::caption2, font(), QFont::DemiBold));
    m_badge->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: %1; border-radius: %2px; padding: 1px 6px; }")
            .arg(UiStyle::named(StatusColor::blue, palette()).name())
            .arg(QFontMetrics(m_badge->font()).height() / 2 + 1));
    m_badge->hide();
    auto *add = iconButton(QStringLiteral("popover-add"), QStringLiteral("plus"), tr("Add Package"), this);
    connect(add, &QToolButton::clicked, this, [this] {
        m_shell->openMainWindow();
        Q_EMIT m_services.requests->addPackageRequested();
        window()->close();
    });
    auto *header = new QHBoxLayout;
    header->addWidget(title);
    header->addWidget(m_badge);
    header->addStretch();
    header->addWidget(add);

    m_emptyState = new QWidget(this);
    m_emptyState->setObjectName(QStringLiteral("popover-empty"));
    auto *emptyIcon = new QLabel(m_emptyState);
    emptyIcon->setPixmap(SymbolIcon::tinted(QStringLiteral("shippingbox"), 28, secondary, devicePixelRatioF()));
    emptyIcon->setAlignment(Qt::AlignCenter);
    auto *emptyTitle = new QLabel(tr("No packages"), m_emptyState);
    emptyTitle->setAlignment(Qt::AlignCenter);
    emptyTitle->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, font()));
    auto *emptyText = new QLabel(tr("Click + to start tracking a package"), m_emptyState);
    emptyText->setAlignment(Qt::AlignCenter);
    setTextColor(emptyText, secondary);
    emptyText->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    m_emptyState->setMinimumHeight(140);
    auto *emptyLayout = new QVBoxLayout(m_emptyState);
    emptyLayout->addStretch();
    emptyLayout->addWidget(emptyIcon);
    emptyLayout->addWidget(emptyTitle);
    emptyLayout->addWidget(emptyText);
    emptyLayout->addStretch();

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("popover-list"));
    m_scroll->setAccessibleName(tr("Packages"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *listContent = new QWidget(m_scroll);
    listContent->setAutoFillBackground(false);
    m_rows = new QVBoxLayout(listContent);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(2);
    m_scroll->setWidget(listContent);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->hide();

    m_refresh = textButton(QStringLiteral("popover-refresh"), QStringLiteral("arrow.clockwise"), tr("Refresh"), this);
    connect(m_refresh, &QToolButton::clicked, this, [this] {
        if (!m_context || m_services.tracking->isRefreshing())
            return;
        // Started, not awaited: the service publishes its progress through isRefreshing.
        (void)m_services.tracking->refreshAll(*m_context);
    });
    m_refreshProgress = new QProgressBar(this);
    m_refreshProgress->setObjectName(QStringLiteral("popover-refresh-progress"));
    m_refreshProgress->setRange(0, 0);
    m_refreshProgress->setTextVisible(false);
    m_refreshProgress->setFixedSize(m_refresh->sizeHint().width(), 6);
    connect(m_services.tracking, &TrackingService::isRefreshingChanged, this, &MenuBarPopoverView::updateRefreshState);

    auto *open = textButton(QStringLiteral("popover-open"), QStringLiteral("macwindow"), tr("Open Kestrove"), this);
    connect(open, &QToolButton::clicked, this, &MenuBarPopoverView::openMainWindowAndClose);
    auto *settings = iconButton(QStringLiteral("popover-settings"), QStringLiteral("gear"), tr("Settings"), this);
    connect(settings, &QToolButton::clicked, this, [this] {
        m_shell->openSettings();
        window()->close();
    });
    auto *quit = iconButton(QStringLiteral("popover-quit"), QStringLiteral("power"), tr("Quit Kestrove"), this);
    connect(quit, &QToolButton::clicked, this, [this] { m_shell->quit(); });
    auto *footer = new QHBoxLayout;
    footer->addWidget(m_refresh);
    footer->addWidget(m_refreshProgress);
    footer->addStretch();
    footer->addWidget(open);
    footer->addStretch();
    footer->addWidget(settings);
    footer->addWidget(quit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(divider(this));
    layout->addWidget(m_emptyState, 1);
    layout->addWidget(m_scroll);
    layout->addWidget(divider(this));
    layout->addLayout(footer);

    if (m_context)
        connect(m_context, &ModelContext::objectsChanged, this, &MenuBarPopoverView::scheduleRebuild);
    updateRefreshState();
    rebuild();
}

void MenuBarPopoverView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        UiStyle::retintSymbols(this);
        scheduleRebuild();
    }
}

void MenuBarPopoverView::openMainWindowAndClose()
{
    m_shell->openMainWindow();
    window()->close();
}

void MenuBarPopoverView::selectAndOpen(Package *package)
{
    const QString number = package->trackingNumber();
    m_shell->openMainWindow();
    Q_EMIT m_services.requests->selectPackageRequested(number);
    window()->close();
}

void MenuBarPopoverView::scheduleRebuild()
{
    m_rebuildCall.schedule();
}

void MenuBarPopoverView::updateRefreshState()
{
    const bool refreshing = m_services.tracking->isRefreshing();
    m_refresh->setEnabled(!refreshing);
    m_refresh->setVisible(!refreshing);
    m_refreshProgress->setVisible(refreshing);
}

QList<Package *> MenuBarPopoverView::sortedPackages(const QList<Package *> &packages)
{
    QList<Package *> active;
    std::copy_if(packages.cbegin(), packages.cend(), std::back_inserter(active),
                 [](const Package *package) { return !package->isArchived(); });
    std::stable_sort(active.begin(), active.end(), [](const Package *a, const Package *b) {
        if (a->isPinned() != b->isPinned())
            return a->isPinned();
        return a->lastUpdated() > b->lastUpdated();
    });
    return active;
}

void MenuBarPopoverView::rebuild()
{
    m_rebuildCall.cancel();
    for (const QPointer<Package> &package : std::as_const(m_watched)) {
        if (package)
            disconnect(package, &Package::changed, this, &MenuBarPopoverView::scheduleRebuild);
    }
    m_watched.clear();
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }

    QList<Package *> all;
    if (m_context)
        all = m_context->loadedPackages();
    for (Package *package : std::as_const(all)) {
        // Archived packages are watched too: unarchiving one brings it back into the list.
        m_watched.append(package);
        connect(package, &Package::changed, this, &MenuBarPopoverView::scheduleRebuild);
    }
    const QList<Package *> active = sortedPackages(all);

    const auto inFlight = std::count_if(active.cbegin(), active.cend(), [](const Package *p) { return p->isActive(); });
    m_badge->setText(QString::asprintf("%lld", static_cast<long long>(inFlight)));
    m_badge->setVisible(inFlight > 0);

    m_emptyState->setVisible(active.isEmpty());
    m_scroll->setVisible(!active.isEmpty());
    QWidget *content = m_scroll->widget();
    const QDateTime now = m_services.clock->now();
    for (Package *package : active.mid(0, maximumRows)) {
        auto *row = new MenuBarPackageRow(package, now, content);
        connect(row, &MenuBarPackageRow::clicked, this, [this, package] { selectAndOpen(package); });
        m_rows->addWidget(row);
    }
    if (active.size() > maximumRows) {
        auto *viewAll = new QPushButton(tr("View all %1 packages...").arg(active.size()), content);
        viewAll->setObjectName(QStringLiteral("popover-view-all"));
        viewAll->setFlat(true);
        viewAll->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
        setTextColor(viewAll, UiStyle::accent(palette()));
        QPalette pal = viewAll->palette();
        pal.setColor(QPalette::ButtonText, UiStyle::accent(palette()));
        viewAll->setPalette(pal);
        connect(viewAll, &QPushButton::clicked, this, &MenuBarPopoverView::openMainWindowAndClose);
        m_rows->addWidget(viewAll);
    }
    // As tall as its rows: the panel fits its content, with no gap above the footer.
    m_scroll->setFixedHeight(content->sizeHint().height());
}
