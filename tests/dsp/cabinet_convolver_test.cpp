// CabinetConvolver: equal to a direct convolution for every row, any block
// split, mono and stereo; exact delays; reloads; no allocation.
#include "dsp/cabinet_convolver.h"
#include "support/allocation_counter.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

using namespace testing_support;

namespace {

// Convolvers are created on the heap, as their owners hold them.
std::unique_ptr<CabinetConvolver> makeConvolver() {
    return std::make_unique<CabinetConvolver>();
}

// Direct convolution sum at sample k.
double direct(const std::vector<double>& h, const std::vector<double>& x, int k) {
    double y = 0.0;
    const int taps = std::min(static_cast<int>(h.size()), k + 1);
    for (int t = 0; t < taps; ++t)
        y += h[static_cast<size_t>(t)] * x[static_cast<size_t>(k - t)];
    return y;
}

// Block sizes at random: single samples, short blocks and blocks longer than
// the largest partition.
std::vector<int> randomBlocks(int total, int longest, std::mt19937& generator) {
    std::vector<int> blocks;
    std::uniform_int_distribution<int> kind(0, 3);
    while (total > 0) {
        int n = 1;
        switch (kind(generator)) {
        case 0:
            n = 1;
            break;
        case 1:
            n = std::uniform_int_distribution<int>(1, 64)(generator);
            break;
        default:
            n = std::uniform_int_distribution<int>(1, longest)(generator);
            break;
        }
        n = std::min(n, total);
        blocks.push_back(n);
        total -= n;
    }
    return blocks;
}

struct Run {
    std::vector<double> left, right;
};

// Runs the convolver over x in the given blocks.
Run runBlocks(CabinetConvolver& c, const std::vector<double>& x, const std::vector<int>& blocks) {
    Run r{std::vector<double>(x.size()), std::vector<double>(x.size())};
    size_t start = 0;
    for (int n : blocks) {
        c.process(x.data() + start, r.left.data() + start, r.right.data() + start, n);
        start += static_cast<size_t>(n);
    }
    return r;
}

// Largest deviation from the direct convolution relative to the reference's
// RMS, over the samples checked (all of them when affordable, else every
// stride-th with an odd stride, which visits every block position).
double relativeError(const std::vector<double>& h, const std::vector<double>& x,
                     const std::vector<double>& y) {
    const long budget = 6000000;
    const long perSample = static_cast<long>(h.size());
    int stride = static_cast<int>(std::max(1L, perSample * static_cast<long>(x.size()) / budget));
    stride |= 1;
    double worst = 0.0, sumSquares = 0.0;
    int count = 0;
    for (int k = 0; k < static_cast<int>(x.size()); k += stride) {
        const double reference = direct(h, x, k);
        worst = std::max(worst, std::fabs(y[static_cast<size_t>(k)] - reference));
        sumSquares += reference * reference;
        ++count;
    }
    const double referenceRms = std::sqrt(sumSquares / count);
    return worst / std::max(referenceRms, 1e-300);
}

// Lengths at and just above every row's N, below it, and above the limit.
std::vector<int> testLengths() {
    std::vector<int> lengths = {1, 2, 3, 5, 7, 12, 70000};
    for (const auto& row : CabinetConvolver::NLM) {
        const int N = row[0];
        if (N >= 8) lengths.push_back(N - N / 4 + 1);
        lengths.push_back(N);
        if (N < CabinetConvolver::maxLength) lengths.push_back(N + 1);
    }
    return lengths;
}

// Row partition size M for a length (input long enough to fill stage 2).
int partitionM(int length) {
    for (const auto& row : CabinetConvolver::NLM)
        if (row[0] >= length) return row[2];
    return CabinetConvolver::NLM[16][2];
}

} // namespace

TEST(CabinetConvolverTest, MatchesDirectConvolutionForRandomResponsesAndBlockSizes) {
    auto c = makeConvolver();
    std::mt19937 generator(7);
    for (int length : testLengths()) {
        const auto h = noise(length, 100u + static_cast<unsigned>(length));
        c->SetImpulse(h.data(), h.data(), length, true);
        const int used = std::min(length, CabinetConvolver::maxLength);
        const int M = partitionM(used);
        const auto x = noise(used + 3 * M + 37, 200u + static_cast<unsigned>(length));
        const auto y = runBlocks(*c, x, randomBlocks(static_cast<int>(x.size()), 3 * M, generator));
        const std::vector<double> taps(h.begin(), h.begin() + used);
        EXPECT_LT(relativeError(taps, x, y.left), 1e-12) << "length " << length;
        EXPECT_EQ(y.left, y.right) << "length " << length;
    }
}

