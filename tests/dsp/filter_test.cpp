// Filter: measured responses of every type, cross-fade timing, setter rules.
#include "dsp/filter.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int settleSamples = 8192; // beyond a 31 ms fade at 192 kHz

void settle(Filter& filter) {
    std::vector<double> zeros(settleSamples, 0.0);
    filter.process(zeros.data(), settleSamples);
}

// A settled filter with the given settings; its impulse response.
std::vector<double> responseOf(double fs, int type, double frequency, double q, double gainDb,
                               int length = 32768) {
    Filter filter;
    filter.SetFs(fs);
    filter.SetParameters({true, type, frequency, q, gainDb});
    settle(filter);
    return impulseResponse([&](double* x, int n) { filter.process(x, n); }, length);
}

double db(double linear) {
    return 20.0 * std::log10(linear);
}

struct Case {
    double fs;
    double frequency;
};

class FilterResponse : public ::testing::TestWithParam<Case> {};

} // namespace

// The bilinear transforms are prewarped at the corner, so there the digital
// response equals the analogue prototype's exactly.
TEST_P(FilterResponse, SecondOrderPassesAreDownByQAtTheCornerAndGainScalesThem) {
    const auto [fs, f0] = GetParam();
    for (int type : {FilterType::LowPass, FilterType::HighPass}) {
        for (double q : {0.7071, 2.0}) {
            const auto h = responseOf(fs, type, f0, q, 6.0);
            EXPECT_NEAR(magnitudeDb(h, f0, fs), 6.0 + db(q), 0.01) << type << " q " << q;
            const double passband =
                type == FilterType::LowPass ? f0 / 50 : std::min(0.49 * fs, f0 * 20);
            EXPECT_NEAR(magnitudeDb(h, passband, fs), 6.0, 0.05) << type;
            const double stopband =
                type == FilterType::LowPass ? std::min(0.49 * fs, f0 * 10) : f0 / 10;
            EXPECT_LT(magnitudeDb(h, stopband, fs), -30.0) << type;
        }
    }
}

TEST_P(FilterResponse, BandPassPeaksAtZeroDecibelsAndNotchCutsTheCentre) {
    const auto [fs, f0] = GetParam();
    const auto band = responseOf(fs, FilterType::BandPass, f0, 2.0, 0.0);
    EXPECT_NEAR(magnitudeDb(band, f0, fs), 0.0, 0.01);
    EXPECT_LT(magnitudeDb(band, f0 / 10, fs), -20.0);
    const auto notch = responseOf(fs, FilterType::Notch, f0, 2.0, 0.0);
    EXPECT_LT(magnitudeDb(notch, f0, fs), -100.0);
    EXPECT_NEAR(magnitudeDb(notch, f0 / 10, fs), 0.0, 0.05);
}

TEST_P(FilterResponse, PeakReachesItsGainAtTheCentreAndLeavesTheEndsAlone) {
    const auto [fs, f0] = GetParam();
    for (double gainDb : {12.0, -9.0}) {
        const auto h = responseOf(fs, FilterType::Peak, f0, 0.5, gainDb);
        EXPECT_NEAR(magnitudeDb(h, f0, fs), gainDb, 0.01);
        EXPECT_NEAR(magnitudeDb(h, 0.0, fs), 0.0, 0.01);
        EXPECT_NEAR(magnitudeDb(h, fs / 2, fs), 0.0, 0.01);
    }
}

TEST_P(FilterResponse, ShelvesReachTheirPlateauAndHalfTheGainAtTheCorner) {
    const auto [fs, f0] = GetParam();
    const double gainDb = 9.0;
    const auto low = responseOf(fs, FilterType::LowShelf, f0, 0.7071, gainDb);
    EXPECT_NEAR(magnitudeDb(low, 0.0, fs), gainDb, 0.01);
    EXPECT_NEAR(magnitudeDb(low, fs / 2, fs), 0.0, 0.01);
    EXPECT_NEAR(magnitudeDb(low, f0, fs), gainDb / 2, 0.01);
    const auto high = responseOf(fs, FilterType::HighShelf, f0, 0.7071, gainDb);
    EXPECT_NEAR(magnitudeDb(high, 0.0, fs), 0.0, 0.01);
    EXPECT_NEAR(magnitudeDb(high, fs / 2, fs), gainDb, 0.01);
    EXPECT_NEAR(magnitudeDb(high, f0, fs), gainDb / 2, 0.01);
}

