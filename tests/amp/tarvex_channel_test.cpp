// TarvexChannel: the oversampling filter and resamplers against their
// definitions, rate bands, setting mappings, on/off, lamps, block-length
// independence and bad samples.
#include "amp/tarvex_channel.h"
#include "dsp/block.h"
#include "support/allocation_counter.h"
#include "support/real_time.h"
#include "support/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

using namespace testing_support;

namespace {

constexpr int taps = TarvexChannel::taps;

std::vector<double> table() {
    return std::vector<double>(TarvexChannel::us_filter, TarvexChannel::us_filter + taps);
}

// The resampler pair exactly as defined: 64-entry rings indexed with AND 63,
// every sum newest sample first.
struct ReferenceResampler {
    double up[taps] = {}, down[taps] = {};
    int upIndex = 0, downIndex = 0;

    std::vector<double> Upsample(const std::vector<double>& x, int factor) {
        std::vector<double> out;
        for (double v : x) {
            upIndex = (upIndex - 1) & 63;
            up[upIndex] = v;
            for (int j = 0; j < factor; ++j) {
                double y = 0.0;
                for (int k = j, m = 0; k <= 63; k += factor, ++m)
                    y += up[(upIndex + m) & 63] * TarvexChannel::us_filter[k];
                out.push_back(y * factor);
            }
        }
        return out;
    }
    std::vector<double> Downsample(const std::vector<double>& s, int factor) {
        std::vector<double> x;
        for (size_t i = 0; i < s.size(); i += static_cast<size_t>(factor)) {
            for (int t = 0; t < factor; ++t) {
                downIndex = (downIndex - 1) & 63;
                down[downIndex] = s[i + static_cast<size_t>(t)];
            }
            double y = 0.0;
            for (int k = 0; k < taps; ++k)
                y += down[(downIndex + k) & 63] * TarvexChannel::us_filter[k];
            x.push_back(y);
        }
        return x;
    }
};

// Runs the channel's resampler pair over x in place; returns the oversampled
// blocks in order.
std::vector<double> resample(TarvexChannel& channel, std::vector<double>& x, int block) {
    std::vector<double> oversampled;
    processInBlocks(
        [&](double* p, int n) {
            channel.Upsample(p, n);
            const double* os = channel.OversampledBlock();
            oversampled.insert(oversampled.end(), os, os + channel.osLength);
            channel.Downsample(p, n);
        },
        x, block);
    return oversampled;
}

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = a.size() == b.size() ? 0.0 : kInfinity;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// A bass-like test signal: two partials and a little noise.
std::vector<double> bassNote(int n, double fs, unsigned seed) {
    auto x = noise(n, seed);
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = 0.4 * std::sin(2.0 * M_PI * 55.0 * i / fs) +
                                    0.2 * std::sin(2.0 * M_PI * 165.0 * i / fs) +
                                    0.02 * x[static_cast<size_t>(i)];
    return x;
}

} // namespace

TEST(TarvexChannelFilter, TableHoldsTheWindowedSincRoundedToThirteenDigits) {
    double products[taps], sum = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double x = (k - 31.5) / 8.0;
        const double sinc = std::sin(M_PI * x) / (M_PI * x);
        const double w = 0.3635819 - 0.4891775 * std::cos(2.0 * M_PI * k / 63.0) +
                         0.1365995 * std::cos(4.0 * M_PI * k / 63.0) -
                         0.0106411 * std::cos(6.0 * M_PI * k / 63.0);
        products[k] = sinc * w;
        sum += products[k];
    }
    const auto h = table();
    for (int k = 0; k < taps; ++k) {
        EXPECT_NEAR(h[k], products[k] / sum, 5e-13 * std::fabs(products[k] / sum)) << k;
        EXPECT_EQ(h[k], h[taps - 1 - k]) << k;
    }
    // Each polyphase branch of factor L sums to 1/L, to within about 1e-7 (the
    // window makes it a near, not an exact, band-limiting interpolator).
    for (int factor : {1, 2, 4}) {
        for (int j = 0; j < factor; ++j) {
            double branch = 0.0;
            for (int k = j; k < taps; k += factor)
                branch += h[k];
            EXPECT_NEAR(branch, 1.0 / factor, 2e-7) << factor << " " << j;
        }
    }
}

