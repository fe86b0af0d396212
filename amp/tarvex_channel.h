// TarvexChannel: one amplifier channel. A fixed chain, in place on a mono block:
//   compressor -> gain pot -> x4/x2/x1 up-sampling -> pre-amp tube (boost)
//   -> down-sampling -> bass, mid, treble -> power tube (drive, clipping)
//   -> polarity -> click-free channel on/off
// Both resamplers are polyphase forms of one 64-tap linear-phase low-pass,
// together delaying by 63 samples of the oversampled rate. Two squared-peak
// envelopes with a 100 ms half-life, after the compressor and at the output,
// drive the compressor and limiter lamps. Settings arrive normalised (0..1) and
// are mapped here to the units of the block that receives them.
#pragma once

#include "dsp/compressor_sustainer.h"
#include "dsp/filter.h"
#include "dsp/gain_control.h"
#include "dsp/mono_buffer.h"
#include "dsp/soft_bypass.h"
#include "dsp/tube.h"

class TarvexChannel {
public:
    TarvexChannel();

    // Setting indices. The engine's eleven parameters of a channel are the
    // settings kCompressorOn to kClipping, in this order.
    enum Setting : int {
        kChannelOn,
        kInvert, // polarity inverted
        kCompressorOn,
        kCompressorAmount,
        kCompressorAttack,
        kGain,
        kBoost,
        kBass,
        kMids,
        kMidFrequency,
        kTreble,
        kDrive,
        kClipping,
    };

    // One setting, normalised 0..1 ("on" means 0.5 and above); other indices
    // are ignored.
    void SetParameter(int index, double value);
    // Picks the oversampling factor and the pre-amp tube's nominal rate, passes
    // the rate on and runs both tubes until their rate-change fades are over.
    void SetFs(double rate);
    // Grows the block-length buffers so that blocks of up to n samples
    // allocate nothing, at this rate's oversampling factor and at those of
    // later rates (SetFs reserves again).
    void Reserve(int n);
    void process(double* buffer, int n);
    // Two channels over their own blocks, the same as a.process(x, n) and then
    // b.process(y, n); the stages of both run side by side where they can.
    static void processPair(TarvexChannel& a, double* x, TarvexChannel& b, double* y, int n);

    // Lamp steps 0, 1/3, 2/3 or 1 from the envelopes.
    double CompressorIndicator() const;
    double LimiterIndicator() const;

    // The two resampler halves: n base-rate samples into the oversampled block
    // (n x osFactor samples at OversampledBlock()), and back.
    void Upsample(const double* x, int n);
    void Downsample(double* x, int n);
    double* OversampledBlock() { return osBuffer.data + taps; }

    static constexpr int taps = 64;
    // Linear-phase low-pass (windowed sinc, cut-off at 1/16 of the oversampled
    // rate), coefficients summing to 1; shared by both resamplers and factors.
    static const double us_filter[taps];

    double fs = 0.0;
    // Each resampler reads its input from a line: the 64 most recent samples of
    // earlier blocks (oldest first), then the present block. Every 64-sample
    // window is contiguous, and after a block its last 64 samples move to the
    // front. The storage only grows (it keeps the history when it does), so
    // block-length changes after the largest block has been seen never
    // allocate. upHistory holds base-rate samples; osBuffer the oversampled
    // block, which the pre-amp tube processes in place behind its history.
    MonoBuffer upHistory;
    MonoBuffer osBuffer;
    int osFactor = 4;
    int osLength = 4; // samples in the oversampled block
    double osGain = 4.0;
    SoftBypass channelOn;
    double invertGain = 1.0;
    CompressorSustainer compressor;
    GainControl gainControl;
    Tube tubePre;
    Filter bass;
    Filter mid;
    Filter treble;
    Tube tubePost;
    int reservedBlock = 0;   // the largest block reserved for
    double compEnv = 0.0;    // squared-peak envelope after the compressor
    double limEnv = 0.0;     // squared-peak envelope at the output
    double meterDecay = 0.0; // per-sample factor of a 100 ms half-life

private:
    struct PeakStage;
    // Block-length bookkeeping; false (and a silent block) when switched off.
    bool Prepare(double* buffer, int n);
    // Compressor, its envelope and the gain pot; tone filters, power tube and
    // output envelope. Each runs as one series while its stages are settled.
    void Front(double* buffer, int n);
    void Back(double* buffer, int n);
    // The pre-amp tube at the oversampled rate, between the resamplers.
    void PreAmp(double* buffer, int n);
    bool FrontSettled() const;
    bool BackSettled() const;
    // Calls run with a tuple of the settled stages (references).
    template <class Run> void WithFront(PeakStage& peak, Run&& run);
    template <class Run> void WithBack(PeakStage& peak, Run&& run);
    void EndFront(const PeakStage& peak);
};
