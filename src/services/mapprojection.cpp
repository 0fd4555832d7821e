#include "services/mapprojection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace MapProjection
{
double worldSize(int zoom)
{
    return tileSize * std::ldexp(1.0, zoom);
}

QPointF project(const GeoCoordinate &coordinate, int zoom)
{
    const double size = worldSize(zoom);
    const double latitude = std::clamp(coordinate.latitude, -maxLatitude, maxLatitude) * std::numbers::pi / 180.0;
    const double x = (coordinate.longitude + 180.0) / 360.0 * size;
    const double y = (1.0 - std::log(std::tan(latitude) + 1.0 / std::cos(latitude)) / std::numbers::pi) / 2.0 * size;
    return {x, y};
}

GeoCoordinate unproject(const QPointF &worldPixel, int zoom)
{
    const double size = worldSize(zoom);
    const double longitude = worldPixel.x() / size * 360.0 - 180.0;
    const double n = std::numbers::pi * (1.0 - 2.0 * worldPixel.y() / size);
    const double latitude = std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
    return {latitude, longitude};
}

int zoomForRegion(const CameraRegion &region, const QSizeF &viewSize)
{
    const GeoCoordinate &c = region.center;
    const GeoCoordinate northWest {c.latitude + region.latitudeDelta / 2, c.longitude - region.longitudeDelta / 2};
    const GeoCoordinate southEast {c.latitude - region.latitudeDelta / 2, c.longitude + region.longitudeDelta / 2};
    for (int zoom = maxZoom; zoom > minZoom; --zoom) {
        const QPointF a = project(northWest, zoom);
        const QPointF b = project(southEast, zoom);
        if (b.x() - a.x() <= viewSize.width() && b.y() - a.y() <= viewSize.height())
            return zoom;
    }
    return minZoom;
}

double metresPerPixel(double latitude, int zoom)
{
    constexpr double equatorMetres = 40075016.686;
    return equatorMetres * std::cos(latitude * std::numbers::pi / 180.0) / worldSize(zoom);
}
}
