#include "ui/packagedetailview.h"

#include "base/clock.h"
#include "carriers/carrier.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "providers/trackingprovider.h"
#include "tracking/trackingservice.h"
#include "ui/carriericonview.h"
#include "ui/deliverycountdown.h"
#include "ui/deliveryprogressview.h"
#include "ui/hexcolor.h"
#include "ui/packagemapsection.h"
#include "ui/packagesettingspopover.h"
#include "ui/savereporter.h"
#include "ui/trackingtimelineview.h"
#include "ui/uistyle.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace
{
/** A rounded background in a colour at low opacity, optionally outlined: banners and the notes. */
class RoundedPanel final : public QWidget
{
public:
    explicit RoundedPanel(QWidget *parent)
        : QWidget(parent)
    { }

    void setColors(const QColor &fill, const QColor &border = {})
    {
        m_fill = fill;
        m_border = border;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(m_border.isValid() ? QPen(m_border, 1) : Qt::NoPen);
        p.setBrush(m_fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }

private:
    QColor m_fill;
    QColor m_border;
};

QToolButton *iconButton(const QString &objectName, const QString &symbol, const QString &help, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    button->setFocusPolicy(Qt::StrongFocus);
    UiStyle::setSymbol(button, symbol);
    button->setToolTip(help);
    button->setAccessibleName(help);
    return button;
}

}

PackageDetailView::PackageDetailView(const ScreenServices &services, QWidget *parent)
    : QScrollArea(parent)
    , m_services(services)
    , m_context(services.context)
    , m_tracking(services.tracking)
    , m_clock(services.clock)
{
    setObjectName(QStringLiteral("packageDetail"));
    // A Tab stop of its own, so that the arrow and page keys scroll the package's story.
    setAccessibleName(tr("Package Details"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(24);

    // Built top to bottom, so that Tab walks the pane in reading order.
    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("packageDetailColumn"));
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(14);
    layout->addWidget(buildBanners(column));
    layout->addWidget(buildHeader(column));
    m_progress = new DeliveryProgressView(TrackingStatus::pending, column);
    layout->addWidget(m_progress);
    layout->addWidget(buildCountdown(column));
    layout->addWidget(buildActions(column));

    // The journey map goes here when a factory makes one; until then the place stays empty.
    m_mapSlot = new QVBoxLayout;
    m_mapSlot->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_mapSlot);

    layout->addWidget(UiStyle::divider(column));
    layout->addWidget(sectionCaption(QStringLiteral("clock.arrow.circlepath"), tr("Tracking History"), column));
    m_timeline = new TrackingTimelineView(column);
    connect(m_timeline, &TrackingTimelineView::currentRowMoved, this, [this](const QRect &row) {
        const QPoint topLeft = m_timeline->mapTo(widget(), row.topLeft());
        ensureVisible(topLeft.x(), topLeft.y() + row.height() / 2, 0, row.height() / 2 + 8);
    });
    layout->addWidget(m_timeline);

    layout->addWidget(UiStyle::divider(column));
    layout->addWidget(sectionCaption(QStringLiteral("note.text"), tr("Notes"), column));
    layout->addWidget(buildNotes(column));

    m_footer = new QLabel(column);
    m_footer->setObjectName(QStringLiteral("lastUpdatedFooter"));
    m_footer->setFont(UiStyle::font(UiStyle::TextStyle::caption2, font()));
    UiStyle::makeSecondary(m_footer);
    layout->addWidget(m_footer);
    layout->addStretch();
    setWidget(column);

    m_footerTicker = new QTimer(this);
    m_footerTicker->setInterval(30000);
    connect(m_footerTicker, &QTimer::timeout, this, &PackageDetailView::refreshFooter);

    if (m_tracking)
        connect(m_tracking, &TrackingService::providerChanged, this, &PackageDetailView::refreshBanner);
    if (m_context) {
        // A package deleted elsewhere (the command line) is not shown any longer.
        connect(m_context, &ModelContext::objectsChanged, this, [this] {
            if (m_package && m_package->isDeleted())
                setPackage(nullptr);
        });
    }
    refresh();
}

PackageDetailView::~PackageDetailView()
{
    saveTypingNow();
}

// ---- Building ------------------------------------------------------------------------------

QWidget *PackageDetailView::buildBanners(QWidget *parent)
{
    auto *banners = new QWidget(parent);
    auto *layout = new QVBoxLayout(banners);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QPalette pal = palette();

    auto *warning = new RoundedPanel(banners);
    warning->setObjectName(QStringLiteral("apiKeyWarningBanner"));
    const QColor yellow = UiStyle::named(StatusColor::yellow, pal);
    warning->setColors(UiStyle::withAlpha(yellow, 0.1), UiStyle::withAlpha(yellow, 0.45));
    auto *warningIcon = new QLabel(warning);
    warningIcon->setPixmap(
        UiStyle::symbol(QStringLiteral("exclamationmark.triangle.fill"), 20, yellow, devicePixelRatioF()));
    auto *warningTitle = new QLabel(tr("API Key Not Configured"), warning);
    warningTitle->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));
    auto *warningText = new QLabel(tr("Add your 17track API key in Settings to enable tracking updates."), warning);
    warningText->setWordWrap(true);
    warningText->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    auto *openSettings = new QPushButton(tr("Open Settings"), warning);
    openSettings->setObjectName(QStringLiteral("openSettingsButton"));
    clickOnReturn(openSettings);
    connect(openSettings, &QPushButton::clicked, this, &PackageDetailView::openSettingsRequested);
    auto *warningTexts = new QVBoxLayout;
    warningTexts->setSpacing(2);
    warningTexts->addWidget(warningTitle);
    warningTexts->addWidget(warningText);
    warningTexts->addWidget(openSettings, 0, Qt::AlignLeft);
    auto *warningLayout = new QHBoxLayout(warning);
    warningLayout->setContentsMargins(12, 10, 12, 10);
    warningLayout->setSpacing(10);
    warningLayout->addWidget(warningIcon, 0, Qt::AlignTop);
    warningLayout->addLayout(warningTexts, 1);
    m_apiKeyWarning = warning;

    auto *error = new RoundedPanel(banners);
    error->setObjectName(QStringLiteral("errorBanner"));
    const QColor red = UiStyle::named(StatusColor::red, pal);
    error->setColors(UiStyle::withAlpha(red, 0.1));
    auto *errorIcon = new QLabel(error);
    errorIcon->setPixmap(UiStyle::symbol(QStringLiteral("exclamationmark.circle.fill"), 16, red, devicePixelRatioF()));
    m_errorText = new QLabel(error);
    m_errorText->setObjectName(QStringLiteral("errorBannerText"));
    m_errorText->setWordWrap(true);
    m_errorText->setTextFormat(Qt::PlainText);
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_errorText->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    auto *retry = new QPushButton(tr("Retry"), error);
    retry->setObjectName(QStringLiteral("retryButton"));
    clickOnReturn(retry);
    connect(retry, &QPushButton::clicked, this, &PackageDetailView::refreshPackageNow);
    auto *errorLayout = new QHBoxLayout(error);
    errorLayout->setContentsMargins(12, 8, 8, 8);
    errorLayout->setSpacing(8);
    errorLayout->addWidget(errorIcon, 0, Qt::AlignTop);
    errorLayout->addWidget(m_errorText, 1);
    errorLayout->addWidget(retry, 0, Qt::AlignVCenter);
    m_errorBanner = error;

    layout->addWidget(warning);
    layout->addWidget(error);
    return banners;
}