TEST(TarvexChannelFilter, MeetsItsDesignFiguresAtTheOversampledRate) {
    const auto h = table();
    EXPECT_NEAR(magnitudeDb(h, 0.0, 1.0), 0.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(h, 0.025, 1.0), -0.1, 0.02);
    EXPECT_NEAR(magnitudeDb(h, 0.053, 1.0), -3.0, 0.1);
    EXPECT_NEAR(magnitudeDb(h, 1.0 / 16.0, 1.0), -6.02, 0.01);
    for (double f = 0.111; f <= 0.125; f += 0.001)
        EXPECT_LT(magnitudeDb(h, f, 1.0), -60.0) << f;
    for (double f = 0.125; f <= 0.5; f += 0.0005)
        ASSERT_LT(magnitudeDb(h, f, 1.0), -109.0) << f;
}

TEST(TarvexChannelResampling, MatchesTheRingFormulasForAnyBlockSizesAndFactors) {
    TarvexChannel channel;
    ReferenceResampler reference;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> blockSize(1, 300);
    for (double fs : {44100.0, 96000.0, 192000.0, 48000.0}) {
        channel.SetFs(fs); // the histories carry over a rate change
        for (int round = 0; round < 6; ++round) {
            const int n = blockSize(random);
            auto x = noise(n, static_cast<unsigned>(round + 10 * channel.osFactor));
            const auto expectedOs = reference.Upsample(x, channel.osFactor);
            const auto expected = reference.Downsample(expectedOs, channel.osFactor);
            const auto os = resample(channel, x, n);
            ASSERT_LT(maxDifference(os, expectedOs), 1e-14) << fs << " " << n;
            ASSERT_LT(maxDifference(x, expected), 1e-14) << fs << " " << n;
        }
    }
}

// The resamplers take eight samples at a time where they can and the rest one
// by one; both must give the same bits, or the sound would depend on the
// host's block length.
TEST(TarvexChannelResampling, TheResultIsTheSameToTheBitForAnyBlockLengths) {
    for (double fs : {48000.0, 96000.0, 192000.0}) {
        std::vector<double> reference;
        std::vector<double> referenceOs;
        for (int block : {1, 7, 8, 9, 16, 33, 300}) {
            TarvexChannel channel;
            channel.SetFs(fs);
            auto x = noise(600, 21);
            const auto os = resample(channel, x, block);
            if (reference.empty()) {
                reference = x;
                referenceOs = os;
                continue;
            }
            ASSERT_EQ(os.size(), referenceOs.size());
            EXPECT_EQ(std::memcmp(os.data(), referenceOs.data(), os.size() * sizeof(double)), 0)
                << fs << " " << block;
            EXPECT_EQ(std::memcmp(x.data(), reference.data(), x.size() * sizeof(double)), 0)
                << fs << " " << block;
        }
    }
}

TEST(TarvexChannelResampling, ThePairPassesAConstantAtUnityAndIsLinearPhase) {
    for (double fs : {44100.0, 96000.0, 192000.0}) {
        TarvexChannel channel;
        channel.SetFs(fs);
        const int factor = channel.osFactor;
        std::vector<double> x(200, 1.0);
        resample(channel, x, 37);
        // Settled once 127 oversampled samples (both filters) have passed.
        for (int i = 128 / factor; i < 200; ++i)
            ASSERT_NEAR(x[static_cast<size_t>(i)], 1.0, 1e-6) << fs << " " << i;

        // Symmetric impulse response about 64/L - 1 base samples.
        TarvexChannel fresh;
        fresh.SetFs(fs);
        std::vector<double> h(200, 0.0);
        h[0] = 1.0;
        resample(fresh, h, 200);
        const int centre = 64 / factor - 1;
        for (int m = 0; m <= centre; ++m)
            EXPECT_NEAR(h[static_cast<size_t>(m)], h[static_cast<size_t>(2 * centre - m)], 1e-15)
                << fs << " " << m;
        for (size_t m = static_cast<size_t>(2 * centre + 1); m < h.size(); ++m)
            EXPECT_EQ(h[m], 0.0);
    }
}

