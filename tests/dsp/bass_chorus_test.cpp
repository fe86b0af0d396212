// BassChorus: delays and voice phases measured from impulses, the pitch bound,
// glide timing, the dry part below the corner, setter rules and guards.
#include "dsp/bass_chorus.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

// The chorus holds 512 KB of delay lines: always on the heap.
std::unique_ptr<BassChorus> makeChorus(BassChorusParameters p, double fs = 44100.0) {
    auto chorus = std::make_unique<BassChorus>();
    chorus->SetFs(fs);
    chorus->SetParameters(p);
    return chorus;
}

// Runs silence until every glide and filter fade has settled.
void settle(BassChorus& chorus) {
    std::vector<double> l(512, 0.0), r(512, 0.0);
    for (int i = 0; i < 2000 && (chorus.smoothing || chorus.dirty); ++i)
        chorus.process(l.data(), r.data(), 512);
    for (int i = 0; i < 20; ++i)
        chorus.process(l.data(), r.data(), 512);
    ASSERT_FALSE(chorus.smoothing);
}

void runStereo(BassChorus& chorus, std::vector<double>& l, std::vector<double>& r, int block) {
    const int n = static_cast<int>(l.size());
    for (int start = 0; start < n; start += block)
        chorus.process(l.data() + start, r.data() + start, std::min(block, n - start));
}