TEST_P(FilterResponse, FirstOrderPassesAreThreeDecibelsDownAtTheCorner) {
    const auto [fs, f0] = GetParam();
    const auto low = responseOf(fs, FilterType::LowPass1, f0, 0.7071, -6.0);
    EXPECT_NEAR(magnitudeDb(low, f0, fs), -6.0 - db(std::sqrt(2.0)), 0.01);
    EXPECT_NEAR(magnitudeDb(low, 0.0, fs), -6.0, 0.01);
    EXPECT_LT(magnitudeDb(low, fs / 2, fs), -100.0);
    const auto high = responseOf(fs, FilterType::HighPass1, f0, 0.7071, -6.0);
    EXPECT_NEAR(magnitudeDb(high, f0, fs), -6.0 - db(std::sqrt(2.0)), 0.01);
    EXPECT_NEAR(magnitudeDb(high, fs / 2, fs), -6.0, 0.01);
    EXPECT_LT(magnitudeDb(high, 0.0, fs), -100.0);
}

TEST_P(FilterResponse, FirstOrderShelvesMoveFromTheirGainToUnity) {
    const auto [fs, f0] = GetParam();
    const double gainDb = 12.0;
    const double g = std::pow(10.0, gainDb / 20.0);
    const double corner = db(std::sqrt((g * g + 1.0) / 2.0)); // |g + j| / |1 + j|
    const auto low = responseOf(fs, FilterType::LowShelf1, f0, 0.7071, gainDb);
    EXPECT_NEAR(magnitudeDb(low, 0.0, fs), gainDb, 0.01);
    EXPECT_NEAR(magnitudeDb(low, fs / 2, fs), 0.0, 0.01);
    EXPECT_NEAR(magnitudeDb(low, f0, fs), corner, 0.01);
    const auto high = responseOf(fs, FilterType::HighShelf1, f0, 0.7071, gainDb);
    EXPECT_NEAR(magnitudeDb(high, 0.0, fs), 0.0, 0.01);
    EXPECT_NEAR(magnitudeDb(high, fs / 2, fs), gainDb, 0.01);
    EXPECT_NEAR(magnitudeDb(high, f0, fs), corner, 0.01);
}

TEST_P(FilterResponse, AllPassesAreFlatWithTheirPhaseTurnAtTheCorner) {
    const auto [fs, f0] = GetParam();
    const auto first = responseOf(fs, FilterType::AllPass1, f0, 0.7071, 3.0);
    const auto second = responseOf(fs, FilterType::AllPass, f0, 0.7071, 3.0);
    for (double f : {20.0, f0 / 3, f0, f0 * 3, 0.45 * fs}) {
        EXPECT_NEAR(magnitudeDb(first, f, fs), 3.0, 0.01) << f;
        EXPECT_NEAR(magnitudeDb(second, f, fs), 3.0, 0.01) << f;
    }
    EXPECT_NEAR(std::abs(std::arg(responseAt(first, f0, fs))), M_PI / 2, 1e-6);
    EXPECT_NEAR(std::abs(std::arg(responseAt(second, f0, fs))), M_PI, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Rates, FilterResponse,
                         ::testing::Values(Case{44100.0, 1000.0}, Case{44100.0, 120.0},
                                           Case{96000.0, 1000.0}, Case{96000.0, 8000.0}),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return "At" + std::to_string(static_cast<int>(param.param.fs)) + "Hz" +
                                    std::to_string(static_cast<int>(param.param.frequency)) + "Hz";
                         });

TEST(Filter, GainTypeMultipliesByTheLinearGain) {
    const auto h = responseOf(44100.0, FilterType::Gain, 1000.0, 0.7071, -6.0, 4);
    EXPECT_NEAR(h[0], std::pow(10.0, -0.3), 1e-12);
    EXPECT_EQ(h[1], 0.0);
    const auto lp = responseOf(44100.0, FilterType::LowPass, 1000.0, 0.7071, 6.0);
    EXPECT_NEAR(std::abs(responseAt(lp, 0.0, 44100.0)), 1.995, 0.001);
}

