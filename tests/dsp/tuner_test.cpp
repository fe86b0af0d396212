// Tuner: readings from generated tones, silence and noise, the vote and its
// clarity rule, the bounded history against a reference queue, rate changes
// and the hand-off of readings to another thread.
#include "dsp/tuner.h"
#include "support/allocation_counter.h"
#include "support/signals.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

const char* const names[12] = {"B", "C",       "C# / Db", "D",       "D# / Eb", "E",
                               "F", "F# / Gb", "G",       "G# / Ab", "A",       "A# / Bb"};

struct Reading {
    int note = -1;
    double meter = -1.0;
    std::string name;
};

Reading readingOf(const Tuner& tuner) {
    Reading r;
    char name[8];
    tuner.GetReading(&r.note, &r.meter, name);
    r.name = name;
    return r;
}

void feed(Tuner& tuner, const std::vector<double>& x, int block = 512) {
    const int n = static_cast<int>(x.size());
    for (int start = 0; start < n; start += block)
        tuner.process_input(x.data() + start, std::min(block, n - start));
}

double binFrequency(int k) {
    return 440.0 * std::pow(2.0, (k - 46) / 12.0);
}

// The history as a plain queue, kept by the rules of the measurement.
struct ReferenceHistory {
    std::deque<TunerNote> queue;
    double time = 0.0;
    int count[73] = {};
    double sum[73] = {};

    void record(int samples, double samplePeriod, const double* freq) {
        const double t = samples * samplePeriod;
        int k = 0;
        for (int b = 1; b < 73; ++b)
            if (std::fabs(1.0 - t * freq[b]) < std::fabs(1.0 - t * freq[k])) k = b;
        queue.push_back({k, t});
        time += t;
        count[k] += 1;
        sum[k] += t;
        while (time > 1.35) {
            const TunerNote old = queue.front();
            queue.pop_front();
            time -= old.period;
            count[old.note] -= 1;
            sum[old.note] -= old.period;
            if (count[old.note] <= 0) {
                count[old.note] = 0;
                sum[old.note] = 0.0;
            }
        }
    }
};

void expectSameHistory(const Tuner& tuner, const ReferenceHistory& reference) {
    ASSERT_EQ(tuner.historyLength, static_cast<int>(reference.queue.size()));
    ASSERT_EQ(tuner.historyTime, reference.time);
    for (int k = 0; k < 73; ++k) {
        ASSERT_EQ(tuner.noteCount[k], reference.count[k]) << k;
        ASSERT_EQ(tuner.periodSum[k], reference.sum[k]) << k;
    }
    for (int i = 0; i < tuner.historyLength; ++i) {
        const TunerNote& e = tuner.history[(tuner.historyFirst + i) % tuner.historyCapacity];
        ASSERT_EQ(e.note, reference.queue[static_cast<size_t>(i)].note);
        ASSERT_EQ(e.period, reference.queue[static_cast<size_t>(i)].period);
    }
}

} // namespace

TEST(TunerReading, ReadsAAt110HzAndTenCentsSharpOfA440) {
    const double fs = 44100.0;
    Tuner low;
    feed(low, sine(110.0, fs, 44100, 0.4));
    Reading r = readingOf(low);
    EXPECT_EQ(r.name, "A");
    EXPECT_EQ(r.note, 22);
    EXPECT_NEAR(r.meter, 0.5, 0.02);

    Tuner sharp;
    feed(sharp, sine(440.0 * std::pow(2.0, 10.0 / 1200.0), fs, 44100, 0.4));
    r = readingOf(sharp);
    EXPECT_EQ(r.name, "A");
    EXPECT_EQ(r.note, 46);
    EXPECT_NEAR(r.meter, 0.7, 0.02);
}

TEST(TunerReading, EveryNoteOfTheRangeReadsItsNameInTune) {
    for (double fs : {44100.0, 96000.0}) {
        for (int k = 1; k <= 71; ++k) {
            Tuner tuner;
            tuner.SetFs(fs);
            feed(tuner, sine(binFrequency(k), fs, static_cast<int>(2.0 * fs), 0.5, 0.3));
            const Reading r = readingOf(tuner);
            EXPECT_EQ(r.note, k) << fs;
            EXPECT_EQ(r.name, names[k % 12]) << k << " at " << fs;
            // Periods are whole samples: above about 1 kHz at 44100 Hz a period
            // one sample longer falls into the bin below, which pulls the mean
            // of the remaining ones sharp by a few cents.
            EXPECT_NEAR(r.meter, 0.5, binFrequency(k) * 32.0 < fs ? 0.04 : 0.2)
                << k << " at " << fs;
        }
    }
}

TEST(TunerReading, SilenceNoiseAndAFreshTunerReadNoNote) {
    const Reading fresh = readingOf(Tuner());
    EXPECT_EQ(fresh.name, "--");
    EXPECT_EQ(fresh.meter, 0.0);
    EXPECT_EQ(fresh.note, 72); // all bins tie: the highest wins, and means none

    Tuner quiet;
    feed(quiet, std::vector<double>(44100, 0.0));
    Reading r = readingOf(quiet);
    EXPECT_EQ(r.name, "--");
    EXPECT_EQ(r.meter, 0.0);
    EXPECT_EQ(r.note, 72);
    EXPECT_GT(quiet.noteCount[72], 50000); // every sample ended two periods

    Tuner noisy;
    feed(noisy, noise(88200, 3));
    r = readingOf(noisy);
    EXPECT_EQ(r.name, "--");
    EXPECT_EQ(r.meter, 0.0);
}

