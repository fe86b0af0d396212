// CompressorSustainer: an upward compressor (sustainer). A peak envelope
// follower with half-life attack and release measures the input; below full
// scale a gain lifts the signal, at or above it (envelope > 1) the signal
// passes at unity gain. Two gain laws of the envelope e in (0, 1]:
//   law 0: e^(-0.5 amount)             (amount 1: output level ~ sqrt(input))
//   law 1: (1 + c) / (e + c), c = 1/(r - 1), r the largest boost
//          (0.1 dB at amount 0 up to 20 dB at amount 1)
// Coefficient changes cross-fade between two sets (1 ms hold, 30 ms fade).
// Unlike the other faded blocks the envelopes carry over a recomputation, and
// while no fade runs the idle set's envelope follows the active one, so that
// the next fade starts both sets from the same envelope.
#pragma once

#include "dsp/block.h"
#include "dsp/soft_bypass.h"

struct CompressorSustainerParameters {
    bool enabled = true;
    int mode = 1;          // gain law, 0 or 1
    double amount = 0.5;   // 0..1
    double attack = 0.001; // seconds, half-life of a rising envelope
    double release = 0.25; // seconds, half-life of a falling envelope
};

// One coefficient set with its envelope (in units of full scale).
struct CompressorStage {
    int law = 1;
    double exponent = 0.0;  // law 0
    double numerator = 1.0; // law 1: 1 + c
    double offset = 0.0;    // law 1: c
    double attackCoefficient = 1.0;
    double releaseCoefficient = 1.0;
    double envelope = 0.0;

    // Envelope step for detector value d, then the gain from the new envelope.
    double gainFor(double d) {
        const double difference = flush(d - envelope);
        const double k = d > envelope ? attackCoefficient : releaseCoefficient;
        envelope = flush(envelope + k * difference);
        const double e = envelope;
        if (e > 1.0) return 1.0;
        if (e <= 0.0) return 0.0;
        return law == 0 ? std::pow(e, exponent) : numerator / (e + offset);
    }
    double tick(double x) { return gainFor(std::fabs(x)) * x; }
    void tick(double& left, double& right) {
        const double g = gainFor(std::max(std::fabs(left), std::fabs(right)));
        left *= g;
        right *= g;
    }
    bool stateFinite() const { return std::isfinite(envelope); }
    void clearState() { envelope = 0.0; }
};

class CompressorSustainer {
public:
    CompressorSustainer();

    // Setting indices: on/off, mode (0..1), amount (0..1), attack (s),
    // release (s).
    enum Setting : int { kOn, kMode, kAmount, kAttack, kRelease };

    void SetParameter(int index, double value);
    double GetParameter(int index) const;
    void SetParameters(CompressorSustainerParameters p);
    CompressorSustainerParameters GetParameters() const { return parameters; }
    void SetFs(double rate);
    // Computes the current set's coefficients; both envelopes stay as they are.
    void Update();

    // Grows the block-length buffers so that mono blocks of up to n samples
    // allocate nothing.
    void Reserve(int n);
    void process(double* x, int n);
    // Linked stereo: max(|left|, |right|) drives one envelope per set.
    void process(double* left, double* right, int n);
    // On, with no fade running and no change pending: the mono process() then
    // runs the current set and calls EndSettledBlock() (so the set may run in
    // a series, see runSeries, followed by EndSettledBlock()).
    bool Settled() const { return bypass.SettledOn() && fade.Settled(); }
    CompressorStage& Current() { return sets[fade.currentSet]; }
    void EndSettledBlock() { FollowIdleEnvelope(false); }

    CompressorSustainerParameters parameters;
    double fs = 0.0;
    CompressorStage sets[2];
    CoefficientFade fade{31.0 / 30.0, 0.03};
    SoftBypass bypass;

private:
    // While no fade ran in a block the idle set did not advance; it takes the
    // active set's envelope (the same as copying it after every sample).
    void FollowIdleEnvelope(bool fadedThisBlock);
};