// Delays (in samples, fractional) of the voices in one channel's response to
// an impulse: the peaks of adjacent-sample pairs, refined by their ratio.
std::vector<double> voiceDelays(const double* y, int length, int voices) {
    std::vector<double> found;
    std::vector<bool> used(static_cast<size_t>(length), false);
    for (int v = 0; v < voices; ++v) {
        int best = -1;
        double bestSum = 0.0;
        for (int i = 0; i + 1 < length; ++i) {
            if (used[static_cast<size_t>(i)] || used[static_cast<size_t>(i + 1)]) continue;
            const double s = y[i] + y[i + 1];
            if (s > bestSum) {
                bestSum = s;
                best = i;
            }
        }
        if (best < 0) break;
        found.push_back(best + y[best + 1] / (y[best] + y[best + 1]));
        for (int i = std::max(0, best - 3); i <= std::min(length - 1, best + 4); ++i)
            used[static_cast<size_t>(i)] = true;
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct Measurement {
    std::vector<double> left, right; // voice delays per channel
};

// Feeds an impulse every `spacing` samples to a fully wet, settled chorus with
// a nearly transparent high-pass and measures the voice delays each time.
std::vector<Measurement> measureVoices(int mode, double rate, double depth, double delay,
                                       int impulses, int spacing) {
    auto chorus = makeChorus({true, mode, rate, depth, 1.0, delay, 2.0});
    settle(*chorus);
    const int voices = mode == 2 ? 2 : 1;
    std::vector<Measurement> out;
    std::vector<double> l(static_cast<size_t>(spacing)), r(l);
    for (int k = 0; k < impulses; ++k) {
        std::fill(l.begin(), l.end(), 0.0);
        std::fill(r.begin(), r.end(), 0.0);
        l[0] = r[0] = 1.0;
        chorus->process(l.data(), r.data(), spacing);
        out.push_back(
            {voiceDelays(l.data(), spacing, voices), voiceDelays(r.data(), spacing, voices)});
    }
    return out;
}

// Frequencies measured between successive upward zero crossings.
std::vector<double> crossingFrequencies(const std::vector<double>& y, double fs) {
    std::vector<double> crossings;
    for (size_t i = 1; i < y.size(); ++i)
        if (y[i - 1] < 0.0 && y[i] >= 0.0)
            crossings.push_back(static_cast<double>(i - 1) + y[i - 1] / (y[i - 1] - y[i]));
    std::vector<double> f;
    for (size_t i = 1; i < crossings.size(); ++i)
        f.push_back(fs / (crossings[i] - crossings[i - 1]));
    return f;
}

const BassChorusParameters defaults{true, 1, 1.0, 0.5, 0.5, 0.01, 250.0};

} // namespace

TEST(BassChorusDelay, SweepsFromTheBaseDelayOverTwiceTheAmplitude) {
    // 1 Hz, depth 0.5, 10 ms at 44100 Hz: 441 to 441 + 2 x 70.187 samples.
    const auto m = measureVoices(0, 1.0, 0.5, 0.01, 90, 1000);
    double lowest = 1e9, highest = 0.0;
    for (const auto& v : m) {
        ASSERT_EQ(v.left.size(), 1u);
        lowest = std::min(lowest, v.left[0]);
        highest = std::max(highest, v.left[0]);
        EXPECT_NEAR(v.right[0], v.left[0], 0.01); // mode 0: both sides in phase
    }
    EXPECT_NEAR(lowest, 441.0, 0.3);
    EXPECT_NEAR(highest, 441.0 + 2.0 * 70.187, 0.3);

    // Without depth the delay is the base delay; a delay of 0 reads the
    // sample just written.
    for (double delay : {0.01, 0.0}) {
        const auto still = measureVoices(1, 1.0, 0.0, delay, 3, 1000);
        EXPECT_NEAR(still.back().left[0], delay * 44100.0, 0.01);
        EXPECT_NEAR(still.back().right[0], delay * 44100.0, 0.01);
    }
}

TEST(BassChorusDelay, VoicesSitAtTheirPhaseOffsets) {
    const double fs = 44100.0, rate = 0.25, depth = 0.25, delay = 0.01;
    const double amplitude = 0.01 * depth * fs / (M_PI * rate);
    const double centre = delay * fs + amplitude;

    // Mode 1: the right voice half a turn from the left one.
    for (const auto& v : measureVoices(1, rate, depth, delay, 88, 2000))
        EXPECT_NEAR(v.left[0] + v.right[0], 2.0 * centre, 3.0);

    // Mode 2: left at 0 and 270 degrees (a quarter turn apart), right at 180
    // and 90 degrees (the left pair mirrored about the centre delay).
    int checked = 0;
    for (const auto& v : measureVoices(2, rate, depth, delay, 88, 2000)) {
        const bool merged = v.left.size() < 2 || v.right.size() < 2 ||
                            v.left[1] - v.left[0] < 6.0 || v.right[1] - v.right[0] < 6.0;
        if (merged) continue; // two voices at nearly the same delay
        ++checked;
        const double radius = std::hypot(v.left[0] - centre, v.left[1] - centre);
        EXPECT_NEAR(radius, amplitude, 3.0);
        EXPECT_NEAR(v.right[0], 2.0 * centre - v.left[1], 3.0);
        EXPECT_NEAR(v.right[1], 2.0 * centre - v.left[0], 3.0);
    }
    EXPECT_GT(checked, 70);
}

TEST(BassChorusPitch, EveryVoiceStaysWithinTwoPercentTimesDepthAtAnyRate) {
    const double fs = 44100.0, f0 = 1000.0;
    for (double rate : {0.3, 2.0, 8.0}) {
        for (double depth : {1.0, 0.5}) {
            auto chorus = makeChorus({true, 1, rate, depth, 1.0, 0.005, 250.0});
            settle(*chorus);
            const int n = static_cast<int>(4.0 * fs);
            auto l = sine(f0, fs, n), r = sine(f0, fs, n);
            runStereo(*chorus, l, r, 512);
            for (auto* y : {&l, &r}) {
                y->erase(y->begin(), y->begin() + 4410); // skip the onset in the lines
                double deviation = 0.0;
                for (double f : crossingFrequencies(*y, fs))
                    deviation = std::max(deviation, std::fabs(f / f0 - 1.0));
                EXPECT_LT(deviation, 0.02 * depth * 1.02) << rate << " " << depth;
                EXPECT_GT(deviation, 0.02 * depth * 0.9) << rate << " " << depth;
            }
        }
    }
}

TEST(BassChorusGlide, TheLevelTakesSixtyMillisecondsAtAnyRate) {
    for (double fs : {44100.0, 96000.0}) {
        auto chorus = makeChorus({true, 0, 1.0, 0.0, 0.0, 0.01, 250.0}, fs);
        std::vector<double> l(static_cast<size_t>(fs), 1.0), r(l);
        runStereo(*chorus, l, r, 512); // DC: the high-passed wet part dies away
        chorus->SetParameter(4, 1.0);
        // Below the corner the output is the dry signal times 1 - level.
        const int n = static_cast<int>(0.1 * fs);
        std::vector<double> dc(static_cast<size_t>(n), 1.0), dcR(dc);
        chorus->process(dc.data(), dcR.data(), n);
        const auto half = static_cast<size_t>(0.03 * fs);
        EXPECT_NEAR(dc[half - 1], std::sqrt(0.001), 0.002) << fs;
        size_t done = 0;
        while (done < dc.size() && std::fabs(dc[done]) > 1e-6)
            ++done;
        EXPECT_NEAR(static_cast<double>(done) / fs, 0.06, 0.0005) << fs;
    }
}

TEST(BassChorusGlide, AllNineValuesCoverTheirGapInSixtyMilliseconds) {
    auto chorus = makeChorus(defaults);
    settle(*chorus);
    chorus->SetParameters({true, 2, 3.0, 0.9, 0.8, 0.02, 250.0});
    const auto currents = [&] {
        return std::vector<double>{chorus->amplitude, chorus->phaseIncrement, chorus->level,
                                   chorus->gain[0],   chorus->gain[1],        chorus->gain[2],
                                   chorus->gain[3],   chorus->gain[4],        chorus->baseDelay};
    };
    const std::vector<double> start = currents();
    const std::vector<double> target{
        chorus->targetAmplitude, chorus->targetPhaseIncrement, chorus->targetLevel,
        chorus->targetGain[0],   chorus->targetGain[1],        chorus->targetGain[2],
        chorus->targetGain[3],   chorus->targetGain[4],        chorus->targetBaseDelay};

    std::vector<double> l(1323, 0.0), r(l); // 30 ms
    chorus->process(l.data(), r.data(), 1323);
    auto now = currents();
    for (size_t k = 0; k < 9; ++k) {
        const double gap = std::fabs(target[k] - start[k]);
        if (k == 1) { // a step of the increment below 0.001 rad applies at once
            EXPECT_EQ(now[k], target[k]);
            continue;
        }
        if (gap == 0.0) continue;
        EXPECT_NEAR(std::fabs(target[k] - now[k]) / gap, std::sqrt(0.001), 0.002) << k;
    }
    chorus->process(l.data(), r.data(), 1323);
    now = currents();
    for (size_t k = 0; k < 9; ++k)
        EXPECT_LE(std::fabs(target[k] - now[k]), 0.001 * std::fabs(target[k] - start[k]) + 1e-12)
            << k;
}

TEST(BassChorusPaths, TheSettledPathsSoundLikeTheGlidePathAtRest) {
    for (int mode : {0, 1, 2}) {
        auto fixed = makeChorus({true, mode, 1.3, 0.7, 0.6, 0.012, 150.0});
        auto gliding = makeChorus({true, mode, 1.3, 0.7, 0.6, 0.012, 150.0});
        settle(*fixed);
        settle(*gliding);
        for (int block = 0; block < 20; ++block) {
            auto l = noise(300, 10 + block), r = noise(300, 40 + block);
            auto l2 = l, r2 = r;
            gliding->smoothing = true; // at rest: every value already on target
            fixed->process(l.data(), r.data(), 300);
            gliding->process(l2.data(), r2.data(), 300);
            // The settled path turns its sines by table steps: equal to rounding.
            for (size_t i = 0; i < l.size(); ++i) {
                ASSERT_NEAR(l[i], l2[i], 1e-12) << mode;
                ASSERT_NEAR(r[i], r2[i], 1e-12) << mode;
            }
        }
    }
}

TEST(BassChorusPaths, TheSettledPathsReadOnlyEntriesOlderThanTheirSampleAtAnyDelay) {
    // With no modulation every voice reads the base delay, so the settled
    // paths (which may enter a chunk into the lines ahead of its taps) must
    // match the glide path at rest, which writes and reads sample by sample:
    // below one sample, across the line and just short of a line, where a tap
    // reaches entries the chunk is about to overwrite.
    const int line = BassChorus::lineLength;
    for (int mode : {0, 1, 2}) {
        for (double delay :
             {0.0, 0.4, 1.0, 300.25, line - 600.5, line - 100.5, line - 1.0, line + 40.75}) {
            auto fixed = makeChorus({true, mode, 1.3, 0.7, 0.6, 0.012, 150.0});
            auto gliding = makeChorus({true, mode, 1.3, 0.7, 0.6, 0.012, 150.0});
            for (BassChorus* chorus : {fixed.get(), gliding.get()}) {
                settle(*chorus);
                chorus->amplitude = chorus->targetAmplitude = 0.0;
                chorus->baseDelay = chorus->targetBaseDelay = delay;
            }
            gliding->smoothing = true; // at rest: every value already on target
            for (int block : {300, 17, 256, 1000}) {
                auto l = noise(block, block), r = noise(block, block + 1);
                auto l2 = l, r2 = r;
                fixed->process(l.data(), r.data(), block);
                gliding->process(l2.data(), r2.data(), block);
                for (size_t i = 0; i < l.size(); ++i) {
                    ASSERT_NEAR(l[i], l2[i], 1e-12) << mode << " " << delay;
                    ASSERT_NEAR(r[i], r2[i], 1e-12) << mode << " " << delay;
                }
            }
        }
    }
}

TEST(BassChorusPaths, MonoIsTheMeanOfStereoWithTheSameInputOnBothSides) {
    for (int mode : {0, 1, 2}) {
        auto stereo = makeChorus({true, mode, 2.0, 0.8, 0.7, 0.008, 200.0});
        auto mono = makeChorus({true, mode, 2.0, 0.8, 0.7, 0.008, 200.0});
        auto x = noise(30000, 3); // glide at the start, settled later
        auto l = x, r = x;
        runStereo(*stereo, l, r, 480);
        for (size_t start = 0; start < x.size(); start += 480)
            mono->process(x.data() + start,
                          static_cast<int>(std::min<size_t>(480, x.size() - start)));
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(x[i], 0.5 * (l[i] + r[i]), 1e-12) << mode << " " << i;
    }
}

TEST(BassChorusPaths, TheOutputDoesNotDependOnTheBlockSize) {
    auto render = [](int block) {
        auto chorus = makeChorus({true, 2, 4.0, 1.0, 0.5, 0.02, 300.0});
        auto l = noise(20000, 5), r = noise(20000, 6);
        runStereo(*chorus, l, r, block);
        return l;
    };
    const auto whole = render(20000);
    for (int block : {1, 37, 256, 1000}) {
        const auto y = render(block);
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], whole[i], 1e-9) << block;
    }
}