TEST(Filter, ZeroGainPeakAndShelvesPassUnchanged) {
    for (int type : {FilterType::Peak, FilterType::LowShelf, FilterType::HighShelf}) {
        Filter filter;
        filter.SetParameters({true, type, 700.0, 0.5, 0.0});
        settle(filter);
        const auto s = filter.sets[filter.fade.currentSet];
        EXPECT_NEAR(s.b0, 1.0, 1e-12) << type;
        EXPECT_NEAR(s.b1, -s.c1, 1e-12) << type;
        EXPECT_NEAR(s.b2, -s.c2, 1e-12) << type;
    }
}

TEST(Filter, DefaultsAfterConstruction) {
    Filter filter;
    const auto p = filter.GetParameters();
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.type, FilterType::LowPass);
    EXPECT_EQ(p.frequency, 1000.0);
    EXPECT_EQ(p.q, 0.7071);
    EXPECT_EQ(p.gain, 0.0);
    EXPECT_EQ(filter.fs, 44100.0);
    EXPECT_EQ(filter.fade.currentSet, 1);
    EXPECT_EQ(filter.fade.otherSet, 0);
    EXPECT_TRUE(filter.fade.dirty);
    EXPECT_FALSE(filter.fade.crossfading);
    EXPECT_DOUBLE_EQ(filter.fade.fadeStep, 1.0 / 1323.0);
    // Both sets equal, so the first block's fade changes nothing.
    EXPECT_EQ(filter.sets[0].b0, filter.sets[1].b0);
    EXPECT_EQ(filter.sets[0].c2, filter.sets[1].c2);
}

// Cross-fade timing, measured on a Gain filter fed with 1.0.
namespace {
struct GainProbe {
    Filter filter;
    GainProbe() {
        filter.SetParameters({true, FilterType::Gain, 1000.0, 0.7071, 0.0});
        std::vector<double> x(2000, 1.0);
        filter.process(x.data(), 2000);
    }
    std::vector<double> run(int n) {
        std::vector<double> x(static_cast<size_t>(n), 1.0);
        filter.process(x.data(), n);
        return x;
    }
};
} // namespace

TEST(FilterCrossFade, AChangeIsHeardAfterOneMillisecondAndCompleteAfterThirtyOne) {
    GainProbe probe;
    probe.filter.SetParameter(4, -6.0);
    const auto y = probe.run(2000);
    const double target = flush(std::pow(10.0, -0.3));
    for (int i = 0; i <= 44; ++i)
        ASSERT_EQ(y[i], 1.0) << i; // 1 ms hold on the old set
    EXPECT_LT(y[45], 1.0);
    EXPECT_GT(y[1366], target);
    for (int i = 1368; i < 2000; ++i)
        ASSERT_EQ(y[i], target) << i;
    // Linear in between: the midpoint of the 30 ms fade is halfway.
    EXPECT_NEAR(y[44 + 662], 0.5 * (1.0 + target), 0.002);
}

TEST(FilterCrossFade, AChangeDuringAFadeWaitsForTheNextBlockAfterIt) {
    GainProbe probe;
    probe.filter.SetParameter(4, -6.0);
    std::vector<double> y;
    for (int block = 0; block < 8; ++block) {
        if (block == 1) probe.filter.SetParameter(4, -12.0); // 10 ms later
        const auto part = probe.run(441);
        y.insert(y.end(), part.begin(), part.end());
    }
    const double first = flush(std::pow(10.0, -0.3));
    const double second = flush(std::pow(10.0, -0.6));
    // The first fade ends inside the block starting at 1323; the second starts
    // at the next block start, 1764, holds 1 ms and then moves.
    for (int i = 1368; i <= 1764 + 44; ++i)
        ASSERT_EQ(y[i], first) << i;
    EXPECT_LT(y[1764 + 46], first);
    EXPECT_NEAR(y.back(), second, 1e-15);
}

TEST(FilterCrossFade, SeveralChangesCollapseIntoOneFade) {
    GainProbe once, twice;
    once.filter.SetParameter(4, -6.0);
    twice.filter.SetParameter(4, -3.0);
    twice.filter.SetParameter(4, 2.0);
    twice.filter.SetParameter(4, -6.0);
    EXPECT_EQ(once.run(3000), twice.run(3000));
}

