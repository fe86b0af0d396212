#include "dsp/cross_fader.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double gainFloor = 1e-7; // no gain below -140 dB, never 0
constexpr int highestMode = 2;

double decibels(double gain) {
    return 20.0 * std::log10(std::max(gain, gainFloor));
}
} // namespace

CrossFader::CrossFader() {
    const FilterParameters unity{true, FilterType::Gain, 1000.0, 0.7071, 0.0};
    gainA.SetParameters(unity);
    gainB.SetParameters(unity);
    SetFs(44100.0);
}

void CrossFader::SetParameter(int index, double value) {
    switch (index) {
    case kMode:
        // No test for an unchanged law: the same law recomputes the same gains.
        if (readChoice(value, highestMode, mode)) Update();
        return;
    case kPosition:
        if (value >= 0.0 && value <= 1.0 && storeIfChanged(position, value)) Update();
        return;
    default:
        return;
    }
}

double CrossFader::GetParameter(int index) const {
    switch (index) {
    case kMode:
        return mode;
    case kPosition:
        return position;
    default:
        return 0.0;
    }
}

void CrossFader::SetParameters(CrossFaderParameters p) {
    SetParameter(kMode, p.mode);
    SetParameter(kPosition, p.position);
}

void CrossFader::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    gainA.SetFs(rate);
    gainB.SetFs(rate);
}

void CrossFader::Update() {
    const double x = position;
    double a = 1.0, b = 1.0;
    switch (mode) {
    case 0:
        a = x;
        b = 1.0 - x;
        break;
    case 1:
        a = std::min(1.0, 2.0 * x);
        b = std::min(1.0, 2.0 * (1.0 - x));
        break;
    default: {
        const double halfTurn = std::acos(-1.0) * x / 2.0;
        a = std::cos(halfTurn) * std::cos(halfTurn);
        b = std::sin(halfTurn) * std::sin(halfTurn);
        break;
    }
    }
    gainA.SetParameter(Filter::kGain, decibels(a));
    gainB.SetParameter(Filter::kGain, decibels(b));
}

void CrossFader::process(double* a, double* b, double* out, int n) {
    // Settled, the gains are plain factors with no recursion to wait on.
    const bool plainA = gainA.ProcessAsGain(a, n);
    const bool plainB = gainB.ProcessAsGain(b, n);
    if (!plainA && !plainB) {
        Filter* const first[] = {&gainA};
        Filter* const second[] = {&gainB};
        processChains(first, 1, a, second, 1, b, n); // side by side: their recursions overlap
    } else if (!plainA) {
        gainA.process(a, n);
    } else if (!plainB) {
        gainB.process(b, n);
    }
    for (int i = 0; i < n; ++i)
        out[i] = a[i] + b[i];
}

void CrossFader::process(double* aLeft, double* aRight, double* bLeft, double* bRight,
                         double* outLeft, double* outRight, int n) {
    gainA.process(aLeft, aRight, n);
    gainB.process(bLeft, bRight, n);
    for (int i = 0; i < n; ++i) {
        outLeft[i] = aLeft[i] + bLeft[i];
        outRight[i] = aRight[i] + bRight[i];
    }
}

void CrossFader::Reserve(int n) {
    gainA.Reserve(n);
    gainB.Reserve(n);
}
