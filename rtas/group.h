// The plug-in's description for the host: maker, names, version and its two
// effect types, mono and stereo, both rendered by the same process.
#pragma once

#include "platform/rtas/process_group.h"

class CTemplateNoUIGroup : public CDSPProcessGroup {
public:
    CTemplateNoUIGroup();
    void Initialize() override;
    ~CTemplateNoUIGroup() override = default;
    void CreateEffectTypes() override;
};