// Each block's spectrum sums are shared out over its samples, eight bins at a
// time where the chunk allows and one by one otherwise: however the input is
// split, the output must be the same to the bit.
TEST(CabinetConvolverTest, TheOutputIsTheSameToTheBitForAnyBlockSplit) {
    std::mt19937 generator(17);
    for (int length : {24, 600, 1024, 5000}) {
        for (bool mono : {true, false}) {
            const auto left = noise(length, 3), right = noise(length, 4);
            const auto x = noise(4 * partitionM(length) + 999, 5);
            std::vector<::Run> runs; // (Run alone names the test's own member)
            for (int pass = 0; pass < 3; ++pass) {
                auto c = makeConvolver();
                c->SetImpulse(left.data(), right.data(), length, mono);
                const int total = static_cast<int>(x.size());
                const auto blocks = pass == 0   ? std::vector<int>(x.size(), 1)
                                    : pass == 1 ? std::vector<int>{total}
                                                : randomBlocks(total, 300, generator);
                runs.push_back(runBlocks(*c, x, blocks));
            }
            for (size_t k = 1; k < runs.size(); ++k) {
                EXPECT_EQ(runs[k].left, runs[0].left) << length << " " << mono << " " << k;
                EXPECT_EQ(runs[k].right, runs[0].right) << length << " " << mono << " " << k;
            }
        }
    }
}

// Blocks of whole partitions run a stage's share and block end in one pass,
// blocks that straddle partitions run them apart, and long calls go in spans
// that end anywhere within a partition: every arrangement must give the bits
// of one sample at a time, on rows with partitions of 8 to 64 and 64 to 1024
// samples.
TEST(CabinetConvolverTest, WholeStraddlingAndLongBlocksGiveTheBitsOfSingleSamples) {
    for (int length : {30, 200, 1024, 3000, 20000}) {
        int L = 0, M = 0;
        for (const auto& row : CabinetConvolver::NLM)
            if (L == 0 && row[0] >= length) L = row[1], M = row[2];
        const auto x = noise(3 * M + 300, 22);
        const int total = static_cast<int>(x.size());
        const auto repeated = [total](std::vector<int> pattern) {
            std::vector<int> blocks;
            for (int left = total, k = 0; left > 0; ++k) {
                const int n = std::min(left, pattern[static_cast<size_t>(k) % pattern.size()]);
                blocks.push_back(n);
                left -= n;
            }
            return blocks;
        };
        for (bool mono : {true, false}) {
            const auto left = noise(length, 23), right = noise(length, 24);
            const auto run = [&](const std::vector<int>& blocks) {
                auto c = makeConvolver();
                c->SetImpulse(left.data(), right.data(), length, mono);
                return runBlocks(*c, x, blocks);
            };
            const ::Run reference = run(std::vector<int>(x.size(), 1));
            for (const auto& pattern : std::vector<std::vector<int>>{
                     {L}, {M}, {1, L}, {L - 1, 1, M}, {M + 1, M - 1}, {129, 127}, {1000}}) {
                const ::Run r = run(repeated(pattern));
                EXPECT_EQ(r.left, reference.left) << length << " " << mono << " " << pattern[0];
                EXPECT_EQ(r.right, reference.right) << length << " " << mono << " " << pattern[0];
            }
        }
    }
}

TEST(CabinetConvolverTest, StereoResponsesMatchDirectConvolutionPerChannel) {
    auto c = makeConvolver();
    std::mt19937 generator(9);
    for (int length : testLengths()) {
        const auto left = noise(length, 300u + static_cast<unsigned>(length));
        const auto right = noise(length, 400u + static_cast<unsigned>(length));
        c->SetImpulse(left.data(), right.data(), length, false);
        const int used = std::min(length, CabinetConvolver::maxLength);
        const int M = partitionM(used);
        const auto x = noise(used + 3 * M + 21, 500u + static_cast<unsigned>(length));
        const auto y = runBlocks(*c, x, randomBlocks(static_cast<int>(x.size()), 3 * M, generator));
        const std::vector<double> hl(left.begin(), left.begin() + used);
        const std::vector<double> hr(right.begin(), right.begin() + used);
        EXPECT_LT(relativeError(hl, x, y.left), 1e-12) << "length " << length;
        EXPECT_LT(relativeError(hr, x, y.right), 1e-12) << "length " << length;
    }
}

