#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

/**
 * Icons named by the system symbol names the screens use ("shippingbox.fill", "gear").
 * Each name maps to freedesktop icon names; when the icon theme lacks them, a drawn
 * fallback stands in, so that no control is ever left without an icon.
 */
namespace SymbolIcon
{
/** A pixmap of the symbol at the given logical size, tinted in one colour (symbolic icons take any colour). */
[[nodiscard]] QPixmap tinted(const QString &symbolName, int size, const QColor &color, qreal devicePixelRatio = 1.0);
}
