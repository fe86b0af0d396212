#include "rtas/template_process.h"

#include "platform/rtas/errors.h"
#include "platform/rtas/process_group.h"
#include "rtas/custom_ui.h"
#include "vst/aeffeditor.h"
#include "vst/audioeffect.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Host control IDs of the parameters: this base plus the parameter index.
constexpr OSType kParameterControlIDBase = 0x206C6420;
constexpr OSType kBypassControlID = fourCharCode("bypa");
constexpr double kControlStep = 0.001;
// The effect's own chunk, registered only for an effect whose programs are
// chunks; its version number is the library's.
constexpr long kEffectChunkVersion = -152;

} // namespace

CTemplateNoUIProcess::CTemplateNoUIProcess() {
    mEffect = createEffectInstance(VSTCallback);
    if (!mEffect) return;
    AEffect* record = mEffect->getAeffect();
    record->user = static_cast<CTemplateNoUIProcess*>(this);
    if (record->flags & effFlagsProgramChunks)
        CEffectProcess::AddChunk(record->uniqueID, "Plugin Chunk", kEffectChunkVersion);
}

CTemplateNoUIProcess::~CTemplateNoUIProcess() {
    DropPlugInView();
    delete mCustomUI;
    mCustomUI = nullptr;
    mPlugInView = nullptr;
    // Deleted directly, as the effect was never opened through its record.
    delete mEffect;
    mEffect = nullptr;
}

ComponentResult CTemplateNoUIProcess::SetControlValue(long index, long value) {
    return CProcess::SetControlValue(index, value);
}

ComponentResult CTemplateNoUIProcess::GetControlValue(long index, long* value) {
    return CProcess::GetControlValue(index, value);
}

ComponentResult CTemplateNoUIProcess::GetControlDefaultValue(long index, long* value) {
    return CProcess::GetControlDefaultValue(index, value);
}

void CTemplateNoUIProcess::setEditor(void* customUI) {
    mCustomUI = static_cast<ITemplateCustomUI*>(customUI);
}

ComponentResult CTemplateNoUIProcess::ProcessTouchControl(long index) {
    return CProcess::TouchControl(index);
}

ComponentResult CTemplateNoUIProcess::ProcessReleaseControl(long index) {
    return CProcess::ReleaseControl(index);
}

void CTemplateNoUIProcess::ProcessDoIdle() {
    CProcess::DoIdle(nullptr);
}

short CTemplateNoUIProcess::ProcessUseResourceFile() {
    return CProcessGroup::UseResourceFile();
}

void CTemplateNoUIProcess::ProcessRestoreResourceFile(short previous) {
    CProcessGroup::RestoreResourceFile(previous);
}

AEffEditor* CTemplateNoUIProcess::getEditor() {
    return mEffect ? mEffect->getEditor() : nullptr;
}

void CTemplateNoUIProcess::EffectInit() {
    if (!mEffect) return;
    AEffect* record = mEffect->getAeffect();
    const PrefixDictionaryEntry* prefixes = cStandardPrefixDictionary;
    for (VstInt32 i = 0; i < record->numParams; ++i) {
        char name[64] = {};
        record->dispatcher(record, effGetParamName, i, 0, name, 0.0f);
        const double value = record->getParameter(record, i);
        CProcess::AddControl(
            new CPluginControl_Linear(kParameterControlIDBase + i, name, 0.0, 1.0, kControlStep,
                                      value, true, prefixes + kPrefixNone, prefixes + kPrefixExa));
    }
    CProcess::AddControl(
        new CPluginControl_OnOff(kBypassControlID, "Master Bypass", false, true, nullptr, nullptr));
    CEffectProcess::DefineMasterBypassControlIndex(record->numParams + 1);
}

