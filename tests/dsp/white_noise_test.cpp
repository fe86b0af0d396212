// WhiteNoise: the seeded sequence, levels, the off state and allocation.
#include "dsp/white_noise.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testing_support;

namespace {

// The noise a fresh WhiteNoise adds at `level`, from a generator of its own.
std::vector<double> expectedNoise(const std::vector<double>& input, double level) {
    TRanrotWGenerator generator(1);
    std::vector<double> out(input.size());
    for (size_t i = 0; i < input.size(); ++i)
        out[i] = static_cast<double>(input[i] + (generator.Random() - 0.5L) * (2.0 * level));
    return out;
}

} // namespace

TEST(WhiteNoise, AddsTheSeededSequenceAtItsLevel) {
    WhiteNoise noiseBlock;
    EXPECT_EQ(noiseBlock.GetParameter(0), 1.0);
    EXPECT_EQ(noiseBlock.GetParameter(1), 1.0);
    noiseBlock.SetParameter(1, 0.25);
    std::vector<double> silent(4096, 0.0);
    auto x = silent;
    noiseBlock.process(x.data(), 4096);
    EXPECT_DOUBLE_EQ(x[0], (0.38295560106238247 - 0.5) * 2 * 0.25);
    EXPECT_EQ(x, expectedNoise(silent, 0.25));
    EXPECT_GE(*std::min_element(x.begin(), x.end()), -0.25);
    EXPECT_LT(*std::max_element(x.begin(), x.end()), 0.25);
    EXPECT_NEAR(rms(x), 0.25 / std::sqrt(3.0), 0.01);

    WhiteNoise withSignal;
    auto signal = sine(110.0, 44100.0, 4096, 0.5);
    auto y = signal;
    withSignal.process(y.data(), 4096);
    EXPECT_EQ(y, expectedNoise(signal, 1.0));
}

TEST(WhiteNoise, TwoInstancesGiveTheSameSequenceWhateverTheBlockSize) {
    WhiteNoise first, second;
    std::vector<double> a(5000, 0.0), b(5000, 0.0);
    first.process(a.data(), 5000);
    processInBlocks([&](double* p, int n) { second.process(p, n); }, b, 37);
    EXPECT_EQ(a, b);
}

TEST(WhiteNoise, LevelsInDecibelsAndSignsAreAcceptedAndNonFiniteOnesRefused) {
    WhiteNoise noiseBlock;
    noiseBlock.SetParameter(3, -150.0);
    EXPECT_NEAR(noiseBlock.GetParameter(1), 3.1623e-8, 1e-12);
    EXPECT_EQ(noiseBlock.GetParameter(3), 0.0);
    noiseBlock.SetParameter(2, 0.5); // not used
    EXPECT_NEAR(noiseBlock.GetParameter(1), 3.1623e-8, 1e-12);
    for (double refused : {kNaN, kInfinity, -kInfinity})
        noiseBlock.SetParameter(1, refused);
    for (double refused : {kNaN, 1e6})
        noiseBlock.SetParameter(3, refused);
    EXPECT_NEAR(noiseBlock.GetParameter(1), 3.1623e-8, 1e-12);

    WhiteNoise positive, negative;
    negative.SetParameter(1, -1.0);
    std::vector<double> p(256, 0.0), n(256, 0.0);
    positive.process(p.data(), 256);
    negative.process(n.data(), 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(n[i], -p[i]);
}

TEST(WhiteNoise, OffAndSettledItLeavesTheBlockAndTheGeneratorAlone) {
    WhiteNoise noiseBlock;
    noiseBlock.SetParameter(0, 0.0);
    EXPECT_EQ(noiseBlock.GetParameter(0), 0.0);
    std::vector<double> x(1000, 0.5); // the 20 ms fade is 882 samples
    noiseBlock.process(x.data(), 1000);
    EXPECT_EQ(x[999], 0.5);
    EXPECT_FALSE(noiseBlock.bypass.active);

    const int index = noiseBlock.generator->index1;
    x = noise(512, 41);
    const auto input = x;
    noiseBlock.process(x.data(), 512);
    noiseBlock.output(x.data(), 512);
    EXPECT_EQ(x, input);
    EXPECT_EQ(noiseBlock.generator->index1, index); // nothing drawn

    noiseBlock.SetParameter(0, kNaN); // on
    EXPECT_EQ(noiseBlock.GetParameter(0), 1.0);
    std::vector<double> silent(2000, 0.0);
    noiseBlock.process(silent.data(), 2000);
    EXPECT_GT(rms(silent.data() + 1000, 1000), 0.5);
}

TEST(WhiteNoise, OutputReplacesTheBlockByTheSameNoise) {
    WhiteNoise replacing;
    auto x = noise(3000, 42);
    replacing.output(x.data(), 3000);
    EXPECT_EQ(x, expectedNoise(std::vector<double>(3000, 0.0), 1.0));
}

TEST(WhiteNoise, EverySampleIsTheExtendedPrecisionSumRoundedOnceToDouble) {
    // Levels from subnormal to overflowing (2 level is infinite for the
    // largest), with inputs of zero, near one (where the rounding of the
    // extended sum to double decides the last bit) and near the level.
    const double levels[] = {
        0.25,  3.1622776601683794e-08, 1.2345 * 0x1p-53, -0.37, 1e-300, 4.9e-324,
        1e300, 1.7976931348623157e308};
    for (double level : levels) {
        WhiteNoise adding, replacing;
        adding.SetParameter(1, level);
        replacing.SetParameter(1, level);
        auto input = noise(3000, 43);
        for (size_t i = 0; i < input.size(); ++i)
            input[i] = i % 3 == 0 ? 0.0 : i % 3 == 1 ? 1.0 + input[i] : level * input[i];
        auto x = input;
        processInBlocks([&](double* p, int n) { adding.process(p, n); }, x, 61);
        EXPECT_EQ(x, expectedNoise(input, level)) << "level " << level;
        std::vector<double> y(3000);
        replacing.output(y.data(), 3000);
        EXPECT_EQ(y, expectedNoise(std::vector<double>(3000, 0.0), level)) << "level " << level;
    }
}

TEST(WhiteNoise, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    WhiteNoise noiseBlock;
    EXPECT_EQ(allocationsAfterWarmUp([&](double* x, int n) { noiseBlock.process(x, n); }, {},
                                     [&] { noiseBlock.SetParameter(0, 0.0); }),
              0u);
}