TEST(FilterCrossFade, AnUnchangedValueStartsNoFade) {
    GainProbe probe;
    for (int index = 0; index <= 4; ++index)
        probe.filter.SetParameter(index, probe.filter.GetParameter(index));
    EXPECT_FALSE(probe.filter.fade.dirty);
    probe.run(16);
    EXPECT_FALSE(probe.filter.fade.crossfading);
    probe.filter.SetParameter(3, 2.0); // q does nothing audible on Gain, but is a change
    EXPECT_TRUE(probe.filter.fade.dirty);
}

TEST(FilterCrossFade, ATypeChangeDuringAFadeTakesEffectOnlyAfterIt) {
    Filter filter;
    settle(filter);
    filter.SetParameter(4, 3.0);
    std::vector<double> x(100, 0.0);
    filter.process(x.data(), 100);
    EXPECT_TRUE(filter.fade.crossfading);
    filter.SetParameter(1, FilterType::HighPass);
    filter.process(x.data(), 100);
    EXPECT_EQ(filter.sets[filter.fade.currentSet].b1,
              flush(std::pow(10.0, 0.15) * (1.0 - std::cos(2.0 * M_PI * 1000.0 / 44100.0)) *
                    (1.0 / (1.0 + std::sin(2.0 * M_PI * 1000.0 / 44100.0) * 0.5 / 0.7071))));
    settle(filter);                                         // the first fade ends inside this block
    settle(filter);                                         // the type change starts here
    EXPECT_LT(filter.sets[filter.fade.currentSet].b1, 0.0); // now the high-pass
}

TEST(FilterSetters, TypesRoundHalfUpAndRejectOutOfRange) {
    Filter filter;
    filter.SetParameter(1, -0.3);
    EXPECT_EQ(filter.GetParameter(1), FilterType::Gain);
    filter.SetParameter(1, 13.4);
    EXPECT_EQ(filter.GetParameter(1), FilterType::AllPass);
    for (double rejected : {13.6, 14.0, -0.6, -1.0, 1e12, kNaN, kInfinity})
        filter.SetParameter(1, rejected);
    EXPECT_EQ(filter.GetParameter(1), FilterType::AllPass);
}

TEST(FilterSetters, FrequencyMustLieStrictlyInsideZeroToHalfTheRate) {
    Filter filter;
    for (double rejected : {22050.0, 30000.0, 0.0, -10.0, kNaN, kInfinity})
        filter.SetParameter(2, rejected);
    EXPECT_EQ(filter.GetParameter(2), 1000.0);
    filter.SetParameter(2, 22049.0);
    EXPECT_EQ(filter.GetParameter(2), 22049.0);
}

TEST(FilterSetters, RateChangesPullTheFrequencyBelowHalfTheRate) {
    Filter filter;
    filter.SetFs(96000.0);
    filter.SetParameter(2, 20000.0);
    filter.SetFs(32000.0);
    EXPECT_DOUBLE_EQ(filter.GetParameter(2), 15968.0);
    filter.SetFs(48000.0);
    EXPECT_DOUBLE_EQ(filter.GetParameter(2), 15968.0);
}

TEST(FilterSetters, RejectedRatesChangeNothing) {
    Filter filter;
    settle(filter);
    for (double rejected : {0.0, -44100.0, kNaN, kInfinity, 44100.0})
        filter.SetFs(rejected);
    EXPECT_EQ(filter.fs, 44100.0);
    EXPECT_FALSE(filter.fade.dirty);
}

TEST(FilterSetters, QAndGainRejectValuesThatWouldPoisonTheFilter) {
    Filter filter;
    for (double rejected : {0.0, -1.0, kNaN})
        filter.SetParameter(3, rejected);
    EXPECT_EQ(filter.GetParameter(3), 0.7071);
    for (double rejected : {kNaN, kInfinity, -kInfinity, 1e6, -7000.0})
        filter.SetParameter(4, rejected);
    EXPECT_EQ(filter.GetParameter(4), 0.0);
    filter.SetParameter(4, -140.0);
    EXPECT_EQ(filter.GetParameter(4), -140.0);
}

