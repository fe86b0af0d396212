// Hosts run their audio threads with flush-to-zero and denormals-are-zero
// off as often as on. With both off, long silence after a loud signal must
// not leave subnormal numbers in the output, and no call may change the
// floating-point environment the host set.
#include "validation/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <limits>
#include <memory>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define TARVEX_X86 1
#else
#define TARVEX_X86 0
#endif

namespace validation {
namespace {

// The settings of the floating-point environment (not its sticky exception
// flags, which any arithmetic raises): SSE control bits (denormals-are-zero,
// exception masks, rounding, flush-to-zero), the x87 control word and the C
// rounding mode.
struct FloatEnvironment {
    unsigned sseControl = 0;
    unsigned short x87Control = 0;
    int rounding = 0;
    bool operator==(const FloatEnvironment&) const = default;
};

#if TARVEX_X86
constexpr unsigned kSseFlags = 0x3f; // the sticky exception flags
constexpr unsigned kFlushToZero = 0x8000;
constexpr unsigned kDenormalsAreZero = 0x0040;
#endif

FloatEnvironment currentEnvironment() {
    FloatEnvironment e;
#if TARVEX_X86
    e.sseControl = _mm_getcsr() & ~kSseFlags;
    asm volatile("fnstcw %0" : "=m"(e.x87Control));
#endif
    e.rounding = std::fegetround();
    return e;
}

::testing::AssertionResult sameEnvironment(const FloatEnvironment& want, const char* after) {
    const FloatEnvironment got = currentEnvironment();
    if (got == want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "after " << after << ": SSE control " << std::hex << got.sseControl << " (was "
           << want.sseControl << "), x87 control " << got.x87Control << " (was " << want.x87Control
           << "), rounding " << got.rounding << " (was " << want.rounding << ")";
}

// Sets the host's environment on this thread; restores the previous one
// when it goes out of scope.
class HostEnvironment {
public:
    HostEnvironment(bool flushDenormals, int rounding) {
        std::fegetenv(&saved);
        std::fesetround(rounding);
#if TARVEX_X86
        unsigned csr = _mm_getcsr() & ~(kFlushToZero | kDenormalsAreZero);
        if (flushDenormals) csr |= kFlushToZero | kDenormalsAreZero;
        _mm_setcsr(csr);
#else
        (void)flushDenormals;
#endif
    }
    ~HostEnvironment() {
        std::fesetenv(&saved);
    }
    HostEnvironment(const HostEnvironment&) = delete;
    HostEnvironment& operator=(const HostEnvironment&) = delete;

private:
    std::fenv_t saved;
};

class DenormalTest : public ::testing::TestWithParam<int> {};

TEST_P(DenormalTest, NoiseThenLongSilenceLeavesNoSubnormalOutputWithFlushingOff) {
    const int program = GetParam();
    const HostEnvironment host(false, FE_TONEAREST);
    const FloatEnvironment set = currentEnvironment();

    LoadedPlugin plugin;
    ASSERT_NE(plugin.effect, nullptr);
    plugin.start(44100.0f, 512);
    plugin.selectProgram(program);
    ASSERT_TRUE(sameEnvironment(set, "setup"));

    // One second of loud noise, then 150 s of silence (sanitizer builds
    // shorten the silence for most programs).
    const double silenceSeconds = kSanitized && program % 5 != 0 ? 20.0 : 150.0;
    const long silentBlocks = static_cast<long>(silenceSeconds * 44100.0 / 512.0);
    const Stereo noise = noiseInput(44100, 0.9f, static_cast<unsigned>(program));
    std::vector<float> in0(512), in1(512), out0(512), out1(512);
    float* inputs[2] = {in0.data(), in1.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    const long noiseBlocks = 44100 / 512;
    for (long b = 0; b < noiseBlocks + silentBlocks; ++b) {
        for (size_t i = 0; i < 512; ++i) {
            const size_t at = static_cast<size_t>(b) * 512 + i;
            in0[i] = b < noiseBlocks ? noise.left[at] : 0.0f;
            in1[i] = b < noiseBlocks ? noise.right[at] : 0.0f;
        }
        plugin.process(inputs, outputs, 512);
        if (currentEnvironment() != set) {
            ASSERT_TRUE(sameEnvironment(set, "processReplacing")) << "block " << b;
        }
        for (size_t i = 0; i < 512; ++i) {
            if (isSubnormal(out0[i]) || isSubnormal(out1[i]))
                FAIL() << "subnormal output " << out0[i] << " " << out1[i] << " in block " << b
                       << " (" << static_cast<double>(b * 512) / 44100.0 << " s)";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, DenormalTest, ::testing::Range(0, kPrograms),
                         [](const auto& test) { return "Program" + std::to_string(test.param); });

// Calls every entry of the record once with harmless arguments.
void callEveryEntry(LoadedPlugin& plugin, const FloatEnvironment& set) {
    char buffer[512];
    for (VstInt32 opcode = 0; opcode <= 80; ++opcode) {
        if (opcode == effClose) continue;
        std::memset(buffer, 0, sizeof buffer);
        plugin.call(opcode, 0, 0, buffer, 0.0f);
        ASSERT_TRUE(sameEnvironment(set, "a dispatcher call")) << "opcode " << opcode;
    }
    for (int i = 0; i < kParameters; ++i) {
        plugin.setParameter(i, 0.3f);
        plugin.parameter(i);
    }
    ASSERT_TRUE(sameEnvironment(set, "setParameter and getParameter"));
    plugin.call(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    plugin.call(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    ASSERT_TRUE(sameEnvironment(set, "sample-rate changes"));
    const Stereo input = noiseInput(8192, 0.5f, 4);
    render(plugin, input, 4096); // the first block of 4096 grows the buffers
    ASSERT_TRUE(sameEnvironment(set, "processReplacing"));
}

TEST(FloatEnvironmentTest, EveryEntryLeavesTheHostsEnvironmentAsItWas) {
    const int roundings[] = {FE_TONEAREST, FE_TOWARDZERO, FE_UPWARD, FE_DOWNWARD};
    for (bool flush : {false, true}) {
        for (int rounding : roundings) {
            SCOPED_TRACE(::testing::Message() << "flush " << flush << " rounding " << rounding);
            const HostEnvironment host(flush, rounding);
            const FloatEnvironment set = currentEnvironment();
            // Construction and deletion run on the host's thread as well.
            auto plugin = std::make_unique<LoadedPlugin>();
            ASSERT_NE(plugin->effect, nullptr);
            ASSERT_TRUE(sameEnvironment(set, "VSTPluginMain"));
            plugin->start();
            callEveryEntry(*plugin, set);
            plugin.reset();
            ASSERT_TRUE(sameEnvironment(set, "close"));
        }
    }
}

} // namespace
} // namespace validation
