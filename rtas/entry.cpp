// The module entries the RTAS host calls when it loads and unloads the
// plug-in. No exception may cross into the host.
#include "platform/rtas/bundle.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/process_group.h"

namespace {

constexpr std::int32_t kNoGroupError = -7003;
constexpr std::int32_t kUnexpectedError = -7401;

// Releases the bundle and deletes the group that a load left. The bundle is
// forgotten once released, so that it is never released twice.
void unload() {
    CFRelease(GetOurBundleRef());
    try {
        StSetZone zone(gPlugInZone);
        if (gProcessGroup) {
            delete gProcessGroup;
            gProcessGroup = nullptr;
        }
    } catch (...) {
    }
    SetOurBundleRef(nullptr);
}

} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t NewMachOPlugIn(CFBundleRef bundle) {
    // A second load without an unload first lets go of what the first left.
    if (GetOurBundleRef() || gProcessGroup) unload();
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
    unload();
}
