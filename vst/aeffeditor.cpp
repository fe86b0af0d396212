#include "vst/aeffeditor.h"

AEffEditor::~AEffEditor() = default;

bool AEffEditor::getRect(ERect** rect) {
    if (rect) *rect = nullptr;
    return false;
}
