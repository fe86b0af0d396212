#include "dsp/white_noise.h"

#include "dsp/block.h"

#include <cmath>

WhiteNoise::WhiteNoise() : generator(std::make_unique<TRanrotWGenerator>(1)) {
    bypass.SetFs(fs);
    SetParameter(kOn, 1.0);
    SetParameter(kLevel, 1.0);
}

void WhiteNoise::SetParameter(int index, double value) {
    switch (index) {
    case kOn:
        enabled = readSwitch(value);
        bypass.SetState(enabled ? 1.0 : 0.0);
        return;
    case kLevel:
        // Any finite level, negative ones included (they turn the noise over);
        // a non-finite one would poison every later sample.
        if (std::isfinite(value)) level = value;
        return;
    case kLevelDb: {
        const double linear = std::pow(10.0, 0.05 * value);
        if (std::isfinite(linear)) level = linear;
        return;
    }
    default:
        return;
    }
}

double WhiteNoise::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return enabled ? 1.0 : 0.0;
    case kLevel:
        return level;
    default:
        return 0.0;
    }
}

void WhiteNoise::SetParameters(WhiteNoiseParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kLevel, p.level);
}

void WhiteNoise::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    bypass.SetFs(rate);
}

template <bool Replace> void WhiteNoise::Generate(double* x, int n) {
    const double amplitude = 2.0 * level;
    TRanrotWGenerator& random = *generator;
    // Product and sum in extended precision, rounded to double when stored.
    const auto store = [x](int i, long double noise) {
        x[i] = static_cast<double>(Replace ? noise : x[i] + noise);
    };
    if (random.layout == TRanrotWGenerator::ExtendedLittleEndian) {
        // k (amplitude 2^-63) is the same real number as (Random() - 0.5)
        // amplitude, so it rounds the same; the scaling by 2^-63 is exact.
        const long double step = static_cast<long double>(amplitude) * 0x1p-63L;
        int i1 = random.index1, i2 = random.index2;
        for (int i = 0; i < n; ++i)
            store(i, static_cast<long double>(random.CenteredDraw(i1, i2)) * step);
        random.index1 = i1;
        random.index2 = i2;
    } else {
        for (int i = 0; i < n; ++i)
            store(i, (random.Random() - 0.5L) * amplitude);
    }
}

void WhiteNoise::process(double* x, int n) {
    if (!bypass.active) return;
    bypass.senddry(x, n);
    Generate<false>(x, n);
    bypass.process(x, n);
}

void WhiteNoise::output(double* x, int n) {
    if (!bypass.active) return;
    for (int i = 0; i < n; ++i)
        x[i] = 0.0;
    bypass.senddry(x, n);
    Generate<true>(x, n);
    bypass.process(x, n);
}

void WhiteNoise::Reserve(int n) {
    bypass.Reserve(n, false);
}
