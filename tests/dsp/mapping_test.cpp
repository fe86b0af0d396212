// Value mapping between normalised values and physical units.
#include "dsp/mapping.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

TEST(ValueMapping, LinearRangesExtrapolateAndMayBeReversed) {
    EXPECT_DOUBLE_EQ(range(0.25, 20, 100), 40.0);
    EXPECT_DOUBLE_EQ(range(0.5, 0, -0.5), -0.25);
    EXPECT_DOUBLE_EQ(range(1.5, 0, 10), 15.0);
    EXPECT_DOUBLE_EQ(irange(40, 20, 100), 0.25);
    EXPECT_DOUBLE_EQ(irange(range(0.37, -12, 6), -12, 6), 0.37);
}

TEST(ValueMapping, LimitRangeClampsButKeepsNaN) {
    EXPECT_DOUBLE_EQ(limitrange(-1, 2, 4), 2.0);
    EXPECT_DOUBLE_EQ(limitrange(3, 2, 4), 4.0);
    EXPECT_DOUBLE_EQ(limitrange(0.5, 2, 4), 3.0);
    EXPECT_TRUE(std::isnan(limitrange(std::numeric_limits<double>::quiet_NaN(), 2, 4)));
}

TEST(ValueMapping, LogarithmicRangesGiveEqualRatiosForEqualSteps) {
    EXPECT_NEAR(rangeLog(0.5, 20, 20000), 632.4555, 1e-4);
    EXPECT_NEAR(rangeLog(0.0, 80, 5000), 80.0, 1e-12);
    EXPECT_NEAR(rangeLog(1.0, 80, 5000), 5000.0, 1e-9);
    EXPECT_NEAR(rangeLog(0.25, 100, 10000) / rangeLog(0.0, 100, 10000),
                rangeLog(1.0, 100, 10000) / rangeLog(0.75, 100, 10000), 1e-12);
    EXPECT_NEAR(irangeLog(632.4555320336759, 20, 20000), 0.5, 1e-12);
}

TEST(ValueMapping, DecibelRangesAndConversions) {
    EXPECT_NEAR(rangeDb(0.5, 0.1, 20), std::pow(10.0, 10.05 / 20.0), 1e-12);
    EXPECT_NEAR(rangeDb(0.5, 0.1, 20), 3.18, 0.005);
    EXPECT_NEAR(irangeDb(std::pow(10.0, 10.05 / 20.0), 0.1, 20), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(fromDb(20.0), 10.0);
    EXPECT_NEAR(fromDb(-6.0), 0.501187, 1e-6);
    EXPECT_DOUBLE_EQ(toDb(100.0), 40.0);
}

TEST(ValueMapping, PositionRoundsHalvesUpToOneBasedSteps) {
    EXPECT_EQ(position(0.0, 3), 1);
    EXPECT_EQ(position(1.0, 3), 3);
    EXPECT_EQ(position(0.5, 3), 2);
    EXPECT_EQ(position(0.25, 3), 2);
    EXPECT_EQ(position(0.2499, 3), 1);
    EXPECT_EQ(position(0.125, 5), 2);
    EXPECT_EQ(position(0.1, 5), 1);
    EXPECT_EQ(position(1.2, 5), 6);
    EXPECT_EQ(position(std::numeric_limits<double>::quiet_NaN(), 5), INT_MIN);
    EXPECT_EQ(position(1e300, 5), INT_MIN);
}

TEST(ValueMapping, IPositionInvertsPositionOnTheSteps) {
    EXPECT_DOUBLE_EQ(iposition(3, 5), 0.5);
    EXPECT_DOUBLE_EQ(iposition(1, 4), 0.0);
    EXPECT_DOUBLE_EQ(iposition(4, 4), 1.0);
    for (double x : {0.0, 0.1, 0.3, 0.62, 0.9, 1.0})
        EXPECT_NEAR(iposition(position(x, 5), 5), std::round(x * 4) / 4, 1e-12) << x;
}
