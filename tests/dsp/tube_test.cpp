// Tube: the curve against the soft clipper it is built from, the exactly
// solved feedback loop against a brute-force solve, small-signal responses,
// setter rules and fades.
#include "dsp/tube.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

// The unshifted soft clipper with its linear part lo..hi.
double softClip(double v, double knee, double asymmetry) {
    const double c = (1.0 - knee) * asymmetry;
    const double lo = c - knee, hi = c + knee;
    if (v < lo) return (v + lo * lo) / (1.0 + 2.0 * lo - v);
    if (v > hi) return (v - hi * hi) / (1.0 - 2.0 * hi + v);
    return v;
}

// Largest root of a decreasing function between lo and hi, by bisection.
template <class F> double bisect(F f, double lo, double hi) {
    for (int i = 0; i < 400 && lo < hi; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid == lo || mid == hi) break;
        (f(mid) > 0.0 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// Runs the first fade (constructor or setting change) out on silence.
void settle(Tube& tube, int samples = 20000) {
    std::vector<double> zeros(static_cast<size_t>(samples), 0.0);
    tube.process(zeros.data(), samples);
}

double processOne(Tube& tube, double x) {
    tube.process(&x, 1);
    return x;
}

} // namespace

TEST(TubeCurve, IsTheSoftClipperMovedSoThatZeroGivesZeroAtTheBiasPoint) {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0), symmetric(-1.0, 1.0);
    for (int trial = 0; trial < 200; ++trial) {
        TubeParameters p;
        p.gain = 1.0;
        p.invert = trial % 2 == 0;
        p.knee = trial < 5 ? 0.0 : unit(random);
        p.asymmetry = trial < 5 ? 0.5 : symmetric(random);
        p.bias = 0.98 * symmetric(random);
        Tube tube;
        tube.SetParameters(p);
        // h(u) = f(u + e) with f(e) = bias; the stage output is h - bias.
        const double e =
            bisect([&](double v) { return p.bias - softClip(v, p.knee, p.asymmetry); }, -1e3, 1e3);
        const double sign = p.invert ? -1.0 : 1.0;
        EXPECT_NEAR(tube.Function(0.0), 0.0, 1e-12) << trial;
        for (double u : {-50.0, -2.0, -0.7, -0.3, -0.01, 0.02, 0.4, 0.9, 3.0, 70.0}) {
            const double expected = sign * (softClip(u + e, p.knee, p.asymmetry) - p.bias);
            ASSERT_NEAR(tube.Function(u), expected, 1e-9) << trial << " at " << u;
        }
        EXPECT_NEAR(tube.Function(1e9), sign * (1.0 - p.bias), 1e-6);
        EXPECT_NEAR(tube.Function(-1e9), sign * (-1.0 - p.bias), 1e-6);
    }
}

TEST(TubeCurve, GainScalesTheInputAndTheSignIsTurnedWhenInverted) {
    Tube tube;
    tube.SetParameters({true, 1.0, false, 0.5, 0.2, 0.1, false, -6.0, 1000.0});
    const double unscaled = tube.Function(0.6);
    tube.SetParameter(1, 3.0);
    EXPECT_DOUBLE_EQ(tube.Function(0.2), unscaled);
    tube.SetParameter(2, 1.0);
    EXPECT_DOUBLE_EQ(tube.Function(0.2), -unscaled);
}

