// The amp engine: parameter mapping read back from the blocks, acceptance
// rules, default state, indicators, routing and allocation-free processing.
#include "amp/meter.h"
#include "amp/tarvex.h"
#include "dsp/block.h"
#include "support/allocation_counter.h"
#include "support/bass_line.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

std::unique_ptr<Tarvex> makeEngine() {
    return std::make_unique<Tarvex>();
}

// Runs `n` samples of `x` through the engine; returns left and right.
struct Stereo {
    std::vector<double> left, right;
};
Stereo render(Tarvex& engine, std::vector<double> x, int block = 256) {
    Stereo out{std::vector<double>(x.size()), std::vector<double>(x.size())};
    const int n = static_cast<int>(x.size());
    for (int start = 0; start < n; start += block) {
        const int count = std::min(block, n - start);
        engine.process(x.data() + start, out.left.data() + start, out.right.data() + start, count);
    }
    return out;
}

// One engine parameter, where its physical value can be read back, and the
// values expected there for the normalised values 0, 0.5 and 1.
struct Mapping {
    int index;
    const char* key;
    std::function<double(const Tarvex&)> readBack;
    double at0, atHalf, at1;
    double tolerance;
};

std::vector<Mapping> mappings() {
    std::vector<Mapping> m = {
        {1, "crossover_frequency", [](const Tarvex& t) { return t.crossover.GetParameter(1); },
         80.0, 632.456, 5000.0, 0.001},
        {26, "mixAB", [](const Tarvex& t) { return t.mixer.GetParameter(1); }, 1.0, 0.5, 0.0,
         1e-12},
        {28, "chorus_level", [](const Tarvex& t) { return t.chorus.GetParameter(4); }, 0.0, 0.5,
         1.0, 1e-12},
        {29, "chorus_speed", [](const Tarvex& t) { return t.chorus.GetParameter(2); }, 0.1, 1.4142,
         20.0, 0.0001},
        {30, "chorus_cutoff", [](const Tarvex& t) { return t.chorus.GetParameter(6); }, 100.0,
         447.21, 2000.0, 0.01},
        {32, "reverb_level", [](const Tarvex& t) { return t.reverb.GetParameter(1); }, -65.0, -52.5,
         -40.0, 1e-12},
        {33, "reverb_decay", [](const Tarvex& t) { return t.reverb.reverb.decay; }, 0.4, 0.8353,
         0.9, 0.0001},
        {34, "reverb_damping", [](const Tarvex& t) { return t.reverb.reverb.damping; }, 0.0, 0.2,
         0.4, 1e-12},
        {47, "eq_level", [](const Tarvex& t) { return t.eq.GetParameter(13); }, -15.0, 0.0, 15.0,
         1e-12},
        {49, "bright", [](const Tarvex& t) { return t.bright1.GetParameter(2); }, 2500.0, 3873.0,
         6000.0, 0.5},
        {50, "deep", [](const Tarvex& t) { return t.deep.GetParameter(2); }, 150.0, 47.43, 15.0,
         0.01},
        {52, "master_volume", [](const Tarvex& t) { return t.bright1.GetParameter(4); }, -12.0,
         -3.0, 6.0, 1e-12},
    };
    for (int band = 1; band <= 12; ++band)
        m.push_back({34 + band, "eq_band",
                     [band](const Tarvex& t) { return t.eq.GetParameter(band); }, -15.0, 0.0, 15.0,
                     1e-12});
    // The channel settings, for A (offset 0) and B (offset 11).
    for (int offset : {0, 11}) {
        auto channel = [offset](const Tarvex& t) -> const TarvexChannel& {
            return offset == 0 ? t.channelA : t.channelB;
        };
        const int base = 4 + offset;
        m.push_back({base + 1, "compressor_amount",
                     [=](const Tarvex& t) { return channel(t).compressor.GetParameter(2); }, 0.0,
                     0.5, 1.0, 1e-12});
        m.push_back({base + 2, "compressor_attack",
                     [=](const Tarvex& t) { return channel(t).compressor.GetParameter(3); }, 0.001,
                     0.0255, 0.05, 1e-12});
        m.push_back({base + 3, "gain",
                     [=](const Tarvex& t) { return channel(t).gainControl.GetParameter(1); }, 0.02,
                     0.51, 1.0, 1e-12});
        m.push_back({base + 5, "bass",
                     [=](const Tarvex& t) { return channel(t).bass.GetParameter(4); }, -15.0, 0.0,
                     15.0, 1e-12});
        m.push_back({base + 6, "mids",
                     [=](const Tarvex& t) { return channel(t).mid.GetParameter(4); }, -12.0, 0.0,
                     12.0, 1e-12});
        m.push_back({base + 8, "treble",
                     [=](const Tarvex& t) { return channel(t).treble.GetParameter(4); }, -15.0, 0.0,
                     15.0, 1e-12});
        m.push_back({base + 9, "drive",
                     [=](const Tarvex& t) { return channel(t).tubePost.GetParameter(9); }, -25.0,
                     -5.0, 15.0, 1e-9});
        m.push_back({base + 10, "clipping",
                     [=](const Tarvex& t) { return channel(t).tubePost.GetParameter(3); }, 0.0, 0.5,
                     1.0, 1e-12});
    }
    return m;
}

} // namespace

