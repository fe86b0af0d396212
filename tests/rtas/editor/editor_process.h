// An RTAS process linked into the test, with its effect and the effect's
// real editor reachable by type.
#pragma once

#include "editor/effect_editor.h"
#include "rtas/template_process.h"
#include "source/effect.h"

namespace rtas_test {

class EditorProcess : public CTemplateNoUIProcessRTAS {
public:
    EditorProcess() {
        SetChannels(2, 2);
        EffectInit();
    }
    Effect& effect() { return *static_cast<Effect*>(mEffect); }
    EffectEditor& editor() { return *static_cast<EffectEditor*>(getEditor()); }
};

} // namespace rtas_test
