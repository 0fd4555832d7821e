#include "ui/mapcanvas.h"

#include "services/mapprojection.h"
#include "ui/uistyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int overlayMargin = 8;
constexpr qreal keyboardPanStep = 96;

QColor placeholderColor(const QPalette &palette)
{
    return UiStyle::isDark(palette) ? QColor(0x33, 0x33, 0x36) : QColor(0xe9, 0xe6, 0xdf);
}

// Markers and the route sit on light tiles whatever the window's palette, so they take the light variants.
const QPalette &mapPalette()
{
    static const QPalette palette = [] {
        QPalette p;
        p.setColor(QPalette::Window, Qt::white);
        p.setColor(QPalette::WindowText, Qt::black);
        return p;
    }();
    return palette;
}

double wrapLongitude(double longitude)
{
    return std::remainder(longitude, 360.0);
}
}

MapCanvas::MapCanvas(MapTileService *tiles, QWidget *parent)
    : QWidget(parent)
    , m_tiles(tiles)
    , m_zoomIn(new QToolButton(this))
    , m_zoomOut(new QToolButton(this))
    , m_attribution(new QLabel(this))
{
    setObjectName(QStringLiteral("mapCanvas"));
    setAccessibleName(tr("Journey map"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_zoomIn->setObjectName(QStringLiteral("zoomInButton"));
    m_zoomIn->setText(QStringLiteral("+"));
    m_zoomIn->setAccessibleName(tr("Zoom in"));
    m_zoomIn->setToolTip(tr("Zoom in (+)"));
    m_zoomOut->setObjectName(QStringLiteral("zoomOutButton"));
    m_zoomOut->setText(QStringLiteral("\u2212"));
    m_zoomOut->setAccessibleName(tr("Zoom out"));
    m_zoomOut->setToolTip(tr("Zoom out (-)"));
    for (QToolButton *button : {m_zoomIn, m_zoomOut}) {
        button->setFixedSize(28, 28);
        button->setCursor(Qt::ArrowCursor);
        button->setAutoRaise(false);
    }
    connect(m_zoomIn, &QToolButton::clicked, this, [this] { zoomBy(1, rect().center()); });
    connect(m_zoomOut, &QToolButton::clicked, this, [this] { zoomBy(-1, rect().center()); });

    // The tile licence asks for this credit wherever the map is shown, linked to its terms.
    m_attribution->setObjectName(QStringLiteral("mapAttribution"));
    m_attribution->setTextFormat(Qt::RichText);
    m_attribution->setOpenExternalLinks(true);
    m_attribution->setAccessibleName(tr("© OpenStreetMap contributors"));
    m_attribution->setContentsMargins(5, 1, 5, 1);
    m_attribution->setAutoFillBackground(true);
    m_attribution->setCursor(Qt::PointingHandCursor);
    changeEvent(nullptr);

    connect(m_tiles, &MapTileService::tileReady, this, [this] { update(); });
}

void MapCanvas::changeEvent(QEvent *event)
{
    if (event)
        QWidget::changeEvent(event);
    if (event && event->type() != QEvent::PaletteChange && event->type() != QEvent::FontChange)
        return;
    QPalette labelPalette = m_attribution->palette();
    labelPalette.setColor(QPalette::Window, UiStyle::withAlpha(palette().color(QPalette::Base), 0.8));
    m_attribution->setPalette(labelPalette);
    m_attribution->setFont(UiStyle::font(UiStyle::TextStyle::caption2, font()));
    m_attribution->setText(
        QStringLiteral("<a href=\"https://www.openstreetmap.org/copyright\" "
                       "style=\"color:%1;text-decoration:none\">%2</a>")
            .arg(UiStyle::primary(palette()).name(), tr("© OpenStreetMap contributors").toHtmlEscaped()));
    m_attribution->adjustSize();
    placeOverlays();
}

void MapCanvas::setMarkers(const QList<MapMarker> &markers)
{
    m_markers = markers;
    setAccessibleDescription(
        markers.isEmpty() ? QString()
                          : tr("%n places; latest: %1", nullptr, int(markers.size())).arg(markers.constLast().label));
    update();
}

void MapCanvas::setCenter(const GeoCoordinate &center)
{
    m_center = {std::clamp(center.latitude, -MapProjection::maxLatitude, MapProjection::maxLatitude),
                wrapLongitude(center.longitude)};
    update();
    Q_EMIT viewChanged();
}

void MapCanvas::setZoom(int zoom)
{
    m_zoom = std::clamp(zoom, MapProjection::minZoom, MapProjection::maxZoom);
    m_zoomIn->setEnabled(m_zoom < MapProjection::maxZoom);
    m_zoomOut->setEnabled(m_zoom > MapProjection::minZoom);
    update();
    Q_EMIT viewChanged();
}

void MapCanvas::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void MapCanvas::setCamera(const CameraPosition &camera)
{
    if (!isVisible()) {
        m_pendingCamera = camera;
        return;
    }
    m_pendingCamera.reset();
    CameraPosition region = camera;
    if (!region && !m_markers.isEmpty()) {
        // Automatic: frame the markers with some room around them.
        double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
        for (const MapMarker &marker : std::as_const(m_markers)) {
            minLat = std::min(minLat, marker.coordinate.latitude);
            maxLat = std::max(maxLat, marker.coordinate.latitude);
            minLon = std::min(minLon, marker.coordinate.longitude);
            maxLon = std::max(maxLon, marker.coordinate.longitude);
        }
        region = CameraRegion {{(minLat + maxLat) / 2, (minLon + maxLon) / 2},
                               std::max(0.5, 1.3 * (maxLat - minLat)),
                               std::max(0.5, 1.3 * (maxLon - minLon))};
    }
    if (!region) {
        setCenter({20.0, 0.0});
        setZoom(2);
        return;
    }
    setCenter(region->center);
    setZoom(MapProjection::zoomForRegion(*region, size()));
}

void MapCanvas::applyPendingCamera()
{
    if (m_pendingCamera && isVisible())
        setCamera(*m_pendingCamera);
}

void MapCanvas::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    applyPendingCamera();
}

void MapCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
    applyPendingCamera();
}

