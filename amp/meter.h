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

// Lamp value (step - 1)/3 for steps 1..4 from 10 log10 of the envelope
// against three thresholds in dB, compared strictly; an envelope of 0 gives 0.
inline double indicatorStep(double envelope, double t1, double t2, double t3) {
    const double level = 10.0 * std::log10(envelope);
    const int step = level > t1 ? 4 : level > t2 ? 3 : level > t3 ? 2 : 1;
    return iposition(step, 4);
}
