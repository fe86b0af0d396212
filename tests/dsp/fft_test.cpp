// FFT adapter: packing and signs of rdft and cdft against a naive DFT.
#include "dsp/fft.h"
#include "support/allocation_counter.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using namespace testing_support;

namespace {

using Complex = std::complex<double>;

// sum_j x_j exp(sign i 2 pi jk/n) for k = 0 .. n-1, accumulated in long double.
std::vector<Complex> naiveDft(const std::vector<Complex>& x, int sign) {
    const int n = static_cast<int>(x.size());
    std::vector<Complex> out(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        long double re = 0.0L, im = 0.0L;
        for (int j = 0; j < n; ++j) {
            const long double angle =
                sign * 2.0L * 3.141592653589793238462643383279502884L * ((1LL * j * k) % n) / n;
            const Complex v = x[static_cast<size_t>(j)];
            re += v.real() * std::cos(angle) - v.imag() * std::sin(angle);
            im += v.real() * std::sin(angle) + v.imag() * std::cos(angle);
        }
        out[static_cast<size_t>(k)] = {static_cast<double>(re), static_cast<double>(im)};
    }
    return out;
}

// 16-byte aligned storage for the allocation-free path, with n + 2 doubles
// of work area.
struct Arrays {
    explicit Arrays(int n) : a(static_cast<size_t>(n) + 2), work(static_cast<size_t>(n) + 2) {}
    std::vector<double> a;
    std::vector<double> work;
};

class FftSizes : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(FftSizes, RealTransformPacksDcNyquistAndBinsWithThePositiveKernel) {
    const int n = GetParam();
    const auto x = noise(n, 11u + static_cast<unsigned>(n));
    std::vector<Complex> xc(x.begin(), x.end());
    const auto reference = naiveDft(xc, +1);
    Arrays s(n);
    std::copy(x.begin(), x.end(), s.a.begin());
    ASSERT_TRUE(rdft(n, 1, s.a.data(), s.work.data()));
    const double tolerance = 1e-13 * n;
    EXPECT_NEAR(s.a[0], reference[0].real(), tolerance);
    EXPECT_NEAR(s.a[1], reference[static_cast<size_t>(n / 2)].real(), tolerance);
    for (int k = 1; k < n / 2; ++k) {
        EXPECT_NEAR(s.a[static_cast<size_t>(2 * k)], reference[static_cast<size_t>(k)].real(),
                    tolerance)
            << k;
        EXPECT_NEAR(s.a[static_cast<size_t>(2 * k + 1)], reference[static_cast<size_t>(k)].imag(),
                    tolerance)
            << k;
    }
}

TEST_P(FftSizes, InverseRealTransformGivesHalfTheSizeTimesTheSignal) {
    const int n = GetParam();
    // A packed spectrum of random values inverts to the naive Hermitian sum
    // (R_0 + R_(n/2) (-1)^j)/2 + sum_k (R_k cos + I_k sin)(2 pi jk/n).
    const auto packed = noise(n, 23u + static_cast<unsigned>(n));
    std::vector<Complex> bins(static_cast<size_t>(n), 0.0);
    bins[0] = 0.5 * packed[0];
    bins[static_cast<size_t>(n / 2)] += 0.5 * packed[1];
    for (int k = 1; k < n / 2; ++k) {
        // R cos + I sin = Re((R - iI) exp(+i ...)); the naive sum then takes
        // the real part.
        bins[static_cast<size_t>(k)] = {packed[static_cast<size_t>(2 * k)],
                                        -packed[static_cast<size_t>(2 * k + 1)]};
    }
    const auto reference = naiveDft(bins, +1);
    Arrays s(n);
    std::copy(packed.begin(), packed.end(), s.a.begin());
    ASSERT_TRUE(rdft(n, -1, s.a.data(), s.work.data()));
    for (int j = 0; j < n; ++j)
        EXPECT_NEAR(s.a[static_cast<size_t>(j)], reference[static_cast<size_t>(j)].real(),
                    1e-13 * n)
            << j;

    // Round trip: forward then inverse is n/2 times the signal.
    const auto x = noise(n, 5u);
    std::copy(x.begin(), x.end(), s.a.begin());
    rdft(n, 1, s.a.data(), s.work.data());
    rdft(n, -1, s.a.data(), s.work.data());
    for (int j = 0; j < n; ++j)
        EXPECT_NEAR(s.a[static_cast<size_t>(j)], 0.5 * n * x[static_cast<size_t>(j)], 1e-13 * n);
}

TEST_P(FftSizes, ComplexTransformFollowsTheSignOfItsKernelUnscaled) {
    const int n = GetParam(); // doubles: n/2 complex values
    const auto values = noise(n, 31u + static_cast<unsigned>(n));
    std::vector<Complex> x(static_cast<size_t>(n / 2));
    for (int j = 0; j < n / 2; ++j)
        x[static_cast<size_t>(j)] = {values[static_cast<size_t>(2 * j)],
                                     values[static_cast<size_t>(2 * j + 1)]};
    for (int sign : {+1, -1}) {
        const auto reference = naiveDft(x, sign);
        Arrays s(n);
        std::copy(values.begin(), values.end(), s.a.begin());
        ASSERT_TRUE(cdft(n, sign, s.a.data(), s.work.data()));
        for (int k = 0; k < n / 2; ++k) {
            EXPECT_NEAR(s.a[static_cast<size_t>(2 * k)], reference[static_cast<size_t>(k)].real(),
                        1e-13 * n)
                << sign << " " << k;
            EXPECT_NEAR(s.a[static_cast<size_t>(2 * k + 1)],
                        reference[static_cast<size_t>(k)].imag(), 1e-13 * n)
                << sign << " " << k;
        }
        // -1 then +1 (or the reverse) gives n/2 times the signal.
        ASSERT_TRUE(cdft(n, -sign, s.a.data(), s.work.data()));
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(s.a[static_cast<size_t>(j)], 0.5 * n * values[static_cast<size_t>(j)],
                        1e-13 * n);
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, FftSizes, ::testing::Values(2, 4, 8, 32, 256, 2048));

TEST(FftAdapter, LargestSizesRoundTripAndUnalignedArraysGiveTheSameResult) {
    for (int n : {4096, fftMaxSize}) {
        const auto x = noise(n, 3u);
        Arrays aligned(n);
        std::copy(x.begin(), x.end(), aligned.a.begin());
        // One double off the allocator's 16-byte alignment.
        std::vector<double> storage(static_cast<size_t>(2 * n + 6));
        double* a = storage.data() + 1;
        double* work = storage.data() + n + 3;
        std::copy(x.begin(), x.end(), a);
        for (auto transform : {rdft, cdft}) {
            ASSERT_TRUE(transform(n, 1, aligned.a.data(), aligned.work.data()));
            ASSERT_TRUE(transform(n, 1, a, work));
            for (int j = 0; j < n; ++j)
                ASSERT_NEAR(a[j], aligned.a[static_cast<size_t>(j)], 1e-9) << n << " " << j;
            transform(n, -1, aligned.a.data(), aligned.work.data());
            transform(n, -1, a, work);
            for (int j = 0; j < n; ++j) {
                EXPECT_NEAR(aligned.a[static_cast<size_t>(j)] / (0.5 * n),
                            x[static_cast<size_t>(j)], 1e-13)
                    << n << " " << j;
                aligned.a[static_cast<size_t>(j)] = a[j] = x[static_cast<size_t>(j)];
            }
        }
    }
}

TEST(FftAdapter, UnsupportedSizesAreRefusedAndLeaveTheArrayAlone) {
    std::vector<double> a(2 * fftMaxSize + 2, 0.25), work(a.size());
    for (int n : {-4, 0, 1, 3, 6, 1000, 2 * fftMaxSize}) {
        EXPECT_FALSE(rdft(n, 1, a.data(), work.data())) << n;
        EXPECT_FALSE(cdft(n, -1, a.data(), work.data())) << n;
    }
    for (double v : a)
        ASSERT_EQ(v, 0.25);
}

TEST(FftAdapter, TransformsOnAlignedArraysAllocateNothing) {
    fftPrepare();
    Arrays s(fftMaxSize);
    AllocationScope scope;
    for (int n = 2; n <= fftMaxSize; n *= 2) {
        rdft(n, 1, s.a.data(), s.work.data());
        rdft(n, -1, s.a.data(), s.work.data());
        cdft(n, 1, s.a.data(), s.work.data());
        cdft(n, -1, s.a.data(), s.work.data());
    }
    EXPECT_EQ(scope.count(), 0u);
}
