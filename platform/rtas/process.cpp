#include "platform/rtas/process.h"

#include "platform/rtas/bundle.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/host.h"

#include <cstring>

namespace {

PlugInHost* host() {
    const CFBundleRef bundle = GetOurBundleRef();
    return bundle ? bundle->host : nullptr;
}

} // namespace

CProcess::~CProcess() = default;

long CProcess::AddControl(CPluginControl* control) {
    if (!control) return 0;
    mControls.emplace_back(control);
    control->mValue = control->GetDefaultValue();
    return GetNumControls();
}

ComponentResult CProcess::SetControlValue(long index, long value) {
    CPluginControl* control = GetControl(index);
    if (!control) return kInvalidControlIndexError;
    control->mValue = control->Constrain(value);
    if (index == mMasterBypassIndex)
        mBypassed.store(control->mValue > 0, std::memory_order_relaxed);
    if (PlugInHost* h = host()) h->ControlChanged(this, index, control->mValue);
    UpdateControlValueInAlgorithm(index);
    return noErr;
}

ComponentResult CProcess::GetControlValue(long index, long* value) {
    const CPluginControl* control = GetControl(index);
    if (!control || !value) return kInvalidControlIndexError;
    *value = control->GetValue();
    return noErr;
}

ComponentResult CProcess::GetControlDefaultValue(long index, long* value) {
    const CPluginControl* control = GetControl(index);
    if (!control || !value) return kInvalidControlIndexError;
    *value = control->GetDefaultValue();
    return noErr;
}

ComponentResult CProcess::TouchControl(long index) {
    if (!IsValidControlIndex(index)) return kInvalidControlIndexError;
    if (PlugInHost* h = host()) h->ControlTouched(this, index);
    return noErr;
}

ComponentResult CProcess::ReleaseControl(long index) {
    if (!IsValidControlIndex(index)) return kInvalidControlIndexError;
    if (PlugInHost* h = host()) h->ControlReleased(this, index);
    return noErr;
}

void CProcess::GetViewRect(Rect* rect) {
    if (rect) *rect = Rect{};
}

ComponentResult CProcess::ChooseControl(Point /*where*/, long* index) {
    if (index) *index = 0;
    return noErr;
}

void CEffectProcess::AddChunk(OSType id, const char* /*name*/, long /*version*/) {
    for (OSType known : mChunkIDs)
        if (known == id) return;
    mChunkIDs.push_back(id);
}

// The control-values chunk: the header, then one 32-bit value per control.
ComponentResult CEffectProcess::GetChunkSize(OSType id, long* size) {
    if (id != kControlsChunkID) return kUnknownChunkError;
    if (!size) return kBadChunkError;
    *size = static_cast<long>(kChunkHeaderSize +
                              sizeof(std::int32_t) * static_cast<std::size_t>(GetNumControls()));
    return noErr;
}

ComponentResult CEffectProcess::GetChunk(OSType id, SFicPlugInChunk* chunk) {
    long size = 0;
    if (const ComponentResult result = GetChunkSize(id, &size); result != noErr) return result;
    if (!chunk) return kBadChunkError;
    std::memset(static_cast<SFicPlugInChunkHeader*>(chunk), 0, kChunkHeaderSize);
    chunk->fSize = static_cast<std::int32_t>(size);
    chunk->fChunkID = id;
    unsigned char* data = ChunkData(chunk);
    for (long i = 1; i <= GetNumControls(); ++i) {
        const auto value = static_cast<std::int32_t>(GetControl(i)->GetValue());
        std::memcpy(data + sizeof value * static_cast<std::size_t>(i - 1), &value, sizeof value);
    }
    return noErr;
}

// Restores every control through SetControlValue, so the algorithm hears of
// each; a chunk of another size than this process saves changes nothing.
ComponentResult CEffectProcess::SetChunk(OSType id, SFicPlugInChunk* chunk) {
    long size = 0;
    if (const ComponentResult result = GetChunkSize(id, &size); result != noErr) return result;
    if (!chunk || chunk->fSize != size) return kBadChunkError;
    const unsigned char* data = ChunkData(chunk);
    for (long i = 1; i <= GetNumControls(); ++i) {
        std::int32_t value = 0;
        std::memcpy(&value, data + sizeof value * static_cast<std::size_t>(i - 1), sizeof value);
        SetControlValue(i, value);
    }
    return noErr;
}
