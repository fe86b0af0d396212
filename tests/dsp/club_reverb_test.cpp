// Freeverb delay lengths and decay, ClubReverb return gain, on/off and guards.
#include "dsp/club_reverb.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

std::vector<int> lengths(const ReverbDelayBlock* blocks, int count) {
    std::vector<int> out;
    for (int k = 0; k < count; ++k)
        out.push_back(blocks[k].size);
    return out;
}

void expectLengths(const Freeverb& reverb, const std::vector<int>& combL,
                   const std::vector<int>& combR, const std::vector<int>& allpassL,
                   const std::vector<int>& allpassR) {
    EXPECT_EQ(lengths(reverb.combL, 8), combL);
    EXPECT_EQ(lengths(reverb.combR, 8), combR);
    EXPECT_EQ(lengths(reverb.allpassL, 4), allpassL);
    EXPECT_EQ(lengths(reverb.allpassR, 4), allpassR);
}

// Runs a stereo block processor over two channels in blocks.
template <class Block>
void run(Block& block, std::vector<double>& left, std::vector<double>& right, int size) {
    const int n = static_cast<int>(left.size());
    for (int start = 0; start < n; start += size)
        block.process(left.data() + start, right.data() + start, std::min(size, n - start));
}

double energy(const std::vector<double>& x, size_t from, size_t to) {
    double e = 0.0;
    for (size_t i = from; i < to; ++i)
        e += x[i] * x[i];
    return e;
}

// Decay of a fully wet reverb's impulse response in dB per second.
double tailSlopeDbPerSecond(Freeverb& reverb, double fs) {
    const int n = static_cast<int>(0.8 * fs);
    std::vector<double> left(static_cast<size_t>(n), 0.0), right(left);
    left[0] = right[0] = 1.0;
    reverb.process(left.data(), right.data(), n);
    auto at = [&](double seconds) { return static_cast<size_t>(seconds * fs); };
    const double early = energy(left, at(0.2), at(0.3)) + energy(right, at(0.2), at(0.3));
    const double late = energy(left, at(0.6), at(0.7)) + energy(right, at(0.6), at(0.7));
    return 10.0 * std::log10(late / early) / 0.4;
}

} // namespace

TEST(Freeverb, KeepsTheTunedLengthsAt44100AndRoundsToPrimesOnceTheRateChanges) {
    auto reverb = std::make_unique<Freeverb>();
    expectLengths(*reverb, {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617},
                  {1129, 1213, 1301, 1381, 1447, 1511, 1579, 1637}, {556, 441, 341, 225},
                  {577, 463, 367, 251});
    reverb->SetFs(44100.0); // the present rate: nothing is rebuilt
    EXPECT_EQ(reverb->combL[0].size, 1116);

    reverb->SetFs(48000.0);
    expectLengths(*reverb, {1213, 1291, 1381, 1471, 1549, 1621, 1693, 1759},
                  {1229, 1321, 1423, 1499, 1571, 1637, 1721, 1783}, {607, 479, 373, 241},
                  {631, 503, 401, 271});

    reverb->SetFs(44100.0);
    expectLengths(*reverb, {1117, 1187, 1277, 1361, 1423, 1489, 1559, 1619},
                  {1129, 1213, 1301, 1381, 1447, 1511, 1579, 1637}, {557, 439, 337, 223},
                  {577, 463, 367, 251});

    for (double rejected : {0.0, -48000.0, kNaN, kInfinity})
        reverb->SetFs(rejected);
    EXPECT_EQ(reverb->fs, 44100.0);
}

TEST(Freeverb, DecayAndDampingSurviveARateChange) {
    ClubReverb club;
    club.SetDecay(0.9);
    club.SetDamping(1.0);
    club.SetFs(96000.0);
    for (const auto* bank : {club.reverb.combL, club.reverb.combR})
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(bank[k].g, 0.9);
            EXPECT_EQ(bank[k].d, 0.4);
            EXPECT_EQ(bank[k].oneMinusD, 0.6);
        }
    for (const auto* bank : {club.reverb.allpassL, club.reverb.allpassR})
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(bank[k].g, 0.5);
}

TEST(Freeverb, TheTailDecaysAsFastInSecondsAtEveryRate) {
    auto reverb = std::make_unique<Freeverb>();
    reverb->setdecay(0.8);
    reverb->setdamping(0.0);
    const double at44 = tailSlopeDbPerSecond(*reverb, 44100.0);
    // Comb feedback 0.8 per round trip of 1116..1637 samples.
    EXPECT_LT(at44, 20.0 * std::log10(0.8) * 44100.0 / 1637.0 + 3.0);
    EXPECT_GT(at44, 20.0 * std::log10(0.8) * 44100.0 / 1116.0 - 3.0);
    reverb->SetFs(96000.0);
    EXPECT_NEAR(tailSlopeDbPerSecond(*reverb, 96000.0), at44, 2.0);
}

