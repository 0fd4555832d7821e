#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

/**
 * Icons named by the system symbol names the screens use ("shippingbox.fill", "gear").
 * Each name maps to a freedesktop icon name; when the icon theme lacks it, a drawn
 * fallback stands in, so that no control is ever left without an icon.
 */
namespace SymbolIcon
{
/** The freedesktop icon names tried for a symbol name, best first; empty for one that is always drawn or unknown. */
[[nodiscard]] QStringList themeNames(const QString &symbolName);

/** The themed icon for a symbol name, or the drawn fallback when the theme has none of its names. */
[[nodiscard]] QIcon icon(const QString &symbolName);

/** A pixmap of the symbol at the given logical size, tinted in one colour (symbolic icons take any colour). */
[[nodiscard]] QPixmap tinted(const QString &symbolName, int size, const QColor &color, qreal devicePixelRatio = 1.0);

/** The drawn stand-in for a symbol name (used when no theme icon exists). */
[[nodiscard]] QIcon drawnFallback(const QString &symbolName);
}