// Every sample of the loop lp = P + b z, z = h(gain (x - beta lp)) - bias,
// with P = a lp[n-1] + b z[n-1], against bisection on the loop equation.
TEST(TubeFeedback, SolvesTheLoopExactlyForRandomSettingsAndInputs) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0), symmetric(-1.0, 1.0);
    int segments[3] = {0, 0, 0};
    for (int trial = 0; trial < 40; ++trial) {
        TubeParameters p;
        p.gain = std::pow(10.0, 3.0 * unit(random)); // 1 .. 1000
        p.invert = trial % 3 == 0;
        p.knee = unit(random);
        p.asymmetry = symmetric(random);
        p.bias = 0.9 * symmetric(random);
        p.feedbackGain = -30.0 * unit(random) - 0.1;
        p.feedbackFrequency = 20.0 + 10000.0 * unit(random);
        Tube tube;
        tube.SetParameters(p);
        settle(tube);
        const double a = (1.0 - M_PI * p.feedbackFrequency / 44100.0) /
                         (1.0 + M_PI * p.feedbackFrequency / 44100.0);
        const double b = (1.0 - a) / 2.0;
        const double beta = 1.0 / (p.gain * std::pow(10.0, p.feedbackGain / 20.0)) - 1.0 / p.gain;
        const double sign = p.invert ? -1.0 : 1.0;
        const TubeStage& s = tube.sets[tube.fade.currentSet];
        for (int i = 0; i < 400; ++i) {
            const double scale = std::pow(10.0, 3.0 * unit(random) - 3.5) / p.gain;
            const double x = scale * symmetric(random);
            const double P = a * s.lp + b * s.z;
            const auto z = [&](double lp) { return sign * tube.Function(x - beta * lp); };
            const double expected = bisect([&](double lp) { return P + b * z(lp) - lp; },
                                           P - 2.0 * b - 1.0, P + 2.0 * b + 1.0);
            const double y = processOne(tube, x);
            ASSERT_NEAR(s.lp, expected, 1e-10 * (1.0 + std::fabs(expected)))
                << "trial " << trial << " sample " << i;
            ASSERT_NEAR(y, sign * z(s.lp), 1e-9) << "trial " << trial << " sample " << i;
            const double u = p.gain * (x - beta * s.lp);
            ++segments[u < s.lowerJoint ? 0 : u > s.upperJoint ? 2 : 1];
        }
    }
    for (int count : segments)
        EXPECT_GT(count, 500); // every segment of the solution was exercised
}

// In the linear part the stage is -gain / (1 + k L(z)), L the feedback low-pass
// b (1 + z^-1) / (1 - a z^-1) and k = 10^(-feedbackGain/20) - 1.
TEST(TubeFeedback, SmallSignalResponseIsTheClosedLoopOfTheLowPass) {
    for (double fs : {44100.0, 192000.0}) {
        Tube tube;
        tube.SetFs(fs);
        settle(tube);
        const double amplitude = 1e-5;
        std::vector<double> h(16384, 0.0);
        h[0] = amplitude;
        tube.process(h.data(), static_cast<int>(h.size()));
        for (double& v : h)
            v /= amplitude;
        const double w0 = M_PI * 1000.0 / fs;
        const double a = (1.0 - w0) / (1.0 + w0), b = w0 / (1.0 + w0);
        const double k = std::pow(10.0, 6.0 / 20.0) - 1.0;
        for (double f : {5.0, 300.0, 1000.0, 5000.0, 0.45 * fs}) {
            const std::complex<double> zi = std::polar(1.0, -2.0 * M_PI * f / fs);
            const std::complex<double> loop = b * (1.0 + zi) / (1.0 - a * zi);
            const std::complex<double> expected = -50.0 / (1.0 + k * loop);
            EXPECT_LT(std::abs(responseAt(h, f, fs) - expected), 1e-6 * std::abs(expected))
                << fs << " Hz, at " << f;
        }
        EXPECT_NEAR(std::abs(responseAt(h, 5.0, fs)), 25.06, 0.01);
        EXPECT_GT(std::abs(responseAt(h, 0.45 * fs, fs)), 49.9);
    }
}

TEST(TubeFeedback, LargeInputsApproachTheAsymptotesAndZeroStaysZeroForAnyBias) {
    for (double bias : {-0.6, 0.0, 0.3, 0.95}) {
        for (bool feedback : {false, true}) {
            Tube tube;
            tube.SetParameters({true, 50.0, true, 0.9, 0.4, bias, feedback, -6.0, 1000.0});
            std::vector<double> zeros(3000, 0.0);
            tube.process(zeros.data(), 3000);
            for (double v : zeros)
                ASSERT_NEAR(v, 0.0, 1e-12) << bias << " " << feedback;
            std::vector<double> up(3000, 1e4), down(3000, -1e4);
            tube.process(up.data(), 3000);
            tube.process(down.data(), 3000);
            EXPECT_NEAR(up.back(), bias - 1.0, 1e-3) << bias << " " << feedback;
            EXPECT_NEAR(down.back(), bias + 1.0, 1e-3) << bias << " " << feedback;
        }
    }
}

