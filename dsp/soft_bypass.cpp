#include "dsp/soft_bypass.h"

#include <cmath>

void SoftBypass::SetState(double value) {
    const int requested = value < 0.5 ? 0 : 1;
    if (state == requested) return;
    state = requested;
    fading = true;
    active = true;
}

void SoftBypass::SetFs(double rate) {
    if (!(rate >= 0.0) || rate == fs) return;
    fs = rate;
    step = 1.0 / (0.02 * rate);
}

void SoftBypass::StepGain() {
    if (state != 0) {
        wetGain += step;
        if (wetGain > 1.0) {
            wetGain = 1.0;
            fading = false;
        }
    } else {
        wetGain -= step;
        if (wetGain < 0.0) {
            wetGain = 0.0;
            fading = false;
            active = false;
        }
    }
}

void SoftBypass::process(double* out, int n) {
    if (fading) {
        dryL.Resize(n);
        const double* dry = dryL.data;
        for (int i = 0; i < n; ++i) {
            if (fading) StepGain();
            out[i] = wetGain * out[i] + (1.0 - wetGain) * dry[i];
        }
    } else if (state == 0) {
        dryL.Resize(n);
        for (int i = 0; i < n; ++i)
            out[i] = dryL.data[i];
    }
}

void SoftBypass::process(double* left, double* right, int n) {
    if (fading) {
        dryL.Resize(n);
        dryR.Resize(n);
        const double* dl = dryL.data;
        const double* dr = dryR.data;
        for (int i = 0; i < n; ++i) {
            if (fading) StepGain();
            left[i] = wetGain * left[i] + (1.0 - wetGain) * dl[i];
            right[i] = wetGain * right[i] + (1.0 - wetGain) * dr[i];
        }
    } else if (state == 0) {
        dryL.Resize(n);
        dryR.Resize(n);
        for (int i = 0; i < n; ++i) {
            left[i] = dryL.data[i];
            right[i] = dryR.data[i];
        }
    }
}
