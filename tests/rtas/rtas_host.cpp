#include "rtas_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace rtas_test {

Module::Module(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error(std::string("cannot load ") + path + ": " + dlerror());
    newPlugIn = reinterpret_cast<std::int32_t (*)(CFBundleRef)>(dlsym(handle, "NewMachOPlugIn"));
    closePlugIn = reinterpret_cast<void (*)()>(dlsym(handle, "CloseMachOPlugIn"));
    if (!newPlugIn || !closePlugIn) throw std::runtime_error(std::string("no entries in ") + path);
}

namespace {

const Module& tarvexRtas() {
    static const Module module(TARVEX_RTAS_PATH);
    return module;
}

} // namespace

LoadedRtas::LoadedRtas() {
    bundle.host = &host;
    if (tarvexRtas().open(&bundle) != 0 || !bundle.group)
        throw std::runtime_error("tarvex-rtas did not load");
}

LoadedRtas::~LoadedRtas() {
    for (CEffectProcess* process : processes)
        delete process;
    tarvexRtas().close();
}

CEffectProcessRTAS& LoadedRtas::createProcess(std::size_t type) {
    CEffectProcess* process = group().GetType(type)->CreateProcess();
    if (!process) throw std::runtime_error("no process");
    processes.push_back(process);
    return *dynamic_cast<CEffectProcessRTAS*>(process);
}

long controlValueFor(CProcess& process, long index, double continuous) {
    return static_cast<CPluginControl_Continuous*>(process.GetControl(index))
        ->ConvertContinuousToControl(continuous);
}

float settingOf(CProcess& process, long index, long value) {
    return static_cast<float>(static_cast<CPluginControl_Continuous*>(process.GetControl(index))
                                  ->ConvertControlToContinuous(value));
}

std::vector<std::vector<float>> render(CEffectProcessRTAS& process,
                                       std::vector<std::vector<float>> input) {
    const long frames = static_cast<long>(input[0].size());
    std::vector<std::vector<float>> output(input.size(), std::vector<float>(input[0].size()));
    float* in[2] = {input[0].data(), input.size() > 1 ? input[1].data() : nullptr};
    float* out[2] = {output[0].data(), output.size() > 1 ? output[1].data() : nullptr};
    process.RenderAudio(in, out, frames);
    return output;
}

} // namespace rtas_test