TEST(TubeFeedback, ZeroGainGivesSilenceThroughTheLinearSolution) {
    Tube tube;
    tube.SetParameters({true, 0.0, false, 0.5, 0.0, 0.3, true, -6.0, 1000.0});
    auto x = noise(3000, 3);
    tube.process(x.data(), 3000);
    for (size_t i = 1000; i < x.size(); ++i)
        ASSERT_NEAR(x[i], 0.0, 1e-15);
    EXPECT_EQ(tube.sets[tube.fade.currentSet].lowerLimit, 1e100);

    // A subnormal drive would make the feedback factor infinite; the loop then
    // runs without feedback instead of turning every sample into NaN.
    tube.SetParameter(1, 1e-310);
    x = noise(3000, 4);
    tube.process(x.data(), 3000);
    for (double v : x)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(tube.sets[tube.fade.currentSet].beta, 0.0);
}

TEST(TubeSetters, GainSignSetsInvertAndTheDecibelIndexLeavesItAlone) {
    Tube tube;
    tube.SetParameter(2, 0.0);
    tube.SetParameter(1, -20.0);
    EXPECT_EQ(tube.GetParameter(1), 20.0);
    EXPECT_EQ(tube.GetParameter(2), 1.0);
    tube.SetParameter(2, 0.0);
    tube.SetParameter(1, -20.0); // differs from the stored 20 before the sign goes
    EXPECT_EQ(tube.GetParameter(2), 1.0);
    tube.SetParameter(1, 20.0); // equal: ignored, invert stays
    EXPECT_EQ(tube.GetParameter(2), 1.0);
    tube.SetParameter(2, 0.0);
    tube.SetParameter(9, 34.0);
    EXPECT_NEAR(tube.GetParameter(1), 50.12, 0.01);
    EXPECT_NEAR(tube.GetParameter(9), 34.0, 1e-12);
    EXPECT_EQ(tube.GetParameter(2), 0.0);
}

TEST(TubeSetters, OutOfRangeAndNonFiniteValuesAreIgnored) {
    Tube tube;
    settle(tube);
    const TubeParameters before = tube.GetParameters();
    for (double v : {kNaN, kInfinity, -kInfinity, 2e6, -2e6})
        tube.SetParameter(1, v);
    for (double v : {kNaN, kInfinity, 121.0})
        tube.SetParameter(9, v);
    for (double v : {1.5, -0.1, kNaN})
        tube.SetParameter(3, v);
    for (double v : {1.01, -1.01, kNaN})
        tube.SetParameter(4, v);
    for (double v : {1.0, -1.0, kNaN})
        tube.SetParameter(5, v);
    for (double v : {0.0, 3.0, -401.0, -kInfinity, kNaN})
        tube.SetParameter(7, v);
    for (double v : {0.0, -5.0, 22050.0, kInfinity, kNaN})
        tube.SetParameter(8, v);
    tube.SetParameter(2, kNaN);
    tube.SetParameter(6, kNaN);
    tube.SetParameter(2, 1.0); // the present state
    tube.SetParameter(10, 3.0);
    const TubeParameters after = tube.GetParameters();
    EXPECT_EQ(after.gain, before.gain);
    EXPECT_EQ(after.invert, before.invert);
    EXPECT_EQ(after.knee, before.knee);
    EXPECT_EQ(after.asymmetry, before.asymmetry);
    EXPECT_EQ(after.bias, before.bias);
    EXPECT_EQ(after.feedback, before.feedback);
    EXPECT_EQ(after.feedbackGain, before.feedbackGain);
    EXPECT_EQ(after.feedbackFrequency, before.feedbackFrequency);
    EXPECT_FALSE(tube.fade.dirty);
    for (double rate : {0.0, -1.0, kNaN, kInfinity, 44100.0})
        tube.SetFs(rate);
    EXPECT_FALSE(tube.fade.dirty);
}

TEST(TubeSetters, ARateChangePullsTheFeedbackCornerBelowHalfTheRate) {
    Tube tube;
    tube.SetParameter(8, 20000.0);
    tube.SetFs(32000.0);
    EXPECT_DOUBLE_EQ(tube.GetParameter(8), 15968.0);
    EXPECT_DOUBLE_EQ(tube.fade.fadeStep, 1.0 / (0.02 * 32000.0));
}

