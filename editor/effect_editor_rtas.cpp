// The editor's entries in the toolkit's older generation: the listener call
// that takes the drawing context, and the host's redraw request.
#include "editor/effect_editor.h"

void EffectEditor::valueChanged(CDrawContext* /*context*/, CControl* control) {
    controlChanged(control);
}

void EffectEditor::__drawDeprecated(ERect* area) {
    if (frame == nullptr) return;
    if (area == nullptr) {
        frame->draw();
        return;
    }
    const CRect region(area->left, area->top, area->right, area->bottom);
    CDrawContext context(frame, nullptr, systemWindow);
    frame->drawRect(&context, region);
}
