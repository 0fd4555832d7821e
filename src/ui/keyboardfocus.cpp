#include "ui/keyboardfocus.h"

#include <QWidget>

namespace KeyboardFocus
{
void focusFirstControl(QWidget *window, Qt::FocusReason reason)
{
    for (QWidget *next = window->nextInFocusChain(); next && next != window; next = next->nextInFocusChain()) {
        if (next->isEnabled() && next->isVisibleTo(window) && (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(reason);
            return;
        }
    }
}
}
