// CrossFader: mixes two inputs into one with complementary gains from a
// position 0..1 and one of three fade laws:
//   0 linear          gA = x,                gB = 1 - x
//   1 full middle     gA = min(1, 2x),       gB = min(1, 2(1 - x))
//   2 constant sum    gA = cos^2(pi x / 2),  gB = sin^2(pi x / 2)  (A falls as x rises)
// Gains are floored at 1e-7 (-140 dB) and applied through flat-gain Filters,
// so every change is smoothed by their coefficient cross-fade.
#pragma once

#include "dsp/filter.h"

struct CrossFaderParameters {
    int mode;        // fade law 0..2
    double position; // 0..1
};

class CrossFader {
public:
    CrossFader();

    // Setting indices: fade law (0..2), position (0..1).
    enum Setting : int { kMode, kPosition };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(CrossFaderParameters p);
    CrossFaderParameters GetParameters() const { return {mode, position}; }
    void SetFs(double rate);
    // Computes both gains and hands them to the gain filters.
    void Update();

    // out = gained a + gained b; a and b are left holding their gained signals
    // and out may be one of them.
    // Grows the block-length buffers so that blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* a, double* b, double* out, int n);
    void process(double* aLeft, double* aRight, double* bLeft, double* bRight, double* outLeft,
                 double* outRight, int n);

    // Law 1 at the centre gives both inputs unity, matching the filters as
    // constructed, so the two fields agree with the gains before any setter.
    int mode = 1;
    double position = 0.5;
    double fs = 0.0;
    Filter gainA;
    Filter gainB;
};
