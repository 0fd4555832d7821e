#pragma once

#include <Qt>

class QWidget;

namespace KeyboardFocus
{
/**
 * Gives the keyboard to the first control of window that takes it from the Tab key (enabled and
 * shown). A pop-up needs this: nothing has the focus when it opens, so neither the keyboard nor
 * a screen reader would find their way into it.
 */
void focusFirstControl(QWidget *window, Qt::FocusReason reason = Qt::PopupFocusReason);
}
