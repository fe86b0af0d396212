#include "dsp/club_reverb.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double smoothingSeconds = 0.03;

double gainOfLevel(double levelDb) {
    return std::pow(10.0, 0.05 * levelDb);
}
} // namespace

ClubReverb::ClubReverb() {
    SetFs(44100.0);
    reverb.setmix(1.0);
    reverb.setwidth(1.0);
    reverb.setdecay(0.79);
    reverb.setdamping(0.93);
    SetParameters({true, 0.0});
    targetGain = gainOfLevel(level);
    currentGain = 0.0;
}

void ClubReverb::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        if (value < 0.5) {
            if (!enabled) return;
            enabled = false;
            dirty = true;
            bypass.SetState(0.0);
        } else if (value >= 0.5) { // a NaN does nothing
            if (enabled) return;
            reverb.clear_buffers();
            enabled = true;
            dirty = true;
            bypass.SetState(1.0);
        }
        return;
    case kLevel: {
        // Any level whose gain is a finite number; NaN and levels whose gain
        // overflows would poison the output for good.
        const double gain = gainOfLevel(value);
        if (!std::isfinite(gain) || !storeIfChanged(level, value)) return;
        targetGain = gain;
        dirty = true;
        return;
    }
    default:
        return;
    }
}

double ClubReverb::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return enabled ? 1.0 : 0.0;
    case kLevel:
        return level;
    default:
        return 0.0;
    }
}

void ClubReverb::SetParameters(ClubReverbParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kLevel, p.level);
}

void ClubReverb::SetDecay(double x) {
    if (std::fabs(x) <= 1.0) reverb.setdecay(x);
}

void ClubReverb::SetDamping(double x) {
    if (x >= 0.0 && x < 2.5) reverb.setdamping(x);
}

void ClubReverb::Update() {
    targetGain = gainOfLevel(level);
}

void ClubReverb::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    reverb.SetFs(fs);
    bypass.SetFs(fs);
    smoothingCoef = smoothingCoefficient(smoothingSeconds, fs);
    dirty = true;
}

template <bool SanitizeInput> void ClubReverb::run(double* left, double* right, int n) {
    const bool glide = smoothing; // tested once per block
    // The reverb runs over stretches of the block (its elements then keep
    // their state in registers); the return gain glides sample by sample.
    constexpr int stretch = 256;
    double wetL[stretch], wetR[stretch];
    for (int start = 0; start < n; start += stretch) {
        const int m = std::min(stretch, n - start);
        double* l = left + start;
        double* r = right + start;
        for (int i = 0; i < m; ++i) {
            wetL[i] = l[i];
            wetR[i] = r[i];
            if constexpr (SanitizeInput) {
                if (!std::isfinite(wetL[i])) wetL[i] = 0.0;
                if (!std::isfinite(wetR[i])) wetR[i] = 0.0;
            }
        }
        reverb.process(wetL, wetR, m);
        for (int i = 0; i < m; ++i) {
            if (glide) smoothing = smoothTowards(currentGain, targetGain, smoothingCoef);
            l[i] = wetL[i] * currentGain + l[i];
            r[i] = wetR[i] * currentGain + r[i];
        }
    }
}

void ClubReverb::process(double* left, double* right, int n) {
    if (!bypass.active) return;
    bypass.senddry(left, right, n);
    if (!smoothing && dirty) {
        dirty = false;
        smoothing = true;
        Update();
    }
    if (blockFinite(left, n) && blockFinite(right, n))
        run<false>(left, right, n);
    else
        run<true>(left, right, n);
    if (!reverb.stateFinite()) reverb.clear_buffers();
    bypass.process(left, right, n);
}

void ClubReverb::Reserve(int n) {
    bypass.Reserve(n, true);
}
