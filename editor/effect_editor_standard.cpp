// The editor's entries in the toolkit's standard generation.
#include "editor/effect_editor.h"

void EffectEditor::valueChanged(CControl* control) {
    controlChanged(control);
}

void EffectEditor::showGui() {
    showMainPage();
}
