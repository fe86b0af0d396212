// GraphicEQ12Bass: twelve-band graphic equaliser for bass with an output level
// stage. Each band is a peaking biquad (q 0.5) at a fixed centre from 30 Hz to
// 15 kHz, the level stage a flat gain; all gains are in dB and fade through
// the filters' coefficient cross-fade. The block switches on and off through
// its own soft bypass. It keeps identical left and right chains; the mono
// process runs the left one.
#pragma once

#include "dsp/filter.h"
#include "dsp/soft_bypass.h"

struct GraphicEQ12BassParameters {
    bool enabled;
    double values[13]; // dB: bands 1..12, then the level stage
};

class GraphicEQ12Bass {
public:
    static constexpr int stageCount = 13; // twelve bands and the level stage

    GraphicEQ12Bass();

    // Setting indices: on/off, then each stage's gain (dB), the twelve bands
    // from kFirstBand and the level last.
    enum Setting : int { kOn, kFirstBand, kLevel = kFirstBand + stageCount - 1 };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(GraphicEQ12BassParameters p);
    GraphicEQ12BassParameters GetParameters() const;
    void SetFs(double rate);

    // Grows the block-length buffers so that mono blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* x, int n);
    void process(double* left, double* right, int n);
    // For an owner that runs the mono chain fused with filters of its own:
    // unless the block fades on or off, the mono process() is exactly its
    // working filters run in series (processChain), and they are appended to
    // chain[count..] (none while the block is off). Returns false, appending
    // nothing, while it fades: then only process() gives the right result.
    bool AppendSeries(Filter** chain, int& count);

    struct Stage {
        Filter left;
        Filter right;
    };

    SoftBypass bypass;
    bool enabled = false;
    double values[stageCount] = {};
    Stage stages[stageCount];
    double fs = 0.0;
};