void MapCanvas::placeOverlays()
{
    m_zoomIn->move(width() - overlayMargin - m_zoomIn->width(), overlayMargin);
    m_zoomOut->move(m_zoomIn->x(), m_zoomIn->y() + m_zoomIn->height() + 2);
    const int inset = overlayMargin / 2 + int(m_cornerRadius / 3);
    m_attribution->move(width() - inset - m_attribution->width(), height() - inset - m_attribution->height());
    m_attribution->raise();
}

int MapCanvas::tileZoom() const
{
    const int extra = devicePixelRatioF() >= 1.5 ? 1 : 0;
    return std::min(m_zoom + extra, MapProjection::maxZoom);
}

QPointF MapCanvas::toWidget(const GeoCoordinate &coordinate) const
{
    const QPointF offset = MapProjection::project(coordinate, m_zoom) - MapProjection::project(m_center, m_zoom);
    return offset + QPointF(width() / 2.0, height() / 2.0);
}

QList<TileId> MapCanvas::visibleTiles() const
{
    const int tz = tileZoom();
    const double tileSide = MapProjection::tileSize * std::ldexp(1.0, m_zoom - tz);
    const QPointF topLeft = MapProjection::project(m_center, m_zoom) - QPointF(width() / 2.0, height() / 2.0);
    const int count = 1 << tz;
    const QPointF middle = topLeft + QPointF(width() / 2.0, height() / 2.0);
    QList<QPair<double, TileId>> found;
    for (int ty = std::max(0, int(std::floor(topLeft.y() / tileSide)));
         ty <= std::min(count - 1, int(std::floor((topLeft.y() + height()) / tileSide))); ++ty) {
        for (int tx = int(std::floor(topLeft.x() / tileSide));
             tx <= int(std::floor((topLeft.x() + width()) / tileSide)); ++tx) {
            const QPointF tileMiddle((tx + 0.5) * tileSide, (ty + 0.5) * tileSide);
            const TileId id {tz, ((tx % count) + count) % count, ty};
            const double distance = QLineF(tileMiddle, middle).length();
            if (std::none_of(found.cbegin(), found.cend(), [&](const auto &f) { return f.second == id; }))
                found.append({distance, id});
        }
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<TileId> tiles;
    for (const auto &entry : std::as_const(found))
        tiles.append(entry.second);
    return tiles;
}

void MapCanvas::requestTiles()
{
    m_tiles->setWantedTiles(this, visibleTiles());
}

void MapCanvas::paintEvent(QPaintEvent *)
{
    requestTiles();
    QPainter painter(this);
    painter.fillRect(rect(), placeholderColor(palette()));
    drawTiles(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    drawRoute(painter);
    drawMarkers(painter);
    drawScaleBar(painter);
    drawCorners(painter);
}

void MapCanvas::drawTiles(QPainter &painter)
{
    const int tz = tileZoom();
    const double tileSide = MapProjection::tileSize * std::ldexp(1.0, m_zoom - tz);
    const QPointF topLeft = MapProjection::project(m_center, m_zoom) - QPointF(width() / 2.0, height() / 2.0);
    const int count = 1 << tz;
    const QColor gridColor = UiStyle::withAlpha(palette().color(QPalette::WindowText), 0.06);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int ty = std::max(0, int(std::floor(topLeft.y() / tileSide)));
         ty <= std::min(count - 1, int(std::floor((topLeft.y() + height()) / tileSide))); ++ty) {
        for (int tx = int(std::floor(topLeft.x() / tileSide));
             tx <= int(std::floor((topLeft.x() + width()) / tileSide)); ++tx) {
            const QRectF target(tx * tileSide - topLeft.x(), ty * tileSide - topLeft.y(), tileSide, tileSide);
            const TileId id {tz, ((tx % count) + count) % count, ty};
            const QImage image = m_tiles->tile(id);
            if (!image.isNull()) {
                painter.drawImage(target, image);
                continue;
            }
            // While a tile loads, its parent (already held after a zoom) stands in, blurred but placed.
            const QImage parent = tz > 0 ? m_tiles->tile({tz - 1, id.x / 2, id.y / 2}) : QImage();
            if (!parent.isNull()) {
                const int half = parent.width() / 2;
                painter.drawImage(target, parent, QRectF((id.x % 2) * half, (id.y % 2) * half, half, half));
                continue;
            }
            painter.setPen(gridColor);
            painter.drawRect(target.adjusted(0, 0, -1, -1));
        }
    }
    if (UiStyle::isDark(palette()))
        painter.fillRect(rect(), QColor(0, 0, 0, 40)); // the light tiles glare less on a dark window
}

void MapCanvas::drawRoute(QPainter &painter)
{
    if (m_markers.size() < 2)
        return;
    QPolygonF line;
    for (const MapMarker &marker : std::as_const(m_markers))
        line.append(toWidget(marker.coordinate));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line);
    painter.setPen(
        QPen(UiStyle::named(StatusColor::blue, mapPalette()), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line);
}

void MapCanvas::drawMarkers(QPainter &painter)
{
    const qreal dpr = devicePixelRatioF();
    for (qsizetype i = 0; i < m_markers.size(); ++i) {
        const MapMarker &marker = m_markers.at(i);
        const bool latest = i == m_markers.size() - 1;
        const qreal radius = latest ? 14 : 9;
        const QPointF at = toWidget(marker.coordinate);
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(UiStyle::named(TrackingStatuses::color(marker.status), mapPalette()));
        painter.drawEllipse(at, radius, radius);
        const int iconSize = int(radius * 1.1);
        const QPixmap icon = UiStyle::symbol(TrackingStatuses::iconName(marker.status), iconSize, Qt::white, dpr);
        painter.drawPixmap(QPointF(at.x() - iconSize / 2.0, at.y() - iconSize / 2.0), icon);
        if (!latest || marker.label.isEmpty())
            continue;
        const QFont labelFont = UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::DemiBold);
        const QFontMetricsF metrics(labelFont);
        const QString text = metrics.elidedText(marker.label, Qt::ElideRight, std::max(80.0, width() * 0.6));
        QRectF box(0, 0, metrics.horizontalAdvance(text) + 14, metrics.height() + 6);
        box.moveCenter(QPointF(at.x(), at.y() - radius - 6 - box.height() / 2));
        box.moveLeft(std::clamp(box.left(), 4.0, std::max(4.0, width() - box.width() - 4)));
        painter.setPen(Qt::NoPen);
        painter.setBrush(UiStyle::withAlpha(palette().color(QPalette::Base), 0.92));
        painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
        painter.setFont(labelFont);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(box, Qt::AlignCenter, text);
    }
}