QWidget *PackageDetailView::buildHeader(QWidget *parent)
{
    auto *header = new QWidget(parent);
    m_icon = new CarrierIconView(QString(), CarrierIconView::IconSize::large, std::nullopt, m_services.logos, header);
    m_icon->setObjectName(QStringLiteral("detailCarrierIcon"));

    m_colorDot = new QLabel(header);
    m_colorDot->setObjectName(QStringLiteral("colorTagDot"));
    m_colorDot->setFixedSize(10, 10);
    m_label = new QLineEdit(header);
    m_label->setObjectName(QStringLiteral("labelField"));
    m_label->setFrame(false);
    m_label->setPlaceholderText(tr("Add a label..."));
    m_label->setAccessibleName(tr("Package Label"));
    m_label->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));
    // A label as long as the user wants; the default limit would cut a long one when it is shown.
    m_label->setMaxLength(std::numeric_limits<int>::max());
    // Borderless on the pane's own background: it reads as the title until it is edited.
    m_label->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    connect(m_label, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (!m_package)
            return;
        m_package->setLabel(text);
        typed();
    });
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(m_colorDot, 0, Qt::AlignVCenter);
    titleRow->addWidget(m_label, 1);

    m_number = new QLabel(header);
    m_number->setObjectName(QStringLiteral("trackingNumberLabel"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(UiStyle::font(UiStyle::TextStyle::subheadline, font()).pointSizeF());
    m_number->setFont(mono);
    m_number->setTextFormat(Qt::PlainText);
    m_number->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto *copy = iconButton(QStringLiteral("copyNumberButton"), QStringLiteral("doc.on.doc"),
                            tr("Copy tracking number"), header);
    copy->setIconSize(QSize(13, 13));
    clickOnReturn(copy);
    connect(copy, &QToolButton::clicked, this, &PackageDetailView::copyTrackingNumber);
    auto *numberRow = new QHBoxLayout;
    numberRow->setSpacing(4);
    numberRow->addWidget(m_number);
    numberRow->addWidget(copy);
    numberRow->addStretch();

    m_carrier = new QLabel(header);
    m_carrier->setObjectName(QStringLiteral("carrierNameLabel"));
    m_carrier->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    UiStyle::makeSecondary(m_carrier);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addLayout(titleRow);
    texts->addLayout(numberRow);
    texts->addWidget(m_carrier);

    m_pin = iconButton(QStringLiteral("pinButton"), QStringLiteral("pin"), tr("Pin to top"), header);
    clickOnReturn(m_pin);
    connect(m_pin, &QToolButton::clicked, this, [this] {
        if (!m_package)
            return;
        m_package->setPinned(!m_package->isPinned());
        save();
    });
    m_settingsButton = iconButton(QStringLiteral("packageSettingsButton"), QStringLiteral("gearshape"),
                                  tr("Package settings"), header);
    clickOnReturn(m_settingsButton);
    connect(m_settingsButton, &QToolButton::clicked, this, &PackageDetailView::showPackageSettings);

    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addWidget(m_pin, 0, Qt::AlignTop);
    layout->addWidget(m_settingsButton, 0, Qt::AlignTop);
    return header;
}

QWidget *PackageDetailView::buildCountdown(QWidget *parent)
{
    auto *banner = new RoundedPanel(parent);
    banner->setObjectName(QStringLiteral("deliveryCountdownBanner"));
    m_countdownIcon = new QLabel(banner);
    auto *title = new QLabel(tr("Estimated Delivery"), banner);
    title->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    UiStyle::makeSecondary(title);
    m_countdownText = new QLabel(banner);
    m_countdownText->setObjectName(QStringLiteral("countdownText"));
    m_countdownText->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));
    m_countdownDate = new QLabel(banner);
    m_countdownDate->setObjectName(QStringLiteral("countdownDate"));
    m_countdownDate->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(title);
    texts->addWidget(m_countdownText);
    auto *layout = new QHBoxLayout(banner);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(10);
    layout->addWidget(m_countdownIcon);
    layout->addLayout(texts, 1);
    layout->addWidget(m_countdownDate);
    m_countdown = banner;
    return banner;
}

