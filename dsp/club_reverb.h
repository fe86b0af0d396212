// ClubReverb: the amp's send reverb. One Freeverb runs fully wet; its output is
// scaled by a smoothed return gain given in dB (one-pole glide, 30 ms) and
// added to the untouched dry signal. On/off is click-free through the soft
// bypass, and switching on clears the reverb's memory.
//
// SetFs reallocates the reverb's buffers and must not overlap process() (see
// Freeverb). A non-finite input sample passes on the dry path but reaches the
// reverb as silence, and a reverb state that has gone non-finite anyway is
// cleared after the block, so no bad sample rings on in the tail.
#pragma once

#include "dsp/block.h"
#include "dsp/freeverb.h"
#include "dsp/soft_bypass.h"

struct ClubReverbParameters {
    bool enabled;
    double level; // return level, dB
};

class ClubReverb {
public:
    ClubReverb();

    // Setting indices: on/off (clears the reverb when switched on), return
    // level in dB.
    enum Setting : int { kOn, kLevel };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(ClubReverbParameters p);
    ClubReverbParameters GetParameters() const { return {enabled, level}; }
    // Comb feedback, applied at once; ignored outside -1..1 (the combs would
    // grow without bound) and for NaN.
    void SetDecay(double x);
    // Comb damping 0.4 x, applied at once; ignored outside 0 <= x < 2.5 (the
    // damping filter would turn unstable) and for NaN.
    void SetDamping(double x);
    // Target gain from the stored level.
    void Update();
    void SetFs(double rate);

    // Grows the block-length buffers so that blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* left, double* right, int n);

    bool enabled = false;
    double level = -1.0;
    Freeverb reverb;
    SoftBypass bypass;
    double smoothingCoef = 0.0;
    double fs = 0.0;
    double currentGain = 0.0; // linear
    double targetGain = 0.0;  // linear
    bool smoothing = false;
    bool dirty = false;

private:
    template <bool SanitizeInput> void run(double* left, double* right, int n);
};
