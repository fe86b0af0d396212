// GainControl: the gain potentiometer of an amplifier channel with the
// frequency response of its circuit. A knob position (taper p = position^2)
// and one of six circuit variants select an analogue transfer function N(s)/D(s)
// of first, second or third order; the bilinear transform prewarped at 1 kHz,
//   s = K (1 - z^-1) / (1 + z^-1),  K = 2 pi 1000 / tan(pi 1000 / fs),
// turns it into a third-order direct-form I filter whose response equals the
// analogue one exactly at 1 kHz. No variant passes DC. Coefficient changes
// cross-fade between two sets (1 ms hold, 20 ms fade).
#pragma once

#include "dsp/block.h"

struct GainControlParameters {
    int type = 0;          // circuit variant 0..5
    double position = 0.5; // knob 0..1
};

// An analogue transfer function: coefficients of s^0 .. s^order.
struct AnalogPrototype {
    int order = 1;
    double numerator[4] = {};
    double denominator[4] = {};
};

// One third-order coefficient set with its histories; the feedback
// coefficients are stored negated (a_k = -A_k / A_0) so that they add.
struct GainControlSection {
    double a1 = 0.0, a2 = 0.0, a3 = 0.0;
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, b3 = 0.0;
    double y1 = 0.0, y2 = 0.0, y3 = 0.0;
    double x1 = 0.0, x2 = 0.0, x3 = 0.0;

    double tick(double x) {
        const double y = flush(Sum(x));
        y1 = y;
        x1 = x;
        return y;
    }
    // The same step without the denormal flush of the output.
    double tickUnflushed(double x) {
        const double y = Sum(x);
        y1 = y;
        x1 = x;
        return y;
    }
    bool stateFinite() const { return std::isfinite(y1 + y2 + y3 + x1 + x2 + x3); }
    void clearState() { y1 = y2 = y3 = x1 = x2 = x3 = 0.0; }

private:
    // y = a1 y1 + a2 y2 + a3 y3 + b0 x + b1 x1 + b2 x2 + b3 x3, with the
    // newest output's term added last so that the serial chain from sample to
    // sample is one multiply and one addition. Shifts every history but the
    // newest.
    double Sum(double x) {
        const double y =
            (((b0 * x + b1 * x1) + (b2 * x2 + b3 * x3)) + (a3 * y3 + a2 * y2)) + a1 * y1;
        y3 = y2;
        y2 = y1;
        x3 = x2;
        x2 = x1;
        return y;
    }
};

class GainControl {
public:
    GainControl();

    // Setting indices: type (0..5; the present type again still starts a
    // fade), position.
    enum Setting : int { kType, kPosition };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(GainControlParameters p);
    GainControlParameters GetParameters() const { return parameters; }
    void SetFs(double rate);
    // Computes the current set for the present type, taper and rate and zeroes
    // its histories.
    void Update();

    void process(double* x, int n);
    // No fade running and no change pending: process() then only runs the
    // current set (so the set may run in a series, see runSeries).
    bool Settled() const { return fade.Settled(); }
    GainControlSection& Current() { return sets[fade.currentSet]; }
    // The current set alone, no fade and no flush: a change applies at once.
    void process_iphone(double* x, int n);

    // The circuit's analogue transfer function for a variant and taper.
    static AnalogPrototype Prototype(int type, double taper);

    GainControlParameters parameters{-1, -1.0}; // sentinels: the first setting always stores
    double taper = 0.0;                         // position squared
    double fs = 0.0;
    GainControlSection sets[2];
    CoefficientFade fade{1.05, 0.02};
};
