// WhiteNoise: adds uniform white noise in [-level, level) to a block, from a
// RANROT-W generator seeded with 1, so that every run (and every instance)
// produces the same sequence. Switches on and off through its soft bypass;
// numbers are drawn only for samples that are processed.
#pragma once

#include "dsp/soft_bypass.h"
#include "dsp/tranrotw_generator.h"

#include <memory>

struct WhiteNoiseParameters {
    bool enabled;
    double level; // linear amplitude
};

class WhiteNoise {
public:
    WhiteNoise();

    // Setting indices: on/off, level (linear), level in dB; 2 is not used.
    enum Setting : int { kOn, kLevel, kLevelDb = 3 };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(WhiteNoiseParameters p);
    WhiteNoiseParameters GetParameters() const { return {enabled, level}; }
    // The noise does not depend on the rate; only the on/off fade does.
    void SetFs(double rate);

    // Adds noise to the block.
    // Grows the block-length buffers so that mono blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* x, int n);
    // Replaces the block by noise.
    void output(double* x, int n);

    bool enabled = false;
    double level = 0.0;
    double fs = 44100.0;
    SoftBypass bypass;
    std::unique_ptr<TRanrotWGenerator> generator;

private:
    // Adds the next n numbers' noise to x, or with Replace writes it alone.
    template <bool Replace> void Generate(double* x, int n);
};
