// CrossoverLR4: measured band responses, the flat sum, frequency and rate
// rules, the off state and the scratch-array overloads.
#include "dsp/crossover_lr4.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int settleSamples = 8192; // beyond the 31 ms coefficient fade at 192 kHz

void settle(CrossoverLR4& crossover) {
    std::vector<double> zeros(settleSamples, 0.0), low(settleSamples), high(settleSamples);
    crossover.process(zeros.data(), low.data(), high.data(), settleSamples);
}

struct Bands {
    std::vector<double> low, high;
};

// Impulse responses of both bands of a settled crossover.
Bands impulseResponses(CrossoverLR4& crossover, int length = 32768, int block = 512) {
    std::vector<double> in(static_cast<size_t>(length), 0.0);
    in[0] = 1.0;
    Bands bands{std::vector<double>(in.size()), std::vector<double>(in.size())};
    for (int start = 0; start < length; start += block)
        crossover.process(in.data() + start, bands.low.data() + start, bands.high.data() + start,
                          std::min(block, length - start));
    return bands;
}

struct Case {
    double fs;
    double frequency;
};

class CrossoverResponse : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(CrossoverResponse, BandsAreSixDecibelsDownAtTheCrossoverAndSumToAFlatAllPass) {
    const auto [fs, fc] = GetParam();
    CrossoverLR4 crossover;
    crossover.SetFs(fs);
    crossover.SetParameter(1, fc);
    settle(crossover);
    const Bands h = impulseResponses(crossover);
    const double sixDb = 20.0 * std::log10(0.5);
    EXPECT_NEAR(magnitudeDb(h.low, fc, fs), sixDb, 0.001);
    EXPECT_NEAR(magnitudeDb(h.high, fc, fs), sixDb, 0.001);
    // Fourth-order slopes: a decade away each band is about 80 dB down.
    EXPECT_LT(magnitudeDb(h.low, std::min(10.0 * fc, 0.49 * fs), fs), -40.0);
    EXPECT_LT(magnitudeDb(h.high, fc / 10.0, fs), -75.0);