TEST(TarvexChannelRate, FactorAndPreAmpTubeRateFollowTheBands) {
    struct Band {
        double fs;
        int factor;
        double tubeRate;
    };
    TarvexChannel channel;
    for (const Band& b :
         {Band{32000.0, 4, 176400.0}, Band{44100.0, 4, 176400.0}, Band{46049.99, 4, 176400.0},
          Band{46050.0, 4, 192000.0}, Band{48000.0, 4, 192000.0}, Band{68100.0, 2, 176400.0},
          Band{88200.0, 2, 176400.0}, Band{96000.0, 2, 192000.0}, Band{136200.0, 1, 176400.0},
          Band{176400.0, 1, 176400.0}, Band{192000.0, 1, 192000.0}, Band{384000.0, 1, 192000.0}}) {
        channel.SetFs(b.fs);
        EXPECT_EQ(channel.osFactor, b.factor) << b.fs;
        EXPECT_EQ(channel.osGain, b.factor) << b.fs;
        EXPECT_EQ(channel.tubePre.fs, b.tubeRate) << b.fs;
        EXPECT_EQ(channel.tubePost.fs, b.fs);
        EXPECT_EQ(channel.bass.fs, b.fs);
        EXPECT_NEAR(std::pow(channel.meterDecay, 0.1 * b.fs), 0.5, 1e-12) << b.fs;
    }
}

// The warm-up runs the tubes until the fades that a rate change starts are
// over; a repeated or refused rate does nothing at all.
TEST(TarvexChannelRate, ANewRateAlwaysWarmsUpTheTubesAndARepeatedOneDoesNothing) {
    TarvexChannel channel;
    EXPECT_FALSE(channel.tubePre.fade.dirty || channel.tubePre.fade.crossfading);
    EXPECT_FALSE(channel.tubePost.fade.dirty || channel.tubePost.fade.crossfading);
    channel.tubePre.SetParameter(3, 0.5);
    channel.tubePost.SetParameter(3, 0.5);
    for (double rate : {44100.0, 0.0, -44100.0, kNaN, kInfinity})
        channel.SetFs(rate);
    EXPECT_TRUE(channel.tubePre.fade.dirty);
    EXPECT_TRUE(channel.tubePost.fade.dirty);
    channel.SetFs(44000.0); // same band and tube rate, still a new rate
    EXPECT_FALSE(channel.tubePre.fade.dirty || channel.tubePre.fade.crossfading);
    EXPECT_FALSE(channel.tubePost.fade.dirty || channel.tubePost.fade.crossfading);
}

TEST(TarvexChannelSettings, IndicesReachTheirBlocksInTheirUnits) {
    TarvexChannel channel;
    struct Row {
        int index;
        double value;
        std::function<double()> reached;
        double expected;
        double tolerance = 0.0; // none: equal but for the last bits
    };
    const Row rows[] = {
        {1, 1.0, [&] { return channel.invertGain; }, -1.0},
        {1, 0.2, [&] { return channel.invertGain; }, 1.0},
        {2, 0.0, [&] { return channel.compressor.GetParameter(0); }, 0.0},
        {3, 0.8, [&] { return channel.compressor.GetParameter(2); }, 0.8},
        {4, 1.0, [&] { return channel.compressor.GetParameter(3); }, 0.05},
        {5, 0.0, [&] { return channel.gainControl.GetParameter(1); }, 0.02},
        {6, 1.0, [&] { return channel.tubePre.GetParameter(1); }, 100.0},
        {6, 0.0, [&] { return channel.tubePre.GetParameter(1); }, 10.0},
        {7, 0.0, [&] { return channel.bass.GetParameter(4); }, -15.0},
        {8, 1.0, [&] { return channel.mid.GetParameter(4); }, 12.0},
        {9, 0.5, [&] { return channel.mid.GetParameter(2); }, 400.0, 1e-9},
        {10, 0.75, [&] { return channel.treble.GetParameter(4); }, 7.5},
        {11, 1.0, [&] { return channel.tubePost.GetParameter(9); }, 15.0, 1e-12},
        {12, 0.3, [&] { return channel.tubePost.GetParameter(3); }, 0.3},
    };
    for (const Row& row : rows) {
        channel.SetParameter(row.index, row.value);
        if (row.tolerance == 0.0)
            EXPECT_DOUBLE_EQ(row.reached(), row.expected) << row.index << " " << row.value;
        else
            EXPECT_NEAR(row.reached(), row.expected, row.tolerance) << row.index;
    }
    // Values a block refuses, and indices the channel does not have.
    for (int index : {3, 4, 5, 7, 8, 9, 10, 11, 12})
        channel.SetParameter(index, kNaN);
    channel.SetParameter(9, 2.0); // 400 kHz
    channel.SetParameter(13, 0.0);
    channel.SetParameter(-1, 0.0);
    EXPECT_EQ(channel.compressor.GetParameter(2), 0.8);
    EXPECT_NEAR(channel.mid.GetParameter(2), 400.0, 1e-9);
    EXPECT_EQ(channel.tubePost.GetParameter(3), 0.3);
    EXPECT_EQ(channel.channelOn.state, 1);
    channel.SetParameter(0, kNaN); // reads as on
    EXPECT_EQ(channel.channelOn.state, 1);
}