TEST(CabinetConvolverTest, FreshConvolverPassesItsInputUnchanged) {
    auto c = makeConvolver();
    const auto x = noise(5000, 1u);
    std::vector<double> left(x.size()), right(x.size());
    c->process(x.data(), left.data(), right.data(), static_cast<int>(x.size()));
    EXPECT_EQ(left, x);
    EXPECT_EQ(right, x);
}

// A single 1.0 at tap t delays by exactly t samples, in the head, in stage 1
// and in stage 2, mono and stereo (the other stereo channel stays silent).
TEST(CabinetConvolverTest, SingleTapDelaysByItsIndexInEveryPartOfTheResponse) {
    auto c = makeConvolver();
    struct Case {
        int length;
        int tap;
    };
    const Case cases[] = {{1024, 0},   {1024, 9},   {1024, 15},    {1024, 16},    {1024, 77},
                          {1024, 127}, {1024, 128}, {1024, 600},   {1024, 1023},  {32, 31},
                          {65536, 63}, {65536, 64}, {65536, 2047}, {65536, 2048}, {65536, 65535}};
    for (const auto& [length, tap] : cases) {
        for (bool mono : {true, false}) {
            std::vector<double> h(static_cast<size_t>(length), 0.0), silent(h.size(), 0.0);
            h[static_cast<size_t>(tap)] = 1.0;
            c->SetImpulse(h.data(), silent.data(), length, mono);
            const auto x = noise(tap + 3000, 3u);
            std::vector<double> left(x.size()), right(x.size());
            const int sizes[] = {1, 700, 33, 5000};
            for (int start = 0, b = 0; start < static_cast<int>(x.size()); ++b) {
                const int n = std::min(sizes[b % 4], static_cast<int>(x.size()) - start);
                c->process(x.data() + start, left.data() + start, right.data() + start, n);
                start += n;
            }
            double worst = 0.0;
            for (int k = 0; k < static_cast<int>(x.size()); ++k) {
                const double expected = k >= tap ? x[static_cast<size_t>(k - tap)] : 0.0;
                worst = std::max(worst, std::fabs(left[static_cast<size_t>(k)] - expected));
                if (!mono) worst = std::max(worst, std::fabs(right[static_cast<size_t>(k)]));
            }
            EXPECT_LT(worst, 1e-13) << "length " << length << " tap " << tap << " mono " << mono;
        }
    }
}

TEST(CabinetConvolverTest, RowsFollowTheLengthAndLongResponsesAreCut) {
    auto c = makeConvolver();
    std::vector<double> h(70000, 0.0);
    struct Expect {
        int length, L, M, P1, P2;
    };
    for (const auto& e :
         {Expect{1024, 16, 128, 7, 7}, Expect{1025, 32, 256, 7, 7}, Expect{0, 1, 1, 0, 0},
          Expect{-5, 1, 1, 0, 0}, Expect{17, 8, 32, 3, 0}, Expect{70000, 64, 2048, 31, 31}}) {
        c->SetImpulse(h.data(), h.data(), e.length, true);
        EXPECT_EQ(c->L, e.L) << e.length;
        EXPECT_EQ(c->M, e.M) << e.length;
        EXPECT_EQ(c->P1, e.P1) << e.length;
        EXPECT_EQ(c->P2, e.P2) << e.length;
    }
    // Taps beyond 65536 are not heard: a tap at 65536 gives silence.
    h[65536] = 1.0;
    c->SetImpulse(h.data(), h.data(), 70000, true);
    const auto x = noise(70000, 4u);
    std::vector<double> y(x.size());
    c->process_mono(x.data(), y.data(), static_cast<int>(x.size()));
    EXPECT_EQ(peak(y), 0.0);
}