QPushButton *PackageDetailView::actionButton(const QString &objectName, const QString &text, const QString &symbol,
                                             QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    UiStyle::setSymbol(button, symbol);
    clickOnReturn(button);
    return button;
}

QWidget *PackageDetailView::buildActions(QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *refresh
        = actionButton(QStringLiteral("refreshButton"), tr("Refresh"), QStringLiteral("arrow.clockwise"), row);
    connect(refresh, &QPushButton::clicked, this, &PackageDetailView::refreshPackageNow);
    auto *copy
        = actionButton(QStringLiteral("copyTrackingButton"), tr("Copy Tracking"), QStringLiteral("doc.on.doc"), row);
    connect(copy, &QPushButton::clicked, this, &PackageDetailView::copyTrackingNumber);
    m_trackOnline
        = actionButton(QStringLiteral("trackOnlineButton"), tr("Track Online"), QStringLiteral("safari"), row);
    connect(m_trackOnline, &QPushButton::clicked, this, [this] {
        if (m_package)
            QDesktopServices::openUrl(Carrier::trackingURL(m_package->trackingNumber(), m_package->carrierCode()));
    });
    m_archive = actionButton(QStringLiteral("archiveButton"), tr("Archive"), QStringLiteral("archivebox"), row);
    connect(m_archive, &QPushButton::clicked, this, [this] {
        if (!m_package)
            return;
        m_package->setArchived(!m_package->isArchived());
        save();
    });
    auto *remove = actionButton(QStringLiteral("deleteButton"), tr("Delete"), QStringLiteral("trash"), row);
    connect(remove, &QPushButton::clicked, this, &PackageDetailView::confirmDelete);

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(refresh);
    layout->addWidget(copy);
    layout->addWidget(m_trackOnline);
    layout->addStretch();
    layout->addWidget(m_archive);
    layout->addWidget(remove);
    return row;
}

