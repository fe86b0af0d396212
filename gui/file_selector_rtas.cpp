#include "gui/file_selector_rtas.h"

#include "vst/audioeffectx.h"

long CFileSelector::run(VstFileSelect* select) {
    if (effect == nullptr || select == nullptr) return 0;
    if (!effect->openFileSelector(select)) return 0;
    effect->closeFileSelector(select);
    return 1;
}
