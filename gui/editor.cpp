#include "gui/editor.h"

#include "gui/frame.h"
#include "vst/audioeffectx.h"

#include <atomic>

namespace {
// One knob mode for the whole process; editors of several plug-in instances
// may set it from different threads.
std::atomic<VstInt32> knobMode{kCircularMode};
} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner) {
    if (owner) owner->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
    delete frame;
}

bool AEffGUIEditor::getRect(ERect** out) {
    if (!out) return false;
    *out = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    systemWindow = ptr;
    return true;
}

void AEffGUIEditor::close() {
    systemWindow = nullptr;
}

void AEffGUIEditor::idle() {
    if (frame) frame->idle();
}

bool AEffGUIEditor::setKnobMode(VstInt32 value) {
    knobMode.store(value, std::memory_order_relaxed);
    return true;
}

VstInt32 AEffGUIEditor::getKnobMode() const {
    return knobMode.load(std::memory_order_relaxed);
}

void AEffGUIEditor::doIdleStuff() {
    idle();
    if (effect) effect->masterIdle();
}

bool AEffGUIEditor::beginEdit(VstInt32 index) {
    auto* extended = dynamic_cast<AudioEffectX*>(effect);
    return extended && extended->beginEdit(index);
}

bool AEffGUIEditor::endEdit(VstInt32 index) {
    auto* extended = dynamic_cast<AudioEffectX*>(effect);
    return extended && extended->endEdit(index);
}