void CTemplateNoUIProcess::UpdateControlValueInAlgorithm(long index) {
    if (!CProcess::IsValidControlIndex(index) || index == GetMasterBypassControlIndex()) return;
    if (!mEffect) return;
    const auto* control = dynamic_cast<CPluginControl_Continuous*>(CProcess::GetControl(index));
    const float value = control ? static_cast<float>(control->GetContinuous()) : 0.0f;
    mEffect->setParameter(static_cast<VstInt32>(index - 1), value);
}

VstIntPtr CTemplateNoUIProcess::VSTCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr /*value*/, void* /*ptr*/, float opt) {
    auto* process = effect ? static_cast<CTemplateNoUIProcess*>(effect->user) : nullptr;
    if (!process) return 0;
    const long control = static_cast<long>(index) + 1;
    if (!process->CProcess::IsValidControlIndex(control)) return 0;
    switch (opcode) {
    case audioMasterBeginEdit:
        process->ProcessTouchControl(control);
        break;
    case audioMasterEndEdit:
        process->ProcessReleaseControl(control);
        break;
    case audioMasterAutomate: {
        const auto* continuous =
            dynamic_cast<CPluginControl_Continuous*>(process->CProcess::GetControl(control));
        const long v =
            continuous ? continuous->ConvertContinuousToControl(static_cast<double>(opt)) : 0;
        process->SetControlValue(control, v);
        break;
    }
    default:
        break;
    }
    return 0;
}

// The effect's own chunk (registered only for an effect whose programs are
// chunks): the library's header, then the effect's bank data.
ComponentResult CTemplateNoUIProcess::GetChunkSize(OSType id, long* size) {
    if (!mEffect || id != mEffect->getAeffect()->uniqueID)
        return CEffectProcess::GetChunkSize(id, size);
    if (!size) return kBadChunkError;
    void* data = nullptr;
    *size =
        static_cast<long>(mEffect->getChunk(&data, false)) + static_cast<long>(kChunkHeaderSize);
    return noErr;
}

ComponentResult CTemplateNoUIProcess::GetChunk(OSType id, SFicPlugInChunk* chunk) {
    if (!mEffect || id != mEffect->getAeffect()->uniqueID)
        return CEffectProcess::GetChunk(id, chunk);
    if (!chunk) return kBadChunkError;
    void* data = nullptr;
    const VstInt32 length = mEffect->getChunk(&data, false);
    chunk->fSize = static_cast<std::int32_t>(length + static_cast<VstInt32>(kChunkHeaderSize));
    if (data && length > 0) std::memcpy(ChunkData(chunk), data, static_cast<std::size_t>(length));
    return noErr;
}

ComponentResult CTemplateNoUIProcess::SetChunk(OSType id, SFicPlugInChunk* chunk) {
    if (!mEffect || id != mEffect->getAeffect()->uniqueID)
        return CEffectProcess::SetChunk(id, chunk);
    // A chunk too short for its own header carries no data.
    if (!chunk || chunk->fSize < static_cast<std::int32_t>(kChunkHeaderSize)) return kBadChunkError;
    mEffect->setChunk(ChunkData(chunk), chunk->fSize - static_cast<VstInt32>(kChunkHeaderSize),
                      false);
    return noErr;
}

void CTemplateNoUIProcessRTAS::RenderAudio(float** inputs, float** outputs, long frames) {
    if (!inputs || !outputs || frames <= 0) return;
    const long channels = GetNumOutputs();
    float* in[2] = {inputs[0], channels == 2 ? inputs[1] : nullptr};
    float* out[2] = {outputs[0], channels == 2 ? outputs[1] : nullptr};
    if (!in[0] || !out[0]) return;
    if (IsBypassed()) {
        for (long c = 0; c < channels; ++c)
            if (in[c] && out[c] && in[c] != out[c]) std::copy(in[c], in[c] + frames, out[c]);
        return;
    }
    if (mEffect) mEffect->processReplacing(in, out, static_cast<VstInt32>(frames));
}

