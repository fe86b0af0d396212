// Freeverb: a stereo comb-and-all-pass reverberator after Schroeder and
// Moorer. The mono sum of the input feeds two banks of eight lowpass-feedback
// combs (left and right, with slightly different lengths for decorrelation);
// each bank runs through four all-passes in series, and a width matrix and a
// wet/dry mix form the output:
//   left  = (aL wet1 + aR wet2) wet + left  dry
//   right = (aR wet1 + aL wet2) wet + right dry
// The delay lengths are tuned at 44100 Hz; at any other rate each becomes the
// prime nearest to the tuned length scaled by fs/44100.
//
// SetFs frees and reallocates all 24 buffers. It must never run while
// process() reads them: the engine applies rate changes between blocks on the
// audio thread, or while audio is stopped. Debug builds assert this rule.
#pragma once

#include "dsp/reverb_delay_block.h"

#include <atomic>

class Freeverb {
public:
    static constexpr int combCount = 8;
    static constexpr int allpassCount = 4;

    Freeverb();

    // Rebuilds every element at prime lengths for the new rate; the decay and
    // damping in force stay, the buffers restart empty. Allocates.
    void SetFs(double rate);
    void setmix(double m) {
        wet = m;
        dry = 1.0 - m;
    }
    void setreverbleveldb(double db);
    void setwidth(double w) {
        wet1 = 0.5 * w + 0.5;
        wet2 = 1.0 - wet1;
    }
    // Feedback g of all 16 combs.
    void setdecay(double x);
    // Damping d = 0.4 x of all 16 combs.
    void setdamping(double x);
    // Silences the reverb: buffers, positions, one-pole states, last outputs.
    void clear_buffers();

    // Both channels in place. Per sample pair: the mono sum in = (left +
    // right) / 2 feeds every comb (process_LBCF), each bank's outputs are
    // summed in order and run through its all-passes (process_FBFFCF) in
    // order, and the width matrix and mix form the output pair.
    void process(double* left, double* right, int n);

    // True when every comb and all-pass state is finite.
    bool stateFinite() const;

    double fs = 44100.0;
    double wet = 1.0;
    double dry = 0.0;
    double wet1 = 1.0;
    double wet2 = 0.0;
    double decay = 0.5;   // comb feedback last set
    double damping = 0.2; // 0.4 x the value last given to setdamping
    ReverbDelayBlock combL[combCount];
    ReverbDelayBlock combR[combCount];
    ReverbDelayBlock allpassL[allpassCount];
    ReverbDelayBlock allpassR[allpassCount];

    // Tuned lengths at 44100 Hz.
    static constexpr int combLengthL[combCount] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static constexpr int combLengthR[combCount] = {1129, 1213, 1301, 1381, 1447, 1511, 1579, 1637};
    static constexpr int allpassLengthL[allpassCount] = {556, 441, 341, 225};
    static constexpr int allpassLengthR[allpassCount] = {577, 463, 367, 251};
    static constexpr double allpassFeedback = 0.5;

private:
    // Calls of process() running, counted in debug builds only (the member
    // exists in every build so that the class layout never depends on it).
    std::atomic<int> processCalls{0};
};
