// SoftBypass: the click-free on/off of a block.
//
// The owner sends a dry copy of its input before processing and calls
// process() after it; while a fade runs, the output moves linearly between the
// processed and the dry signal over 20 ms. Once a fade-out has ended `active`
// is cleared and the owner skips its processing altogether, so the input
// passes untouched. An owner that never sends a dry copy fades to silence.
#pragma once

#include "dsp/mono_buffer.h"

class SoftBypass {
public:
    SoftBypass() = default;

    // Below 0.5 requests off, otherwise (NaN included) on; a request for the
    // present state changes nothing, a new one (re)starts a fade from the
    // present gain.
    void SetState(double value);
    double GetState() const { return state != 0 ? 1.0 : 0.0; }
    // Accepts 0 (the next fade then ends at its first sample); ignores a
    // negative or NaN rate and the present one.
    void SetFs(double rate);

    // The copy is only taken when this block's process() can use it (a fade
    // runs or the block is off); a settled-on bypass skips the copy.
    void senddry(const double* in, int n) {
        if (NeedsDry()) dryL.Set(in, n);
    }
    void senddry(const double* left, const double* right, int n) {
        if (!NeedsDry()) return;
        dryL.Set(left, n);
        dryR.Set(right, n);
    }
    // Grows the dry copy (both for a stereo owner) ahead of time so that
    // blocks up to n samples never allocate on the audio thread.
    void Reserve(int n, bool stereo) {
        dryL.Reserve(n);
        if (stereo) dryR.Reserve(n);
    }

    // On with no fade running: senddry() and process() do nothing.
    bool SettledOn() const { return active && state != 0 && !fading; }

    void process(double* out, int n);
    void process(double* left, double* right, int n);

    bool active = true;        // the owner processes only while this is set
    int state = 1;             // requested state: 1 on, 0 off
    bool fading = true;        // a dry/wet fade is running
    double fs = 44100.0;       // sample rate
    double step = 1.0 / 882.0; // per-sample change of wetGain: 1/(0.02 fs)
    double wetGain = 1.0;      // share of the processed signal in the output
    MonoBuffer dryL;
    MonoBuffer dryR;

private:
    bool NeedsDry() const { return fading || state == 0; }
    // Moves wetGain one sample along the running fade.
    void StepGain();
};
