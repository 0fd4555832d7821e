#pragma once

#include <QString>
#include <QStringView>

/**
 * Text made safe for a terminal: control characters (C0, DEL, C1) and the bidirectional
 * overrides become visible escapes ("\e", "\n", "\x07", "\u009b", "\u202e"), so that a label or
 * a server's message cannot clear the screen, retitle the window or reorder what is shown.
 * Everything else, a backslash included, is left as it is.
 */
[[nodiscard]] QString visibleText(QStringView text);
