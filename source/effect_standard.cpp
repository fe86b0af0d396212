// What the standard build of the effect (VST 2.4 and Audio Unit) has of its own.
#include "source/effect.h"

const int Effect::kInitialBufferSize = 1024;

bool Effect::setBypass(bool onOff) {
    processing.store(!onOff, std::memory_order_relaxed);
    return true;
}