TEST(TarvexMapping, EveryContinuousParameterReachesItsBlockInPhysicalUnits) {
    for (const Mapping& m : mappings()) {
        auto engine = makeEngine();
        // 0 first: after construction most parameters already hold 0.5.
        engine->SetParameter(m.index, 0.0);
        EXPECT_NEAR(m.readBack(*engine), m.at0, m.tolerance) << m.key << " " << m.index;
        engine->SetParameter(m.index, 0.5);
        EXPECT_NEAR(m.readBack(*engine), m.atHalf, m.tolerance) << m.key << " " << m.index;
        engine->SetParameter(m.index, 1.0);
        EXPECT_NEAR(m.readBack(*engine), m.at1, m.tolerance) << m.key << " " << m.index;
        EXPECT_EQ(engine->GetParameter(m.index), 1.0) << m.key;
    }
}

TEST(TarvexMapping, MidFrequencyAndBoostOfBothChannels) {
    auto engine = makeEngine();
    for (const TarvexChannel* channel : {&engine->channelA, &engine->channelB}) {
        EXPECT_NEAR(channel->mid.GetParameter(2), 400.0, 1e-9);
        EXPECT_NEAR(channel->tubePre.GetParameter(9), 40.0, 1e-9); // boost on by default
    }
    for (int offset : {0, 11}) {
        engine->SetParameter(11 + offset, 0.0); // refused: the frequency must be positive
        engine->SetParameter(8 + offset, 0.0);  // boost off
    }
    for (const TarvexChannel* channel : {&engine->channelA, &engine->channelB}) {
        EXPECT_NEAR(channel->mid.GetParameter(2), 400.0, 1e-9);
        EXPECT_NEAR(channel->tubePre.GetParameter(9), 20.0, 1e-9);
    }
    engine->SetParameter(11, 1.0);
    engine->SetParameter(22, 0.25);
    EXPECT_NEAR(engine->channelA.mid.GetParameter(2), 4000.0, 1e-9);
    EXPECT_NEAR(engine->channelB.mid.GetParameter(2), 40.0 * std::sqrt(10.0), 1e-9);
}

TEST(TarvexMapping, SwitchesReachTheirBlocks) {
    auto engine = makeEngine();
    struct Switch {
        int index;
        std::function<double(const Tarvex&)> state;
    };
    const Switch switches[] = {
        {4, [](const Tarvex& t) { return t.channelA.compressor.GetParameter(0); }},
        {15, [](const Tarvex& t) { return t.channelB.compressor.GetParameter(0); }},
        {27, [](const Tarvex& t) { return t.chorus.GetParameter(0); }},
        {31, [](const Tarvex& t) { return t.reverb.GetParameter(0); }},
        {48, [](const Tarvex& t) { return t.eq.GetParameter(0); }},
        {2, [](const Tarvex& t) { return t.channelB.invertGain < 0.0 ? 1.0 : 0.0; }},
        {54, [](const Tarvex& t) { return t.power.GetState(); }},
    };
    for (const Switch& s : switches) {
        EXPECT_EQ(s.state(*engine), 1.0) << s.index; // all on after construction
        engine->SetParameter(s.index, 0.3);
        EXPECT_EQ(s.state(*engine), 0.0) << s.index;
        EXPECT_EQ(engine->GetParameter(s.index), 0.0) << s.index;
        engine->SetParameter(s.index, 0.7);
        EXPECT_EQ(s.state(*engine), 1.0) << s.index;
    }
}

