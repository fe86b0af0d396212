#include "dsp/bass_chorus.h"

#include "dsp/mapping.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double smoothingSeconds = 0.06;
// The high-pass filters run over chunks of at most this many samples.
constexpr int chunkLength = 256;
// Upper bound of every delay in samples. Far beyond the ring (a longer delay
// wraps around it anyway), it keeps the integer tap index in range whatever
// the rate, the sample rate or a non-finite value produce.
constexpr double maxDelay = 1073741824.0; // 2^30

// Filter::process fed one sample per call starts a cutoff change that waits
// for a running fade at the sample right after that fade; filtering sample by
// sample only while such a change waits gives that timing at block cost.
void highPass(Filter& filter, const double* in, double* out, int n) {
    std::copy(in, in + n, out);
    int i = 0;
    for (; i < n && filter.fade.crossfading && filter.fade.dirty; ++i)
        filter.process(out + i, 1);
    if (i < n) filter.process(out + i, n - i);
}

// A non-finite sample must not sit in a delay line for 32768 samples: it
// enters the line as silence (the dry path still carries it).
void sanitize(double* x, int n) {
    if (blockFinite(x, n)) return;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(x[i])) x[i] = 0.0;
}

// Linear interpolation d samples behind the write index w, for d below
// maxDelay.
inline double interpolate(const double* line, int w, double d) {
    const double whole = std::floor(d);
    const int i = static_cast<int>(whole);
    const double f = d - whole;
    const int j = (w - i) & BassChorus::lineMask;
    const int k = (j - 1) & BassChorus::lineMask;
    return (1.0 - f) * line[j] + f * line[k];
}

// The same for any d.
inline double tap(const double* line, int w, double d) {
    return interpolate(line, w, d < maxDelay ? d : maxDelay); // also catches NaN
}

// The settled taps of samples from .. to - 1 of a chunk whose samples up to
// these are in the lines: sample i was written at w + 1 + i, voice v reads
// (sines[v][i] + 1) amplitude + base behind it, and the output is the dry
// signal times 1 - level plus the wet one times level. Checked, every delay
// is bounded first; unchecked, it must lie below the bound already.
template <int Voices, bool Stereo, bool Checked>
[[gnu::always_inline]] inline void settledTaps(const double* lineL, const double* lineR, int w,
                                               const double (*sines)[chunkLength], double amp,
                                               double base, double oml, double lvl, double* left,
                                               double* right, int from, int to) {
    const auto read = [amp, base](const double* line, int at, double sine) {
        const double d = (sine + 1.0) * amp + base;
        return Checked ? tap(line, at, d) : interpolate(line, at, d);
    };
    for (int i = from; i < to; ++i) {
        const int at = (w + 1 + i) & BassChorus::lineMask;
        if constexpr (Voices == 1) {
            if constexpr (Stereo) {
                left[i] = left[i] * oml + read(lineL, at, sines[0][i]) * lvl;
                right[i] = right[i] * oml + read(lineR, at, sines[0][i]) * lvl;
            } else {
                left[i] = left[i] * oml + lvl * read(lineL, at, sines[0][i]);
            }
        } else if constexpr (Voices == 2) {
            const double tL = read(lineL, at, sines[0][i]);
            const double tR = read(lineR, at, sines[1][i]);
            if constexpr (Stereo) {
                left[i] = left[i] * oml + tL * lvl;
                right[i] = right[i] * oml + tR * lvl;
            } else {
                left[i] = left[i] * oml + 0.5 * lvl * (tL + tR);
            }
        } else {
            const double tL0 = read(lineL, at, sines[0][i]);
            const double tL270 = read(lineL, at, sines[1][i]);
            const double tR180 = read(lineR, at, sines[2][i]);
            const double tR90 = read(lineR, at, sines[3][i]);
            if constexpr (Stereo) {
                left[i] = left[i] * oml + 0.5 * (tL0 + tL270) * lvl;
                right[i] = right[i] * oml + 0.5 * (tR180 + tR90) * lvl;
            } else {
                left[i] = left[i] * oml + 0.25 * lvl * (tL0 + tL270 + tR180 + tR90);
            }
        }
    }
}

// Built per instruction set (a rounding instruction serves the floor where the
// processor has one).
#define TARVEX_SETTLED_TAPS(name, voices, stereo)                                                  \
    TARVEX_VECTOR_CLONES void name(const double* __restrict lineL, const double* __restrict lineR, \
                                   int w, const double(*__restrict sines)[chunkLength],            \
                                   double amp, double base, double oml, double lvl,                \
                                   double* __restrict left, double* __restrict right, int n) {     \
        settledTaps<voices, stereo, false>(lineL, lineR, w, sines, amp, base, oml, lvl, left,      \
                                           right, 0, n);                                           \
    }
