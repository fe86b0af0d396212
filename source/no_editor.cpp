// The effect without a window: programs that do not link the editor library
// (tools, tests of the sound) get this default, which answers null. A weak
// definition in a file of its own, so that the editor library's definition
// wins wherever it is linked.
#include "source/effect.h"

__attribute__((weak)) AEffGUIEditor* createEffectEditor(Effect* /*effect*/) {
    return nullptr;
}
