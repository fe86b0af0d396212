// TRanrotWGenerator: the seeded state and first outputs, the float
// conversion, IRandom's edges and the self-test's recovery.
#include "dsp/tranrotw_generator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<std::uint32_t> draws(TRanrotWGenerator& generator, int n) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < n; ++i)
        out.push_back(generator.BRandom());
    return out;
}

constexpr bool extendedPrecision = std::numeric_limits<long double>::digits == 64;

} // namespace

TEST(TRanrotWGenerator, SeedingWithOneGivesThePublishedStateAndFirstOutputs) {
    TRanrotWGenerator generator(1);
    EXPECT_EQ(generator.bufferCopy[0][0], 2891336454u); // 1 * 2891336453 + 1
    EXPECT_EQ(
        std::memcmp(generator.bufferCopy[0], generator.bufferCopy[17], sizeof generator.buffer), 0);
    EXPECT_EQ(generator.index1, 3); // after the 31 warm-up draws
    EXPECT_EQ(generator.index2, 13);
    const std::vector<std::uint32_t> first{822390891u, 2704065994u, 2539914226u, 3905748607u,
                                           3128230868u};
    EXPECT_EQ(draws(generator, 5), first);

    // Reseeding restarts the same sequence.
    generator.RandomInit(1);
    EXPECT_EQ(draws(generator, 5), first);
}

TEST(TRanrotWGenerator, RandomIsTheDrawnWordAsAnExactFractionBelowOne) {
    TRanrotWGenerator generator(1), words(1);
    if (extendedPrecision) {
        EXPECT_EQ(generator.layout, TRanrotWGenerator::ExtendedLittleEndian);
        EXPECT_EQ(generator.randomBits[2], 0x3FFFu);
    }
    const double expected[3] = {0.38295560106238247, 0.25917885202429697, 0.18273972840577823};
    for (double e : expected)
        EXPECT_NEAR(static_cast<double>(generator.Random()), e, 1e-17);
    words.BRandom(), words.BRandom(), words.BRandom();
    for (int i = 0; i < 100000; ++i) {
        const std::uint32_t w = words.BRandom();
        const long double r = generator.Random();
        const long double exact = (w & 0x7FFFFFFFu) * 0x1p-31L + w * 0x1p-63L;
        if (extendedPrecision) {
            ASSERT_EQ(r, exact) << w;
        }
        ASSERT_GE(r, 0.0L);
        ASSERT_LT(r, 1.0L);
    }
}

TEST(TRanrotWGenerator, OtherLayoutsBuildTheirValueFromTheSameWord) {
    TRanrotWGenerator doubleLayout(1), plain(1), words(1);
    doubleLayout.layout = TRanrotWGenerator::LittleEndianDouble;
    plain.layout = TRanrotWGenerator::NonIeee;
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t w = words.BRandom();
        ASSERT_EQ(doubleLayout.Random(),
                  (static_cast<double>(w & 0xFFFFFu) * 0x1p32 + w) * 0x1p-52);
        ASSERT_EQ(plain.Random(), w * 0x1p-32L);
    }
}

TEST(TRanrotWGenerator, IRandomCoversItsIntervalAndRejectsAnEmptyOne) {
    TRanrotWGenerator generator(1), fresh(1);
    EXPECT_EQ(generator.IRandom(5, 4), INT_MIN);
    EXPECT_EQ(generator.IRandom(INT_MAX, INT_MIN), INT_MIN);
    EXPECT_EQ(draws(generator, 3), draws(fresh, 3)); // nothing was drawn

    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(generator.IRandom(3, 3), 3);
    EXPECT_EQ(generator.index1, ((fresh.index1 - 100) % 17 + 17) % 17); // one draw each

    TRanrotWGenerator reference(7), ranged(7);
    int counts[10] = {};
    for (int i = 0; i < 100000; ++i) {
        const int v = ranged.IRandom(-3, 6);
        ASSERT_EQ(v, -3 + static_cast<int>(reference.Random() * 10));
        ++counts[v + 3];
    }
    for (int c : counts)
        EXPECT_NEAR(c, 10000, 500);

    // The widest interval overflows no arithmetic and stays in range.
    long long sum = 0;
    for (int i = 0; i < 1000; ++i)
        sum += generator.IRandom(INT_MIN, INT_MAX);
    EXPECT_LT(std::llabs(sum / 1000), INT_MAX / 8);
}

TEST(TRanrotWGenerator, LeftRotationWrapsAround) {
    EXPECT_EQ((_lrotl)(0x80000001u, 1), 3u);
    EXPECT_EQ((_lrotl)(0x12345678u, 0), 0x12345678u);
    EXPECT_EQ((_lrotl)(0x12345678u, 32), 0x12345678u);
    EXPECT_EQ((_lrotl)(0x12345678u, 8), 0x34567812u);
}

namespace {

// Puts the generator one draw before its seeded state: the buffer as seeded,
// except the entry that the next draw writes, which is solved backwards from
// the seeded value and the lagged entry.
void oneDrawBeforeTheSeededState(TRanrotWGenerator& g) {
    std::memcpy(g.buffer, g.bufferCopy, sizeof g.buffer);
    const int i1 = 1, i2 = 1 + TRanrotWGenerator::JJ;
    const std::uint32_t y = g.bufferCopy[i1][0], z = g.bufferCopy[i1][1];
    g.buffer[i1][1] = std::rotr(y - g.buffer[i2][1], TRanrotWGenerator::R2);
    g.buffer[i1][0] = std::rotr(z - g.buffer[i2][0], TRanrotWGenerator::R1);
    g.index1 = i1;
    g.index2 = i2;
}

} // namespace

TEST(TRanrotWGeneratorSelfTest, AReturnToTheSeededStateIsReportedOnceAndReseeds) {
    TRanrotWGenerator generator(1), next(2);
    oneDrawBeforeTheSeededState(generator);
    ::testing::internal::CaptureStderr();
    generator.BRandom();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Random number generator returned to initial state\n");
    // The process goes on, and so does the noise, on the next seed.
    EXPECT_EQ(generator.seed, 2u);
    EXPECT_EQ(draws(generator, 50), draws(next, 50));

    // A second return is not reported again, but still recovers.
    oneDrawBeforeTheSeededState(generator);
    ::testing::internal::CaptureStderr();
    generator.BRandom();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(generator.seed, 3u);
}

TEST(TRanrotWGeneratorSelfTest, AnUnseededBufferIsReportedAndReseeded) {
    TRanrotWGenerator generator(9), next(10);
    std::memset(generator.buffer, 0, sizeof generator.buffer);
    std::memset(generator.bufferCopy, 0, sizeof generator.bufferCopy);
    generator.index1 = 0;
    generator.index2 = 5;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(generator.BRandom(), 0u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Random number generator not initialized\n");
    EXPECT_EQ(draws(generator, 50), draws(next, 50));
}