TEST(TunerReading, AWinnerNeedsTwelveTimesTheMeanCountAndTiesGoUp) {
    const double fs = 44100.0;
    auto vote = [&](int bins, int perBin) {
        auto tuner = std::make_unique<Tuner>();
        for (int round = 0; round < perBin; ++round)
            for (int b = 0; b < bins; ++b)
                tuner->RecordMeasurement(
                    static_cast<int>(std::lround(fs / binFrequency(30 + 2 * b))));
        return readingOf(*tuner);
    };
    // Ten equal bins: 73 / 10 = 7.3 times the mean, no reading.
    Reading r = vote(10, 5);
    EXPECT_EQ(r.name, "--");
    EXPECT_EQ(r.note, 0);
    EXPECT_EQ(r.meter, 0.0);
    // Six equal bins: 12.2 times the mean; the highest of the tied bins wins.
    r = vote(6, 5);
    EXPECT_EQ(r.note, 40);
    EXPECT_EQ(r.name, names[40 % 12]);
    EXPECT_GE(r.meter, 0.08);
    EXPECT_LE(r.meter, 0.99);
}

TEST(TunerReading, TheMeterStopsAtItsEndsAndTheNameFitsEightBytes) {
    // Bin 50 is "C# / Db" (bin 46 is A); 30 cents off either way.
    Tuner flat;
    feed(flat, sine(binFrequency(50) * std::pow(2.0, -30.0 / 1200.0), 44100.0, 66150, 0.5));
    char name[16];
    std::memset(name, 'x', sizeof name);
    int note = 0;
    double meter = 0.0;
    flat.GetReading(&note, &meter, name);
    EXPECT_EQ(note, 50);
    EXPECT_STREQ(name, "C# / Db");
    EXPECT_EQ(name[8], 'x');
    EXPECT_EQ(meter, 0.08);

    Tuner sharp;
    feed(sharp, sine(binFrequency(50) * std::pow(2.0, 30.0 / 1200.0), 44100.0, 66150, 0.5));
    const Reading r = readingOf(sharp);
    EXPECT_EQ(r.note, 50);
    EXPECT_EQ(r.meter, 0.99);
}

TEST(TunerHistory, MatchesAPlainQueueThroughWrapsAndRateChanges) {
    auto tuner = std::make_unique<Tuner>();
    ReferenceHistory reference;
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> samples(1, 3000);
    int step = 0;
    for (double fs : {44100.0, 96000.0, 22050.0, 192000.0, 48000.0}) {
        tuner->SetFs(fs);
        for (int i = 0; i < 70000; ++i, ++step) { // enough to wrap the ring
            // Mostly long periods, now and then a burst of one-sample ones.
            const int n = (step / 3000) % 4 == 3 ? 1 : samples(generator);
            tuner->RecordMeasurement(n);
            reference.record(n, tuner->samplePeriod, tuner->noteFreq);
        }
        expectSameHistory(*tuner, reference);
    }
    tuner->RecordMeasurement(0); // no period lasts less than a sample
    tuner->RecordMeasurement(-5);
    expectSameHistory(*tuner, reference);
}

TEST(TunerHistory, StaysWithinItsCapacityAndNeverAllocatesWhileFed) {
    auto tuner = std::make_unique<Tuner>();
    tuner->SetFs(192000.0);
    EXPECT_EQ(tuner->historyCapacity, Tuner::HistoryCapacityFor(192000.0));
    std::vector<double> silence(4096, 0.0);
    const auto tone = sine(220.0, 192000.0, 4096, 0.5);
    AllocationScope scope;
    for (int i = 0; i < 200; ++i) // about 4.3 s of one-sample periods, the worst case
        tuner->process_input(silence.data(), 4096);
    EXPECT_LE(tuner->historyTime, 1.35);
    EXPECT_GE(tuner->historyLength, static_cast<int>(1.35 * 192000.0) - 1);
    EXPECT_LT(tuner->historyLength, tuner->historyCapacity);
    tuner->process_input(tone.data(), 4096);
    EXPECT_EQ(scope.count(), 0u);
}

TEST(TunerHistory, ATunerBuiltWithoutHistoryIgnoresInputUntilItIsReserved) {
    auto tuner = std::make_unique<Tuner>(Tuner::History::later);
    tuner->SetFs(96000.0); // the rate first: the history is sized for it later
    EXPECT_EQ(tuner->historyCapacity, 0);
    const auto tone = sine(110.0, 96000.0, 96000, 0.5);
    feed(*tuner, tone);
    tuner->RecordMeasurement(873);
    EXPECT_EQ(tuner->historyLength, 0);
    EXPECT_EQ(readingOf(*tuner).name, "--");

    tuner->ReserveHistory();
    EXPECT_EQ(tuner->historyCapacity, Tuner::HistoryCapacityFor(96000.0));
    feed(*tuner, tone);
    EXPECT_EQ(readingOf(*tuner).name, "A");
    tuner->SetFs(192000.0); // from now on rate changes keep it sized
    EXPECT_EQ(tuner->historyCapacity, Tuner::HistoryCapacityFor(192000.0));
}

