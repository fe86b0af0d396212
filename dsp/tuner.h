// Tuner: an instrument tuner after the zero-crossing method. Two detectors,
// one per polarity, follow a decaying signal peak (half-life 30 ms) and
// measure the samples from one zero crossing to the next, a crossing counting
// only after the signal has reached that peak. Each period is sorted into the
// nearest of 73 equal-tempered semitone bins (B at 30.87 Hz to B at 1975.5 Hz
// for A = 440 Hz); the periods of the last 1.35 s are kept, and a reading
// reports the bin with the most votes, if it stands out clearly, with its
// deviation in cents as a meter position and its note name.
//
// Threads: process_input, RecordMeasurement, SetFs and SetConcertA belong to
// the audio side and must not overlap one another; SetFs may allocate and so
// runs outside the audio path (between blocks or while audio is stopped).
// GetReading may run on any thread at any time: every change of the vote
// counts or note frequencies is published as a snapshot through a sequence
// lock built on atomics, which the audio side writes without waiting and
// GetReading copies, retrying if a publication overlapped its copy.
#pragma once

#include <atomic>
#include <cstdint>

struct TunerNote {
    int note;      // bin 0..72
    double period; // seconds
};

class Tuner {
public:
    static constexpr int binCount = 73;
    static constexpr int binOfA = 46;
    static constexpr double historySeconds = 1.35;

    // The history takes about 1 MB at 48 kHz. An owner that seldom listens
    // builds the tuner without it and reserves it before the first feed;
    // until then the tuner ignores its input.
    enum class History { now, later };
    explicit Tuner(History when = History::now);
    ~Tuner();
    Tuner(const Tuner&) = delete;
    Tuner& operator=(const Tuner&) = delete;

    // Ignored unless 0 < fs < infinity and different from the present rate.
    // Keeps the history; grows its storage when the new rate needs more.
    void SetFs(double rate);
    // Sizes the history for the present rate (nothing when it already is);
    // from then on SetFs keeps it sized. Not while the tuner is fed.
    void ReserveHistory();
    // Rebuilds the note table from concert A; ignored unless every bin then
    // lies between 0 Hz (exclusive) and the largest finite frequency.
    void SetConcertA(double a);
    // Feeds n samples (n <= 0 does nothing). Never allocates.
    void process_input(const double* in, int n);
    // Enters one measured period given in samples (below 1 is ignored).
    void RecordMeasurement(int samples);
    // The voted bin (1..71 a note, 0 or 72 none), the meter position and the
    // note name ("--" for none); name receives at most 8 bytes.
    void GetReading(int* note, double* meter, char* name) const;

    double fs = 0.0;
    double samplePeriod = 0.0;
    double decay = 0.0; // per-sample factor of both peak envelopes
    double posPeak = 0.0;
    double negPeak = 0.0; // zero or negative
    double historyTime = 0.0;
    bool posArmed = true;
    bool posWaiting = false;
    bool negArmed = false;
    bool negWaiting = true;
    std::uint32_t posCount = 0;
    std::uint32_t negCount = 0;
    int noteCount[binCount] = {};
    double periodSum[binCount] = {};
    double noteFreq[binCount] = {};
    double notePeriod[binCount] = {};

    // The history: a first-in first-out ring of fixed capacity, oldest first.
    TunerNote* history = nullptr;
    int historyCapacity = 0;
    int historyFirst = 0; // index of the oldest entry
    int historyLength = 0;
    bool historyWanted = true;

    // Entries the history needs at a rate: every period lasts at least one
    // sample and entries leave once they sum to more than 1.35 s, so it never
    // holds more than ceil(1.35 fs) + 1; the rest is headroom for rounding in
    // historyTime. Capped at the size for 768 kHz.
    static int HistoryCapacityFor(double rate);

private:
    void record(int samples);
    void dropOldest();
    void publish(bool frequencies);

    // The snapshot GetReading reads.
    std::atomic<std::uint32_t> sequence{0};
    std::atomic<int> sharedCount[binCount];
    std::atomic<double> sharedSum[binCount];
    std::atomic<double> sharedFreq[binCount];
    static_assert(std::atomic<double>::is_always_lock_free);
};
