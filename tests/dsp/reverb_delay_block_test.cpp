// ReverbDelayBlock structures and the prime-number lookups.
#include "dsp/primes.h"
#include "dsp/reverb_delay_block.h"

#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using testing_support::kNaN;

namespace {

bool isPrime(int n) {
    if (n < 2) return false;
    for (int d = 2; d * d <= n; ++d)
        if (n % d == 0) return false;
    return true;
}

// Output of one processing operation for a unit impulse.
template <class Step> std::vector<double> impulseThrough(Step step, int length) {
    std::vector<double> y(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        y[static_cast<size_t>(i)] = step(i == 0 ? 1.0 : 0.0);
    return y;
}

} // namespace

TEST(PrimeTable, HoldsExactlyTheFirstTenThousandPrimesInOrder) {
    int expected = 1;
    for (int k = 0; k < primeCount; ++k) {
        do
            ++expected;
        while (!isPrime(expected));
        ASSERT_EQ(prime[static_cast<size_t>(k)], expected) << k;
    }
    EXPECT_EQ(prime.back(), 104729);
}

TEST(PrimeLookup, ClosestPrimeBreaksTiesDownwardsAndSaturatesAtTheEnds) {
    EXPECT_EQ(closest_prime(4.0), 3);
    EXPECT_EQ(closest_prime(9.0), 7);
    EXPECT_EQ(closest_prime(1116 * 48000 / 44100.0), 1213);
    EXPECT_EQ(closest_prime(-5.0), 2);
    EXPECT_EQ(closest_prime(1e9), 104729);
    EXPECT_EQ(closest_prime(kNaN), 2);
    EXPECT_EQ(closest_prime(1117), 1117);
    EXPECT_EQ(closest_prime(1356), 1361); // 1361 is 5 away, 1327 far below
    EXPECT_EQ(closest_prime_index(7.2), 3);
}

TEST(PrimeLookup, NextAndPreviousStepPastANearestPrimeOnTheWrongSide) {
    EXPECT_EQ(next_prime(4), 5);
    EXPECT_EQ(previous_prime(4), 3);
    EXPECT_EQ(next_prime(8.5), 11);    // nearest is 7, below
    EXPECT_EQ(previous_prime(9.5), 7); // nearest is 11, above
    EXPECT_EQ(next_prime(7), 7);
    EXPECT_EQ(previous_prime(7), 7);
    EXPECT_EQ(previous_prime(1.0), 2);
    EXPECT_EQ(previous_prime(-3), 2);
    EXPECT_EQ(next_prime(200000.0), 104729);
    EXPECT_EQ(next_prime(104728.5), 104729);
    EXPECT_EQ(previous_prime(104730), 104729);
}

TEST(ReverbDelayBlock, AFreshElementDelaysByOneSampleAndResizeAlwaysRestarts) {
    ReverbDelayBlock block;
    EXPECT_EQ(block.getsize(), 1.0);
    EXPECT_EQ(block.process_DLY(0.3), 0.0);
    EXPECT_EQ(block.process_DLY(0.7), 0.3);
    EXPECT_EQ(block.getout(), 0.3);

    block.resize(3);
    for (double x : {1.0, 2.0})
        block.process_DLY(x);
    block.resize(3); // the same size still reallocates, zeroes and rewinds
    EXPECT_EQ(block.position, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(block.process_DLY(5.0), 0.0);
    block.resize(0); // taken as one entry
    EXPECT_EQ(block.size, 1);
}

TEST(ReverbDelayBlock, TapsReadTheInputOfNSamplesAgo) {
    ReverbDelayBlock block;
    block.setup_DLY(5);
    for (int i = 1; i <= 7; ++i)
        block.process_DLY(i);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(block.gettap(n), 8 - n) << n;
    EXPECT_EQ(block.gettap(0), 3.0); // the oldest entry
    EXPECT_EQ(block.gettap(12), block.gettap(2));
}

TEST(ReverbDelayBlock, CombsAndAllPassesGiveTheirImpulseSequences) {
    const int n = 4;
    ReverbDelayBlock block;

    block.setup_FBFFCF(0.5, n);
    auto y = impulseThrough([&](double x) { return block.process_FBFFCF(x); }, 4 * n + 1);
    EXPECT_EQ(y[0], -1.0);
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(y[static_cast<size_t>(k * n)], std::pow(0.5, k - 1)) << k;
    EXPECT_EQ(y[1], 0.0);

    block.setup_LBCF(0.0, 0.3, n); // no feedback: a plain delay of n
    y = impulseThrough([&](double x) { return block.process_LBCF(x); }, 2 * n + 1);
    EXPECT_EQ(y[static_cast<size_t>(n)], 1.0);
    EXPECT_EQ(y[static_cast<size_t>(2 * n)], 0.0);

    block.setup_LBCF(0.6, 0.0, n); // undamped: a feedback comb of gain 0.6
    block.state = 0.0;
    y = impulseThrough([&](double x) { return block.process_LBCF(x); }, 3 * n + 1);
    EXPECT_EQ(y[static_cast<size_t>(n)], 1.0);
    EXPECT_DOUBLE_EQ(y[static_cast<size_t>(2 * n)], 0.6);
    EXPECT_DOUBLE_EQ(y[static_cast<size_t>(3 * n)], 0.36);

    block.setup_FBCF(0.5, n);
    y = impulseThrough([&](double x) { return block.process_FBCF(x); }, 2 * n + 1);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(y[static_cast<size_t>(n)], 0.5);
    EXPECT_EQ(y[static_cast<size_t>(2 * n)], 0.25);

    block.setup_FBCF2(0.5, n);
    y = impulseThrough([&](double x) { return block.process_FBCF2(x); }, 2 * n + 1);
    EXPECT_EQ(y[0], 0.0);
    EXPECT_EQ(y[static_cast<size_t>(n)], 1.0);
    EXPECT_EQ(y[static_cast<size_t>(2 * n)], 0.5);

    block.setup_FFCF(0.5, n);
    y = impulseThrough([&](double x) { return block.process_FFCF(x); }, 2 * n + 1);
    EXPECT_EQ(y[0], 0.5);
    EXPECT_EQ(y[static_cast<size_t>(n)], 1.0);
    EXPECT_EQ(y[static_cast<size_t>(2 * n)], 0.0);

    block.setup_OPLP(0.25);
    block.state = 0.0;
    EXPECT_EQ(block.process_OPLP(1.0), 0.75);
    EXPECT_EQ(block.process_OPLP(1.0), 0.9375);
}

TEST(ReverbDelayBlock, TheAllPassKeepsTheEnergyOfAnImpulse) {
    ReverbDelayBlock block;
    block.setup_AP(0.7, 13);
    auto y = impulseThrough([&](double x) { return block.process_AP(x); }, 13 * 400);
    double energy = 0.0;
    for (double v : y)
        energy += v * v;
    EXPECT_NEAR(energy, 1.0, 1e-9);
    EXPECT_EQ(y[0], -0.7);
}

TEST(ReverbDelayBlock, ClearingZeroesMemoryButKeepsLengthAndCoefficients) {
    ReverbDelayBlock block;
    block.setup_LBCF(0.8, 0.2, 7);
    for (int i = 0; i < 20; ++i)
        block.process_LBCF(1.0);
    block.clear_buffer();
    EXPECT_EQ(block.size, 7);
    EXPECT_EQ(block.g, 0.8);
    EXPECT_EQ(block.d, 0.2);
    EXPECT_EQ(block.oneMinusD, 0.8);
    EXPECT_EQ(block.state, 0.0);
    EXPECT_EQ(block.getout(), 0.0);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(block.process_LBCF(0.0), 0.0);
}
