// The module entries the RTAS host calls when it loads and unloads the
// plug-in. No exception may cross into the host.
#include "platform/rtas/bundle.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/process_group.h"

namespace {

constexpr std::int32_t kNoGroupError = -7003;
constexpr std::int32_t kUnexpectedError = -7401;

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t NewMachOPlugIn(CFBundleRef bundle) {
    CFRetain(bundle);
    SetOurBundleRef(bundle);
    gPlugInZone = nullptr;
    try {
        gProcessGroup = CProcessGroup::CreateProcessGroup();
        if (!gProcessGroup) return kNoGroupError;
        gProcessGroup->Initialize();
        return 0;
    } catch (const CDAEError& error) {
        return error.GetErrorCode();
    } catch (...) {
        return kUnexpectedError;
    }
}

extern "C" __attribute__((visibility("default"))) void CloseMachOPlugIn() {
    CFRelease(GetOurBundleRef());
    try {
        StSetZone zone(gPlugInZone);
        if (gProcessGroup) {
            delete gProcessGroup;
            gProcessGroup = nullptr;
        }
    } catch (...) {
    }
    // Forgotten once released, so that a second close cannot release it again.
    SetOurBundleRef(nullptr);
}