TARVEX_SETTLED_TAPS(settledTaps1Stereo, 1, true)
TARVEX_SETTLED_TAPS(settledTaps2Stereo, 2, true)
TARVEX_SETTLED_TAPS(settledTaps4Stereo, 4, true)
TARVEX_SETTLED_TAPS(settledTaps1Mono, 1, false)
TARVEX_SETTLED_TAPS(settledTaps2Mono, 2, false)
TARVEX_SETTLED_TAPS(settledTaps4Mono, 4, false)
#undef TARVEX_SETTLED_TAPS

} // namespace

BassChorus::BassChorus() {
    parameters = {false, 0, 0.5, 0.1, 1.0, 0.001, 250.0};
    const FilterParameters highPass{true, FilterType::HighPass, 250.0, 0.7071, 0.0};
    for (Filter* filter : {&highPassL, &highPassR}) {
        filter->SetParameters(highPass);
        filter->bypass.Reserve(chunkLength, false);
    }
    writeIndex = 0;
    std::fill(lineL, lineL + lineLength, 0.0);
    std::fill(lineR, lineR + lineLength, 0.0);
    phase = 0.0;
    fs = 0.0;
    SetFs(44100.0);
    twoPi = 2.0 * std::acos(-1.0);
    voiceOffset[0] = twoPi * 180.0 / 360.0;
    voiceOffset[1] = twoPi * 90.0 / 360.0;
    voiceOffset[2] = twoPi * 270.0 / 360.0;
    SetParameters({true, 1, 1.0, 0.5, 0.5, 0.01, 250.0});
    amplitude = phaseIncrement = level = baseDelay = 0.0;
    oneMinusLevel = 1.0;
    std::fill(gain, gain + 5, 0.0);
    smoothing = false;
}

void BassChorus::SetParameter(int index, double value) {
    if (std::isnan(value)) return;
    bool changed = false;
    switch (index) {
    case kOn:
        if (value < 0.5) {
            if (!parameters.enabled) return;
            parameters.enabled = false;
            bypass.SetState(0.0);
        } else {
            if (parameters.enabled) return;
            parameters.enabled = true;
            std::fill(lineL, lineL + lineLength, 0.0);
            std::fill(lineR, lineR + lineLength, 0.0);
            bypass.SetState(1.0);
        }
        return;
    case kMode: {
        int mode = 0;
        changed = readChoice(value, 2, mode) && storeIfChanged(parameters.mode, mode);
        break;
    }
    case kRate: // an infinite rate would leave the modulation undefined
        changed = value > 0.0 && std::isfinite(value) && storeIfChanged(parameters.rate, value);
        break;
    case kDepth:
        changed = value >= 0.0 && value <= 1.0 && storeIfChanged(parameters.depth, value);
        break;
    case kLevel:
        changed = value >= 0.0 && value <= 1.0 && storeIfChanged(parameters.level, value);
        break;
    case kDelay:
        changed = value >= 0.0 && value <= 0.03 && storeIfChanged(parameters.delay, value);
        break;
    case kCutoff:
        changed = value > 0.0 && value < 0.5 * fs && storeIfChanged(parameters.cutoff, value);
        if (changed) {
            highPassL.SetParameter(Filter::kFrequency, value);
            highPassR.SetParameter(Filter::kFrequency, value);
        }
        break;
    default:
        return;
    }
    if (!changed) return;
    Update();
    dirty = true;
}

double BassChorus::GetParameter(int index) const {
    switch (index) {
    case kOn:
        return parameters.enabled ? 1.0 : 0.0;
    case kMode:
        return parameters.mode;
    case kRate:
        return parameters.rate;
    case kDepth:
        return parameters.depth;
    case kLevel:
        return parameters.level;
    case kDelay:
        return parameters.delay;
    case kCutoff:
        return parameters.cutoff;
    default:
        return 0.0;
    }
}

void BassChorus::SetParameters(BassChorusParameters p) {
    SetParameter(kOn, p.enabled ? 1.0 : 0.0);
    SetParameter(kMode, p.mode);
    SetParameter(kRate, p.rate);
    SetParameter(kDepth, p.depth);
    SetParameter(kLevel, p.level);
    SetParameter(kDelay, p.delay);
    SetParameter(kCutoff, p.cutoff);
}

void BassChorus::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    bypass.SetFs(fs);
    highPassL.SetFs(fs);
    highPassR.SetFs(fs);
    smoothingCoef = smoothingCoefficient(smoothingSeconds, fs);
    dirty = true;
    if (parameters.cutoff >= 0.5 * fs) SetParameter(kCutoff, 0.499 * fs);
}

