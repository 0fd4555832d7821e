#include "ui/packagerowview.h"

#include "base/clock.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "ui/carriericonview.h"
#include "ui/deliverycountdown.h"
#include "ui/deliveryprogressview.h"
#include "ui/hexcolor.h"
#include "ui/statusbadgeview.h"
#include "ui/uistyle.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>

namespace
{
constexpr int paddingX = 8;
constexpr int paddingY = 7;
constexpr int spacing = 8;
constexpr int pinWidth = 10;
constexpr int dotSize = 8;
constexpr int lineGap = 2;
constexpr int dotsGap = 6;

QFont titleFont(const QFont &base)
{
    return UiStyle::font(UiStyle::TextStyle::subheadline, base, QFont::Medium);
}

QFont carrierFont(const QFont &base)
{
    return UiStyle::font(UiStyle::TextStyle::caption, base, QFont::Medium);
}

QFont numberFont(const QFont &base)
{
    return UiStyle::font(UiStyle::TextStyle::caption, base);
}

QFont footFont(const QFont &base, bool semibold)
{
    return UiStyle::font(UiStyle::TextStyle::caption2, base, semibold ? QFont::DemiBold : QFont::Normal);
}

/** The line under the badge: the delivery countdown, or the time of the last update. */
struct Foot {
    QString text;
    bool countdown = false;
    DeliveryCountdown::Style style = DeliveryCountdown::Style::later;

    [[nodiscard]] bool bold() const { return countdown && style != DeliveryCountdown::Style::later; }
    [[nodiscard]] QFont font(const QFont &base) const { return footFont(base, bold()); }
    /** The countdown's calendar icon is as tall as the text's capitals. */
    [[nodiscard]] int iconSize(const QFont &base) const { return countdown ? QFontMetrics(font(base)).ascent() : 0; }
    [[nodiscard]] int width(const QFont &base) const
    {
        return QFontMetrics(font(base)).horizontalAdvance(text) + (countdown ? iconSize(base) + 3 : 0);
    }
};

Foot footFor(const Package &package, const QDateTime &now)
{
    const std::optional<DeliveryCountdown::Label> label = DeliveryCountdown::forPackage(package, now);
    if (!label)
        return {DeliveryCountdown::relativeTime(package.lastUpdated(), now)};
    return {label->text, true, label->style};
}

/** The title's share of the text column: the progress dots follow it on the same line. */
int titleRoom(int textWidth, int dotsWidth)
{
    return qMax(0, textWidth - (dotsWidth > 0 ? dotsWidth + dotsGap : 0));
}

/** Pin, colour dot and carrier icon, with the space after each. */
int leadingWidth(const Package &package)
{
    int width = CarrierIconView::frameSize(CarrierIconView::IconSize::small) + spacing;
    if (package.isPinned())
        width += pinWidth + spacing / 2;
    if (PackageRowView::effectiveColor(package))
        width += dotSize + spacing / 2;
    return width;
}
}

PackageRowView::PackageRowView(Package *package, Clock *clock, QWidget *parent)
    : QWidget(parent)
    , m_package(package)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("packageRow"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (package)
        connect(package, &Package::changed, this, qOverload<>(&QWidget::update));
}

QSize PackageRowView::sizeHint() const
{
    return {320, rowHeight(font())};
}

int PackageRowView::rowHeight(const QFont &base)
{
    const int left = QFontMetrics(titleFont(base)).height() + lineGap + QFontMetrics(carrierFont(base)).height();
    const int badge
        = StatusBadgeView::sizeFor(TrackingStatus::outForDelivery, StatusBadgeView::BadgeSize::regular, base).height();
    const int right = badge + lineGap + QFontMetrics(footFont(base, true)).height();
    return qMax(left, right) + 2 * paddingY;
}