    std::vector<double> sum(h.low.size());
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = h.low[i] + h.high[i];
    for (double f = 10.0; f < 0.5 * fs; f *= 1.25) {
        EXPECT_NEAR(magnitudeDb(sum, f, fs), 0.0, 0.001) << f;
        // In phase with each other (the high band is not inverted), checked
        // where neither band is down in the numerical noise.
        if (f > fc / 8.0 && f < fc * 8.0) {
            const auto ratio = responseAt(h.high, f, fs) / responseAt(h.low, f, fs);
            EXPECT_NEAR(std::arg(ratio), 0.0, 1e-6) << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, CrossoverResponse,
                         ::testing::Values(Case{44100.0, 1000.0}, Case{48000.0, 120.0},
                                           Case{96000.0, 5000.0}, Case{22050.0, 10000.0}),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return "At" + std::to_string(static_cast<int>(param.param.fs)) + "Hz" +
                                    std::to_string(static_cast<int>(param.param.frequency)) + "Hz";
                         });

TEST(CrossoverLR4, FrequencyMustLieInsideHalfTheRateAndFollowsALowerRate) {
    CrossoverLR4 crossover; // 1000 Hz at 44100 Hz as constructed
    for (double rejected : {0.0, -100.0, 22050.0, 30000.0, kNaN, kInfinity})
        crossover.SetParameter(1, rejected);
    EXPECT_EQ(crossover.GetParameter(1), 1000.0);
    crossover.SetParameter(1, 5000.0);
    crossover.SetParameter(2, 300.0); // no such index
    EXPECT_EQ(crossover.GetParameter(1), 5000.0);
    EXPECT_EQ(crossover.GetParameter(2), 0.0);

    crossover.SetFs(8000.0);
    EXPECT_EQ(crossover.GetParameter(1), 0.499 * 8000.0);
    for (const Filter* f :
         {&crossover.lowPass1, &crossover.lowPass2, &crossover.highPass1, &crossover.highPass2}) {
        EXPECT_EQ(f->fs, 8000.0);
        EXPECT_EQ(f->GetParameter(2), 0.499 * 8000.0);
    }
    settle(crossover);
    const Bands h = impulseResponses(crossover);
    EXPECT_NEAR(magnitudeDb(h.low, 3992.0, 8000.0), 20.0 * std::log10(0.5), 0.001);
    EXPECT_NEAR(magnitudeDb(h.high, 3992.0, 8000.0), 20.0 * std::log10(0.5), 0.001);

    for (double rejected : {0.0, -8000.0, kNaN})
        crossover.SetFs(rejected);
    EXPECT_EQ(crossover.fs, 8000.0);
    crossover.SetFs(48000.0); // a higher rate leaves the frequency where it is
    EXPECT_EQ(crossover.GetParameter(1), 3992.0);
}

TEST(CrossoverLR4, SwitchedOffBothBandsCarryTheInputBitForBitAfterTheFade) {
    CrossoverLR4 crossover;
    settle(crossover);
    crossover.SetParameter(0, 0.2);
    EXPECT_EQ(crossover.GetParameter(0), 0.0);
    const int n = 2048; // the 20 ms fade is 882 samples
    auto in = noise(n, 11);
    std::vector<double> low(n), high(n);
    crossover.process(in.data(), low.data(), high.data(), n);
    const auto input = in;
    EXPECT_EQ(in, input); // the input is never changed
    in = noise(n, 12);
    crossover.process(in.data(), low.data(), high.data(), n);
    EXPECT_EQ(low, in);
    EXPECT_EQ(high, in);

    // Back on (a NaN reads as on): the bands split again.
    crossover.SetParameter(0, kNaN);
    EXPECT_EQ(crossover.GetParameter(0), 1.0);
    settle(crossover);
    const Bands h = impulseResponses(crossover);
    EXPECT_NEAR(magnitudeDb(h.low, 1000.0, 44100.0), 20.0 * std::log10(0.5), 0.001);
}

TEST(CrossoverLR4, TheInputMayBeOneOfTheOutputs) {
    CrossoverLR4 separate, aliased;
    auto in = noise(3000, 13);
    std::vector<double> low(in.size()), high(in.size());
    separate.process(in.data(), low.data(), high.data(), 3000);
    auto shared = in;
    std::vector<double> otherHigh(in.size());
    aliased.process(shared.data(), shared.data(), otherHigh.data(), 3000);
    EXPECT_EQ(shared, low);
    EXPECT_EQ(otherHigh, high);
}

TEST(CrossoverLR4, ScratchOverloadsMatchTheEngineFormAndGrowWithoutShrinking) {
    CrossoverLR4 reference, mono, stereo;
    const int n = 100;
    auto left = noise(n, 14), right = noise(n, 15);
    std::vector<double> low(n), high(n), lowR(n), highR(n), gotLow(n), gotHigh(n);
    reference.process(left.data(), low.data(), high.data(), n);

    mono.process(left.data(), n);
    EXPECT_EQ(mono.count, n);
    EXPECT_EQ(mono.Capacity(), n);
    mono.get_lows(gotLow.data());
    mono.get_highs(gotHigh.data());
    EXPECT_EQ(gotLow, low);
    EXPECT_EQ(gotHigh, high);

    stereo.process(left.data(), right.data(), n);
    stereo.get_lows(gotLow.data(), lowR.data());
    stereo.get_highs(gotHigh.data(), highR.data());
    EXPECT_EQ(gotLow, low);
    EXPECT_EQ(gotHigh, high);
    CrossoverLR4 rightOnly;
    std::vector<double> expectLowR(n), expectHighR(n);
    rightOnly.process(right.data(), expectLowR.data(), expectHighR.data(), n);
    EXPECT_EQ(lowR, expectLowR);
    EXPECT_EQ(highR, expectHighR);

    for (const MonoBuffer* b :
         {&stereo.lowLeft, &stereo.lowRight, &stereo.highLeft, &stereo.highRight})
        EXPECT_EQ(b->capacity, n);
    stereo.process(left.data(), right.data(), 50);
    EXPECT_EQ(stereo.count, 50);
    for (const MonoBuffer* b :
         {&stereo.lowLeft, &stereo.lowRight, &stereo.highLeft, &stereo.highRight})
        EXPECT_EQ(b->capacity, n);
    stereo.process(left.data(), right.data(), -5); // nothing to split
    EXPECT_EQ(stereo.count, 0);
}

TEST(CrossoverLR4, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    CrossoverLR4 crossover;
    std::vector<double> low(2048), high(2048);
    const Process split = [&](double* in, int n) {
        crossover.process(in, low.data(), high.data(), n);
    };
    EXPECT_EQ(allocationsAfterWarmUp(
                  split,
                  [&] {
                      crossover.SetParameter(1, 300.0);
                      split(low.data(), 0);
                  },
                  [&] { crossover.SetParameter(0, 0.0); }),
              0u);
}
