#include "dsp/crossover_lr4.h"

#include <algorithm>

namespace {
// The Butterworth q, 1/sqrt(2) as 1.0 / sqrt(2.0) gives it in double (one unit
// in the last place below the nearest double), not Filter's default 0.7071.
constexpr double butterworthQ = 0.7071067811865475;
constexpr int initialCapacity = 64;
} // namespace

CrossoverLR4::CrossoverLR4() {
    for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
        f->SetFs(fs);
    const FilterParameters low{true, FilterType::LowPass, frequency, butterworthQ, 0.0};
    FilterParameters high = low;
    high.type = FilterType::HighPass;
    lowPass1.SetParameters(low);
    lowPass2.SetParameters(low);
    highPass1.SetParameters(high);
    highPass2.SetParameters(high);
    Grow(initialCapacity);
}

void CrossoverLR4::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        // No test for an unchanged value: each bypass ignores a repeated state.
        enabled = readSwitch(value);
        for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
            f->SetParameter(Filter::kOn, enabled ? 1.0 : 0.0);
        return;
    case kFrequency:
        if (value > 0.0 && value < 0.5 * fs && storeIfChanged(frequency, value)) {
            for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
                f->SetParameter(Filter::kFrequency, value);
        }
        return;
    default:
        return;
    }
}

double CrossoverLR4::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return enabled ? 1.0 : 0.0;
    case kFrequency:
        return frequency;
    default:
        return 0.0;
    }
}

void CrossoverLR4::SetParameters(CrossoverLR4Parameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kFrequency, p.frequency);
}

void CrossoverLR4::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
        f->SetFs(rate);
    if (frequency >= 0.5 * fs) {
        frequency = 0.499 * fs;
        for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
            f->SetParameter(Filter::kFrequency, frequency);
    }
}

void CrossoverLR4::process(const double* in, double* low, double* high, int n) {
    if (n <= 0) return;
    // Both copies first, so that in may be one of the outputs.
    for (int i = 0; i < n; ++i) {
        const double x = in[i];
        low[i] = x;
        high[i] = x;
    }
    Filter* const lows[] = {&lowPass1, &lowPass2}; // fused, side by side: their recursions overlap
    Filter* const highs[] = {&highPass1, &highPass2};
    processChains(lows, 2, low, highs, 2, high, n);
}

void CrossoverLR4::Grow(int n) {
    // All four arrays share one capacity; they grow and never shrink.
    for (MonoBuffer* b : {&lowLeft, &lowRight, &highLeft, &highRight})
        b->Reserve(n);
}

void CrossoverLR4::process(const double* in, int n) {
    n = std::max(n, 0);
    Grow(n);
    lowLeft.Set(in, n);
    highLeft.Set(in, n);
    count = n;
    if (n == 0) return;
    Filter* const lows[] = {&lowPass1, &lowPass2};
    Filter* const highs[] = {&highPass1, &highPass2};
    processChains(lows, 2, lowLeft.data, highs, 2, highLeft.data, n);
}

void CrossoverLR4::process(const double* left, const double* right, int n) {
    n = std::max(n, 0);
    Grow(n);
    lowLeft.Set(left, n);
    highLeft.Set(left, n);
    lowRight.Set(right, n);
    highRight.Set(right, n);
    count = n;
    if (n == 0) return;
    lowPass1.process(lowLeft.data, lowRight.data, n);
    lowPass2.process(lowLeft.data, lowRight.data, n);
    highPass1.process(highLeft.data, highRight.data, n);
    highPass2.process(highLeft.data, highRight.data, n);
}

void CrossoverLR4::get_lows(double* out) const {
    std::copy(lowLeft.data, lowLeft.data + count, out);
}

void CrossoverLR4::get_highs(double* out) const {
    std::copy(highLeft.data, highLeft.data + count, out);
}

void CrossoverLR4::get_lows(double* left, double* right) const {
    std::copy(lowLeft.data, lowLeft.data + count, left);
    std::copy(lowRight.data, lowRight.data + count, right);
}

void CrossoverLR4::get_highs(double* left, double* right) const {
    std::copy(highLeft.data, highLeft.data + count, left);
    std::copy(highRight.data, highRight.data + count, right);
}

void CrossoverLR4::Reserve(int n) {
    for (Filter* f : {&lowPass1, &lowPass2, &highPass1, &highPass2})
        f->Reserve(n);
}