TEST(BassChorusTone, BelowTheCornerOnlyTheScaledDrySignalRemains) {
    auto chorus = makeChorus({true, 2, 1.0, 0.5, 0.5, 0.01, 250.0});
    const double fs = 44100.0;
    auto l = sine(20.0, fs, 88200), r = l;
    const auto dry = l;
    runStereo(*chorus, l, r, 512);
    const size_t from = 44100;
    double error = 0.0;
    for (size_t i = from; i < l.size(); ++i)
        error = std::max(error, std::fabs(l[i] - 0.5 * dry[i]));
    EXPECT_LT(error, 0.005); // the 20 Hz wet part is more than 40 dB down

    // No depth, no delay: the wet part is exactly the high-passed input.
    auto plain = makeChorus({true, 0, 1.0, 0.0, 0.5, 0.0, 250.0});
    Filter reference;
    reference.SetParameters({true, FilterType::HighPass, 250.0, 0.7071, 0.0});
    settle(*plain);
    for (int k = 0; k < 40; ++k) {
        std::vector<double> z(512, 0.0);
        reference.process(z.data(), 512);
    }
    auto x = noise(4096, 7), xr = x, hp = x;
    plain->process(x.data(), xr.data(), 4096);
    reference.process(hp.data(), 4096);
    const auto input = noise(4096, 7);
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_EQ(x[i], input[i] * 0.5 + hp[i] * 0.5) << i;
}