void CTemplateNoUIProcessRTAS::GetMetersFromDSPorRTAS(long* meters, bool* clipped) {
    for (long c = 0; c < GetNumOutputs(); ++c) {
        if (meters) meters[c] = 0;
        if (clipped) clipped[c] = false;
    }
}

CEffectProcess* NewTemplateProcessRTAS() {
    CTemplateNoUIProcessRTAS* process = new (std::nothrow) CTemplateNoUIProcessRTAS;
    return process;
}

// The window. The custom UI is made by the first view request and lives as
// long as the process; the editor is open while the host gives a port.

void CTemplateNoUIProcess::MakeCustomUI() {
    if (!mCustomUI) mCustomUI = CreateCTemplateCustomUI(static_cast<ITemplateProcess*>(this));
    mCustomUI->GetRect(&mViewRect.left, &mViewRect.top, &mViewRect.right, &mViewRect.bottom);
}

void CTemplateNoUIProcess::GetViewRect(Rect* rect) {
    MakeCustomUI();
    if (rect) *rect = mViewRect;
}

CPlugInView* CTemplateNoUIProcess::CreateCPlugInView() {
    CNoResourceView* view = nullptr;
    try {
        if (!mCustomUI) MakeCustomUI();
        view = new CNoResourceView;
        view->SetSize(mViewRect.right, mViewRect.bottom);
        CPlugInView* subView =
            view->AddView2("!NoUIView[('NoID')]", 0, 0, kPlugInViewWidth, kPlugInViewHeight, 0);
        if (auto* noUIView = dynamic_cast<CTemplateNoUIView*>(subView))
            noUIView->SetCustomUI(mCustomUI);
        // The host owns its views and may delete them at any time: the one
        // kept here is forgotten when it goes. An earlier one is let go of
        // first, so it forwards nothing once this process is gone.
        DropPlugInView();
        mPlugInView = subView;
        if (mPlugInView) mPlugInView->WatchPointer(&mPlugInView);
        return view;
    } catch (...) {
        DropPlugInView();
        delete mCustomUI;
        mCustomUI = nullptr;
        delete view;
        return nullptr;
    }
}

void CTemplateNoUIProcess::DropPlugInView() {
    if (auto* noUIView = dynamic_cast<CTemplateNoUIView*>(mPlugInView))
        noUIView->SetCustomUI(nullptr);
    if (mPlugInView) mPlugInView->WatchPointer(nullptr);
    mPlugInView = nullptr;
}

void CTemplateNoUIProcess::SetViewPort(GrafPtr port) {
    mPort = port;
    CProcess::SetViewPort(port);
    if (port) {
        if (!mCustomUI) return;
        mCustomUI->Open(GetWindowFromPort(port));
        if (mPlugInView) mPlugInView->SetEnable(true);
        mCustomUI->Draw(mViewRect.left, mViewRect.top, mViewRect.right, mViewRect.bottom);
    } else {
        if (mCustomUI) mCustomUI->Close();
        if (mPlugInView) mPlugInView->SetEnable(false);
    }
}

void CTemplateNoUIProcess::DoTokenIdle() {
    CProcess::DoTokenIdle();
    if (mCustomUI) mCustomUI->Idle();
}

ComponentResult CTemplateNoUIProcess::DoSetCursor(EventRecord* /*event*/) {
    return 0;
}

ComponentResult CTemplateNoUIProcess::UpdateControlGraphic(long index, long value) {
    return mCustomUI ? mCustomUI->UpdateGraphicControl(index, value) : 0;
}

ComponentResult CTemplateNoUIProcess::SetControlHighliteInfo(long index, short highlighted,
                                                             short colour) {
    if (mCustomUI) mCustomUI->SetControlHighlight(index, highlighted, colour);
    return 0;
}

ComponentResult CTemplateNoUIProcess::ChooseControl(Point where, long* index) {
    if (!index) return 0;
    *index = 0;
    if (mCustomUI) mCustomUI->GetControlIndexFromPoint(where.h, where.v, index);
    return 0;
}
