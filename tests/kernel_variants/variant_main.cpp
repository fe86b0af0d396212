// The equivalence tests of the DSP blocks and the channel, run on one variant
// of the processor-specific kernels (TARVEX_VARIANT_NAME). Exits with 77
// (skipped) where this processor lacks the instruction set it needs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* name = TARVEX_VARIANT_NAME;
    const char* needs = TARVEX_VARIANT_NEEDS;
    __builtin_cpu_init();
    const bool runs = std::strcmp(needs, "avx512f") == 0 ? __builtin_cpu_supports("avx512f")
                      : std::strcmp(needs, "avx2") == 0  ? __builtin_cpu_supports("avx2")
                                                         : true;
    if (!runs) {
        std::printf("kernel variant %s: skipped, this processor lacks %s\n", name, needs);
        return 77;
    }
    std::printf("kernel variant %s: running the equivalence tests on it\n", name);
    testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    std::printf("kernel variant %s: %s\n", name, failed ? "FAILED" : "passed");
    return failed;
}
