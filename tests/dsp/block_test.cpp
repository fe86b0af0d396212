// The shared block conventions: flush, setter reading rules, smoothing.
#include "dsp/block.h"

#include "support/signals.h"

#include <gtest/gtest.h>

using testing_support::kInfinity;
using testing_support::kNaN;

#include <cmath>
#include <limits>

TEST(DenormalFlush, TinyValuesBecomeExactlyZero) {
    EXPECT_EQ(flush(1e-30), 0.0);
    EXPECT_EQ(flush(-1e-30), 0.0);
    EXPECT_EQ(flush(6e-27), 0.0);
    EXPECT_EQ(flush(std::numeric_limits<double>::denorm_min()), 0.0);
}

TEST(DenormalFlush, SmallValuesAreRoundedToTheGridOfTwoToTheMinus86) {
    const double grid = std::ldexp(1.0, -86);
    for (double v : {1e-20, 3.3e-18, -7.1e-15, 2e-25}) {
        const double f = flush(v);
        EXPECT_NEAR(f, v, grid);
        EXPECT_EQ(std::fmod(f, grid), 0.0) << v;
    }
}

TEST(DenormalFlush, OrdinaryValuesKeepTheirSizeAndNonFiniteValuesPass) {
    EXPECT_NEAR(flush(0.3), 0.3, 1e-16);
    EXPECT_EQ(flush(1.0), 1.0);
    EXPECT_TRUE(std::isnan(flush(kNaN)));
    EXPECT_EQ(flush(kInfinity), kInfinity);
}

TEST(SetterRules, SwitchesReadOffBelowHalfAndOnOtherwiseIncludingNaN) {
    EXPECT_FALSE(readSwitch(0.4999));
    EXPECT_FALSE(readSwitch(-1.0));
    EXPECT_TRUE(readSwitch(0.5));
    EXPECT_TRUE(readSwitch(7.0));
    EXPECT_TRUE(readSwitch(kNaN));
}

TEST(SetterRules, EnumerationsRoundHalfUpAndRejectAnythingOutsideTheUnsignedRange) {
    int choice = 99;
    EXPECT_TRUE(readChoice(-0.4, 13, choice));
    EXPECT_EQ(choice, 0);
    EXPECT_TRUE(readChoice(13.4, 13, choice));
    EXPECT_EQ(choice, 13);
    EXPECT_TRUE(readChoice(6.5, 13, choice));
    EXPECT_EQ(choice, 7);

    choice = 99;
    for (double rejected : {-0.6, 13.5, -1.0, 1e10, -1e10, 1e300, kNaN, kInfinity, -kInfinity})
        EXPECT_FALSE(readChoice(rejected, 13, choice)) << rejected;
    EXPECT_EQ(choice, 99);
}

TEST(SetterRules, StoreIfChangedIgnoresTheStoredValueAndAlwaysTakesNaN) {
    double field = 1.0;
    EXPECT_FALSE(storeIfChanged(field, 1.0));
    EXPECT_TRUE(storeIfChanged(field, 2.0));
    EXPECT_EQ(field, 2.0);
    EXPECT_TRUE(storeIfChanged(field, kNaN));
    EXPECT_TRUE(storeIfChanged(field, kNaN)); // a NaN never equals itself
}

TEST(ParameterSmoothing, AGapShrinksToATenthOfAPercentInTheSmoothingTime) {
    const double fs = 44100.0;
    const double coefficient = smoothingCoefficient(0.06, fs);
    double current = 0.0;
    const double target = 1000.0;
    const int samples = static_cast<int>(0.06 * fs);
    for (int i = 0; i < samples; ++i)
        smoothTowards(current, target, coefficient);
    EXPECT_NEAR(target - current, 1.0, 0.01); // 0.1 % of the gap
}

TEST(ParameterSmoothing, SnapsOnceWithinAThousandthAndReportsTheEnd) {
    double current = 0.0;
    int steps = 0;
    while (smoothTowards(current, 0.5, 0.1))
        ++steps;
    EXPECT_EQ(current, 0.5);
    EXPECT_GT(steps, 10);

    current = 0.2;
    EXPECT_FALSE(smoothTowards(current, 0.2009, 0.1)); // within 0.001: snaps at once
    EXPECT_EQ(current, 0.2009);
}

TEST(ParameterSmoothing, ANaNTargetKeepsSmoothingActive) {
    double current = 0.0;
    EXPECT_TRUE(smoothTowards(current, kNaN, 0.1));
}
