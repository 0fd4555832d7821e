#pragma once

#include <QImage>
#include <QString>

#include <functional>

/**
 * Symbols as the icon theme drew them, kept on disk between runs. Drawing a themed symbol means
 * reading the theme's index and parsing its SVG twice; the first window draws a few dozen of them,
 * which made that the largest part of its first frame. Entries belong to the theme they were drawn
 * from: a change of theme, search path or an update of the theme's files (its index or icon cache)
 * starts a fresh folder and removes the old one.
 */
namespace SymbolCache
{
/**
 * The symbol drawn at size logical pixels for the pixel ratio: from the cache when it holds it,
 * else from draw(), whose picture is kept unless it is null (not from the theme).
 */
[[nodiscard]] QImage image(const QString &symbolName, int size, qreal devicePixelRatio,
                           const std::function<QImage()> &draw);

/** The folder the entries of the current theme go to (inside the user's cache folder). */
[[nodiscard]] QString directory();
}
