// Defaults for what other parts of a module may provide: the images built
// into it and the platform window. Each is a weak definition, so a module
// that links a real one gets that one. (They sit in this file of their own
// so that no other symbol drags it in ahead of a real definition.)
#include "gui/platform_window.h"
#include "gui/resources.h"

__attribute__((weak)) const EmbeddedResource* findEmbeddedResource(const char* /*name*/) {
    return nullptr;
}

__attribute__((weak)) std::unique_ptr<PlatformWindow>
openPlatformWindow(void* /*parent*/, int /*width*/, int /*height*/) {
    return nullptr;
}