PackageRowView::Badge PackageRowView::badgeFor(const Package &package, int width, const QFont &base,
                                               const QDateTime &now)
{
    const int dots = DeliveryProgressDotsView::widthFor(package.status(), 4);
    // As paint() lays it out: the content's right edge is its last pixel.
    const int available = width - 1 - 2 * paddingX - leadingWidth(package) - spacing - (dots > 0 ? dots + dotsGap : 0);
    const int foot = footFor(package, now).width(base);
    const int readable = minimumTitleCharacters * QFontMetrics(titleFont(base)).averageCharWidth();
    const QSize full = StatusBadgeView::sizeFor(package.status(), StatusBadgeView::BadgeSize::regular, base);
    if (available - qMax(full.width(), foot) >= readable)
        return {StatusBadgeView::BadgeSize::regular, QWIDGETSIZE_MAX};
    // The title has shrunk as far as it may: now the name shrinks, down to a few letters.
    const int limit = available - readable;
    const QFont nameFont = UiStyle::font(UiStyle::TextStyle::caption, base, QFont::Medium);
    const int fewLetters = StatusBadgeView::sizeFor(package.status(), StatusBadgeView::BadgeSize::compact, base).width()
        + 4 * QFontMetrics(nameFont).averageCharWidth() + 8;
    if (limit >= qMax(fewLetters, foot))
        return {StatusBadgeView::BadgeSize::regular, limit};
    return {StatusBadgeView::BadgeSize::compact, QWIDGETSIZE_MAX};
}

int PackageRowView::titleWidth(const Package &package, int width, const QFont &base, const QDateTime &now)
{
    const Badge kind = badgeFor(package, width, base, now);
    const QSize badge = StatusBadgeView::sizeFor(package.status(), kind.size, base, kind.maxWidth);
    const int trailing = qMax(badge.width(), footFor(package, now).width(base));
    // As paint() lays it out: the content's right edge is its last pixel.
    const int text = width - 1 - 2 * paddingX - leadingWidth(package) - trailing - spacing;
    return titleRoom(qMax(0, text), DeliveryProgressDotsView::widthFor(package.status(), 4));
}

std::optional<QColor> PackageRowView::effectiveColor(const Package &package)
{
    if (const std::optional<QString> tag = package.colorTag())
        return HexColor::color(*tag);
    if (!package.groups().isEmpty())
        return HexColor::color(package.groups().constFirst()->colorHex());
    return std::nullopt;
}

std::optional<QColor> PackageRowView::backgroundColor(const Package &package, const QPalette &palette)
{
    if (package.isPinned())
        return UiStyle::withAlpha(UiStyle::named(StatusColor::orange, palette), 0.04);
    if (package.status() == TrackingStatus::outForDelivery)
        return UiStyle::withAlpha(UiStyle::named(StatusColor::orange, palette), 0.06);
    if (package.status() == TrackingStatus::failedAttempt)
        return UiStyle::withAlpha(UiStyle::named(StatusColor::yellow, palette), 0.06);
    return std::nullopt;
}

QString PackageRowView::title(const Package &package)
{
    return package.label().isEmpty() ? package.trackingNumber() : package.label();
}

QString PackageRowView::accessibleText(const Package &package, const QDateTime &now)
{
    return tr("%1, %2, %3, %4")
        .arg(title(package), package.carrierDisplayName(), TrackingStatuses::displayName(package.status()),
             footFor(package, now).text);
}

