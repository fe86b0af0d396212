// The standard generation's listener calls.
#include "gui/control.h"

long CControlListener::controlModifierClicked(CControl*, long) {
    return 0;
}

void CControl::notifyValueChanged() {
    if (listener) listener->valueChanged(this);
}
