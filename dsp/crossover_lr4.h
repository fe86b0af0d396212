// CrossoverLR4: fourth-order Linkwitz-Riley crossover.
//
// Each band is a second-order Butterworth section (q = 1/sqrt(2)) squared: two
// low-passes in series for the low band, two high-passes in series for the
// high band. Both bands are -6 dB at the crossover frequency, stay in phase
// with each other, and sum to an all-pass of flat magnitude. Switched off, both
// outputs carry the full band. Frequency changes fade through the filters' own
// coefficient cross-fade, on/off through their soft bypasses.
#pragma once

#include "dsp/filter.h"
#include "dsp/mono_buffer.h"

struct CrossoverLR4Parameters {
    bool enabled;
    double frequency; // Hz
};

class CrossoverLR4 {
public:
    CrossoverLR4();

    // Setting indices: on/off, crossover frequency (Hz, 0 < f < fs/2).
    enum Setting : int { kOn, kFrequency };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(CrossoverLR4Parameters p);
    CrossoverLR4Parameters GetParameters() const { return {enabled, frequency}; }
    // Pulls a frequency at or above the new fs/2 down to 0.499 fs.
    void SetFs(double rate);

    // Splits in into low and high (in is not changed; it may be low or high).
    // Grows the filters' buffers so that blocks of up to n samples through
    // the three-buffer process() allocate nothing.
    void Reserve(int n);
    void process(const double* in, double* low, double* high, int n);
    // Split into the internal scratch arrays, read back with get_lows and
    // get_highs. These grow the arrays when n exceeds their capacity.
    void process(const double* in, int n);
    void process(const double* left, const double* right, int n);
    // Copy the last split's count of samples out of the scratch arrays.
    void get_lows(double* out) const;
    void get_highs(double* out) const;
    void get_lows(double* left, double* right) const;
    void get_highs(double* left, double* right) const;

    int Capacity() const { return lowLeft.capacity; }

    bool enabled = true;
    double frequency = 1000.0;
    double fs = 44100.0;
    // Scratch arrays for the overloads without output buffers; storage only.
    MonoBuffer lowLeft, lowRight, highLeft, highRight;
    int count = 0; // samples of the last internal split
    Filter lowPass1, lowPass2, highPass1, highPass2;

private:
    void Grow(int n);
};
