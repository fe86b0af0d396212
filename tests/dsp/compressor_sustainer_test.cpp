// CompressorSustainer: settled gains of both laws, half-life timing, the
// envelope carried across changes, stereo link, setter rules.
#include "dsp/compressor_sustainer.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testing_support;

namespace {

// A compressor with the given law, amount and times.
struct Compressor : CompressorSustainer {
    Compressor(int mode, double amount, double attack = 0.001, double release = 0.25) {
        SetParameters({true, mode, amount, attack, release});
    }
};

// Output over input after a long steady level.
double settledGain(CompressorSustainer& c, double level) {
    std::vector<double> x(20000, level);
    c.process(x.data(), 20000);
    return x.back() / level;
}

// The largest boost r of law 1 and its gain (1 + c) / (e + c), c = 1/(r - 1).
double lawOne(double amount, double e) {
    const double r = std::pow(10.0, (0.1 + 19.9 * amount) / 20.0);
    const double c = 1.0 / (r - 1.0);
    return (1.0 + c) / (e + c);
}

const CompressorStage& current(const CompressorSustainer& c) {
    return c.sets[c.fade.currentSet];
}

} // namespace

TEST(CompressorGain, LawOneLiftsQuietLevelsTowardsTheLargestBoost) {
    Compressor c(1, 1.0);
    EXPECT_NEAR(settledGain(c, 0.01), 9.17, 0.01); // 1.1111 / 0.1211
    for (double amount : {0.0, 0.3, 0.75}) {
        for (double level : {0.001, 0.05, 0.5, 0.999}) {
            Compressor d(1, amount);
            EXPECT_NEAR(settledGain(d, level), lawOne(amount, level), 1e-9)
                << amount << " " << level;
        }
    }
    EXPECT_NEAR(lawOne(0.0, 0.0), std::pow(10.0, 0.1 / 20.0), 1e-12); // r at amount 0: 1.01158
}

TEST(CompressorGain, LawZeroIsAPowerOfTheEnvelope) {
    for (double amount : {0.0, 0.4, 1.0}) {
        for (double level : {0.003, 0.2, 0.9}) {
            Compressor c(0, amount);
            EXPECT_NEAR(settledGain(c, level), std::pow(level, -0.5 * amount), 1e-9)
                << amount << " " << level;
        }
    }
}

TEST(CompressorGain, FullScaleAndAbovePassAtUnityAndSilenceStaysSilent) {
    for (int mode : {0, 1}) {
        Compressor c(mode, 1.0);
        std::vector<double> x(4000, 0.0);
        c.process(x.data(), 4000);
        for (double v : x)
            ASSERT_EQ(v, 0.0);
        EXPECT_EQ(current(c).envelope, 0.0);
        // A full-scale square wave keeps the envelope above 1.
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = (i / 50) % 2 ? -1.5 : 1.5;
        auto expected = x;
        c.process(x.data(), 4000);
        for (size_t i = 2000; i < x.size(); ++i)
            ASSERT_EQ(x[i], expected[i]) << mode;
    }
}

TEST(CompressorTiming, AttackAndReleaseAreHalfLivesOfTheEnvelope) {
    const double fs = 44100.0;
    Compressor c(1, 0.5, 0.01, 0.1);
    std::vector<double> x(441, 0.8);
    c.process(x.data(), 441); // 10 ms rising towards 0.8
    EXPECT_NEAR(current(c).envelope, 0.4, 0.002);
    x.assign(static_cast<size_t>(fs), 0.8);
    c.process(x.data(), static_cast<int>(fs));
    x.assign(4410, 0.0);
    c.process(x.data(), 4410); // 100 ms falling towards 0
    EXPECT_NEAR(current(c).envelope, 0.4, 0.002);

    Compressor defaults(1, 0.5);
    EXPECT_NEAR(current(defaults).attackCoefficient, 0.015595, 1e-6);
    EXPECT_NEAR(current(defaults).releaseCoefficient, 6.2869e-5, 1e-9);
}

TEST(CompressorTiming, ZeroTimesFollowTheDetectorInOneSample) {
    Compressor c(1, 0.5, 0.0, 0.0);
    double x = 0.3;
    c.process(&x, 1);
    EXPECT_EQ(current(c).envelope, 0.3);
    x = 0.1;
    c.process(&x, 1);
    EXPECT_EQ(current(c).envelope, 0.1);
}

