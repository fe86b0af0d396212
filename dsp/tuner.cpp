#include "dsp/tuner.h"

#include "dsp/block.h"
#include "dsp/mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace {

constexpr double peakHalfLifeSeconds = 0.03;
// Rates above this still work; the history then keeps fewer than 1.35 s of
// the very shortest periods.
constexpr double largestSizedRate = 768000.0;
constexpr int historyHeadroom = 64;
// A reading needs the winning bin to hold 12 times the mean count per bin.
constexpr double clarity = 12.0;
constexpr double centsPerLog10 = -3986.313713864835; // -1200 / log10(2)

const char* const noteNames[12] = {"B", "C",       "C# / Db", "D",       "D# / Eb", "E",
                                   "F", "F# / Gb", "G",       "G# / Ab", "A",       "A# / Bb"};
const char* const noNote = "--";

} // namespace

Tuner::Tuner(History when) {
    historyWanted = when == History::now;
    SetFs(44100.0);
    SetConcertA(440.0);
}

Tuner::~Tuner() {
    delete[] history;
}

int Tuner::HistoryCapacityFor(double rate) {
    return static_cast<int>(std::ceil(historySeconds * std::min(rate, largestSizedRate))) +
           historyHeadroom;
}

void Tuner::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    samplePeriod = 1.0 / fs;
    decay = std::pow(0.5, samplePeriod / peakHalfLifeSeconds);
    if (historyWanted) ReserveHistory();
}

void Tuner::ReserveHistory() {
    historyWanted = true;
    // Grows only: entries measured at a higher earlier rate still fit.
    const int needed = HistoryCapacityFor(fs);
    if (needed > historyCapacity) {
        TunerNote* grown = new TunerNote[static_cast<unsigned>(needed)];
        for (int i = 0; i < historyLength; ++i)
            grown[i] = history[(historyFirst + i) % historyCapacity];
        delete[] history;
        history = grown;
        historyCapacity = needed;
        historyFirst = 0;
    }
}

void Tuner::SetConcertA(double a) {
    const double r = std::pow(2.0, 1.0 / 12.0);
    double table[binCount];
    table[binOfA] = a;
    for (int k = binOfA - 1; k >= 0; --k)
        table[k] = table[k + 1] / r;
    for (int k = binOfA + 1; k < binCount; ++k)
        table[k] = table[k - 1] * r;
    // A table with a bin at or below 0 Hz, infinite or NaN could only give
    // meaningless readings; such a concert A is ignored.
    for (double f : table)
        if (!(f > 0.0 && f <= std::numeric_limits<double>::max())) return;
    for (int k = 0; k < binCount; ++k) {
        noteFreq[k] = table[k];
        notePeriod[k] = 1.0 / table[k];
    }
    publish(true);
}

void Tuner::process_input(const double* in, int n) {
    if (n <= 0 || history == nullptr) return;
    bool recorded = false;
    for (int i = 0; i < n; ++i) {
        const double x = in[i];
        posPeak = flush(posPeak * decay);
        ++posCount;
        ++negCount;
        if (x >= posPeak) {
            posPeak = x;
            if (posArmed) {
                posArmed = false;
                posWaiting = true;
            }
        }
        negPeak = flush(negPeak * decay);
        if (negPeak >= x) {
            negPeak = x;
            if (negArmed) {
                negArmed = false;
                negWaiting = true;
            }
        }
        if (posWaiting && x <= 0.0) {
            posWaiting = false;
            record(static_cast<int>(posCount));
            posCount = 0;
            posArmed = true;
            recorded = true;
        }
        if (negWaiting && x >= 0.0) {
            negWaiting = false;
            record(static_cast<int>(negCount));
            negCount = 0;
            negArmed = true;
            recorded = true;
        }
    }
    // An infinite sample would hold a peak at infinity and silence that
    // detector for good; it restarts from zero after the block.
    if (!std::isfinite(posPeak)) posPeak = 0.0;
    if (!std::isfinite(negPeak)) negPeak = 0.0;
    if (recorded) publish(false);
}

