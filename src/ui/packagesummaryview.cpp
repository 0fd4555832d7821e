#include "ui/packagesummaryview.h"

#include "base/clock.h"
#include "model/package.h"
#include "model/trackingevent.h"
#include "ui/carriericonview.h"
#include "ui/deliverycountdown.h"
#include "ui/deliveryprogressview.h"
#include "ui/statusbadgeview.h"
#include "ui/uistyle.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

PackageSummaryView::PackageSummaryView(Clock *clock, QWidget *parent)
    : QWidget(parent)
    , m_clock(clock)
    , m_icon(new CarrierIconView(QString(), CarrierIconView::IconSize::large, std::nullopt, this))
    , m_title(new QLabel(this))
    , m_number(new QLabel(this))
    , m_carrier(new QLabel(this))
    , m_badge(new StatusBadgeView(TrackingStatus::pending, StatusBadgeView::BadgeSize::regular, this))
    , m_progress(new DeliveryProgressView(TrackingStatus::pending, this))
    , m_facts(new QLabel(this))
    , m_latest(new QLabel(this))
{
    setObjectName(QStringLiteral("packageSummary"));
    m_title->setObjectName(QStringLiteral("summaryTitle"));
    m_title->setFont(UiStyle::font(UiStyle::TextStyle::title3, font(), QFont::DemiBold));
    m_title->setWordWrap(true);
    m_number->setObjectName(QStringLiteral("summaryTrackingNumber"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(UiStyle::font(UiStyle::TextStyle::subheadline, font()).pointSizeF());
    m_number->setFont(mono);
    m_number->setTextInteractionFlags(Qt::TextSelectableByMouse);
    UiStyle::makeSecondary(m_carrier);
    m_facts->setWordWrap(true);
    m_facts->setTextFormat(Qt::PlainText);
    m_latest->setWordWrap(true);
    m_latest->setTextFormat(Qt::PlainText);

    auto *names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(m_title);
    names->addWidget(m_number);
    names->addWidget(m_carrier);
    auto *header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(m_icon, 0, Qt::AlignTop);
    header->addLayout(names, 1);
    header->addWidget(m_badge, 0, Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);
    layout->addLayout(header);
    layout->addWidget(m_progress);
    layout->addWidget(m_facts);
    layout->addWidget(m_latest);
    layout->addStretch();
}

void PackageSummaryView::setPackage(Package *package)
{
    if (m_package == package)
        return;
    if (m_package)
        disconnect(m_package, nullptr, this, nullptr);
    m_package = package;
    if (m_package)
        connect(m_package, &Package::changed, this, &PackageSummaryView::refresh);
    refresh();
}

void PackageSummaryView::refresh()
{
    if (!m_package)
        return;
    const Package &p = *m_package;
    const QDateTime now = m_clock->now();
    m_icon->setCarrierCode(p.carrierCode());
    m_icon->setCustomImageData(p.hasCustomImage() ? p.customImageData() : std::nullopt);
    m_title->setText(p.label().isEmpty() ? p.trackingNumber() : p.label());
    m_number->setText(p.trackingNumber());
    m_carrier->setText(p.carrierDisplayName());
    m_badge->setStatus(p.status());
    m_progress->setStatus(p.status());

    const QLocale locale;
    QStringList facts;
    if (const std::optional<QDateTime> estimated = p.estimatedDelivery())
        facts.append(
            tr("Estimated delivery: %1").arg(locale.toString(estimated->toLocalTime().date(), QLocale::LongFormat)));
    facts.append(tr("Last updated: %1").arg(DeliveryCountdown::relativeTime(p.lastUpdated(), now)));
    if (const std::optional<QString> error = p.lastErrorMessage())
        facts.append(*error);
    if (!p.notes().isEmpty())
        facts.append(p.notes());
    m_facts->setText(facts.join(u'\n'));

    if (const TrackingEvent *latest = p.latestEvent()) {
        QString text = latest->eventDescription();
        if (!latest->location().isEmpty())
            text += QStringLiteral(" -- ") + latest->location();
        text += u'\n' + locale.toString(latest->timestamp().toLocalTime(), QLocale::ShortFormat);
        m_latest->setText(text);
    } else {
        m_latest->setText(tr("No tracking events yet"));
    }
}