// A change recomputes the coefficients but keeps the envelope: the fade moves
// from the old settled gain to the new one without a dip.
TEST(CompressorFade, ChangesKeepTheEnvelopeAndFadeBetweenSettledGains) {
    Compressor c(1, 0.5, 0.001, 0.01);
    const double level = 0.01;
    settledGain(c, 0.5); // the first block fades between the constructor's sets
    const double oldGain = settledGain(c, level);
    EXPECT_EQ(c.sets[0].envelope, c.sets[1].envelope); // the idle set followed
    c.SetParameter(2, 1.0);
    std::vector<double> x(3000, level);
    c.process(x.data(), 3000);
    const double newGain = lawOne(1.0, level);
    for (int i = 0; i <= 44; ++i)
        ASSERT_NEAR(x[i] / level, oldGain, 1e-9) << i; // 1 ms hold
    for (int i = 45; i < 3000; ++i) {
        ASSERT_GE(x[i] / level, oldGain - 1e-9) << i;
        ASSERT_LE(x[i] / level, newGain + 1e-9) << i;
        ASSERT_GE(x[i], x[i - 1] - 1e-15) << i;
    }
    EXPECT_NEAR(x[44 + 662] / level, 0.5 * (oldGain + newGain), 0.01);
    EXPECT_NEAR(x.back() / level, newGain, 1e-9);
}

TEST(CompressorStereo, TheLouderChannelDrivesOneGainForBoth) {
    Compressor stereo(1, 1.0);
    std::vector<double> left(6000, 1.2), right(6000, 0.01);
    stereo.process(left.data(), right.data(), 6000);
    EXPECT_EQ(left.back(), 1.2);
    EXPECT_EQ(right.back(), 0.01); // held at unity by the left channel

    // Equal channels behave like mono.
    Compressor mono(1, 0.7), linked(1, 0.7);
    auto a = noise(5000, 1), l = a, r = a;
    mono.process(a.data(), 5000);
    linked.process(l.data(), r.data(), 5000);
    EXPECT_EQ(l, a);
    EXPECT_EQ(r, a);
}

TEST(CompressorSetters, InvalidOrRepeatedValuesAreIgnoredWithoutAFade) {
    Compressor c(1, 0.5);
    settledGain(c, 0.1);
    EXPECT_FALSE(c.fade.dirty);
    for (double v : {-1.0, 2.0, 1.6, -0.6, kNaN})
        c.SetParameter(1, v);
    for (double v : {-0.1, 1.1, kNaN, kInfinity})
        c.SetParameter(2, v);
    for (int index : {3, 4})
        for (double v : {-0.001, kNaN, kInfinity})
            c.SetParameter(index, v);
    c.SetParameter(2, 0.5); // the present value
    c.SetParameter(5, 1.0);
    EXPECT_FALSE(c.fade.dirty);
    const auto p = c.GetParameters();
    EXPECT_EQ(p.mode, 1);
    EXPECT_EQ(p.amount, 0.5);
    EXPECT_EQ(p.attack, 0.001);
    EXPECT_EQ(p.release, 0.25);
    c.SetParameter(1, 0.4); // rounds to 0
    EXPECT_TRUE(c.fade.dirty);
    EXPECT_EQ(c.GetParameter(1), 0.0);
    for (double rate : {0.0, -1.0, kNaN, kInfinity})
        c.SetFs(rate);
    EXPECT_EQ(c.fs, 44100.0);
}

TEST(CompressorProcessing, SwitchingOffFadesToDryAndFreezesTheEnvelope) {
    Compressor c(1, 1.0);
    settledGain(c, 0.01);
    c.SetParameter(0, 0.0);
    std::vector<double> x(2000, 0.01);
    c.process(x.data(), 2000);
    EXPECT_EQ(x.back(), 0.01);
    EXPECT_FALSE(c.bypass.active);
    const double frozen = current(c).envelope;
    x.assign(2000, 0.5);
    c.process(x.data(), 2000);
    EXPECT_EQ(current(c).envelope, frozen);
}

TEST(CompressorProcessing, ANonFiniteSampleDoesNotPoisonLaterBlocksAndNothingIsAllocated) {
    Compressor c(1, 0.5);
    std::vector<double> x = noise(512, 2);
    const std::vector<double> clean = noise(512, 3);
    const std::vector<std::vector<double>> then{clean};
    const Process process = [&](double* p, int n) { c.process(p, n); };
    process(x.data(), 512);
    AllocationScope scope;
    for (double bad : {kNaN, kInfinity}) {
        ASSERT_TRUE(staysFiniteAfter(process, x, clean, 7, bad, then)) << bad;
        EXPECT_TRUE(std::isfinite(c.sets[c.fade.otherSet].envelope));
    }
    EXPECT_EQ(scope.count(), 0u);
}
