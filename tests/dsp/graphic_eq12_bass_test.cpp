// GraphicEQ12Bass: measured band and level responses against the design,
// setter rules, the off state and the two chains.
#include "dsp/graphic_eq12_bass.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using namespace testing_support;

namespace {

constexpr double fs = 44100.0;
constexpr int settleSamples = 4096; // beyond the 31 ms coefficient fade

void settle(GraphicEQ12Bass& eq) {
    std::vector<double> zeros(settleSamples, 0.0);
    eq.process(zeros.data(), settleSamples);
}

std::vector<double> responseOf(GraphicEQ12Bass& eq) {
    settle(eq);
    return impulseResponse([&](double* x, int n) { eq.process(x, n); }, 65536, 1024);
}

// The analogue peaking prototype that the bilinear transform maps onto the
// band, prewarped at its centre: |H| in dB at f for centre f0, q and gain.
double designPeakDb(double f, double f0, double q, double gainDb) {
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w = std::tan(M_PI * f / fs) / std::tan(M_PI * f0 / fs);
    const std::complex<double> s(0.0, w);
    const auto h = (s * s + s * (A / q) + 1.0) / (s * s + s / (A * q) + 1.0);
    return toDecibels(std::abs(h));
}

} // namespace

TEST(GraphicEQ12Bass, IsOnAndFlatAfterConstruction) {
    GraphicEQ12Bass eq;
    EXPECT_EQ(eq.GetParameter(0), 1.0);
    for (int index = 1; index <= 13; ++index)
        EXPECT_EQ(eq.GetParameter(index), 0.0) << index;
    // Each filter's first block fades from its constructed default to its
    // stage's settings; once that has run the response is flat.
    settle(eq);
    auto x = noise(8192, 31);
    const auto input = x;
    eq.process(x.data(), 8192);
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(x[i], input[i], 1e-12) << i;
}

TEST(GraphicEQ12Bass, BandFourRaisesOneHundredHertzWithTheBandwidthOfQHalf) {
    GraphicEQ12Bass eq;
    eq.SetParameter(4, 12.0);
    const auto h = responseOf(eq);
    EXPECT_NEAR(magnitudeDb(h, 100.0, fs), 12.0, 0.01);
    for (double f : {20.0, 40.0, 70.0, 140.0, 250.0, 500.0, 1000.0})
        EXPECT_NEAR(magnitudeDb(h, f, fs), designPeakDb(f, 100.0, 0.5, 12.0), 0.01) << f;
    // Half the gain (in dB) about 2.54 octaves apart, as q 0.5 gives.
    const double halfWidth = std::asinh(1.0) / std::log(2.0); // octaves either side
    EXPECT_NEAR(magnitudeDb(h, 100.0 * std::pow(2.0, halfWidth), fs), 6.0, 0.1);
    EXPECT_NEAR(magnitudeDb(h, 100.0 * std::pow(2.0, -halfWidth), fs), 6.0, 0.1);
    for (double f : {5000.0, 10000.0, 20000.0})
        EXPECT_NEAR(magnitudeDb(h, f, fs), 0.0, 0.05) << f;
    for (int k = 0; k < 13; ++k) {
        if (k == 3) continue;
        EXPECT_EQ(eq.stages[k].left.GetParameter(4), 0.0) << k;
        EXPECT_FALSE(eq.stages[k].left.fade.dirty) << k;
    }
}

TEST(GraphicEQ12Bass, LevelStageScalesTheWholeOutput) {
    GraphicEQ12Bass eq;
    eq.SetParameter(13, -6.0);
    const auto h = responseOf(eq);
    for (double f : {30.0, 1000.0, 15000.0, 21000.0})
        EXPECT_NEAR(magnitudeDb(h, f, fs), -6.0, 1e-6) << f;
    EXPECT_NEAR(h[0], std::pow(10.0, -6.0 / 20.0), 1e-12);
}

TEST(GraphicEQ12Bass, SettersStoreNewGainsInBothChainsAndIgnoreTheRest) {
    GraphicEQ12Bass eq;
    settle(eq);
    eq.SetParameter(7, 0.0); // unchanged: no fade
    EXPECT_FALSE(eq.stages[6].left.fade.dirty);
    eq.SetParameter(7, 40.0);
    EXPECT_EQ(eq.GetParameter(7), 40.0);
    EXPECT_EQ(eq.stages[6].left.GetParameter(4), 40.0);
    EXPECT_EQ(eq.stages[6].right.GetParameter(4), 40.0);
    for (double refused : {kNaN, kInfinity, -kInfinity, 1e9})
        eq.SetParameter(7, refused);
    EXPECT_EQ(eq.GetParameter(7), 40.0);
    EXPECT_EQ(eq.stages[6].right.GetParameter(4), 40.0);
    eq.SetParameter(14, 3.0);
    eq.SetParameter(-1, 3.0);
    EXPECT_EQ(eq.GetParameter(14), 0.0);
    EXPECT_EQ(eq.GetParameter(-1), 0.0);

    GraphicEQ12BassParameters p = eq.GetParameters();
    p.values[0] = -3.0;
    p.values[12] = 2.0;
    eq.SetParameters(p);
    EXPECT_EQ(eq.stages[0].right.GetParameter(4), -3.0);
    EXPECT_EQ(eq.stages[12].right.GetParameter(4), 2.0);
    EXPECT_EQ(eq.GetParameters().values[6], 40.0);
}

TEST(GraphicEQ12Bass, SwitchedOffItLeavesTheBlockUntouchedAndSwitchesBackOn) {
    GraphicEQ12Bass eq;
    eq.SetParameter(2, 9.0);
    settle(eq);
    eq.SetParameter(0, 0.0);
    EXPECT_EQ(eq.GetParameter(0), 0.0);
    std::vector<double> x = noise(1000, 32); // the 20 ms fade is 882 samples
    eq.process(x.data(), 1000);
    EXPECT_FALSE(eq.bypass.active);
    x = noise(1000, 33);
    const auto input = x;
    eq.process(x.data(), 1000);
    EXPECT_EQ(x, input);

    eq.SetParameter(0, 0.7);
    EXPECT_EQ(eq.GetParameter(0), 1.0);
    const auto h = responseOf(eq);
    EXPECT_NEAR(magnitudeDb(h, 40.0, fs), 9.0, 0.01);
}

TEST(GraphicEQ12Bass, StereoRunsTheRightChainLikeTheLeft) {
    GraphicEQ12Bass mono, stereo;
    for (GraphicEQ12Bass* eq : {&mono, &stereo}) {
        eq->SetParameter(5, 6.0);
        eq->SetParameter(10, -4.0);
        eq->SetParameter(13, -1.0);
    }
    const int n = 5000;
    auto left = noise(n, 34), right = noise(n, 35);
    stereo.process(left.data(), right.data(), n);
    auto expectLeft = noise(n, 34);
    mono.process(expectLeft.data(), n);
    EXPECT_EQ(left, expectLeft);
    GraphicEQ12Bass monoRight;
    monoRight.SetParameters(mono.GetParameters());
    auto expectRight = noise(n, 35);
    monoRight.process(expectRight.data(), n);
    EXPECT_EQ(right, expectRight);
}

TEST(GraphicEQ12Bass, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    GraphicEQ12Bass eq;
    EXPECT_EQ(allocationsAfterWarmUp([&](double* x, int n) { eq.process(x, n); },
                                     [&] { eq.SetParameter(3, 5.0); },
                                     [&] { eq.SetParameter(0, 0.0); }),
              0u);
}