void MapCanvas::drawScaleBar(QPainter &painter)
{
    const double metresPerPixel = MapProjection::metresPerPixel(m_center.latitude, m_zoom);
    const double longest = metresPerPixel * 100;
    double length = std::pow(10.0, std::floor(std::log10(longest)));
    for (const double factor : {5.0, 2.0}) {
        if (length * factor <= longest) {
            length *= factor;
            break;
        }
    }
    const qreal pixels = length / metresPerPixel;
    const QString text = length >= 1000 ? tr("%1 km").arg(length / 1000) : tr("%1 m").arg(length);
    const QFont labelFont = UiStyle::font(UiStyle::TextStyle::caption2, font());
    const QFontMetricsF metrics(labelFont);
    const qreal inset = overlayMargin + m_cornerRadius / 3;
    const QRectF box(inset, height() - inset - metrics.height() - 10,
                     std::max(pixels, metrics.horizontalAdvance(text)) + 10, metrics.height() + 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(UiStyle::withAlpha(palette().color(QPalette::Base), 0.8));
    painter.drawRoundedRect(box, 4, 4);
    painter.setPen(QPen(palette().color(QPalette::Text), 1.5));
    const qreal baseY = box.bottom() - 4;
    painter.drawPolyline(
        QPolygonF({QPointF(box.left() + 5, baseY - 4), QPointF(box.left() + 5, baseY),
                   QPointF(box.left() + 5 + pixels, baseY), QPointF(box.left() + 5 + pixels, baseY - 4)}));
    painter.setFont(labelFont);
    painter.drawText(QRectF(box.left() + 5, box.top() + 2, box.width() - 10, metrics.height()), Qt::AlignLeft, text);
}

void MapCanvas::drawCorners(QPainter &painter)
{
    if (m_cornerRadius <= 0)
        return;
    QPainterPath outside;
    outside.addRect(rect());
    QPainterPath inside;
    inside.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    const QWidget *host = parentWidget() ? parentWidget() : this;
    painter.fillPath(outside.subtracted(inside), host->palette().color(host->backgroundRole()));
}

void MapCanvas::zoomBy(int steps, const QPointF &anchor)
{
    const int target = std::clamp(m_zoom + steps, MapProjection::minZoom, MapProjection::maxZoom);
    if (target == m_zoom)
        return;
    const QPointF fromCentre = anchor - QPointF(width() / 2.0, height() / 2.0);
    const GeoCoordinate underAnchor
        = MapProjection::unproject(MapProjection::project(m_center, m_zoom) + fromCentre, m_zoom);
    const QPointF newCentre = MapProjection::project(underAnchor, target) - fromCentre;
    m_center = MapProjection::unproject(newCentre, target);
    m_center.longitude = wrapLongitude(m_center.longitude);
    setZoom(target);
}

void MapCanvas::panBy(const QPointF &pixels)
{
    setCenter(MapProjection::unproject(MapProjection::project(m_center, m_zoom) - pixels, m_zoom));
}

void MapCanvas::wheelEvent(QWheelEvent *event)
{
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder %= QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        zoomBy(steps, event->position());
    event->accept();
}

void MapCanvas::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1, rect().center());
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        zoomBy(-1, rect().center());
        break;
    case Qt::Key_Left:
        panBy({keyboardPanStep, 0});
        break;
    case Qt::Key_Right:
        panBy({-keyboardPanStep, 0});
        break;
    case Qt::Key_Up:
        panBy({0, keyboardPanStep});
        break;
    case Qt::Key_Down:
        panBy({0, -keyboardPanStep});
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void MapCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragFrom = event->position();
    setCursor(Qt::ClosedHandCursor);
}

void MapCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragFrom)
        return QWidget::mouseMoveEvent(event);
    panBy(event->position() - *m_dragFrom);
    m_dragFrom = event->position();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragFrom.reset();
    setCursor(Qt::OpenHandCursor);
    QWidget::mouseReleaseEvent(event);
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_doubleClickZooms)
        zoomBy(1, event->position());
    Q_EMIT doubleClicked();
}