TEST(TarvexChannelOnOff, SwitchingOffFadesToSilenceAndTheLampsReadZero) {
    TarvexChannel channel;
    auto x = bassNote(4410, 44100.0, 1);
    channel.process(x.data(), 4410);
    const double settledPeak = peak(x);
    EXPECT_GT(channel.LimiterIndicator(), 0.0);
    EXPECT_GT(channel.CompressorIndicator(), 0.0);

    channel.SetParameter(0, 0.0);
    x = bassNote(1000, 44100.0, 2);
    channel.process(x.data(), 1000);
    // 882 samples (20 ms) of fade, the gain falling before each sample.
    EXPECT_LT(std::fabs(x[881]), settledPeak / 800.0);
    for (size_t i = 882; i < x.size(); ++i)
        ASSERT_EQ(x[i], 0.0) << i;
    EXPECT_FALSE(channel.channelOn.active);
    // The next block skips the chain: silence, and both lamps out at once.
    x = bassNote(500, 44100.0, 3);
    channel.process(x.data(), 500);
    EXPECT_EQ(peak(x), 0.0);
    EXPECT_EQ(channel.LimiterIndicator(), 0.0);
    EXPECT_EQ(channel.CompressorIndicator(), 0.0);

    channel.SetParameter(0, 1.0);
    x = bassNote(2000, 44100.0, 4);
    channel.process(x.data(), 2000);
    EXPECT_LT(std::fabs(x[10]), settledPeak * 11.0 / 882.0 + 1e-12); // fading in from silence
    EXPECT_GT(peak(x), 0.5 * settledPeak);
}

TEST(TarvexChannelProcessing, BlockLengthChangesKeepTheOutputContinuousAndAllocateNothing) {
    for (double fs : {44100.0, 96000.0}) {
        auto run = [&](bool randomBlocks) {
            TarvexChannel channel;
            channel.SetFs(fs);
            std::vector<double> warmUp(1024, 0.0);
            channel.process(warmUp.data(), 1024); // the largest block
            auto x = bassNote(20000, fs, 5);
            std::mt19937 random(9);
            std::uniform_int_distribution<int> blockSize(0, 1024);
            AllocationScope scope;
            for (size_t start = 0; start < x.size();) {
                const int n = randomBlocks ? std::min<int>(blockSize(random),
                                                           static_cast<int>(x.size() - start))
                                           : 1000;
                channel.process(x.data() + start, n);
                start += static_cast<size_t>(n);
            }
            EXPECT_EQ(scope.count(), 0u) << fs;
            return x;
        };
        const auto steady = run(false);
        EXPECT_EQ(run(true), steady) << fs;
        EXPECT_GT(peak(steady), 0.1);
    }
}