TEST(TarvexChoices, ChannelSelectRoundsHalfUpToBAPlusBOrA) {
    auto engine = makeEngine();
    auto states = [&] {
        return std::pair(engine->channelA.channelOn.state, engine->channelB.channelOn.state);
    };
    EXPECT_EQ(states(), std::pair(1, 0)); // "A" after construction
    engine->SetParameter(3, 0.5);
    EXPECT_EQ(states(), std::pair(1, 1));
    EXPECT_EQ(engine->GetParameter(3), 0.5);
    engine->SetParameter(3, 0.0);
    EXPECT_EQ(states(), std::pair(0, 1));
    EXPECT_EQ(engine->GetParameter(3), 0.0);
    engine->SetParameter(3, 0.26);
    EXPECT_EQ(states(), std::pair(1, 1));
    engine->SetParameter(3, 0.24);
    EXPECT_EQ(states(), std::pair(0, 1));
    engine->SetParameter(3, 1.0);
    EXPECT_EQ(states(), std::pair(1, 0));
    EXPECT_EQ(engine->GetParameter(3), 1.0);
}

TEST(TarvexChoices, CabinetSelectsFiveChoicesAndIgnoresValuesBeyondThem) {
    auto engine = makeEngine();
    std::vector<double> in(16, 0.0), left(16), right(16);
    auto choiceAfter = [&](double value) {
        engine->SetParameter(51, value);
        engine->process(in.data(), left.data(), right.data(), 16); // loads apply here
        return engine->cabinetStage.currentCabinet;
    };
    EXPECT_EQ(choiceAfter(0.6), 2);   // "1x15"
    EXPECT_EQ(choiceAfter(0.7), 3);   // "4x10"
    EXPECT_EQ(choiceAfter(0.125), 1); // "D.I."
    EXPECT_EQ(choiceAfter(0.1), 0);   // "Off"
    EXPECT_EQ(choiceAfter(1.0), 4);   // "8x10"
    EXPECT_EQ(choiceAfter(1.2), 4);   // step 6: ignored
    EXPECT_EQ(choiceAfter(-0.2), 4);  // step 0: ignored
    EXPECT_EQ(choiceAfter(kNaN), 4);
    EXPECT_EQ(engine->current.cabinet, 4);
    EXPECT_EQ(engine->GetParameter(51), 1.0);
}

TEST(TarvexChoices, ModeSwitchesTheCrossoverAndRoundsLikeAChoice) {
    auto engine = makeEngine();
    EXPECT_EQ(engine->crossover.GetParameter(0), 0.0); // "Normal"
    engine->SetParameter(0, 0.5);
    EXPECT_EQ(engine->crossover.GetParameter(0), 1.0); // "Biamp"
    EXPECT_EQ(engine->GetParameter(0), 1.0);
    engine->SetParameter(0, 0.0);
    engine->crossover.SetParameter(0, 1.0); // behind the engine's back
    engine->SetParameter(0, 0.4);           // still choice 0: not resent
    EXPECT_EQ(engine->crossover.GetParameter(0), 1.0);
}

