#pragma once

#include "model/trackingstatus.h"
#include "services/locationrules.h"
#include "services/maptileservice.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QToolButton;

/** One marker on the map: where, in which status, and its place text. */
struct MapMarker {
    GeoCoordinate coordinate;
    TrackingStatus status = TrackingStatus::unknown;
    QString label;
};

/**
 * Kestrove's map: OpenStreetMap raster tiles drawn as they arrive (grey squares meanwhile),
 * markers in their status colour joined by the route line, a zoom control, a scale bar and the
 * map's attribution. The wheel and + / - zoom, dragging and the arrow keys pan. On screens with
 * two device pixels per point it draws the tiles of the next zoom level at half size, so the map
 * stays sharp.
 */
class MapCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit MapCanvas(MapTileService *tiles, QWidget *parent = nullptr);

    /** Markers oldest first; the last one is the latest event, drawn larger and labelled. */
    void setMarkers(const QList<MapMarker> &markers);
    [[nodiscard]] const QList<MapMarker> &markers() const { return m_markers; }

    /** Frames the region; automatic frames the markers (or the world without any). */
    void setCamera(const CameraPosition &camera);
    void setCenter(const GeoCoordinate &center);
    [[nodiscard]] GeoCoordinate center() const { return m_center; }
    void setZoom(int zoom);
    [[nodiscard]] int zoom() const { return m_zoom; }
    /** Rounds the corners, painting the parent's background outside them. */
    void setCornerRadius(qreal radius);
    /** When false, a double-click only emits doubleClicked() instead of zooming in. */
    void setDoubleClickZooms(bool zooms) { m_doubleClickZooms = zooms; }

    /** The zoom level of the tiles drawn: one deeper on high-density screens. */
    [[nodiscard]] int tileZoom() const;
    /** The tiles covering the view, nearest the centre first. */
    [[nodiscard]] QList<TileId> visibleTiles() const;

    [[nodiscard]] QSize sizeHint() const override { return {480, 320}; }
    [[nodiscard]] QSize minimumSizeHint() const override { return {160, 120}; }

Q_SIGNALS:
    void doubleClicked();
    /** The centre or the zoom changed. */
    void viewChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    /** Zooms by steps, keeping the place under the anchor (a point in the widget) where it is. */
    void zoomBy(int steps, const QPointF &anchor);
    void panBy(const QPointF &pixels);
    [[nodiscard]] QPointF toWidget(const GeoCoordinate &coordinate) const;
    void drawTiles(QPainter &painter);
    void drawRoute(QPainter &painter);
    void drawMarkers(QPainter &painter);
    void drawScaleBar(QPainter &painter);
    void drawCorners(QPainter &painter);
    void applyPendingCamera();
    void placeOverlays();
    void requestTiles();

    MapTileService *m_tiles;
    QList<MapMarker> m_markers;
    GeoCoordinate m_center {20.0, 0.0};
    int m_zoom = 2;
    std::optional<CameraPosition> m_pendingCamera;
    qreal m_cornerRadius = 0;
    bool m_doubleClickZooms = true;
    std::optional<QPointF> m_dragFrom;
    int m_wheelRemainder = 0;
    QToolButton *m_zoomIn;
    QToolButton *m_zoomOut;
    QLabel *m_attribution;
};