TEST(BassChorusSetters, FollowTheRangeAndRoundingRules) {
    auto chorus = makeChorus(defaults);
    chorus->SetParameter(1, 2.4);
    EXPECT_EQ(chorus->GetParameter(1), 2.0);
    chorus->SetParameter(1, 2.6);
    EXPECT_EQ(chorus->GetParameter(1), 2.0);
    chorus->SetParameter(1, -0.4);
    EXPECT_EQ(chorus->GetParameter(1), 0.0);
    chorus->SetParameter(1, -1.0);
    EXPECT_EQ(chorus->GetParameter(1), 0.0);

    for (double rejected : {0.0, -1.0, kNaN, kInfinity})
        chorus->SetParameter(2, rejected);
    for (double rejected : {-0.01, 1.01, kNaN})
        chorus->SetParameter(3, rejected), chorus->SetParameter(4, rejected);
    for (double rejected : {-0.001, 0.0301, kNaN})
        chorus->SetParameter(5, rejected);
    for (double rejected : {0.0, 22050.0, kNaN})
        chorus->SetParameter(6, rejected);
    chorus->SetParameter(0, kNaN);
    chorus->SetParameter(9, 1.0);
    const BassChorusParameters p = chorus->GetParameters();
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.rate, 1.0);
    EXPECT_EQ(p.depth, 0.5);
    EXPECT_EQ(p.level, 0.5);
    EXPECT_EQ(p.delay, 0.01);
    EXPECT_EQ(p.cutoff, 250.0);
    EXPECT_EQ(chorus->GetParameter(9), 0.0);

    chorus->SetParameter(6, 15000.0);
    EXPECT_EQ(chorus->highPassL.GetParameter(2), 15000.0);
    EXPECT_EQ(chorus->highPassR.GetParameter(2), 15000.0);
    chorus->SetFs(20000.0); // the corner moves below the new half rate
    EXPECT_EQ(chorus->GetParameter(6), 0.499 * 20000.0);
    EXPECT_EQ(chorus->highPassL.GetParameter(2), 0.499 * 20000.0);
    for (double rejected : {0.0, -1.0, kNaN, kInfinity})
        chorus->SetFs(rejected);
    EXPECT_EQ(chorus->fs, 20000.0);
}

