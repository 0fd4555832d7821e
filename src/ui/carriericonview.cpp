#include "ui/carriericonview.h"

#include "carriers/carrier.h"
#include "services/carrierlogoservice.h"
#include "ui/uistyle.h"

#include <QCryptographicHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

namespace
{
// The picture scaled to cover the frame, decoded once per key and size.
QPixmap scaledPicture(const QString &key, const std::function<QImage()> &decode, int edge, qreal dpr, bool cover)
{
    const QString cacheKey = QStringLiteral("kestrove-picture:%1:%2:%3:%4").arg(key).arg(edge).arg(dpr).arg(cover);
    QPixmap pixmap;
    if (QPixmapCache::find(cacheKey, &pixmap))
        return pixmap;
    QImage image = decode();
    if (image.isNull())
        return {};
    const int device = qRound(edge * dpr);
    image = image.scaled(device, device, cover ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(cacheKey, pixmap);
    return pixmap;
}

void drawClipped(QPainter &painter, const QRect &frame, qreal radius, const QPixmap &pixmap)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(frame), radius, radius);
    painter.setClipPath(clip);
    const QSizeF logical = pixmap.deviceIndependentSize();
    const QPointF origin(frame.left() + (frame.width() - logical.width()) / 2.0,
                         frame.top() + (frame.height() - logical.height()) / 2.0);
    painter.drawPixmap(origin, pixmap);
    painter.restore();
}
}

CarrierIconView::CarrierIconView(const QString &carrierCode, IconSize size,
                                 const std::optional<QByteArray> &customImageData, CarrierLogoService *logos,
                                 QWidget *parent)
    : QWidget(parent)
    , m_logos(logos)
    , m_carrierCode(carrierCode)
    , m_size(size)
{
    setObjectName(QStringLiteral("carrierIcon"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCustomImageData(customImageData);
    if (m_logos) {
        connect(m_logos, &CarrierLogoService::logoAdded, this, [this](const QString &code) {
            if (code == Carrier::normalizeCode(m_carrierCode))
                update();
        });
    }
}

void CarrierIconView::setCarrierCode(const QString &code)
{
    if (code == m_carrierCode)
        return;
    m_carrierCode = code;
    if (isVisible())
        requestLogo();
    update();
}

void CarrierIconView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    requestLogo();
}

void CarrierIconView::requestLogo()
{
    // Started, not awaited: the service announces the logo through logoAdded().
    if (m_logos && !m_carrierCode.isEmpty() && m_logos->logo(m_carrierCode).isNull())
        (void)m_logos->fetchLogo(m_carrierCode);
}

void CarrierIconView::setCustomImageData(const std::optional<QByteArray> &data)
{
    m_customImage = data;
    m_imageKey
        = data ? QString::fromLatin1(QCryptographicHash::hash(*data, QCryptographicHash::Sha1).toHex()) : QString();
    update();
}

QSize CarrierIconView::sizeHint() const
{
    return {frameSize(m_size), frameSize(m_size)};
}

int CarrierIconView::frameSize(IconSize size)
{
    switch (size) {
    case IconSize::small:
        return 24;
    case IconSize::medium:
        return 36;
    case IconSize::large:
        return 48;
    }
    return 24;
}

qreal CarrierIconView::cornerRadius(IconSize size)
{
    return frameSize(size) * 0.2;
}

QColor CarrierIconView::carrierColor(const QString &carrierCode, const QPalette &)
{
    // Mid tones whatever the palette: the disc carries a white symbol in light and dark mode alike.
    const QString code = Carrier::normalizeCode(carrierCode);
    if (code == u"ups")
        return QColor(0xa2, 0x84, 0x5e);
    if (code == u"usps")
        return QColor(0x0a, 0x7a, 0xff);
    if (code == u"fedex")
        return QColor(0xaf, 0x52, 0xde);
    if (code == u"amazon")
        return QColor(0xff, 0x95, 0x00);
    if (code == u"dhl" || code == u"dhl_ecommerce")
        return QColor(0xe0, 0xaa, 0x00);
    static const QStringList reds
        = {QStringLiteral("royal-mail"), QStringLiteral("canada-post"), QStringLiteral("australia-post"),
           QStringLiteral("china-post"), QStringLiteral("china-ems"),   QStringLiteral("cainiao")};
    if (reds.contains(code))
        return QColor(0xff, 0x3b, 0x30);
    return QColor(0x8e, 0x8e, 0x93);
}

void CarrierIconView::paint(QPainter &painter, const QPoint &topLeft, IconSize size, const QString &carrierCode,
                            const std::function<std::optional<QByteArray>()> &customImageData,
                            const QString &customImageKey, const QPalette &palette, qreal devicePixelRatio,
                            const QImage &logo)
{
    const int edge = frameSize(size);
    const QRect frame(topLeft, QSize(edge, edge));

    if (customImageData && !customImageKey.isEmpty()) {
        const auto decode = [&customImageData] {
            QImage image;
            if (const std::optional<QByteArray> bytes = customImageData())
                image.loadFromData(*bytes);
            return image;
        };
        const QPixmap picture = scaledPicture(customImageKey, decode, edge, devicePixelRatio, true);
        if (!picture.isNull()) {
            drawClipped(painter, frame, cornerRadius(size), picture);
            return;
        }
    }

    const QString code = Carrier::normalizeCode(carrierCode);
    if (!logo.isNull()) {
        const QString key = QStringLiteral("logo-%1-%2").arg(code).arg(logo.cacheKey());
        const QPixmap fitted = scaledPicture(
            key, [&logo] { return logo; }, edge, devicePixelRatio, false);
        if (!fitted.isNull()) {
            drawClipped(painter, frame, cornerRadius(size), fitted);
            return;
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = carrierColor(carrierCode, palette);
    QLinearGradient gradient(frame.topLeft(), frame.bottomRight());
    gradient.setColorAt(0, color.lighter(125));
    gradient.setColorAt(1, color);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(QRectF(frame));
    const int symbolSize = size == IconSize::small ? 13 : (size == IconSize::medium ? 19 : 26);
    const QRect symbolRect(frame.left() + (edge - symbolSize) / 2, frame.top() + (edge - symbolSize) / 2, symbolSize,
                           symbolSize);
    painter.drawPixmap(symbolRect,
                       UiStyle::symbol(Carrier::systemImage(code), symbolSize, Qt::white, devicePixelRatio));
    painter.restore();
}

void CarrierIconView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const std::optional<QByteArray> image = m_customImage;
    paint(
        painter, QPoint(0, 0), m_size, m_carrierCode, [image] { return image; }, m_imageKey, palette(),
        devicePixelRatioF(), m_logos ? m_logos->logo(m_carrierCode) : QImage());
}