TEST(TarvexRules, UnchangedValuesReachNoBlock) {
    auto engine = makeEngine();
    engine->SetParameter(9, 0.7);
    EXPECT_NEAR(engine->channelA.bass.GetParameter(4), 6.0, 1e-12);
    engine->channelA.bass.SetParameter(4, 1.0); // behind the engine's back
    engine->SetParameter(9, 0.7);
    EXPECT_EQ(engine->channelA.bass.GetParameter(4), 1.0);

    engine->SetParameter(27, 0.7); // chorus already on
    engine->chorus.SetParameter(0, 0.0);
    engine->SetParameter(27, 0.9);
    EXPECT_EQ(engine->chorus.GetParameter(0), 0.0);
    engine->SetParameter(27, 0.3); // the engine's switch turns off...
    engine->SetParameter(27, 0.6); // ...and on again: now it reaches the chorus
    EXPECT_EQ(engine->chorus.GetParameter(0), 1.0);
}

TEST(TarvexRules, TheDirectChorusAndReverbSettingsSurviveTheStoredHalfValues) {
    auto engine = makeEngine();
    engine->SetParameter(29, 0.5);
    engine->SetParameter(30, 0.5);
    engine->SetParameter(32, 0.5);
    EXPECT_EQ(engine->chorus.GetParameter(2), 1.0);
    EXPECT_EQ(engine->chorus.GetParameter(6), 200.0);
    EXPECT_EQ(engine->reverb.GetParameter(1), -65.0);
}

TEST(TarvexRules, RejectedValuesChangeNothing) {
    auto engine = makeEngine();
    std::vector<double> before;
    for (int index = 0; index <= 55; ++index)
        before.push_back(engine->GetParameter(index));
    for (double bad : {1.5, -0.1, kNaN, kInfinity})
        for (int bounded : {5, 6, 7, 14, 26, 28, 29, 30, 32, 33, 34, 49, 50})
            engine->SetParameter(bounded, bad);
    for (double bad : {0.0, -1.0, kNaN, kInfinity})
        engine->SetParameter(11, bad); // positive
    for (double bad : {kNaN, kInfinity, -kInfinity})
        for (int plain : {1, 9, 10, 12, 13, 35, 47, 52})
            engine->SetParameter(plain, bad);
    for (int index : {53, 55, -1, 1000})
        engine->SetParameter(index, 0.9);
    for (int index = 0; index <= 55; ++index)
        EXPECT_EQ(engine->GetParameter(index), before[static_cast<size_t>(index)]) << index;
    EXPECT_EQ(engine->GetParameter(53), 0.0);
    EXPECT_EQ(engine->GetParameter(-3), 0.0);
}

TEST(TarvexRules, PlainValuesOutsideTheScaleTakeItsNearestEnd) {
    auto engine = makeEngine();
    engine->SetParameter(9, 1.5);
    EXPECT_NEAR(engine->channelA.bass.GetParameter(4), 15.0, 1e-12);
    EXPECT_EQ(engine->GetParameter(9), 1.0);
    engine->SetParameter(52, 50.0); // +888 dB unbounded
    EXPECT_NEAR(engine->bright1.GetParameter(4), 6.0, 1e-12);
    engine->SetParameter(47, -1e6);
    EXPECT_NEAR(engine->eq.GetParameter(13), -15.0, 1e-12);
    engine->SetParameter(11, 7.0); // positive: held to the top of its scale
    EXPECT_NEAR(engine->channelA.mid.GetParameter(2), 4000.0, 1e-9);
    // In-range values are kept exactly.
    engine->SetParameter(9, 0.3);
    EXPECT_EQ(engine->GetParameter(9), 0.3);
}