void BassChorus::Update() {
    const double pi = std::acos(-1.0);
    const double rate = parameters.rate;
    // Modulation faster than half the sample rate is meaningless; the bound
    // only keeps the increment finite for extreme settings.
    targetPhaseIncrement = std::min(2.0 * pi * rate / fs, pi);
    targetAmplitude =
        std::min((range(parameters.depth, 1.0, 1.02) - 1.0) * 0.5 / (pi * rate / fs), maxDelay);
    static constexpr double voiceGains[3][5] = {
        {1.0, 0.0, 1.0, 0.0, 0.0}, // left and right at the same phase
        {1.0, 0.0, 0.0, 1.0, 0.0}, // right at + 180 degrees
        {0.5, 0.5, 0.0, 0.5, 0.5}, // left + 0 and 270, right + 180 and 90 degrees
    };
    const int row = parameters.mode == 0 || parameters.mode == 1 ? parameters.mode : 2;
    std::copy(voiceGains[row], voiceGains[row] + 5, targetGain);
    targetLevel = parameters.level;
    targetBaseDelay = std::min(parameters.delay * fs, maxDelay);
}

template <BassChorus::Path P, bool Stereo>
void BassChorus::run(double* left, double* right, const double* wetInL, const double* wetInR,
                     int n) {
    // Hot state in locals for the loop, written back after it.
    int w = writeIndex;
    double ph = phase;
    double amp = amplitude, inc = phaseIncrement, lvl = level, oml = oneMinusLevel;
    double base = baseDelay;
    double g[5] = {gain[0], gain[1], gain[2], gain[3], gain[4]};
    double* const lL = lineL;
    double* const lR = lineR;
    bool moving = smoothing;

    // Settled, the phase advances by a fixed step: the voices' sines are taken
    // ahead for the chunk, so that the tap loop runs without calls. The
    // voices sit at quarter turns, so sin a and cos a serve all four
    // (sin(a + 180) = -sin a, sin(a + 90) = cos a, sin(a + 270) = -cos a).
    if constexpr (P != Path::Smoothing) {
        constexpr int voices = P == Path::Mode0 ? 1 : P == Path::Mode1 ? 2 : 4;
        double sines[voices][chunkLength];
        double cosines[chunkLength];
        const double* turn = Turns(inc);
        double angle = ph;
        for (int i = 0; i < n; i += turnSpan) {
            // The pair at the accumulated angle from the library, the next
            // ones turned from it by whole steps.
            angle += inc;
            const double s = std::sin(angle), c = std::cos(angle);
            const int count = std::min(turnSpan, n - i);
            for (int k = 0; k < count; ++k) {
                sines[0][i + k] = s * turn[2 * k] + c * turn[2 * k + 1];
                cosines[i + k] = c * turn[2 * k] - s * turn[2 * k + 1];
            }
            for (int k = 1; k < count; ++k)
                angle += inc;
        }
        for (int i = 0; i < n; ++i) {
            if constexpr (voices == 2) sines[1][i] = -sines[0][i];
            if constexpr (voices == 4) {
                sines[1][i] = -cosines[i];
                sines[2][i] = -sines[0][i];
                sines[3][i] = cosines[i];
            }
        }

        const int start = w;
        // Every tap at least one sample and less than a line minus a chunk
        // behind its sample reads an entry written before the chunk or at or
        // before its own sample, so the chunk can enter the lines first and
        // the taps run apart from the writes. (The sines stay within a few
        // units in the last place of +-1.) Otherwise each sample's taps
        // follow its own write.
        const bool ahead = base >= 1.0 && amp >= 0.0 &&
                           2.001 * amp + base < lineLength - chunkLength - 2 && left != right;
        const auto enter = [&](int i) {
            w = (w + 1) & lineMask;
            lL[w] = wetInL[i];
            lR[w] = wetInR[i];
            ph += inc;
        };
        if (ahead) {
            for (int i = 0; i < n; ++i)
                enter(i);
            constexpr bool stereo = Stereo;
            const auto kernel = voices == 1   ? (stereo ? settledTaps1Stereo : settledTaps1Mono)
                                : voices == 2 ? (stereo ? settledTaps2Stereo : settledTaps2Mono)
                                              : (stereo ? settledTaps4Stereo : settledTaps4Mono);
            kernel(lL, lR, start, sines, amp, base, oml, lvl, left, right, n);
        } else {
            for (int i = 0; i < n; ++i) {
                enter(i);
                settledTaps<voices, Stereo, true>(lL, lR, start, sines, amp, base, oml, lvl, left,
                                                  right, i, i + 1);
            }
        }
        writeIndex = w;
        phase = ph;
    } else {
        for (int i = 0; i < n; ++i) {
            const double c = smoothingCoef;
            moving = smoothTowards(amp, targetAmplitude, c);
            moving |= smoothTowards(inc, targetPhaseIncrement, c);
            moving |= smoothTowards(lvl, targetLevel, c);
            for (int k = 0; k < 5; ++k)
                moving |= smoothTowards(g[k], targetGain[k], c);
            moving |= smoothTowards(base, targetBaseDelay, c);
            w = (w + 1) & lineMask;
            lL[w] = wetInL[i];
            lR[w] = wetInR[i];
            ph += inc;
            const auto delayAt = [amp, base](double sine) { return (sine + 1.0) * amp + base; };
            const double s = std::sin(ph), co = std::cos(ph);
            const double d0 = delayAt(s);
            const double wetL = g[0] * tap(lL, w, d0) + g[1] * tap(lL, w, delayAt(-co));
            const double wetR = g[2] * tap(lR, w, d0) + g[3] * tap(lR, w, delayAt(-s)) +
                                g[4] * tap(lR, w, delayAt(co));
            oml = 1.0 - lvl;
            if constexpr (Stereo) {
                left[i] = left[i] * oml + wetL * lvl;
                right[i] = right[i] * oml + wetR * lvl;
            } else {
                left[i] = left[i] * oml + 0.5 * lvl * (wetL + wetR);
            }
        }
        writeIndex = w;
        phase = ph;
        amplitude = amp;
        phaseIncrement = inc;
        level = lvl;
        oneMinusLevel = oml;
        baseDelay = base;
        std::copy(g, g + 5, gain);
        smoothing = moving;
    }
}