void Tuner::RecordMeasurement(int samples) {
    record(samples);
    publish(false);
}

void Tuner::record(int samples) {
    if (samples < 1 || history == nullptr) return; // a period lasts at least one sample
    const double period = samples * samplePeriod;
    if (!std::isfinite(period)) return;
    int k = 0;
    double best = std::fabs(1.0 - period * noteFreq[0]);
    for (int b = 1; b < binCount; ++b) {
        const double distance = std::fabs(1.0 - period * noteFreq[b]);
        if (distance < best) { // equal distance: the lower bin stays
            best = distance;
            k = b;
        }
    }
    // Unreachable while every period lasts a sample of a rate the capacity
    // was sized for; it keeps the ring bounded whatever happens.
    if (historyLength == historyCapacity) dropOldest();
    int slot = historyFirst + historyLength;
    if (slot >= historyCapacity) slot -= historyCapacity;
    history[slot] = {k, period};
    ++historyLength;
    historyTime += period;
    noteCount[k] += 1;
    periodSum[k] += period;
    while (historyTime > historySeconds && historyLength > 0)
        dropOldest();
}

void Tuner::dropOldest() {
    const TunerNote oldest = history[historyFirst];
    if (++historyFirst == historyCapacity) historyFirst = 0;
    --historyLength;
    historyTime -= oldest.period;
    noteCount[oldest.note] -= 1;
    periodSum[oldest.note] -= oldest.period;
    if (noteCount[oldest.note] <= 0) {
        noteCount[oldest.note] = 0;
        periodSum[oldest.note] = 0.0;
    }
}

void Tuner::publish(bool frequencies) {
    // Sequence lock: odd while a publication runs. The release stores keep
    // the odd mark ahead of the data for any reader that sees new data.
    const std::uint32_t s = sequence.load(std::memory_order_relaxed);
    sequence.store(s + 1, std::memory_order_relaxed);
    for (int k = 0; k < binCount; ++k) {
        sharedCount[k].store(noteCount[k], std::memory_order_release);
        sharedSum[k].store(periodSum[k], std::memory_order_release);
    }
    if (frequencies)
        for (int k = 0; k < binCount; ++k)
            sharedFreq[k].store(noteFreq[k], std::memory_order_release);
    sequence.store(s + 2, std::memory_order_release);
}

void Tuner::GetReading(int* note, double* meter, char* name) const {
    int count[binCount];
    double sum[binCount];
    double freq[binCount];
    for (;;) {
        const std::uint32_t before = sequence.load(std::memory_order_acquire);
        if (before & 1u) { // a publication is running
            std::this_thread::yield();
            continue;
        }
        for (int k = 0; k < binCount; ++k) {
            count[k] = sharedCount[k].load(std::memory_order_acquire);
            sum[k] = sharedSum[k].load(std::memory_order_acquire);
            freq[k] = sharedFreq[k].load(std::memory_order_acquire);
        }
        if (sequence.load(std::memory_order_relaxed) == before) break;
    }

    // Vote; equal counts go to the higher bin.
    int voted = 0;
    int best = count[0];
    int total = count[0];
    for (int k = 1; k < binCount; ++k) {
        total += count[k];
        if (count[k] >= best) {
            best = count[k];
            voted = k;
        }
    }
    // An empty history gives 0/0, which is not below the clarity threshold.
    if (static_cast<double>(best) / (static_cast<double>(total) / binCount) < clarity) voted = 0;

    double position = 0.0;
    if (count[voted] > 0) {
        const double cents = std::log10(freq[voted] * sum[voted] / count[voted]) * centsPerLog10;
        position = irange(cents, -25.0, 25.0);
        if (position > 0.99) position = 0.99;
        if (position < 0.08) position = 0.08;
    }
    const char* text = noteNames[voted % 12];
    if (voted == 0 || voted == binCount - 1) {
        text = noNote;
        position = 0.0;
    }
    *note = voted;
    *meter = position;
    std::memcpy(name, text, std::strlen(text) + 1);
}
