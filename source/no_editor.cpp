// The effect without a window: programs that do not link the editor library
// (tools, tests of the sound) get these defaults. Weak definitions in a file
// of their own, so that the editor library's definitions win wherever it is
// linked.
#include "source/effect.h"

__attribute__((weak)) AEffGUIEditor* createEffectEditor(Effect* /*effect*/) {
    return nullptr;
}

__attribute__((weak)) void editorParameterChanged(AEffGUIEditor* /*editor*/, VstInt32 /*index*/,
                                                  float /*value*/) {}