TEST(FilterSetters, EnabledFollowsTheSwitchRuleAndLeavesCoefficientsAlone) {
    Filter filter;
    settle(filter);
    filter.SetParameter(0, 0.2);
    EXPECT_EQ(filter.GetParameter(0), 0.0);
    EXPECT_EQ(filter.bypass.state, 0);
    EXPECT_FALSE(filter.fade.dirty);
    filter.SetParameter(0, kNaN);
    EXPECT_EQ(filter.GetParameter(0), 1.0);
    EXPECT_EQ(filter.bypass.state, 1);
    EXPECT_EQ(filter.GetParameter(7), 0.0);
    filter.SetParameter(7, 3.0); // no such index
}

TEST(FilterSetters, NumericEdgeSettingsGiveSilenceNotNaN) {
    Filter filter;
    filter.SetParameters({true, FilterType::BandPass, 1000.0, 1e-310, 0.0});
    std::vector<double> x = noise(4096, 4);
    filter.process(x.data(), 4096);
    for (double v : x)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(FilterProcessing, ANonFiniteSampleDoesNotPoisonLaterBlocks) {
    Filter filter;
    settle(filter);
    std::vector<double> x = noise(256, 5);
    x[100] = kNaN;
    filter.process(x.data(), 256);
    x = noise(256, 6);
    x[10] = kInfinity;
    filter.process(x.data(), 256);
    x = noise(256, 7);
    filter.process(x.data(), 256);
    for (double v : x)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(FilterProcessing, TheOutputDoesNotDependOnTheBlockSize) {
    auto run = [](int block) {
        Filter filter;
        filter.SetParameters({true, FilterType::Peak, 300.0, 1.0, 6.0});
        auto x = noise(5000, 8);
        processInBlocks([&](double* p, int n) { filter.process(p, n); }, x, block);
        return x;
    };
    const auto reference = run(5000);
    for (int block : {1, 7, 64, 1023})
        EXPECT_EQ(run(block), reference) << block;
}

TEST(FilterProcessing, StereoRunsTheSameSectionOnBothChannels) {
    Filter mono, stereo;
    for (Filter* f : {&mono, &stereo})
        f->SetParameters({true, FilterType::LowShelf, 200.0, 0.9, 5.0});
    auto left = noise(3000, 9);
    auto right = noise(3000, 10);
    auto monoLeft = left;
    stereo.process(left.data(), right.data(), 3000);
    mono.process(monoLeft.data(), 3000);
    EXPECT_EQ(left, monoLeft);
    Filter monoRight;
    monoRight.SetParameters({true, FilterType::LowShelf, 200.0, 0.9, 5.0});
    auto r = noise(3000, 10);
    monoRight.process(r.data(), 3000);
    EXPECT_EQ(right, r);
}

TEST(FilterProcessing, SwitchingOffFadesToTheDrySignalIn20Milliseconds) {
    Filter filter;
    filter.SetParameters({true, FilterType::Gain, 1000.0, 0.7071, -20.0});
    settle(filter);
    filter.SetParameter(0, 0.0);
    std::vector<double> x(1000, 1.0);
    filter.process(x.data(), 1000);
    EXPECT_NEAR(x[440], 0.5 * (0.1 + 1.0), 0.002);
    EXPECT_EQ(x[900], 1.0);
    EXPECT_FALSE(filter.bypass.active);
}

TEST(FilterProcessing, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    Filter filter;
    EXPECT_EQ(allocationsAfterWarmUp([&](double* x, int n) { filter.process(x, n); },
                                     [&] { filter.SetParameter(2, 300.0); },
                                     [&] { filter.SetParameter(0, 0.0); }),
              0u);
}

TEST(FilterChain, EqualsProcessingTheFiltersOneAfterAnother) {
    // Twenty filters, so that settled runs of many lengths form around the
    // ones that fade or are off.
    constexpr int count = 20;
    const int types[] = {FilterType::Peak, FilterType::HighShelf, FilterType::HighPass1,
                         FilterType::LowPass, FilterType::LowShelf1};
    Filter fused[count], sequential[count];
    Filter* chain[count];
    for (int k = 0; k < count; ++k) {
        const FilterParameters p{true, types[k % 5], 60.0 * (k + 1), 0.5 + 0.1 * k, 6.0 - 0.5 * k};
        fused[k].SetParameters(p);
        sequential[k].SetParameters(p);
        chain[k] = &fused[k];
    }
    const auto change = [&](int k, int index, double value) {
        fused[k].SetParameter(index, value);
        sequential[k].SetParameter(index, value);
    };
    for (int block = 0; block < 60; ++block) {
        if (block == 10) change(1, 4, 2.0); // one filter fading: runs on either side
        if (block == 12) change(6, 2, 900.0);
        if (block == 20) change(2, 0, 0.0); // switched off: fades out, then is skipped
        if (block == 24) change(9, 0, 0.0);
        if (block == 40) change(2, 0, 1.0);
        const int n = block == 15 ? 0 : block == 16 ? 3 : 333 - block;
        auto a = noise(333, 20 + static_cast<unsigned>(block));
        if (block == 30) a[5] = kNaN; // recovery after the block, as in process()
        if (block > 50)               // silence: zero signs and flushed tails
            for (size_t i = 0; i < a.size(); ++i)
                a[i] = i % 2 ? -0.0 : 0.0;
        auto b = a;
        processChain(chain, count, a.data(), n);
        for (Filter& f : sequential)
            f.process(b.data(), n);
        for (size_t i = 0; i < a.size(); ++i)
            ASSERT_TRUE(std::memcmp(&a[i], &b[i], sizeof a[i]) == 0 ||
                        (std::isnan(a[i]) && std::isnan(b[i])))
                << "block " << block << " sample " << i;
        for (int k = 0; k < count; ++k) {
            const FilterSection& f = fused[k].sets[fused[k].fade.currentSet];
            const FilterSection& g = sequential[k].sets[sequential[k].fade.currentSet];
            const double histories[2][4] = {{f.x1, f.x2, f.y1, f.y2}, {g.x1, g.x2, g.y1, g.y2}};
            ASSERT_EQ(std::memcmp(histories[0], histories[1], sizeof histories[0]), 0)
                << "block " << block << " filter " << k;
        }
    }
    EXPECT_TRUE(fused[0].Settled());
    EXPECT_TRUE(fused[2].Settled());
    EXPECT_FALSE(fused[9].bypass.active);
}

TEST(FilterChain, TwoChainsSideBySideEqualProcessingEachInTurn) {
    // Chains of one to three filters (three working ones never run side by
    // side), with fades, a filter switched off and a bad sample on one side.
    for (int countA = 1; countA <= 3; ++countA) {
        for (int countB = 1; countB <= 3; ++countB) {
            Filter pairA[3], pairB[3], aloneA[3], aloneB[3];
            Filter *chainA[3], *chainB[3];
            for (int k = 0; k < 3; ++k) {
                const FilterParameters pa{true, FilterType::LowPass, 300.0 * (k + 1), 0.7071, 0.0};
                const FilterParameters pb{true, FilterType::HighPass, 200.0 * (k + 1), 0.9, -2.0};
                pairA[k].SetParameters(pa);
                aloneA[k].SetParameters(pa);
                pairB[k].SetParameters(pb);
                aloneB[k].SetParameters(pb);
                chainA[k] = &pairA[k];
                chainB[k] = &pairB[k];
            }
            for (int block = 0; block < 30; ++block) {
                if (block == 8)
                    for (Filter* f : {&pairB[0], &aloneB[0]})
                        f->SetParameter(2, 250.0);
                if (block == 12)
                    for (Filter* f : {&pairA[countA - 1], &aloneA[countA - 1]})
                        f->SetParameter(0, 0.0);
                auto x = noise(200, 50 + static_cast<unsigned>(block));
                auto y = noise(200, 90 + static_cast<unsigned>(block));
                if (block == 20) y[7] = kInfinity;
                auto xAlone = x, yAlone = y;
                processChains(chainA, countA, x.data(), chainB, countB, y.data(), 200);
                for (int k = 0; k < countA; ++k)
                    aloneA[k].process(xAlone.data(), 200);
                for (int k = 0; k < countB; ++k)
                    aloneB[k].process(yAlone.data(), 200);
                for (size_t i = 0; i < x.size(); ++i) {
                    ASSERT_EQ(x[i], xAlone[i]) << countA << countB << " block " << block;
                    ASSERT_TRUE(y[i] == yAlone[i] || (std::isnan(y[i]) && std::isnan(yAlone[i])))
                        << countA << countB << " block " << block << " sample " << i;
                }
            }
            EXPECT_TRUE(pairB[0].Settled());
        }
    }
}
