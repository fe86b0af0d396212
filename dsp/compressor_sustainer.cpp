#include "dsp/compressor_sustainer.h"

#include "dsp/mapping.h"

#include <cmath>

namespace {

// Per-sample coefficient of a one-pole follower that covers half of its
// remaining distance in `seconds`; 0 s follows at once.
double halfLifeCoefficient(double seconds, double fs) {
    return flush(seconds > 0.0 ? 1.0 - std::pow(0.5, 1.0 / (seconds * fs)) : 1.0);
}

// Times are refused when negative, NaN or infinite (an infinite attack would
// freeze the envelope and silence the block for good).
bool acceptableTime(double seconds) {
    return seconds >= 0.0 && std::isfinite(seconds);
}

} // namespace

CompressorSustainer::CompressorSustainer() {
    SetFs(44100.0);
    Update();
    fade.Swap();
    Update();
}

void CompressorSustainer::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        parameters.enabled = readSwitch(value);
        bypass.SetState(parameters.enabled ? 1.0 : 0.0);
        return;
    case kMode: {
        int mode = 0;
        if (readChoice(value, 1, mode) && storeIfChanged(parameters.mode, mode)) fade.dirty = true;
        return;
    }
    case kAmount:
        if (value >= 0.0 && value <= 1.0 && storeIfChanged(parameters.amount, value))
            fade.dirty = true;
        return;
    case kAttack:
        if (acceptableTime(value) && storeIfChanged(parameters.attack, value)) fade.dirty = true;
        return;
    case kRelease:
        if (acceptableTime(value) && storeIfChanged(parameters.release, value)) fade.dirty = true;
        return;
    default:
        return;
    }
}

double CompressorSustainer::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return parameters.enabled ? 1.0 : 0.0;
    case kMode:
        return parameters.mode;
    case kAmount:
        return parameters.amount;
    case kAttack:
        return parameters.attack;
    case kRelease:
        return parameters.release;
    default:
        return 0.0;
    }
}

void CompressorSustainer::SetParameters(CompressorSustainerParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kMode, p.mode);
    SetParameter(kAmount, p.amount);
    SetParameter(kAttack, p.attack);
    SetParameter(kRelease, p.release);
}

void CompressorSustainer::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    bypass.SetFs(fs);
    fade.dirty = true;
    fade.SetFs(fs);
}

void CompressorSustainer::Update() {
    CompressorStage& s = sets[fade.currentSet];
    s.exponent = range(parameters.amount, 0.0, -0.5);
    const double largestBoost = rangeDb(parameters.amount, 0.1, 20.0);
    s.offset = 1.0 / (largestBoost - 1.0);
    s.numerator = s.offset + 1.0;
    s.attackCoefficient = halfLifeCoefficient(parameters.attack, fs);
    s.releaseCoefficient = halfLifeCoefficient(parameters.release, fs);
    s.law = parameters.mode;
}

void CompressorSustainer::FollowIdleEnvelope(bool fadedThisBlock) {
    if (!fadedThisBlock) sets[fade.otherSet].envelope = sets[fade.currentSet].envelope;
}

void CompressorSustainer::process(double* x, int n) {
    if (!bypass.active) return;
    bypass.senddry(x, n);
    fade.BeginBlock([this] { Update(); });
    const bool fading = fade.crossfading;
    fade.process(sets, x, n);
    FollowIdleEnvelope(fading);
    bypass.process(x, n);
}

void CompressorSustainer::process(double* left, double* right, int n) {
    if (!bypass.active) return;
    bypass.senddry(left, right, n);
    fade.BeginBlock([this] { Update(); });
    const bool fading = fade.crossfading;
    fade.process(sets, left, right, n);
    FollowIdleEnvelope(fading);
    bypass.process(left, right, n);
}

void CompressorSustainer::Reserve(int n) {
    bypass.Reserve(n, false);
}
