// Tarvex: the two-channel bass-amplifier engine.
//
// One mono block in, one stereo block out:
//   noise floor -> crossover -> channel A (low band) / channel B (high band)
//   -> A/B mixer -> 12-band equaliser -> bright (two low-passes, the first
//   carrying the master volume) -> deep (high-pass) -> cabinet (mono to
//   stereo) -> chorus -> reverb,
// behind a click-free power stage. Input and output peak envelopes feed the
// level indicators. Parameters arrive normalised (0..1) by engine parameter
// index (Param) and are mapped to physical units here.
//
// A single-threaded class: the caller hands changes from other threads over
// at block boundaries. A Tarvex holds several megabytes of fixed arrays; keep
// it on the heap.
#pragma once

#include "amp/tarvex_cabinet.h"
#include "amp/tarvex_channel.h"
#include "amp/tarvex_parameters.h"
#include "dsp/bass_chorus.h"
#include "dsp/club_reverb.h"
#include "dsp/cross_fader.h"
#include "dsp/crossover_lr4.h"
#include "dsp/filter.h"
#include "dsp/graphic_eq12_bass.h"
#include "dsp/mono_buffer.h"
#include "dsp/soft_bypass.h"
#include "dsp/white_noise.h"

class Tarvex {
public:
    Tarvex();

    // Ignored unless positive, finite and new; passes the rate to every block.
    void SetFs(double rate);

    // One block: `in` is the mono input and is used as the work buffer
    // (overwritten); the result goes to outLeft and outRight. The three
    // buffers are distinct and hold n samples.
    // Grows every block's buffers so that blocks of up to n samples allocate
    // nothing (they still grow for a larger block). Not while processing.
    void Reserve(int n);
    void process(double* in, double* outLeft, double* outRight, int n);

    // Engine parameter `index` (a host parameter or Param::power) with a
    // normalised value; rejected or unchanged values reach no block.
    void SetParameter(int index, double value);
    void SetParameters(TarvexParameters p);
    // The stored value of one parameter in normalised form.
    double GetParameter(int index) const;

    // Indicator steps 0, 1/3, 2/3 or 1.
    double InputIndicator() const;
    double OutputIndicator() const;
    double CompressorAIndicator() const { return channelA.CompressorIndicator(); }
    double LimiterAIndicator() const { return channelA.LimiterIndicator(); }
    double CompressorBIndicator() const { return channelB.CompressorIndicator(); }
    double LimiterBIndicator() const { return channelB.LimiterIndicator(); }

    TarvexParameters current;
    double fs = 0.0;
    SoftBypass power;
    WhiteNoise noise;
    CrossoverLR4 crossover;
    TarvexChannel channelA;
    TarvexChannel channelB;
    CrossFader mixer;
    GraphicEQ12Bass eq;
    Filter deep;
    Filter bright1;
    Filter bright2;
    TarvexCabinet cabinetStage;
    BassChorus chorus;
    ClubReverb reverb;
    double inEnv = 0.0;
    double outEnv = 0.0;
    double meterDecay = 0.0;
    MonoBuffer meterInput; // the block as it came in, for the input meter

private:
    // Sends an accepted value, mapped, to the block(s) it controls.
    void Apply(int index, double value);
    // The master volume has no stage of its own: it is the gain of the first
    // bright filter.
    Filter& masterVolume() { return bright1; }
};
