#include "rtas/group.h"

#include "platform/rtas/views.h"
#include "rtas/custom_ui.h"
#include "rtas/template_process.h"

namespace {

// Name lists run from the longest name to the shortest.
constexpr char kManufacturerNames[] = "Quorvalinde\nQvld\n";
constexpr char kPlugInNames[] = "Quorvalinde Tarvex\nQV Tarvex\nQV2";
constexpr char kTypeNames[] = "Quorvalinde Tarvex\nQuorvalindeTrvx\nQvlndTrvx\nQvld";
constexpr OSType kManufacturerID = fourCharCode("Qvld");
constexpr OSType kProductID = fourCharCode("trvx");
constexpr OSType kMonoTypeID = fourCharCode("uiRT");
constexpr OSType kStereoTypeID = fourCharCode("rtst");
constexpr long kPlugInVersion = 1;

// The host's codes, passed as they stand.
constexpr long kGroupGestalt = 14;
constexpr long kCategory = 64;
constexpr long kSampleRateSupport = 6;
constexpr long kTypeGestalts[] = {8, 48};
constexpr long kMonoStem = 0;
constexpr long kStereoStem = 1;

} // namespace

CProcessGroup* CProcessGroup::CreateProcessGroup() {
    return new CTemplateNoUIGroup;
}

CTemplateNoUIGroup::CTemplateNoUIGroup() {
    DefineManufacturerNamesAndID(kManufacturerNames, kManufacturerID);
    DefinePlugInNamesAndVersion(kPlugInNames, kPlugInVersion);
    AddGestalt(kGroupGestalt);
}

void CTemplateNoUIGroup::Initialize() {
    CDSPProcessGroup::Initialize();
    CCustomView::AddNewViewProc("NoUIView", CreateCTemplateNoUIView);
}

void CTemplateNoUIGroup::CreateEffectTypes() {
    auto* mono = new CEffectTypeRTAS(kMonoTypeID, kProductID, kCategory);
    auto* stereo = new CEffectTypeRTAS(kStereoTypeID, kProductID, kCategory);
    mono->DefineTypeNames(kTypeNames);
    mono->DefineSampleRateSupport(kSampleRateSupport);
    for (long gestalt : kTypeGestalts)
        mono->AddGestalt(gestalt);
    mono->AttachEffectProcessCreator(NewTemplateProcessRTAS, nullptr);
    mono->DefineRelationID(kProductID);
    *stereo = *mono;
    mono->DefineStemFormats(kMonoStem, kMonoStem, 0);
    stereo->DefineStemFormats(kStereoStem, kStereoStem, 0);
    AddEffectType(mono);
    AddEffectType(stereo);
}
