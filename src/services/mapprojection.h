#pragma once

#include "services/locationrules.h"

#include <QPointF>
#include <QSizeF>

/**
 * Web Mercator as raster map tiles use it: at zoom z the world is a square of 256 × 2^z
 * pixels, x growing eastwards from 180° W and y southwards from about 85° N.
 */
namespace MapProjection
{
inline constexpr int tileSize = 256;
inline constexpr int minZoom = 1;
inline constexpr int maxZoom = 19;
/** The latitude where the square world ends. */
inline constexpr double maxLatitude = 85.05112878;

/** The width and height of the world at this zoom, in pixels. */
[[nodiscard]] double worldSize(int zoom);
/** A coordinate as a pixel position of the world at this zoom. */
[[nodiscard]] QPointF project(const GeoCoordinate &coordinate, int zoom);
/** The coordinate at a pixel position of the world at this zoom. */
[[nodiscard]] GeoCoordinate unproject(const QPointF &worldPixel, int zoom);
/** The deepest zoom at which the region fits into a view of this size (in device-independent pixels). */
[[nodiscard]] int zoomForRegion(const CameraRegion &region, const QSizeF &viewSize);
/** Ground metres that one pixel spans at this latitude and zoom. */
[[nodiscard]] double metresPerPixel(double latitude, int zoom);
}
