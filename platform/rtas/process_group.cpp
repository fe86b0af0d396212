#include "platform/rtas/process_group.h"

#include "platform/rtas/bundle.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/process.h"

CProcessGroup* gProcessGroup = nullptr;
PlugInZone gPlugInZone = nullptr;
PlugInZone gCurrentZone = nullptr;

namespace {

CFBundleRef ourBundle = nullptr;
short currentResourceFile = 0;

} // namespace

void SetOurBundleRef(CFBundleRef bundle) {
    ourBundle = bundle;
}

CFBundleRef GetOurBundleRef() {
    return ourBundle;
}

CProcessGroup::~CProcessGroup() {
    if (ourBundle && ourBundle->group == this) ourBundle->group = nullptr;
}

void CProcessGroup::Initialize() {
    if (ourBundle) ourBundle->group = this;
}

short CProcessGroup::UseResourceFile() {
    const short previous = currentResourceFile;
    currentResourceFile = ourBundle ? ourBundle->resourceFile : 0;
    return previous;
}

void CProcessGroup::RestoreResourceFile(short previous) {
    currentResourceFile = previous;
}

short CProcessGroup::CurrentResourceFile() {
    return currentResourceFile;
}

CEffectType::CEffectType(OSType typeID, OSType productID, long category)
    : mTypeID(typeID), mProductID(productID), mCategory(category) {}

CEffectType& CEffectType::operator=(const CEffectType& other) {
    if (this == &other) return *this;
    mCategory = other.mCategory;
    mTypeNames = other.mTypeNames;
    mSampleRateSupport = other.mSampleRateSupport;
    mGestalts = other.mGestalts;
    mCreator = other.mCreator;
    mRelationID = other.mRelationID;
    for (int i = 0; i < 3; ++i)
        mStemFormats[i] = other.mStemFormats[i];
    return *this;
}

CEffectProcess* CEffectType::CreateProcess() {
    if (!mCreator) return nullptr;
    CEffectProcess* process = nullptr;
    try {
        process = mCreator();
    } catch (...) {
        return nullptr;
    }
    if (!process) return nullptr;
    const long inputs = mStemFormats[0] == 1 ? 2 : 1;
    const long outputs = mStemFormats[1] == 1 ? 2 : 1;
    process->SetChannels(inputs, outputs);
    try {
        process->EffectInit();
    } catch (...) {
        delete process;
        return nullptr;
    }
    return process;
}

void CEffectGroup::Initialize() {
    CreateEffectTypes();
    CProcessGroup::Initialize();
}