TEST(Freeverb, EqualsItsElementsRunSampleBySample) {
    // The reference drives a twin's elements one sample at a time through
    // their own process_LBCF and process_FBFFCF, in the reverb's order; the
    // reverb must match it bit for bit over blocks of any length, also at
    // rates whose delays are shorter than the reverb's internal stretches and
    // its eight-sample vectors (at 600 Hz the all-passes hold 3 to 7 entries,
    // so they wrap inside every vector and several times per stretch).
    for (double fs : {48000.0, 8000.0, 1000.0, 600.0}) {
        auto reverb = std::make_unique<Freeverb>();
        auto twin = std::make_unique<Freeverb>();
        for (Freeverb* r : {reverb.get(), twin.get()}) {
            r->SetFs(fs);
            r->setdecay(0.83);
            r->setdamping(0.6);
            r->setwidth(0.7);
            r->setreverbleveldb(-3.0);
        }
        auto left = noise(6000, 5), right = noise(6000, 6);
        auto expectedL = left, expectedR = right;
        for (size_t i = 0; i < left.size(); ++i) {
            const double leftIn = expectedL[i], rightIn = expectedR[i];
            const double in = (leftIn + rightIn) * 0.5;
            double sumL = 0.0, sumR = 0.0;
            for (auto& comb : twin->combL)
                sumL += comb.process_LBCF(in);
            for (auto& comb : twin->combR)
                sumR += comb.process_LBCF(in);
            for (auto& allpass : twin->allpassL)
                sumL = allpass.process_FBFFCF(sumL);
            for (auto& allpass : twin->allpassR)
                sumR = allpass.process_FBFFCF(sumR);
            expectedL[i] = (sumL * twin->wet1 + sumR * twin->wet2) * twin->wet + leftIn * twin->dry;
            expectedR[i] =
                (sumR * twin->wet1 + sumL * twin->wet2) * twin->wet + rightIn * twin->dry;
        }
        const int sizes[] = {1, 700, 13, 2048, 3, 256, 999, 8, 7, 9, 16, 15, 17, 32};
        constexpr size_t kinds = std::size(sizes);
        for (size_t start = 0, s = 0; start < left.size(); ++s) {
            const int m = std::min(sizes[s % kinds], static_cast<int>(left.size() - start));
            reverb->process(left.data() + start, right.data() + start, m);
            start += static_cast<size_t>(m);
        }
        EXPECT_EQ(left, expectedL) << fs;
        EXPECT_EQ(right, expectedR);
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(reverb->combL[k].position, twin->combL[k].position);
            EXPECT_EQ(reverb->combR[k].state, twin->combR[k].state);
            EXPECT_EQ(reverb->combL[k].getout(), twin->combL[k].getout());
        }
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(reverb->allpassR[k].getout(), twin->allpassR[k].getout());
            EXPECT_EQ(reverb->allpassL[k].position, twin->allpassL[k].position);
        }
    }
}

TEST(Freeverb, WidthMixesTheBanksAndZeroSamplesDoNothing) {
    auto reverb = std::make_unique<Freeverb>();
    reverb->setwidth(0.0); // both outputs the mean of the banks
    std::vector<double> left = noise(3000, 1), right = noise(3000, 2);
    reverb->process(left.data(), right.data(), 3000);
    EXPECT_EQ(left, right);
    reverb->process(nullptr, nullptr, 0);

    reverb->setreverbleveldb(-6.0);
    EXPECT_EQ(reverb->dry, 1.0);
    EXPECT_NEAR(reverb->wet, 0.501187, 1e-6);
}

TEST(ClubReverb, AddsTheWetReturnToTheUnscaledDrySignal) {
    ClubReverb club;
    std::vector<double> left(8192, 0.0), right(8192, 0.0);
    left[0] = 1.0;
    run(club, left, right, 8192);
    EXPECT_EQ(left[0], 1.0); // the reverb has no output at its first sample
    EXPECT_EQ(right[0], 0.0);
    EXPECT_GT(rms(right), 0.001);

    // At -inf dB nothing but the dry signal comes back.
    ClubReverb silent;
    silent.SetParameter(1, -kInfinity);
    silent.currentGain = 0.0;
    std::vector<double> l = noise(4096, 3), r = noise(4096, 4);
    const auto dl = l, dr = r;
    run(silent, l, r, 512);
    EXPECT_EQ(l, dl);
    EXPECT_EQ(r, dr);
}

TEST(ClubReverb, SmallLevelStepsApplyAtOnceAndLargerOnesGlideThenSnap) {
    ClubReverb club;
    club.SetParameter(1, -65.0);
    std::vector<double> l(4410, 0.0), r(4410, 0.0);
    run(club, l, r, 4410);
    ASSERT_EQ(club.currentGain, std::pow(10.0, -65.0 / 20.0));

    club.SetParameter(1, -60.0); // a change below 0.001 of linear gain
    club.process(l.data(), r.data(), 1);
    EXPECT_EQ(club.currentGain, std::pow(10.0, -3.0));

    club.SetParameter(1, -40.0);
    const double target = std::pow(10.0, -2.0);
    int samples = 0;
    while (club.currentGain != target && samples < 44100) {
        club.process(l.data(), r.data(), 1);
        ++samples;
    }
    // The gap of 0.009 shrinks to 0.001 after log(9)/log(1000) of 30 ms.
    const double expected = 0.03 * 44100.0 * std::log(0.009 / 0.001) / std::log(1000.0);
    EXPECT_NEAR(samples, expected, 3.0);
}

