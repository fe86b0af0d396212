// The older generation's editor entry for a press: the frame's modal mouse.
#include "gui/editor.h"

#include "gui/frame.h"

VstInt32 AEffGUIEditor::__mouseDeprecated(VstInt32 x, VstInt32 y) {
    // A frame whose window is gone (its display lost) takes no presses.
    if (!frame || !frame->isOpen()) return 0;
    CDrawContext context(frame, nullptr, systemWindow);
    CPoint where(x, y);
    frame->mouse(&context, where.limit());
    return 1;
}
