// SoftBypass fades and MonoBuffer storage.
#include "dsp/filter.h"
#include "dsp/soft_bypass.h"
#include "support/allocation_counter.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::AllocationScope;
using testing_support::kInfinity;
using testing_support::kNaN;

namespace {
// Runs one block through the bypass as an owner that outputs silence and
// sends `dry` as its dry copy: the result is (1 - wetGain) x dry.
std::vector<double> mixSilenceWith(SoftBypass& bypass, const std::vector<double>& dry) {
    const int n = static_cast<int>(dry.size());
    std::vector<double> out(dry.size(), 0.0);
    bypass.senddry(dry.data(), n);
    bypass.process(out.data(), n);
    return out;
}
} // namespace

TEST(SoftBypass, ANewBypassSettlesOnAtItsFirstSample) {
    SoftBypass bypass;
    EXPECT_TRUE(bypass.active);
    EXPECT_TRUE(bypass.fading);
    std::vector<double> x = {0.25, -0.5, 0.75};
    const auto expected = x;
    bypass.senddry(x.data(), 3);
    bypass.process(x.data(), 3);
    EXPECT_EQ(x, expected);
    EXPECT_FALSE(bypass.fading);
    EXPECT_EQ(bypass.wetGain, 1.0);
}

TEST(SoftBypass, SwitchingOffFadesOverEightHundredEightyTwoSamplesAt44100) {
    SoftBypass bypass;
    mixSilenceWith(bypass, std::vector<double>(4, 1.0));
    bypass.SetState(0.0);
    EXPECT_TRUE(bypass.active);
    const auto out = mixSilenceWith(bypass, std::vector<double>(1000, 1.0));
    // The gain moves before each sample is mixed.
    EXPECT_NEAR(out[0], 1.0 / 882.0, 1e-12);
    EXPECT_NEAR(out[440], 441.0 / 882.0, 1e-12);
    EXPECT_NEAR(out[880], 881.0 / 882.0, 1e-12);
    EXPECT_EQ(out[882], 1.0);
    EXPECT_EQ(out[999], 1.0);
    EXPECT_FALSE(bypass.active);
    EXPECT_FALSE(bypass.fading);
    EXPECT_EQ(bypass.GetState(), 0.0);
}

TEST(SoftBypass, ANewRequestMidFadeTurnsBackFromThePresentGain) {
    SoftBypass bypass;
    mixSilenceWith(bypass, std::vector<double>(4, 1.0));
    bypass.SetState(0.0);
    mixSilenceWith(bypass, std::vector<double>(441, 1.0));
    EXPECT_NEAR(bypass.wetGain, 0.5, 1e-12);
    bypass.SetState(1.0);
    const auto out = mixSilenceWith(bypass, std::vector<double>(500, 1.0));
    EXPECT_NEAR(out[0], 1.0 - (0.5 + 1.0 / 882.0), 1e-12);
    EXPECT_EQ(out[499], 0.0);
    EXPECT_TRUE(bypass.active);
    EXPECT_FALSE(bypass.fading);
}

TEST(SoftBypass, ARepeatedRequestChangesNothing) {
    SoftBypass bypass;
    mixSilenceWith(bypass, std::vector<double>(4, 1.0));
    bypass.SetState(1.0);
    EXPECT_FALSE(bypass.fading);
    bypass.SetState(kNaN); // NaN reads as on
    EXPECT_FALSE(bypass.fading);
}

TEST(SoftBypass, AnOwnerWithoutADryCopyFadesToSilence) {
    SoftBypass bypass;
    bypass.SetState(0.0);
    std::vector<double> x(1000, 1.0);
    bypass.process(x.data(), 1000);
    EXPECT_NEAR(x[0], 1.0 - 1.0 / 882.0, 1e-12);
    EXPECT_EQ(x[900], 0.0);
    EXPECT_FALSE(bypass.active);
}

TEST(SoftBypass, ABlockLengthChangeDuringAFadeUsesTheNewBlocksDryCopy) {
    SoftBypass bypass;
    mixSilenceWith(bypass, std::vector<double>(64, 1.0));
    bypass.SetState(0.0);
    mixSilenceWith(bypass, std::vector<double>(64, 1.0));
    const auto out = mixSilenceWith(bypass, std::vector<double>(100, 2.0));
    EXPECT_NEAR(out[0], 2.0 * 65.0 / 882.0, 1e-12);
    EXPECT_NEAR(out[99], 2.0 * 164.0 / 882.0, 1e-12);
}

TEST(SoftBypass, OffAndSettledWithoutFadeReplacesTheBlockByTheDryCopy) {
    SoftBypass bypass;
    bypass.state = 0;
    bypass.fading = false; // (0, false, true): not reachable through SetState
    const auto out = mixSilenceWith(bypass, {0.1, 0.2, 0.3});
    EXPECT_EQ(out, (std::vector<double>{0.1, 0.2, 0.3}));
}

