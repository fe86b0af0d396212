// A test host for RTAS plug-in modules: loads a module with dlopen, calls its
// module entries with a bundle it owns, records the control gestures the
// plug-in library reports, and plays audio through processes.
#pragma once

#include "platform/rtas/bundle.h"
#include "platform/rtas/host.h"
#include "platform/rtas/process.h"
#include "platform/rtas/process_group.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rtas_test {

// One reported gesture: 't' touch, 'v' value, 'r' release.
struct Gesture {
    char kind;
    long index;
    long value;
    bool operator==(const Gesture&) const = default;
};

class RecordingHost : public PlugInHost {
public:
    void ControlTouched(CProcess*, long index) override { gestures.push_back({'t', index, 0}); }
    void ControlChanged(CProcess*, long index, long value) override {
        gestures.push_back({'v', index, value});
    }
    void ControlReleased(CProcess*, long index) override { gestures.push_back({'r', index, 0}); }
    bool CanBuildViews() override { return viewsAllowed; }

    std::vector<Gesture> gestures;
    bool viewsAllowed = true;
};

// A host bound to the plug-in library linked into the program, with the
// plug-in's group made and initialised; unbound again at the end.
template <typename Host = RecordingHost> class BoundHost {
public:
    BoundHost() {
        bundle.host = &host;
        SetOurBundleRef(&bundle);
        group.reset(CProcessGroup::CreateProcessGroup());
        group->Initialize();
    }
    ~BoundHost() {
        group.reset();
        SetOurBundleRef(nullptr);
    }
    BoundHost(const BoundHost&) = delete;
    BoundHost& operator=(const BoundHost&) = delete;

    Host host;
    OpaqueBundle bundle;
    std::unique_ptr<CProcessGroup> group;
};

// A module's entries. The module stays loaded for the whole test program.
class Module {
public:
    explicit Module(const char* path);
    std::int32_t open(CFBundleRef bundle) const { return newPlugIn(bundle); }
    void close() const { closePlugIn(); }

private:
    std::int32_t (*newPlugIn)(CFBundleRef) = nullptr;
    void (*closePlugIn)() = nullptr;
};

// tarvex-rtas loaded and opened for one test; closed at the end.
class LoadedRtas {
public:
    LoadedRtas();
    ~LoadedRtas();
    LoadedRtas(const LoadedRtas&) = delete;
    LoadedRtas& operator=(const LoadedRtas&) = delete;

    CEffectGroup& group() const { return *static_cast<CEffectGroup*>(bundle.group); }
    // A new process of type 0 (mono) or 1 (stereo), owned by this host.
    CEffectProcessRTAS& createProcess(std::size_t type);

    RecordingHost host;
    OpaqueBundle bundle;

private:
    std::vector<CEffectProcess*> processes;
};

// A continuous control's value for a setting, and the setting it stands for.
long controlValueFor(CProcess& process, long index, double continuous);
float settingOf(CProcess& process, long index, long value);

// Renders `input` (one buffer per channel, each `frames` long) into fresh
// outputs; returns them.
std::vector<std::vector<float>> render(CEffectProcessRTAS& process,
                                       std::vector<std::vector<float>> input);

} // namespace rtas_test
