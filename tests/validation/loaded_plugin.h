// The plug-in module as a host sees it: loaded with dlopen, created through
// VSTPluginMain and driven only through its effect record (dispatcher,
// setParameter, getParameter, processReplacing). Shared by the host
// validation tests.
#pragma once

#include "vst/aeffect.h"

#include <functional>
#include <string>
#include <vector>

namespace validation {

// Sanitizer builds run the long checks on a sample of their cases.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitized = true;
#else
inline constexpr bool kThreadSanitized = false;
#endif

inline constexpr int kParameters = 53;
inline constexpr int kPrograms = 20;

// A host that knows nothing: it answers the version query and 0 to
// everything else (no sample rate, no block size, no time information).
VstIntPtr carelessHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

// One effect instance from the module. The module stays loaded for the whole
// test program once any instance was made (as in a host's plug-in cache).
class LoadedPlugin {
public:
    explicit LoadedPlugin(audioMasterCallback host = carelessHost);
    // Closes the effect through its record (which deletes it).
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    AEffect* effect = nullptr;

    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f);
    void setParameter(int index, float value);
    float parameter(int index);
    void process(float** inputs, float** outputs, int frames);

    // The usual host sequence: open, sample rate, block size, resume.
    void start(float sampleRate = 44100.0f, int blockSize = 1024);
    void selectProgram(int program) { call(effSetProgram, 0, program); }
    // A text request answered into a large zeroed buffer.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
};

// Two planar channels of equal length.
struct Stereo {
    std::vector<float> left, right;
    size_t size() const { return left.size(); }
};

// A repeatable plucked bass line (peaks near 0.6) on both channels, left
// louder than right, `seconds` long.
Stereo bassInput(double sampleRate, double seconds);
// Uniform noise in [-amplitude, amplitude) from a seed, both channels.
Stereo noiseInput(size_t frames, float amplitude, unsigned seed);

// Renders `input` in blocks whose lengths `nextBlock` gives in turn (clamped
// to what is left), with separate input and output buffers of exactly the
// block's length, so a sanitizer sees any access past the block.
Stereo render(LoadedPlugin& plugin, const Stereo& input, const std::function<int()>& nextBlock);
Stereo render(LoadedPlugin& plugin, const Stereo& input, int blockSize);

bool isSubnormal(float x);
// Index of the first sample that is NaN, infinite or subnormal; -1 if none.
long firstBadSample(const std::vector<float>& x);
long firstNonFinite(const std::vector<float>& x);
double rms(const float* x, size_t n);
double peak(const float* x, size_t n);

} // namespace validation