TEST(CabinetConvolverTest, InPlaceAndAliasedOutputsGiveTheSameResult) {
    const auto h = noise(1024, 12u);
    const auto x = noise(3000, 13u);
    auto reference = makeConvolver();
    auto inPlace = makeConvolver();
    auto aliased = makeConvolver();
    for (auto* c : {reference.get(), inPlace.get(), aliased.get()})
        c->SetImpulse(h.data(), nullptr, 1024, true);
    std::vector<double> expected(x.size()), buffer = x, shared = x, other(x.size());
    reference->process_mono(x.data(), expected.data(), static_cast<int>(x.size()));
    inPlace->process_iphone(buffer.data(), static_cast<int>(x.size()));
    aliased->process(shared.data(), shared.data(), other.data(), static_cast<int>(x.size()));
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(shared, expected);
    EXPECT_EQ(other, expected);
}

// A load restarts from silence: no trace of earlier input, only the new
// response applied to input from the load on.
TEST(CabinetConvolverTest, LoadingAResponseClearsEarlierInput) {
    auto c = makeConvolver();
    for (bool mono : {true, false}) {
        const auto h = noise(4096, 21u);
        c->SetImpulse(h.data(), h.data(), 4096, mono);
        auto x = noise(10000, 22u);
        std::vector<double> left(x.size()), right(x.size());
        c->process(x.data(), left.data(), right.data(), 777);
        c->SetImpulse(h.data(), h.data(), 4096, mono);
        std::fill(x.begin(), x.end(), 0.0);
        c->process(x.data(), left.data(), right.data(), static_cast<int>(x.size()));
        EXPECT_EQ(peak(left), 0.0);
        EXPECT_EQ(peak(right), 0.0);
    }
}

// Non-finite taps load as silence; a non-finite input sample is heard for at
// most the response's length and then leaves no trace.
TEST(CabinetConvolverTest, NonFiniteValuesDoNotPoisonTheOutputForever) {
    auto c = makeConvolver();
    auto h = noise(1024, 31u);
    h[3] = kNaN;
    h[500] = kInfinity;
    c->SetImpulse(h.data(), h.data(), 1024, true);
    auto x = noise(4096, 32u);
    std::vector<double> y(x.size());
    c->process_mono(x.data(), y.data(), static_cast<int>(x.size()));
    for (double v : y)
        ASSERT_TRUE(std::isfinite(v));

    x[100] = kNaN;
    c->process_mono(x.data(), y.data(), static_cast<int>(x.size()));
    x[100] = 0.0;
    c->process_mono(x.data(), y.data(), static_cast<int>(x.size()));
    for (double v : y)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(CabinetConvolverTest, ProcessingAndLoadingAllocateNothingOnceStorageIsReserved) {
    auto c = makeConvolver();
    const auto h = noise(65536, 41u);
    auto x = noise(9000, 42u);
    std::vector<double> left(x.size()), right(x.size());
    c->Reserve(65536, true);
    c->Reserve(65536, false);
    AllocationScope scope;
    for (int length : {1024, 65536, 100, 3000}) {
        for (bool mono : {true, false}) {
            c->SetImpulse(h.data(), h.data(), length, mono);
            c->process(x.data(), left.data(), right.data(), static_cast<int>(x.size()));
            c->process_iphone(x.data(), 1);
        }
    }
    EXPECT_EQ(scope.count(), 0u);
}

TEST(CabinetConvolverTest, GrowingTheStorageKeepsTheResponseAndTheRunningState) {
    const auto h = noise(1024, 43u);
    const auto x = noise(3000, 44u);
    for (bool mono : {true, false}) {
        auto steady = makeConvolver();
        auto grown = makeConvolver();
        steady->SetImpulse(h.data(), h.data(), 1024, mono);
        grown->SetImpulse(h.data(), h.data(), 1024, mono);
        std::vector<double> a(x.size()), b(x.size()), ar(x.size()), br(x.size());
        steady->process(x.data(), a.data(), ar.data(), 1000);
        grown->process(x.data(), b.data(), br.data(), 1000);
        grown->Reserve(65536, !mono); // moves everything to a larger block
        const std::size_t bytes = grown->StorageBytes();
        grown->Reserve(2048, mono); // already large enough: nothing moves
        EXPECT_EQ(grown->StorageBytes(), bytes);
        steady->process(x.data() + 1000, a.data() + 1000, ar.data() + 1000, 2000);
        grown->process(x.data() + 1000, b.data() + 1000, br.data() + 1000, 2000);
        EXPECT_EQ(a, b) << mono;
        EXPECT_EQ(ar, br) << mono;
    }
}