template <bool Stereo> void BassChorus::processBlock(double* left, double* right, int n) {
    if (!bypass.active || n <= 0) return;
    if constexpr (Stereo)
        bypass.senddry(left, right, n);
    else
        bypass.senddry(left, n);
    if (!smoothing && dirty) {
        dirty = false;
        smoothing = true;
        Update();
    }
    // The path is chosen once per block: a glide that settles mid-block
    // finishes the block on the smoothing path.
    const Path path = smoothing              ? Path::Smoothing
                      : parameters.mode == 0 ? Path::Mode0
                      : parameters.mode == 1 ? Path::Mode1
                                             : Path::Mode2;
    double wetInL[chunkLength];
    double wetInR[chunkLength];
    for (int start = 0; start < n; start += chunkLength) {
        const int m = std::min(chunkLength, n - start);
        double* l = left + start;
        double* r = Stereo ? right + start : nullptr;
        const double* inR = wetInL; // mono: the one filtered signal feeds both lines
        if (Stereo && highPassL.Settled() && highPassR.Settled()) {
            // Both sides at once: their recursions overlap.
            std::copy(l, l + m, wetInL);
            std::copy(r, r + m, wetInR);
            Filter* const filterL[] = {&highPassL};
            Filter* const filterR[] = {&highPassR};
            processChains(filterL, 1, wetInL, filterR, 1, wetInR, m);
            sanitize(wetInL, m);
            sanitize(wetInR, m);
            inR = wetInR;
        } else {
            highPass(highPassL, l, wetInL, m);
            sanitize(wetInL, m);
            if constexpr (Stereo) {
                highPass(highPassR, r, wetInR, m);
                sanitize(wetInR, m);
                inR = wetInR;
            }
        }
        switch (path) {
        case Path::Smoothing:
            run<Path::Smoothing, Stereo>(l, r, wetInL, inR, m);
            break;
        case Path::Mode0:
            run<Path::Mode0, Stereo>(l, r, wetInL, inR, m);
            break;
        case Path::Mode1:
            run<Path::Mode1, Stereo>(l, r, wetInL, inR, m);
            break;
        case Path::Mode2:
            run<Path::Mode2, Stereo>(l, r, wetInL, inR, m);
            break;
        }
    }
    wrapPhase();
    if constexpr (Stereo)
        bypass.process(left, right, n);
    else
        bypass.process(left, n);
}

const double* BassChorus::Turns(double step) {
    if (!(step == turnStep)) {
        turnStep = step;
        for (int k = 0; k < turnSpan; ++k) {
            turns[2 * k] = std::cos(k * step);
            turns[2 * k + 1] = std::sin(k * step);
        }
    }
    return turns;
}

void BassChorus::wrapPhase() {
    // Once per block, by repeated subtraction; a phase beyond any plausible
    // block (or a non-finite one) is reduced directly so the loop stays short.
    if (phase < twoPi) return;
    if (phase < twoPi * 65536.0) {
        while (phase >= twoPi)
            phase -= twoPi;
        return;
    }
    phase = std::isfinite(phase) ? std::fmod(phase, twoPi) : 0.0;
}

void BassChorus::process(double* left, double* right, int n) {
    processBlock<true>(left, right, n);
}

void BassChorus::process(double* x, int n) {
    processBlock<false>(x, nullptr, n);
}

void BassChorus::Reserve(int n) {
    bypass.Reserve(n, true); // the high-pass filters run in chunks, reserved already
}
