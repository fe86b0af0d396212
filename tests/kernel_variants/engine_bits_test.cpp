// The whole engine with this variant of every kernel gives the bits of the
// production build, which picks its kernels' variants by processor: the
// fingerprints (one hash per factory program and block schedule) of both
// builds' engine_fingerprint are equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string outputOf(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        text.append(chunk, got);
    return pclose(pipe) == 0 ? text : "failed: " + text;
}

} // namespace

TEST(KernelVariant, GivesTheEngineBitsOfTheProductionBuild) {
#if defined(TARVEX_FINGERPRINT) && defined(TARVEX_VARIANT_FINGERPRINT)
    const std::string arguments = " 0.25 44100";
    const std::string production = outputOf(TARVEX_FINGERPRINT + arguments);
    ASSERT_NE(production.find(" p19 "), std::string::npos) << production;
    EXPECT_EQ(outputOf(TARVEX_VARIANT_FINGERPRINT + arguments), production);
#else
    GTEST_SKIP() << "built without the tools";
#endif
}