QWidget *PackageDetailView::sectionCaption(const QString &symbol, const QString &text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *icon = new QLabel(row);
    icon->setPixmap(UiStyle::symbol(symbol, 14, UiStyle::secondary(palette()), devicePixelRatioF()));
    auto *label = new QLabel(text, row);
    label->setFont(UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::DemiBold));
    UiStyle::makeSecondary(label);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(icon);
    layout->addWidget(label);
    layout->addStretch();
    return row;
}

QWidget *PackageDetailView::buildNotes(QWidget *parent)
{
    auto *panel = new RoundedPanel(parent);
    panel->setColors(UiStyle::withAlpha(UiStyle::secondary(palette()), 0.08));
    m_notes = new QPlainTextEdit(panel);
    m_notes->setObjectName(QStringLiteral("notesEditor"));
    m_notes->setAccessibleName(tr("Notes"));
    m_notes->setPlaceholderText(tr("Add notes about this package..."));
    m_notes->setFrameShape(QFrame::NoFrame);
    m_notes->viewport()->setAutoFillBackground(false);
    m_notes->setAutoFillBackground(false);
    m_notes->setTabChangesFocus(true);
    m_notes->setMinimumHeight(60);
    m_notes->setMaximumHeight(120);
    connect(m_notes, &QPlainTextEdit::textChanged, this, [this] {
        // Programmatic changes come with signals blocked; this is the user typing.
        if (!m_package)
            return;
        m_package->setNotes(m_notes->toPlainText());
        typed();
    });
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_notes);
    return panel;
}

void PackageDetailView::clickOnReturn(QAbstractButton *button)
{
    button->installEventFilter(this);
}

bool PackageDetailView::eventFilter(QObject *watched, QEvent *event)
{
    // Buttons outside dialogs ignore Return; in the pane it presses the focused one, as Space does.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto *button = qobject_cast<QAbstractButton *>(watched); button && button->isEnabled()) {
                button->animateClick();
                return true;
            }
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

// ---- State ---------------------------------------------------------------------------------