TEST(TarvexState, AfterConstruction) {
    auto engine = makeEngine();
    EXPECT_EQ(engine->fs, 44100.0);
    EXPECT_EQ(engine->crossover.GetParameter(0), 0.0);
    EXPECT_EQ(engine->channelA.channelOn.state, 1);
    EXPECT_EQ(engine->channelB.channelOn.state, 0);
    EXPECT_EQ(engine->channelB.invertGain, -1.0);
    EXPECT_EQ(engine->current.cabinet, 0);
    std::vector<double> in(4, 0.0), left(4), right(4);
    engine->process(in.data(), left.data(), right.data(), 4); // the stage applies its choice
    EXPECT_EQ(engine->cabinetStage.currentCabinet, 0);
    EXPECT_EQ(engine->bright1.GetParameter(4), -12.0); // master volume
    EXPECT_EQ(engine->chorus.GetParameter(2), 1.0);
    EXPECT_EQ(engine->chorus.GetParameter(6), 200.0);
    EXPECT_EQ(engine->reverb.GetParameter(1), -65.0);
    EXPECT_EQ(engine->mixer.GetParameter(0), 2.0);
    EXPECT_NEAR(engine->noise.level, 3.1623e-8, 1e-12);
    EXPECT_EQ(engine->deep.GetParameter(1), FilterType::HighPass1);
    EXPECT_EQ(engine->GetParameter(3), 1.0);
    EXPECT_EQ(engine->GetParameter(51), 0.0);
    EXPECT_EQ(engine->GetParameter(52), 0.0);
    EXPECT_EQ(engine->GetParameter(54), 1.0);
    EXPECT_EQ(engine->current.chorus_speed, 0.5);
}

TEST(TarvexIndicators, AFinalSampleOfOneShowsTwoThirdsAndAboveOneShowsFull) {
    auto engine = makeEngine();
    std::vector<double> x(64, 0.0);
    x.back() = 1.0;
    render(*engine, x);
    EXPECT_EQ(engine->inEnv, 1.0);
    EXPECT_DOUBLE_EQ(engine->InputIndicator(), 2.0 / 3.0);
    x.back() = -1.001;
    render(*engine, x);
    EXPECT_EQ(engine->InputIndicator(), 1.0);
}

TEST(TarvexIndicators, ZerosLetTheEnvelopesFallOneStepAtEachThreshold) {
    auto engine = makeEngine();
    std::vector<double> x(1, 0.95);
    render(*engine, x);
    EXPECT_DOUBLE_EQ(engine->InputIndicator(), 2.0 / 3.0); // -0.45 dB
    // Squared envelope, 100 ms half-life: 3.01 dB per 100 ms.
    auto after = [&](double seconds) {
        render(*engine, std::vector<double>(static_cast<size_t>(seconds * 44100.0), 0.0));
        return engine->InputIndicator();
    };
    EXPECT_DOUBLE_EQ(after(0.25), 2.0 / 3.0); // about -8 dB
    EXPECT_DOUBLE_EQ(after(0.05), 1.0 / 3.0); // about -9.5 dB
    EXPECT_DOUBLE_EQ(after(0.30), 1.0 / 3.0); // about -18.5 dB
    EXPECT_DOUBLE_EQ(after(0.10), 0.0);       // about -21.5 dB
}

TEST(TarvexIndicators, TheOutputMeterFollowsTheLouderSide) {
    auto engine = makeEngine();
    engine->SetParameter(3, 0.5);  // both channels...
    engine->SetParameter(2, 0.0);  // ...in phase
    engine->SetParameter(52, 1.0); // master +6 dB
    engine->SetParameter(27, 1.0);
    engine->SetParameter(28, 1.0); // chorus fully wet: the sides differ
    const auto out = render(*engine, bassLine(44100.0, 1.0));
    double envelope = 0.0;
    const double decay = engine->meterDecay;
    for (size_t i = 0; i < out.left.size(); ++i) {
        envelope = std::max(flush(envelope * decay), out.left[i] * out.left[i]);
        envelope = std::max(envelope, out.right[i] * out.right[i]);
    }
    EXPECT_DOUBLE_EQ(engine->outEnv, envelope);
    EXPECT_GT(engine->OutputIndicator(), 0.0);
}

TEST(TarvexIndicators, FourStepsAtOnceEqualFourSingleSteps) {
    // Rising and falling squares, ties, silence, values in the flush's range
    // and NaN squares (passed over) or a NaN envelope (kept).
    const double nan = std::nan("");
    const double decay = peakDecay(44100.0);
    const double squares[][4] = {{0.25, 0.0, 0.0, 0.0},  {0.1, 0.3, 0.2, 0.3},
                                 {0.0, 0.0, 0.0, 1e-30}, {1e-26, 2e-26, 0.0, 0.0},
                                 {nan, 0.5, nan, 0.1},   {0.9, 0.9, 0.9, 0.9}};
    for (const double start : {0.0, 0.3, 0.8999, 1e-27, 4.0, nan}) {
        for (const auto& four : squares) {
            double single = start;
            for (const double square : four)
                single = followPeak(single, decay, square);
            const double both = followPeak4(start, decay, four);
            if (std::isnan(single))
                EXPECT_TRUE(std::isnan(both));
            else
                EXPECT_EQ(both, single) << start << " " << four[0] << " " << four[3];
        }
    }
}