namespace {

// The channel's chain run block by block through its members' own process()
// calls, as the channel defines it: compressor, compressor envelope, gain pot,
// resamplers around the pre-amp tube, tone filters, power tube, polarity with
// the output envelope, on/off.
void referenceProcess(TarvexChannel& c, double* x, int n) {
    if (c.osLength != n * c.osFactor) {
        c.osLength = n * c.osFactor;
        c.upHistory.Reserve(taps + n);
        c.osBuffer.Reserve(taps + c.osLength);
    }
    if (!c.channelOn.active) {
        std::fill(x, x + n, 0.0);
        c.compEnv = c.limEnv = 0.0;
        return;
    }
    const auto envelope = [&](double& e, double scale) {
        double v = e;
        for (int i = 0; i < n; ++i) {
            x[i] *= scale;
            v = std::max(flush(v * c.meterDecay), x[i] * x[i]);
        }
        e = std::isfinite(v) ? v : 0.0;
    };
    c.compressor.process(x, n);
    envelope(c.compEnv, 1.0);
    c.gainControl.process(x, n);
    c.Upsample(x, n);
    c.tubePre.process(c.OversampledBlock(), c.osLength);
    c.Downsample(x, n);
    c.bass.process(x, n);
    c.mid.process(x, n);
    c.treble.process(x, n);
    c.tubePost.process(x, n);
    envelope(c.limEnv, c.invertGain);
    c.channelOn.process(x, n);
}

} // namespace

TEST(TarvexChannelProcessing, FusedAndSideBySideStagesEqualTheBlocksOneByOne) {
    // Two channels processed as a pair, a twin pair each on its own, and a
    // reference pair through the members' own process() calls, with setting
    // changes (fades) on either side, the compressor and a channel switched
    // off and on, odd block lengths and a bad sample.
    TarvexChannel pair[2], alone[2], reference[2];
    for (int c = 0; c < 2; ++c) {
        for (TarvexChannel* channel : {&pair[c], &alone[c], &reference[c]}) {
            channel->SetFs(48000.0);
            channel->SetParameter(1, c == 1 ? 1.0 : 0.0);
            channel->SetParameter(11, 0.8 - 0.3 * c); // drive
            channel->SetParameter(2, c == 0 ? 1.0 : 0.0);
        }
    }
    const auto change = [&](int c, int index, double value) {
        for (TarvexChannel* channel : {&pair[c], &alone[c], &reference[c]})
            channel->SetParameter(index, value);
    };
    std::mt19937 random(4);
    std::uniform_int_distribution<int> blockSize(0, 400);
    for (int block = 0; block < 90; ++block) {
        if (block == 10) change(0, 7, 0.9);  // bass: a tone filter fades
        if (block == 14) change(1, 5, 0.3);  // gain pot
        if (block == 20) change(1, 2, 1.0);  // compressor on
        if (block == 30) change(0, 11, 0.2); // drive: the power tube fades
        if (block == 40) change(0, 0, 0.0);  // channel off ...
        if (block == 60) change(0, 0, 1.0);  // ... and on again
        if (block == 70) change(1, 6, 0.0);  // boost: the pre-amp tube fades
        const int n = blockSize(random);
        auto a = bassNote(n, 48000.0, 30 + static_cast<unsigned>(block));
        auto b = bassNote(n, 48000.0, 130 + static_cast<unsigned>(block));
        if (block == 50 && n > 3) b[3] = kNaN;
        auto a1 = a, b1 = b, a2 = a, b2 = b;
        TarvexChannel::processPair(pair[0], a.data(), pair[1], b.data(), n);
        alone[0].process(a1.data(), n);
        alone[1].process(b1.data(), n);
        referenceProcess(reference[0], a2.data(), n);
        referenceProcess(reference[1], b2.data(), n);
        for (int i = 0; i < n; ++i) {
            const size_t k = static_cast<size_t>(i);
            ASSERT_TRUE(std::memcmp(&a[k], &a2[k], sizeof(double)) == 0) << block << " " << i;
            ASSERT_TRUE(std::memcmp(&a1[k], &a2[k], sizeof(double)) == 0) << block << " " << i;
            ASSERT_TRUE(std::memcmp(&b[k], &b2[k], sizeof(double)) == 0) << block << " " << i;
            ASSERT_TRUE(std::memcmp(&b1[k], &b2[k], sizeof(double)) == 0) << block << " " << i;
        }
        for (int c = 0; c < 2; ++c) {
            ASSERT_EQ(pair[c].compEnv, reference[c].compEnv) << block;
            ASSERT_EQ(alone[c].limEnv, reference[c].limEnv) << block;
            ASSERT_EQ(pair[c].limEnv, reference[c].limEnv) << block;
            ASSERT_EQ(pair[c].compressor.sets[0].envelope,
                      reference[c].compressor.sets[0].envelope);
            ASSERT_EQ(pair[c].compressor.sets[1].envelope,
                      reference[c].compressor.sets[1].envelope);
        }
    }
}