TEST(BassChorusSwitch, OnOnlyFromOffClearsTheLinesAndOffStopsEverything) {
    auto chorus = makeChorus(defaults);
    auto l = noise(4096, 8), r = noise(4096, 9);
    runStereo(*chorus, l, r, 512);
    const auto energyOf = [](const double* line) {
        double e = 0.0;
        for (int i = 0; i < BassChorus::lineLength; ++i)
            e += line[i] * line[i];
        return e;
    };
    ASSERT_GT(energyOf(chorus->lineL), 0.0);
    chorus->SetParameter(0, 1.0); // already on
    EXPECT_GT(energyOf(chorus->lineL), 0.0);

    chorus->SetParameter(0, 0.0);
    chorus->process(l.data(), r.data(), 100); // fade-out running
    chorus->SetParameter(0, 1.0);
    EXPECT_EQ(energyOf(chorus->lineL), 0.0);
    EXPECT_EQ(energyOf(chorus->lineR), 0.0);

    chorus->SetParameter(0, 0.0);
    runStereo(*chorus, l, r, 512);
    ASSERT_FALSE(chorus->bypass.active);
    const double phase = chorus->phase;
    const int write = chorus->writeIndex;
    auto x = noise(512, 10), y = noise(512, 11);
    const auto x0 = x, y0 = y;
    chorus->process(x.data(), y.data(), 512);
    EXPECT_EQ(x, x0);
    EXPECT_EQ(y, y0);
    EXPECT_EQ(chorus->phase, phase);
    EXPECT_EQ(chorus->writeIndex, write);
}

TEST(BassChorusGuards, NonFiniteInputNeverReachesTheDelayLines) {
    auto chorus = makeChorus(defaults);
    auto l = noise(1024, 12), r = noise(1024, 13);
    l[300] = kNaN;
    r[700] = -kInfinity;
    chorus->process(l.data(), r.data(), 1024);
    for (int i = 0; i < BassChorus::lineLength; ++i)
        ASSERT_TRUE(std::isfinite(chorus->lineL[i]) && std::isfinite(chorus->lineR[i]));
    for (int block = 0; block < 4; ++block) {
        l = noise(1024, 14 + block);
        r = noise(1024, 20 + block);
        chorus->process(l.data(), r.data(), 1024);
        for (size_t i = 0; i < l.size(); ++i)
            ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
    }
}

TEST(BassChorusGuards, ExtremeRatesAndSampleRatesStayFiniteAndFast) {
    for (double fs : {1.0, 44100.0, 1e9})
        for (double rate : {1e-300, 1e-3, 1e300}) {
            auto chorus = makeChorus({true, 2, rate, 1.0, 0.5, 0.03, 0.25}, fs);
            auto l = noise(4096, 15), r = noise(4096, 16);
            runStereo(*chorus, l, r, 1024);
            for (size_t i = 0; i < l.size(); ++i)
                ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i])) << fs << " " << rate;
            EXPECT_TRUE(chorus->phase >= 0.0 && chorus->phase < chorus->twoPi);
        }
}

TEST(BassChorusGuards, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    auto chorus = makeChorus(defaults);
    std::vector<double> l(2048, 0.1), r(2048, 0.1);
    const Process stereo = [&](double* left, int n) { chorus->process(left, r.data(), n); };
    // Both forms warmed up while the first fade runs, stereo first.
    stereo(l.data(), 2048);
    chorus->process(l.data(), 2048);
    EXPECT_EQ(allocationsAfterWarmUp(
                  stereo,
                  [&] {
                      chorus->SetParameter(1, 2.0);
                      chorus->SetParameter(6, 400.0);
                  },
                  [&] {
                      chorus->process(l.data(), 700);
                      chorus->SetParameter(0, 0.0);
                      stereo(l.data(), 2048);
                      chorus->SetParameter(0, 1.0);
                  }),
              0u);
}