void PackageDetailView::setPackage(Package *package)
{
    if (m_package == package)
        return;
    saveTypingNow();
    if (m_package)
        disconnect(m_package, nullptr, this, nullptr);
    if (m_settings)
        m_settings->close();
    if (m_confirmation)
        m_confirmation->reject();
    delete m_mapSection;

    m_package = package;
    if (m_package) {
        connect(m_package, &Package::changed, this, &PackageDetailView::refresh);
        if (m_services.geocoder && m_services.mapTiles) {
            m_mapSection = new PackageMapSection(
                m_package, {m_services.geocoder, m_services.mapTiles, m_services.clock}, widget());
            m_mapSlot->addWidget(m_mapSection);
        }
    }
    m_timeline->setPackage(m_package);
    verticalScrollBar()->setValue(0);
    refresh();
}

QMessageBox *PackageDetailView::deleteConfirmation() const
{
    return m_confirmation;
}

PackageSettingsPopover *PackageDetailView::packageSettings() const
{
    return m_settings;
}

void PackageDetailView::refresh()
{
    refreshBanner();
    refreshFooter();
    if (!m_package)
        return;
    const Package &p = *m_package;
    const QPalette pal = palette();

    m_icon->setCarrierCode(p.carrierCode());
    m_icon->setCustomImageData(p.hasCustomImage() ? p.customImageData() : std::nullopt);
    const std::optional<QColor> tag = p.colorTag() ? HexColor::color(*p.colorTag()) : std::nullopt;
    m_colorDot->setVisible(tag.has_value());
    if (tag)
        m_colorDot->setPixmap(UiStyle::dot(*tag, 10, devicePixelRatioF()));
    // Never while the user types: only a change from elsewhere replaces the text.
    if (m_label->text() != p.label())
        m_label->setText(p.label());
    m_number->setText(p.trackingNumber());
    m_carrier->setText(p.carrierDisplayName());

    const bool pinned = p.isPinned();
    UiStyle::setSymbol(m_pin, pinned ? QStringLiteral("pin.fill") : QStringLiteral("pin"));
    m_pin->setToolTip(pinned ? tr("Unpin package") : tr("Pin to top"));
    m_pin->setAccessibleName(m_pin->toolTip());

    m_progress->setStatus(p.status());

    const std::optional<QDateTime> estimated = p.estimatedDelivery();
    const bool countdown
        = estimated && p.status() != TrackingStatus::delivered && p.status() != TrackingStatus::expired;
    m_countdown->setVisible(countdown);
    if (countdown) {
        const DeliveryCountdown::Banner banner
            = DeliveryCountdown::banner(p.status(), DeliveryCountdown::daysUntil(*estimated, m_clock->now()));
        const QColor color = UiStyle::named(banner.color, pal);
        static_cast<RoundedPanel *>(m_countdown)->setColors(UiStyle::withAlpha(color, 0.1));
        m_countdownIcon->setPixmap(
            UiStyle::symbol(QStringLiteral("calendar.badge.clock"), 22, color, devicePixelRatioF()));
        m_countdownText->setText(banner.text);
        QPalette textPalette = m_countdownText->palette();
        textPalette.setColor(QPalette::WindowText, color);
        m_countdownText->setPalette(textPalette);
        m_countdownDate->setText(QLocale().toString(estimated->toLocalTime().date(), QLocale::LongFormat));
    }

    m_trackOnline->setVisible(Carrier::trackingURL(p.trackingNumber(), p.carrierCode()).isValid());
    const bool archived = p.isArchived();
    m_archive->setText(archived ? tr("Unarchive") : tr("Archive"));
    UiStyle::setSymbol(m_archive, archived ? QStringLiteral("tray.and.arrow.up") : QStringLiteral("archivebox"));

    if (m_notes->toPlainText() != p.notes()) {
        const QSignalBlocker block(m_notes);
        m_notes->setPlainText(p.notes());
    }
}

