// BassChorus: the amp's stereo chorus. A high-passed copy of each channel runs
// into a 32768-sample delay line, from which one or two sine-modulated,
// linearly interpolated taps per side are read (one, two or four voices by
// mode) and mixed with the unfiltered dry signal by `level`. Below the
// high-pass corner the output is therefore the dry signal times 1 - level.
//
// A voice at angle a reads the delay d = (sin a + 1) amplitude + base delay.
// The amplitude 0.01 depth fs / (pi rate) keeps every voice's pitch within
// 2 % x depth of the input whatever the rate. All audible values glide towards
// their targets with the one-pole smoothing (60 ms); once settled, a fixed
// per-mode path runs without the gain multiplications.
//
// The object holds both delay lines (512 KB): keep it inside its owner or on
// the heap, not on a thread's stack.
#pragma once

#include "dsp/block.h"
#include "dsp/filter.h"
#include "dsp/soft_bypass.h"

struct BassChorusParameters {
    bool enabled;
    int mode;      // 0 one voice per side in phase, 1 left/right opposed, 2 four voices
    double rate;   // modulation rate, Hz
    double depth;  // modulation depth 0..1
    double level;  // wet share 0..1
    double delay;  // base delay, seconds, 0..0.03
    double cutoff; // high-pass corner, Hz
};

class BassChorus {
public:
    static constexpr int lineLength = 32768;
    static constexpr int lineMask = lineLength - 1;

    BassChorus();
    BassChorus(const BassChorus&) = delete;
    BassChorus& operator=(const BassChorus&) = delete;

    // Setting indices, in the record's order: on/off (switching on clears the
    // lines), mode, rate, depth, level, delay, cutoff.
    enum Setting : int { kOn, kMode, kRate, kDepth, kLevel, kDelay, kCutoff };

    // Out-of-range, NaN and unchanged values are ignored; a stored change of
    // kMode..kCutoff recomputes the targets at once.
    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(BassChorusParameters p);
    BassChorusParameters GetParameters() const { return parameters; }
    void SetFs(double rate);
    // Computes the glide targets from the settings.
    void Update();

    // Grows the block-length buffers so that blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* left, double* right, int n);
    void process(double* x, int n);

    BassChorusParameters parameters;
    SoftBypass bypass;
    Filter highPassL;
    Filter highPassR;
    int writeIndex = 0; // shared by both lines
    double lineL[lineLength];
    double lineR[lineLength];
    double phase = 0.0;         // modulation phase, radians
    double voiceOffset[3] = {}; // 180, 90 and 270 degrees in radians
    double smoothingCoef = 0.0;
    double fs = 0.0;
    // Current (smoothed) values and their targets.
    double amplitude = 0.0;      // modulation amplitude, samples
    double phaseIncrement = 0.0; // radians per sample
    double level = 0.0;
    double oneMinusLevel = 1.0;
    double baseDelay = 0.0; // samples
    double targetAmplitude = 0.0;
    double targetPhaseIncrement = 0.0;
    double targetLevel = 0.0;
    double targetBaseDelay = 0.0;
    double gain[5] = {};
    double targetGain[5] = {};
    double twoPi = 0.0;
    bool dirty = false;
    bool smoothing = false;

private:
    // cos and sin of k steps (k = 0 .. turnSpan - 1), interleaved, for the
    // step they were last made for.
    static constexpr int turnSpan = 16;
    double turns[2 * turnSpan] = {};
    double turnStep = -1.0;
    const double* Turns(double step);

    enum class Path { Smoothing, Mode0, Mode1, Mode2 };
    template <Path P, bool Stereo>
    void run(double* left, double* right, const double* wetInL, const double* wetInR, int n);
    template <bool Stereo> void processBlock(double* left, double* right, int n);
    void wrapPhase();
};
