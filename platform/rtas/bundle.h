// Bundle stand-in. On the real platform the host passes the plug-in its
// CoreFoundation bundle, a reference-counted object the plug-in library keeps
// as "our bundle" to find resources. Here the bundle is a record the host owns
// that also carries the host's side of the conversation (see host.h) and the
// group the loaded plug-in publishes for the host to enumerate.
#pragma once

class CProcessGroup;
class PlugInHost;

struct OpaqueBundle {
    int retainCount = 1;
    PlugInHost* host = nullptr;
    // The plug-in's resource file number while it is loaded.
    short resourceFile = 1;
    // Set while the plug-in's group is initialised and alive.
    CProcessGroup* group = nullptr;
};
using CFBundleRef = OpaqueBundle*;

inline void CFRetain(CFBundleRef bundle) {
    if (bundle) ++bundle->retainCount;
}
inline void CFRelease(CFBundleRef bundle) {
    if (bundle) --bundle->retainCount;
}

// The plug-in library's record of its own bundle (not retained by it).
void SetOurBundleRef(CFBundleRef bundle);
CFBundleRef GetOurBundleRef();