TEST(ClubReverb, SwitchingOffAndOnCutsTheTailAndOnWhileOnKeepsIt) {
    auto ringing = [] {
        auto club = std::make_unique<ClubReverb>();
        std::vector<double> l(8820, 0.0), r(8820, 0.0);
        l[0] = r[0] = 1.0;
        run(*club, l, r, 441);
        return club;
    };
    std::vector<double> l(4410, 0.0), r(4410, 0.0);

    auto kept = ringing();
    kept->SetParameter(0, 1.0); // already on: nothing is cleared
    run(*kept, l, r, 441);
    EXPECT_GT(rms(l), 1e-4);

    auto cut = ringing();
    cut->SetParameter(0, 0.0);
    std::fill(l.begin(), l.end(), 0.0);
    std::fill(r.begin(), r.end(), 0.0);
    run(*cut, l, r, 441);
    EXPECT_FALSE(cut->bypass.active);
    std::vector<double> untouched = noise(441, 5), copy = untouched, other(441, 0.0);
    cut->process(copy.data(), other.data(), 441);
    EXPECT_EQ(copy, untouched); // off and settled: the block passes as it is

    cut->SetParameter(0, 1.0);
    std::fill(l.begin(), l.end(), 0.0);
    std::fill(r.begin(), r.end(), 0.0);
    run(*cut, l, r, 441);
    EXPECT_EQ(peak(l), 0.0);
    EXPECT_EQ(peak(r), 0.0);
}

TEST(ClubReverb, TheOutputDoesNotDependOnTheBlockSize) {
    auto render = [](int size) {
        auto club = std::make_unique<ClubReverb>();
        club->SetDecay(0.85);
        std::vector<double> l = noise(6000, 6), r = noise(6000, 7);
        run(*club, l, r, size);
        return l;
    };
    const auto whole = render(6000);
    for (int size : {1, 64, 1000})
        EXPECT_EQ(render(size), whole) << size;
}

TEST(ClubReverb, RejectsSettingsThatWouldPoisonOrDestabiliseIt) {
    ClubReverb club;
    for (double rejected : {kNaN, kInfinity, 1e6})
        club.SetParameter(1, rejected);
    EXPECT_EQ(club.GetParameter(1), 0.0);
    club.SetParameter(0, kNaN);
    EXPECT_EQ(club.GetParameter(0), 1.0);
    for (double rejected : {kNaN, 1.01, -1.5})
        club.SetDecay(rejected);
    EXPECT_EQ(club.reverb.decay, 0.79);
    for (double rejected : {kNaN, -0.1, 2.5})
        club.SetDamping(rejected);
    EXPECT_DOUBLE_EQ(club.reverb.damping, 0.372);
    for (double rejected : {0.0, -1.0, kNaN, kInfinity})
        club.SetFs(rejected);
    EXPECT_EQ(club.fs, 44100.0);
    EXPECT_EQ(club.GetParameter(5), 0.0);
    const ClubReverbParameters p = club.GetParameters();
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.level, 0.0);
}

TEST(ClubReverb, ANonFiniteSampleStaysOnTheDryPathAndNeverReachesTheTail) {
    auto club = std::make_unique<ClubReverb>();
    std::vector<double> l = noise(512, 8), r = noise(512, 9);
    l[100] = kNaN;
    r[200] = kInfinity;
    club->process(l.data(), r.data(), 512);
    EXPECT_TRUE(std::isnan(l[100]));
    EXPECT_FALSE(std::isfinite(r[200]));
    EXPECT_TRUE(std::isfinite(l[101]) && std::isfinite(r[201]));
    for (int block = 0; block < 40; ++block) {
        l.assign(512, 0.0);
        r.assign(512, 0.0);
        club->process(l.data(), r.data(), 512);
        for (size_t i = 0; i < 512; ++i)
            ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i])) << block;
    }
    EXPECT_GT(rms(l), 1e-6); // the tail of the finite input rings on

    // A state that went bad anyway is cleared after the block.
    club->reverb.combL[3].buffer[0] = kNaN;
    for (int block = 0; block < 10; ++block)
        club->process(l.data(), r.data(), 512);
    l.assign(512, 0.0);
    r.assign(512, 0.0);
    club->process(l.data(), r.data(), 512);
    for (size_t i = 0; i < 512; ++i)
        ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
}

TEST(ClubReverb, NothingIsAllocatedOnceWarmedUpAtTheLargestBlock) {
    auto club = std::make_unique<ClubReverb>();
    std::vector<double> l(2048, 0.1), r(2048, 0.1);
    const Process stereo = [&](double* left, int n) { club->process(left, r.data(), n); };
    EXPECT_EQ(allocationsAfterWarmUp(
                  stereo, [&] { club->SetParameter(1, -20.0); },
                  [&] {
                      club->SetParameter(0, 0.0);
                      stereo(l.data(), 2048);
                      club->SetParameter(0, 1.0);
                  }),
              0u);
}
