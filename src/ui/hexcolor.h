#pragma once

#include <QColor>
#include <QString>

#include <optional>

/** Hex colour strings ("#FF9500") of group colours and colour tags. */
namespace HexColor
{
/**
 * The colour of a hex string: surrounding white space and line breaks are ignored, one leading
 * "#" is optional, and exactly six hexadecimal digits must remain (red, green, blue, opaque sRGB).
 * Anything else has no colour.
 */
[[nodiscard]] std::optional<QColor> color(const QString &hex);

/** The colour of a hex string, or the fallback when it does not convert. */
[[nodiscard]] QColor colorOr(const QString &hex, const QColor &fallback);

/** "#RRGGBB" in upper case. */
[[nodiscard]] QString hexString(const QColor &color);
}