TEST(TubeFades, SwitchingPolarityOrFeedbackFadesOverTwentyOneMilliseconds) {
    for (int index : {2, 6}) {
        Tube tube;
        tube.SetParameters({true, 1.0, false, 0.9, 0.0, 0.0, false, -6.0, 1000.0});
        settle(tube);
        std::vector<double> x(2000, 0.01);
        tube.process(x.data(), 2000);
        const double before = x.back();
        tube.SetParameter(index, 1.0);
        x.assign(2000, 0.01);
        tube.process(x.data(), 2000);
        for (int i = 0; i <= 44; ++i)
            ASSERT_EQ(x[i], before) << index << " " << i; // 1 ms hold
        const double after = x.back();
        EXPECT_NE(after, before);
        // Linear between, halfway at the middle of the 20 ms fade, done by 21 ms.
        EXPECT_NEAR(x[44 + 441], 0.5 * (before + after), 0.01 * std::fabs(after - before));
        EXPECT_EQ(x[927], after);
    }
}

TEST(TubeProcessing, OutputDoesNotDependOnTheBlockSize) {
    auto run = [](int block) {
        Tube tube;
        auto x = noise(6000, 11);
        for (double& v : x)
            v *= 0.05;
        processInBlocks([&](double* p, int n) { tube.process(p, n); }, x, block);
        return x;
    };
    const auto reference = run(6000);
    for (int block : {1, 13, 256})
        EXPECT_EQ(run(block), reference) << block;
}

TEST(TubeProcessing, ANonFiniteSampleDoesNotPoisonLaterBlocksAndNothingIsAllocated) {
    Tube tube;
    settle(tube);
    std::vector<double> x = noise(512, 2);
    const std::vector<double> before = noise(512, 3);
    const std::vector<std::vector<double>> after{noise(512, 4)};
    const Process process = [&](double* p, int n) { tube.process(p, n); };
    process(x.data(), 512);
    AllocationScope scope;
    for (double bad : {kNaN, kInfinity, -kInfinity})
        ASSERT_TRUE(staysFiniteAfter(process, x, before, 100, bad, after)) << bad;
    tube.SetParameter(3, 0.5);
    tube.process(x.data(), 200);
    EXPECT_EQ(scope.count(), 0u);
}

// Two stages side by side give each stage's own output bit for bit, with
// feedback or without, with settings and drives that put either lane, both or
// neither on a curved segment, and leave both stages as running them one by
// one would.
TEST(TubePair, MatchesEachStageRunOnItsOwnAndRecoversFromNonFiniteInput) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0), symmetric(-1.0, 1.0);
    const auto makeTube = [&](int trial, bool feedback) {
        TubeParameters p;
        p.feedback = feedback;
        p.gain = std::pow(10.0, 3.0 * unit(random));
        p.invert = trial % 2 == 0;
        p.knee = unit(random);
        p.asymmetry = symmetric(random);
        p.bias = 0.9 * symmetric(random);
        p.feedbackGain = trial % 5 == 0 ? -400.0 : -30.0 * unit(random) - 0.1;
        p.feedbackFrequency = 20.0 + 10000.0 * unit(random);
        auto tube = std::make_unique<Tube>();
        tube->SetParameters(p);
        settle(*tube);
        return tube;
    };
    const auto signal = [&](const Tube& tube, int n) {
        std::vector<double> x(static_cast<size_t>(n));
        for (double& v : x)
            v = std::pow(10.0, 3.0 * unit(random) - 3.0) / tube.parameters.gain * symmetric(random);
        return x;
    };
    for (int trial = 0; trial < 30; ++trial) {
        auto a = makeTube(trial, trial % 4 != 0), b = makeTube(trial + 1, trial % 4 != 0);
        TubeStage pairA = a->Current(), pairB = b->Current();
        for (int block = 0; block < 3; ++block) {
            auto x = signal(*a, 300), y = signal(*b, 300);
            if (block == 1) y[7] = trial % 2 ? kNaN : kInfinity;
            auto pairX = x, pairY = y;
            a->process(x.data(), 300);
            b->process(y.data(), 300);
            runTubePair(pairA, pairX.data(), pairB, pairY.data(), 300);
            for (size_t i = 0; i < x.size(); ++i) {
                ASSERT_EQ(pairX[i], x[i]) << trial << " block " << block << " sample " << i;
                if (std::isnan(y[i])) {
                    ASSERT_TRUE(std::isnan(pairY[i])) << trial << " sample " << i;
                } else {
                    ASSERT_EQ(pairY[i], y[i]) << trial << " block " << block << " sample " << i;
                }
            }
            for (auto [pair, own] : {std::pair{&pairA, &a->Current()}, {&pairB, &b->Current()}}) {
                EXPECT_EQ(pair->lp, own->lp);
                EXPECT_EQ(pair->z, own->z);
                EXPECT_EQ(pair->carry, own->carry);
            }
        }
    }
}