TEST(TunerRate, RejectsBadRatesAndKeepsEverythingAcrossAChange) {
    Tuner tuner;
    for (double rejected : {0.0, -1.0, kNaN, kInfinity})
        tuner.SetFs(rejected);
    EXPECT_EQ(tuner.fs, 44100.0);
    tuner.SetFs(48000.0);
    EXPECT_DOUBLE_EQ(tuner.decay, std::pow(0.5, 1.0 / 1440.0));

    // A lower rate keeps the entries measured at the higher one.
    auto fast = std::make_unique<Tuner>();
    fast->SetFs(192000.0);
    feed(*fast, sine(110.0, 192000.0, 192000, 0.5));
    const Reading before = readingOf(*fast);
    const int length = fast->historyLength;
    const int capacity = fast->historyCapacity;
    fast->SetFs(44100.0);
    EXPECT_EQ(fast->historyCapacity, capacity); // storage never shrinks
    EXPECT_EQ(fast->historyLength, length);
    const Reading after = readingOf(*fast);
    EXPECT_EQ(after.note, before.note);
    EXPECT_EQ(after.meter, before.meter);
    feed(*fast, sine(110.0, 44100.0, 44100, 0.5));
    EXPECT_EQ(readingOf(*fast).name, "A");
    EXPECT_NEAR(readingOf(*fast).meter, 0.5, 0.02);
}

TEST(TunerConcertA, MovesEveryBinAndIgnoresMeaninglessValues) {
    Tuner tuner;
    tuner.SetConcertA(442.0);
    EXPECT_EQ(tuner.noteFreq[46], 442.0);
    EXPECT_NEAR(tuner.noteFreq[0], 442.0 * std::pow(2.0, -46.0 / 12.0), 1e-9);
    EXPECT_NEAR(tuner.notePeriod[72] * tuner.noteFreq[72], 1.0, 1e-15);
    feed(tuner, sine(442.0, 44100.0, 44100, 0.5));
    EXPECT_NEAR(readingOf(tuner).meter, 0.5, 0.02);
    for (double rejected : {0.0, -440.0, kNaN, kInfinity, 1e308})
        tuner.SetConcertA(rejected);
    EXPECT_EQ(tuner.noteFreq[46], 442.0);
}

TEST(TunerGuards, AnInfiniteSampleDoesNotSilenceADetector) {
    Tuner tuner;
    auto tone = sine(110.0, 44100.0, 44100, 0.5);
    tone[1000] = kInfinity;
    tone[2000] = -kInfinity;
    tone[3000] = kNaN;
    feed(tuner, tone);
    feed(tuner, sine(110.0, 44100.0, 66150, 0.5));
    // Both peaks follow the tone again, so both detectors keep measuring.
    EXPECT_GT(tuner.posPeak, 0.1);
    EXPECT_LE(tuner.posPeak, 0.5);
    EXPECT_LT(tuner.negPeak, -0.1);
    EXPECT_GE(tuner.negPeak, -0.5);
    EXPECT_EQ(readingOf(tuner).name, "A");
}

TEST(TunerHandOff, ReadingsWhileTheAudioThreadFeedsAreConsistent) {
    auto tuner = std::make_unique<Tuner>();
    std::atomic<int> readings{0};
    std::atomic<bool> readerLeft{false};
    std::jthread editor([&](std::stop_token stop) {
        // Also when a failed assertion returns: the feeding below stops waiting.
        [&] {
            while (!stop.stop_requested()) {
                const Reading r = readingOf(*tuner);
                ASSERT_GE(r.note, 0);
                ASSERT_LE(r.note, 72);
                if (r.note == 0 || r.note == 72) {
                    ASSERT_EQ(r.name, "--");
                    ASSERT_EQ(r.meter, 0.0);
                } else {
                    ASSERT_EQ(r.name, names[r.note % 12]);
                    ASSERT_GE(r.meter, 0.08);
                    ASSERT_LE(r.meter, 0.99);
                }
                readings.fetch_add(1);
            }
        }();
        readerLeft.store(true);
    });
    // Low and high passes, three at least, and more until the editor thread
    // has read during them, however late it runs; the last pass is high.
    const auto low = sine(110.0, 44100.0, 512 * 200, 0.5);
    const auto high = sine(330.0, 44100.0, 512 * 200, 0.5);
    const testing_support::Deadline deadline;
    for (int pass = 0;
         pass < 3 || (readings.load() < 10 && !readerLeft.load() && !deadline.passed()); ++pass)
        for (const auto* x : {&low, &high})
            feed(*tuner, *x);
    editor.request_stop();
    editor.join();
    EXPECT_GE(readings.load(), 10);
    EXPECT_EQ(readingOf(*tuner).name, "E");
}