TEST(SoftBypass, RateChangesSetTheFadeLengthAndIgnoreNegativeOrNaNRates) {
    SoftBypass bypass;
    bypass.SetFs(96000.0);
    EXPECT_DOUBLE_EQ(bypass.step, 1.0 / 1920.0);
    bypass.SetFs(-1.0);
    bypass.SetFs(kNaN);
    EXPECT_EQ(bypass.fs, 96000.0);
    bypass.SetFs(0.0); // accepted: the next fade ends at once
    EXPECT_TRUE(std::isinf(bypass.step));
    mixSilenceWith(bypass, std::vector<double>(4, 1.0));
    bypass.SetState(0.0);
    const auto out = mixSilenceWith(bypass, std::vector<double>(3, 1.0));
    EXPECT_EQ(out, (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_FALSE(bypass.active);
}

TEST(SoftBypass, ASwitchedOffOwnerPassesItsInputBitForBit) {
    Filter filter;
    filter.SetParameters({true, FilterType::LowPass, 200.0, 0.7071, 0.0});
    auto x = testing_support::noise(4096, 1);
    filter.process(x.data(), 4096);
    filter.SetParameter(0, 0.0);
    x = testing_support::noise(1000, 2);
    filter.process(x.data(), 1000);
    EXPECT_FALSE(filter.bypass.active);
    const auto input = testing_support::noise(512, 3);
    auto y = input;
    filter.process(y.data(), 512);
    EXPECT_EQ(y, input);
}

TEST(SoftBypass, AfterWarmUpAtTheLargestBlockNothingIsAllocated) {
    SoftBypass bypass;
    std::vector<double> x(1024, 0.5);
    bypass.senddry(x.data(), x.data(), 1024);
    bypass.process(x.data(), x.data(), 1024);
    AllocationScope scope;
    for (int n : {512, 1, 1024, 300}) {
        bypass.SetState(n % 2 == 0 ? 0.0 : 1.0);
        bypass.senddry(x.data(), x.data(), n);
        bypass.process(x.data(), x.data(), n);
    }
    EXPECT_EQ(scope.count(), 0u);
}

TEST(MonoBuffer, StartsWithOneZero) {
    MonoBuffer buffer;
    EXPECT_EQ(buffer.size, 1);
    EXPECT_EQ(buffer.data[0], 0.0);
}

TEST(MonoBuffer, AChangeOfLengthZeroesAndTheSameLengthKeepsTheContents) {
    MonoBuffer buffer;
    const double src[4] = {1, 2, 3, 4};
    buffer.Set(src, 4);
    buffer.Resize(4);
    EXPECT_EQ(buffer.data[3], 4.0);
    buffer.Resize(2);
    EXPECT_EQ(buffer.size, 2);
    EXPECT_EQ(buffer.data[0], 0.0);
    EXPECT_EQ(buffer.data[1], 0.0);
}

TEST(MonoBuffer, SizedOperationsOnANewLengthWorkOnZeros) {
    MonoBuffer buffer;
    const double src[3] = {1, 2, 3};
    buffer.Set(src, 3);
    buffer.Add(src, 2);
    EXPECT_EQ(buffer.data[0], 1.0);
    EXPECT_EQ(buffer.data[1], 2.0);
    double out[5] = {9, 9, 9, 9, 9};
    buffer.Get(out, 5);
    for (double v : out)
        EXPECT_EQ(v, 0.0);
}

TEST(MonoBuffer, ElementwiseOperations) {
    MonoBuffer buffer;
    const double a[3] = {1, -2, 0.0};
    const double b[3] = {2, 3, 4};
    buffer.Set(a, 3);
    buffer.Scale(2.0);
    buffer.Shift(1.0);
    EXPECT_EQ(buffer.data[1], -3.0);
    buffer.Multiply(b);
    buffer.Subtract(b);
    EXPECT_EQ(buffer.data[0], 4.0);   // (2+1)*2-2
    EXPECT_EQ(buffer.data[1], -12.0); // (-4+1)*3-3
    buffer.SetInverted(a);
    double out[3];
    buffer.GetInverted(out);
    EXPECT_EQ(out[0], 1.0);
    EXPECT_FALSE(std::signbit(out[2])); // -(-0.0)
    buffer.Clear();
    EXPECT_EQ(buffer.data[1], 0.0);
}

TEST(MonoBuffer, StorageOnlyGrows) {
    MonoBuffer buffer;
    buffer.Resize(1024);
    const double* storage = buffer.data;
    AllocationScope scope;
    buffer.Resize(16);
    buffer.Resize(1024);
    buffer.Resize(333);
    EXPECT_EQ(scope.count(), 0u);
    EXPECT_EQ(buffer.data, storage);
}