void PackageRowView::paint(QPainter &painter, const QRect &rect, const Package &package, const QPalette &palette,
                           const QFont &base, qreal devicePixelRatio, const QDateTime &now, const QImage &logo)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect content = rect.adjusted(paddingX, paddingY, -paddingX, -paddingY);
    const int midY = content.center().y();
    int x = content.left();

    if (package.isPinned()) {
        const int pinSize = 10;
        painter.drawPixmap(QRect(x, midY - pinSize / 2, pinWidth, pinSize),
                           UiStyle::symbol(QStringLiteral("pin.fill"), pinSize,
                                           UiStyle::named(StatusColor::orange, palette), devicePixelRatio));
        x += pinWidth + spacing / 2;
    }
    if (const std::optional<QColor> dot = effectiveColor(package)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(*dot);
        painter.drawEllipse(QRectF(x, midY - dotSize / 2.0, dotSize, dotSize));
        x += dotSize + spacing / 2;
    }
    const int iconEdge = CarrierIconView::frameSize(CarrierIconView::IconSize::small);
    // The picture is keyed by its bytes, so a new picture never shows a stale decoded one.
    const std::optional<QByteArray> picture = package.hasCustomImage() ? package.customImageData() : std::nullopt;
    const QString pictureKey = picture ? QStringLiteral("%1-%2").arg(qHash(*picture)).arg(picture->size()) : QString();
    CarrierIconView::paint(
        painter, QPoint(x, midY - iconEdge / 2), CarrierIconView::IconSize::small, package.carrierCode(),
        [&picture] { return picture; }, pictureKey, palette, devicePixelRatio, logo);
    x += iconEdge + spacing;

    // Trailing column: badge above, countdown or update time below.
    const Badge badgeKind = badgeFor(package, rect.width(), base, now);
    const QSize badge = StatusBadgeView::sizeFor(package.status(), badgeKind.size, base, badgeKind.maxWidth);
    const Foot foot = footFor(package, now);
    const QColor footColor
        = foot.countdown ? DeliveryCountdown::color(foot.style, palette) : UiStyle::secondary(palette);
    const QFont footF = foot.font(base);
    const QFontMetrics footMetrics(footF);
    const int calendarSize = foot.iconSize(base);
    const int footWidth = foot.width(base);
    const int trailingWidth = qMax(badge.width(), footWidth);
    const int blockHeight = badge.height() + lineGap + footMetrics.height();
    const int trailingTop = midY - blockHeight / 2;
    const int trailingRight = content.right();
    StatusBadgeView::paint(painter, QPoint(trailingRight - badge.width() + 1, trailingTop), package.status(),
                           badgeKind.size, palette, base, devicePixelRatio, badgeKind.maxWidth);
    const QRect footRect(trailingRight - footWidth + 1, trailingTop + badge.height() + lineGap, footWidth,
                         footMetrics.height());
    int footX = footRect.left();
    if (foot.countdown) {
        painter.drawPixmap(QRect(footX, footRect.center().y() - calendarSize / 2, calendarSize, calendarSize),
                           UiStyle::symbol(QStringLiteral("calendar"), calendarSize, footColor, devicePixelRatio));
        footX += calendarSize + 3;
    }
    painter.setFont(footF);
    painter.setPen(footColor);
    painter.drawText(QRect(footX, footRect.top(), footRect.right() - footX + 1, footRect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, foot.text);

    // Leading column: title with progress dots, then carrier and number.
    const int textRight = trailingRight - trailingWidth - spacing;
    const int textWidth = qMax(0, textRight - x);
    const QFont tFont = titleFont(base);
    const QFont cFont = carrierFont(base);
    const QFontMetrics tMetrics(tFont);
    const QFontMetrics cMetrics(cFont);
    const int textHeight = tMetrics.height() + lineGap + cMetrics.height();
    const int top = midY - textHeight / 2;

    const int dotsWidth = DeliveryProgressDotsView::widthFor(package.status(), 4);
    const int titleSpace = titleRoom(textWidth, dotsWidth);
    const QString titleText = tMetrics.elidedText(title(package), Qt::ElideRight, titleSpace);
    painter.setFont(tFont);
    painter.setPen(UiStyle::primary(palette));
    const QRect titleRect(x, top, titleSpace, tMetrics.height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, titleText);
    if (dotsWidth > 0 && textWidth > dotsWidth) {
        const int dotsLeft = x + tMetrics.horizontalAdvance(titleText) + dotsGap;
        DeliveryProgressDotsView::paint(painter, dotsLeft, titleRect.center().y() + 1, package.status(), 4, palette);
    }

    const int secondTop = top + tMetrics.height() + lineGap;
    const QString carrier = package.carrierDisplayName();
    painter.setFont(cFont);
    painter.setPen(UiStyle::primary(palette));
    const QString carrierText = cMetrics.elidedText(carrier, Qt::ElideRight, textWidth);
    painter.drawText(QRect(x, secondTop, textWidth, cMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, carrierText);
    if (!package.label().isEmpty()) {
        const int used = cMetrics.horizontalAdvance(carrierText);
        const QFont nFont = numberFont(base);
        const QFontMetrics nMetrics(nFont);
        const int room = textWidth - used;
        // A separator followed by an ellipsis alone says nothing: the number needs a few characters.
        const QString separator = QStringLiteral(" · ");
        if (room >= nMetrics.horizontalAdvance(separator) + 4 * nMetrics.averageCharWidth()) {
            painter.setFont(nFont);
            painter.setPen(UiStyle::secondary(palette));
            const QString rest = nMetrics.elidedText(separator + package.trackingNumber(), Qt::ElideRight, room);
            painter.drawText(QRect(x + used, secondTop, room, cMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                             rest);
        }
    }
    painter.restore();
}

void PackageRowView::paintEvent(QPaintEvent *)
{
    if (!m_package)
        return;
    QPainter painter(this);
    if (const std::optional<QColor> background = backgroundColor(*m_package, palette()))
        painter.fillRect(rect(), *background);
    paint(painter, rect(), *m_package, palette(), font(), devicePixelRatioF(), m_clock->now());
}
