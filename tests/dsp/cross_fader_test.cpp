// CrossFader: measured gains of the three laws, the floor, rejected values,
// the smoothing through the gain filters and the output forms.
#include "dsp/cross_fader.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testing_support;

namespace {

constexpr int settleSamples = 3000; // beyond the 31 ms gain fade at 44100 Hz

// The settled gains of A and B, measured by feeding 1 into one input at a time.
struct Gains {
    double a, b;
};
Gains measure(CrossFader& fader) {
    std::vector<double> one(settleSamples, 1.0), zero(settleSamples, 0.0), out(settleSamples);
    fader.process(one.data(), zero.data(), out.data(), settleSamples);
    const double a = out.back();
    one.assign(settleSamples, 1.0);
    zero.assign(settleSamples, 0.0);
    fader.process(zero.data(), one.data(), out.data(), settleSamples);
    return {a, out.back()};
}

struct LawCase {
    int mode;
    double position, a, b;
};

} // namespace

TEST(CrossFader, EachLawGivesItsGainsAndNoGainFallsBelowTheFloor) {
    const double floor = 1e-7;
    const double c2 = std::pow(std::cos(M_PI / 8.0), 2.0), s2 = std::pow(std::sin(M_PI / 8.0), 2.0);
    const LawCase cases[] = {
        {0, 0.0, floor, 1.0}, {0, 0.25, 0.25, 0.75}, {0, 0.5, 0.5, 0.5}, {0, 1.0, 1.0, floor},
        {1, 0.0, floor, 1.0}, {1, 0.25, 0.5, 1.0},   {1, 0.5, 1.0, 1.0}, {1, 1.0, 1.0, floor},
        {2, 0.0, 1.0, floor}, {2, 0.25, c2, s2},     {2, 0.5, 0.5, 0.5}, {2, 1.0, floor, 1.0},
    };
    CrossFader fader;
    for (const LawCase& c : cases) {
        fader.SetParameters({c.mode, c.position});
        const Gains g = measure(fader);
        EXPECT_NEAR(g.a, c.a, 1e-12 + 1e-12 * c.a) << c.mode << " at " << c.position;
        EXPECT_NEAR(g.b, c.b, 1e-12 + 1e-12 * c.b) << c.mode << " at " << c.position;
        EXPECT_GE(fader.gainA.GetParameter(4), -140.0 - 1e-9);
        EXPECT_GE(fader.gainB.GetParameter(4), -140.0 - 1e-9);
    }
    fader.SetParameters({0, 1.0});
    EXPECT_NEAR(fader.gainB.GetParameter(4), -140.0, 1e-9);
}

TEST(CrossFader, PassesBothInputsAtUnityUntilItsOwnerSetsIt) {
    CrossFader fader;
    const Gains g = measure(fader);
    EXPECT_EQ(g.a, 1.0);
    EXPECT_EQ(g.b, 1.0);
    // The stored law and position describe those gains: setting the position
    // alone now moves them.
    fader.SetParameter(1, 0.25);
    EXPECT_NEAR(measure(fader).a, 0.5, 1e-12);
}

TEST(CrossFader, RejectedValuesLeaveTheGainsAlone) {
    CrossFader fader;
    fader.SetParameters({2, 0.3});
    const Gains before = measure(fader);
    for (double mode : {3.0, -1.0, 2.5, -0.6, kNaN, kInfinity, 1e12})
        fader.SetParameter(0, mode);
    for (double position : {-0.01, 1.01, kNaN, kInfinity, -kInfinity})
        fader.SetParameter(1, position);
    fader.SetParameter(2, 0.7); // no such index
    EXPECT_EQ(fader.GetParameter(0), 2.0);
    EXPECT_EQ(fader.GetParameter(1), 0.3);
    EXPECT_EQ(fader.GetParameter(2), 0.0);
    EXPECT_FALSE(fader.gainA.fade.dirty);
    EXPECT_FALSE(fader.gainB.fade.dirty);
    const Gains after = measure(fader);
    EXPECT_EQ(after.a, before.a);
    EXPECT_EQ(after.b, before.b);
    // An enumeration rounds half up: -0.4 selects law 0.
    fader.SetParameter(0, -0.4);
    EXPECT_EQ(fader.GetParameter(0), 0.0);
    EXPECT_NEAR(measure(fader).a, 0.3, 1e-12);
}

TEST(CrossFader, GainChangesAreSmoothedByTheFilters) {
    CrossFader fader;
    fader.SetParameters({0, 1.0});
    measure(fader);
    fader.SetParameter(1, 0.0);
    std::vector<double> one(2000, 1.0), zero(2000, 0.0), out(2000);
    fader.process(one.data(), zero.data(), out.data(), 2000);
    EXPECT_EQ(out[0], 1.0);  // held for 1 ms
    EXPECT_EQ(out[44], 1.0); // still held
    EXPECT_GT(out[700], 0.3);
    EXPECT_LT(out[700], 0.7);
    EXPECT_NEAR(out[1999], 1e-7, 1e-15);
}

TEST(CrossFader, OutputMayBeAnInputAndStereoMatchesMono) {
    CrossFader separate, aliased, stereo;
    for (CrossFader* f : {&separate, &aliased, &stereo})
        f->SetParameters({2, 0.3});
    const int n = 2500;
    auto a = noise(n, 21), b = noise(n, 22), aR = noise(n, 23), bR = noise(n, 24);
    auto a1 = a, b1 = b, a2 = a, b2 = b;
    std::vector<double> out(n), outL(n), outR(n);
    separate.process(a1.data(), b1.data(), out.data(), n);
    aliased.process(a2.data(), b2.data(), a2.data(), n);
    EXPECT_EQ(a2, out);

    auto aL = a, bL = b;
    stereo.process(aL.data(), aR.data(), bL.data(), bR.data(), outL.data(), outR.data(), n);
    EXPECT_EQ(outL, out);
    CrossFader right;
    right.SetParameters({2, 0.3});
    auto ra = noise(n, 23), rb = noise(n, 24);
    std::vector<double> expectR(n);
    right.process(ra.data(), rb.data(), expectR.data(), n);
    EXPECT_EQ(outR, expectR);
}
