// The level meters of the engine and its channels: squared-peak envelopes
// with a 100 ms half-life, read as four lamp steps.
#pragma once

#include "dsp/block.h"
#include "dsp/mapping.h"

#include <algorithm>
#include <cmath>

// Per-sample decay of an envelope at rate fs: a 100 ms half-life.
inline double peakDecay(double fs) {
    return std::pow(0.5, 1.0 / (0.1 * fs));
}

// One sample of a squared-peak envelope: decays by `decay` (flushed) and
// jumps to any higher square; a NaN square leaves it alone.
inline double followPeak(double envelope, double decay, double square) {
    return std::max(flush(envelope * decay), square);
}

// followPeak over four squares in turn, with the same result. The flushed
// decay D(e) = flush(e decay) is monotonic, so D(max(a, b)) = max(D(a), D(b))
// and four steps give max(D(D(D(D(e)))), D(D(D(s0))), D(D(s1)), D(s2), s3):
// the serial chain from one envelope to the next passes four D's and one
// comparison instead of four of each. NaN squares are passed over as
// followPeak passes them (a NaN D(s) is a NaN s decayed), and a NaN envelope
// stays NaN.
inline double followPeak4(double envelope, double decay, const double (&squares)[4]) {
    const auto decayed = [decay](double e) { return flush(e * decay); };
    double e = envelope;
    for (int k = 0; k < 4; ++k)
        e = decayed(e);
    const double s0 = decayed(decayed(decayed(squares[0])));
    const double s1 = decayed(decayed(squares[1]));
    const double s2 = decayed(squares[2]);
    return std::max(std::max(std::max(std::max(e, s0), s1), s2), squares[3]);
}

// Lamp value (step - 1)/3 for steps 1..4 from 10 log10 of the envelope
// against three thresholds in dB, compared strictly; an envelope of 0 gives 0.
inline double indicatorStep(double envelope, double t1, double t2, double t3) {
    const double level = 10.0 * std::log10(envelope);
    const int step = level > t1 ? 4 : level > t2 ? 3 : level > t3 ? 2 : 1;
    return iposition(step, 4);
}