TEST(TarvexChannelProcessing, ThePolaritySwitchNegatesTheOutput) {
    TarvexChannel plain, inverted;
    inverted.SetParameter(1, 1.0);
    auto a = bassNote(3000, 44100.0, 6), b = a;
    plain.process(a.data(), 3000);
    inverted.process(b.data(), 3000);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(b[i], -a[i]) << i;
}

TEST(TarvexChannelIndicators, StepsFollowTheirThresholdsAndTheEnvelopesHalveIn100Ms) {
    TarvexChannel channel;
    auto level = [&](double db) { return std::pow(10.0, db / 10.0) * 1.0001; }; // just above
    const double expectedCompressor[] = {0.0, 1.0 / 3, 2.0 / 3, 1.0};
    const double compressorDb[] = {-25.0, -20.0, -9.0, 0.0};
    const double limiterDb[] = {-25.0, -20.0, -6.0, -1.0};
    for (int step = 0; step < 4; ++step) {
        channel.compEnv = level(compressorDb[step]);
        channel.limEnv = level(limiterDb[step]);
        EXPECT_NEAR(channel.CompressorIndicator(), expectedCompressor[step], 1e-15) << step;
        EXPECT_NEAR(channel.LimiterIndicator(), expectedCompressor[step], 1e-15) << step;
    }
    channel.compEnv = 1.0; // exactly 0 dB is not above the top threshold
    EXPECT_NEAR(channel.CompressorIndicator(), 2.0 / 3, 1e-15);
    channel.limEnv = 0.891 * 0.891; // a peak of 0.891 is just below -1 dB
    EXPECT_NEAR(channel.LimiterIndicator(), 2.0 / 3, 1e-15);
    channel.limEnv = 0.892 * 0.892;
    EXPECT_EQ(channel.LimiterIndicator(), 1.0);

    // A burst, then silence: 4410 samples at 44.1 kHz halve both envelopes.
    TarvexChannel decay;
    auto x = bassNote(4410, 44100.0, 7);
    decay.process(x.data(), 4410);
    const double comp = decay.compEnv, lim = decay.limEnv;
    std::vector<double> silence(4410, 0.0);
    decay.process(silence.data(), 4410);
    EXPECT_NEAR(decay.compEnv, 0.5 * comp, 1e-9 * comp);
    EXPECT_LT(decay.limEnv, 0.5 * lim * 1.0001); // the tubes ring on a little at most
}

TEST(TarvexChannelProcessing, ANonFiniteSampleDoesNotPoisonTheSoundOrTheLamps) {
    for (double bad : {kNaN, kInfinity, -kInfinity}) {
        TarvexChannel channel;
        std::vector<double> x;
        ASSERT_TRUE(staysFiniteAfter(
            [&](double* p, int n) { channel.process(p, n); }, x, bassNote(512, 44100.0, 8), 100,
            bad,
            {bassNote(512, 44100.0, 9), bassNote(512, 44100.0, 10), bassNote(512, 44100.0, 11)}))
            << bad;
        EXPECT_TRUE(std::isfinite(channel.compEnv)) << bad;
        EXPECT_TRUE(std::isfinite(channel.limEnv)) << bad;
        EXPECT_LT(channel.CompressorIndicator(), 1.0) << bad;
    }
}