void PackageDetailView::refreshBanner()
{
    const TrackingProvider *provider = m_tracking ? m_tracking->provider() : nullptr;
    const bool missingKey = provider && !provider->isConfigured();
    m_apiKeyWarning->setVisible(missingKey);
    const std::optional<QString> error = m_package ? m_package->lastErrorMessage() : std::nullopt;
    m_errorBanner->setVisible(!missingKey && error.has_value());
    if (error)
        m_errorText->setText(*error);
}

void PackageDetailView::refreshFooter()
{
    if (m_package) {
        m_footer->setText(
            tr("Last updated: %1 ago").arg(DeliveryCountdown::span(m_package->lastUpdated(), m_clock->now())));
    }
}

// ---- Actions -------------------------------------------------------------------------------

void PackageDetailView::refreshPackageNow()
{
    // Started, not awaited: the package's fields and error show the outcome. Repeated presses are the service's to
    // handle.
    if (m_package && m_context && m_tracking)
        (void)m_tracking->refreshPackage(m_package, *m_context);
}

void PackageDetailView::copyTrackingNumber()
{
    if (m_package)
        QGuiApplication::clipboard()->setText(m_package->trackingNumber());
}

void PackageDetailView::confirmDelete()
{
    if (!m_package)
        return;
    if (m_confirmation) {
        m_confirmation->raise();
        return;
    }
    const QString name = m_package->label().isEmpty() ? m_package->trackingNumber() : m_package->label();
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("deleteConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(tr("Delete Package"));
    box->setText(tr("Delete Package"));
    const QString question = tr("Are you sure you want to delete \"%1\"? This cannot be undone.").arg(name);
    box->setInformativeText(question);
    UiStyle::fitInformativeText(box);
    QPushButton *cancel = box->addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelDeleteButton"));
    QPushButton *confirm = box->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirmDeleteButton"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    const QPointer<Package> target(m_package);
    connect(confirm, &QPushButton::clicked, this, [this, target] {
        if (target && !target->isDeleted())
            Q_EMIT deleteConfirmed(target);
    });
    m_confirmation = box;
    box->open();
}

void PackageDetailView::showPackageSettings()
{
    if (!m_package)
        return;
    if (m_settings) {
        m_settings->close();
        return;
    }
    m_settings = new PackageSettingsPopover(m_package, m_services, this);
    m_settings->popUp(m_settingsButton);
}

// ---- Saving --------------------------------------------------------------------------------

void PackageDetailView::typed()
{
    m_lastKeystroke = m_clock->now();
    if (m_typingUnsaved)
        return;
    m_typingUnsaved = true;
    (void)saveAfterPause();
}

QCoro::Task<> PackageDetailView::saveAfterPause()
{
    const QPointer<PackageDetailView> self(this);
    Clock *clock = m_clock;
    auto wait = saveDelay;
    for (;;) {
        co_await clock->sleep(wait);
        if (!self || !m_typingUnsaved)
            co_return;
        const qint64 quiet = m_lastKeystroke.msecsTo(clock->now());
        if (quiet >= saveDelay.count())
            break;
        wait = std::chrono::milliseconds(saveDelay.count() - quiet);
    }
    saveTypingNow();
}

void PackageDetailView::saveTypingNow()
{
    if (!m_typingUnsaved)
        return;
    m_typingUnsaved = false;
    save();
}

void PackageDetailView::save()
{
    if (m_context)
        SaveReporter::save(*m_context);
}

// ---- Events --------------------------------------------------------------------------------

void PackageDetailView::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    refreshFooter();
    m_footerTicker->start();
}

void PackageDetailView::hideEvent(QHideEvent *event)
{
    m_footerTicker->stop();
    // The window closing or the pane giving way to another view: nothing typed may wait for later.
    saveTypingNow();
    QScrollArea::hideEvent(event);
}

void PackageDetailView::changeEvent(QEvent *event)
{
    QScrollArea::changeEvent(event);
    // Back from the settings window, a key may have been stored.
    if (event->type() == QEvent::ActivationChange)
        refreshBanner();
    if (event->type() == QEvent::PaletteChange) {
        UiStyle::retintSymbols(this);
        refresh();
    }
}