TEST(TarvexRouting, BiampSendsTheLowBandToAAndTheHighBandToB) {
    // Level of a sine through one channel alone, in "Normal" and in "Biamp".
    auto level = [](double frequency, double channelSelect, double mode) {
        auto engine = makeEngine();
        engine->SetParameter(0, mode);
        engine->SetParameter(1, 0.5); // 632 Hz
        engine->SetParameter(3, channelSelect);
        const auto out = render(*engine, sine(frequency, 44100.0, 22050, 0.01));
        return rms(out.left.data() + 11025, 11025);
    };
    const double channelA = 1.0, channelB = 0.0;
    EXPECT_LT(level(6000.0, channelA, 1.0), 0.01 * level(6000.0, channelA, 0.0));
    EXPECT_LT(level(60.0, channelB, 1.0), 0.01 * level(60.0, channelB, 0.0));
    EXPECT_NEAR(level(60.0, channelA, 1.0) / level(60.0, channelA, 0.0), 1.0, 0.05);
    EXPECT_NEAR(level(6000.0, channelB, 1.0) / level(6000.0, channelB, 0.0), 1.0, 0.05);
}

TEST(TarvexPower, SwitchedOffTheInputPassesToBothSidesAndTheMetersReadZero) {
    auto engine = makeEngine();
    render(*engine, bassLine(44100.0, 0.2));
    engine->SetParameter(54, 0.0);
    render(*engine, bassLine(44100.0, 0.1)); // 20 ms fade
    EXPECT_FALSE(engine->power.active);
    const auto x = bassLine(44100.0, 0.05);
    const auto out = render(*engine, x);
    EXPECT_EQ(out.left, x);
    EXPECT_EQ(out.right, x);
    EXPECT_EQ(engine->InputIndicator(), 0.0);
    EXPECT_EQ(engine->OutputIndicator(), 0.0);
}

TEST(TarvexProcessing, NonFiniteInputDoesNotPoisonTheSound) {
    auto engine = makeEngine();
    engine->SetParameter(3, 0.5);
    engine->SetParameter(51, 0.6);
    engine->SetParameter(27, 1.0);
    engine->SetParameter(31, 1.0);
    auto x = bassLine(44100.0, 0.5);
    x[1000] = kNaN;
    x[5000] = kInfinity;
    x[9000] = -kInfinity;
    const auto out = render(*engine, x);
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
    EXPECT_GT(rms(out.left), 1e-3);
}

TEST(TarvexProcessing, ASettledEngineAllocatesNothing) {
    auto engine = makeEngine();
    engine->SetFs(48000.0);
    engine->SetParameter(0, 1.0);
    engine->SetParameter(3, 0.5);
    engine->SetParameter(27, 1.0);
    engine->SetParameter(31, 1.0);
    engine->SetParameter(51, 1.0);
    const int largest = 2048;
    auto x = bassLine(48000.0, 1.0);
    render(*engine, x, largest); // warm-up at the largest block
    std::vector<double> in(largest), left(largest), right(largest);
    AllocationScope scope;
    for (int block : {256, 1, 2048, 37, 1024}) {
        std::copy(x.begin(), x.begin() + block, in.begin());
        engine->process(in.data(), left.data(), right.data(), block);
    }
    engine->SetParameter(9, 0.8);  // a change fades in without allocating
    engine->SetParameter(51, 0.6); // so does a cabinet load
    std::copy(x.begin(), x.begin() + largest, in.begin());
    engine->process(in.data(), left.data(), right.data(), largest);
    EXPECT_EQ(scope.count(), 0u);
}
