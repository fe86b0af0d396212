#include "amp/tarvex.h"

#include "amp/meter.h"
#include "dsp/block.h"
#include "dsp/mapping.h"

#include <cmath>

Tarvex::Tarvex() {
    power.SetState(1.0);
    noise.SetParameter(0, 1.0);
    noise.SetParameter(3, -150.0);
    mixer.SetParameter(0, 2.0);
    for (Filter* bright : {&bright1, &bright2})
        bright->SetParameters({true, FilterType::LowPass, 1000.0, 0.7071, 0.0});
    deep.SetParameters({true, FilterType::HighPass1, 100.0, 1.0, 0.0});
    cabinetStage.SetCabinet(0);
    fs = 0.0;
    SetFs(44100.0);

    // Markers that differ from every default, so that each default reaches
    // its block.
    TarvexParameters markers{};
    markers.power = false;
    markers.mode = -1;
    markers.invertB_enable = false;
    markers.channel_select = -1;
    markers.compressorA_enable = markers.boostA_enable = false;
    markers.compressorB_enable = markers.boostB_enable = false;
    markers.chorus_enable = markers.reverb_enable = markers.eq_enable = false;
    markers.cabinet = -1;
    for (int index = 1; index < tarvexHostParameterCount; ++index)
        if (double* field = doubleField(markers, index)) *field = -1.0;
    markers.bright = 1.0;
    current = markers;

    TarvexParameters defaults{};
    defaults.power = true;
    defaults.mode = 0;
    defaults.invertB_enable = true;
    defaults.channel_select = 1; // read as the normalised value 1.0: channel A alone
    defaults.compressorA_enable = defaults.boostA_enable = true;
    defaults.compressorB_enable = defaults.boostB_enable = true;
    defaults.chorus_enable = defaults.reverb_enable = defaults.eq_enable = true;
    defaults.cabinet = 0;
    for (int index = 1; index < tarvexHostParameterCount; ++index)
        if (double* field = doubleField(defaults, index)) *field = 0.5;
    defaults.master_volume = 0.0;
    SetParameters(defaults);

    // The chorus and reverb start from settings of their own, outside `current`.
    chorus.SetParameters({true, 1, 1.0, 0.5, 0.5, 0.01, 200.0});
    reverb.SetParameters({true, -65.0});
    inEnv = 0.0;
    outEnv = 0.0;
}

void Tarvex::SetFs(double rate) {
    if (!isNewRate(rate, fs)) return;
    fs = rate;
    meterDecay = peakDecay(fs);
    power.SetFs(fs);
    crossover.SetFs(fs);
    channelA.SetFs(fs);
    channelB.SetFs(fs);
    mixer.SetFs(fs);
    eq.SetFs(fs);
    cabinetStage.SetFs(fs);
    deep.SetFs(fs);
    bright1.SetFs(fs);
    bright2.SetFs(fs);
    chorus.SetFs(fs);
    reverb.SetFs(fs);
}

void Tarvex::process(double* in, double* outLeft, double* outRight, int n) {
    if (n <= 0) return;
    if (!power.active) {
        inEnv = 0.0;
        outEnv = 0.0;
        for (int i = 0; i < n; ++i)
            outLeft[i] = outRight[i] = in[i];
        return;
    }
    // A non-finite input sample would ring through every recursive block;
    // it enters as silence instead.
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(in[i])) in[i] = 0.0;

    // The input meter reads this block after the chain, together with the
    // output meter, so that the two envelope recursions overlap.
    meterInput.Set(in, n);

    power.senddry(in, in, n);
    noise.process(in, n);
    crossover.process(in, outLeft, outRight, n);
    TarvexChannel::processPair(channelA, outLeft, channelB, outRight, n); // side by side
    mixer.process(outLeft, outRight, in, n);
    // The equaliser, bright, deep and cabinet filters as one fused chain (the
    // cabinet's requests are applied first, which only concerns the cabinet).
    Filter* chain[GraphicEQ12Bass::stageCount + 5];
    int count = 0;
    if (!eq.AppendSeries(chain, count)) eq.process(in, n); // fading: on its own
    for (Filter* f : {&bright1, &bright2, &deep})
        chain[count++] = f;
    cabinetStage.BeginBlock(chain, count);
    processChain(chain, count, in, n);
    cabinetStage.EndBlock(in, outLeft, outRight, n);
    chorus.process(outLeft, outRight, n);
    reverb.process(outLeft, outRight, n);

    // The output envelope follows the larger square of each pair (a NaN
    // square is passed over), the same as following left, then right.
    const double* input = meterInput.data;
    const auto outputSquare = [outLeft, outRight](int i) {
        const double left = outLeft[i] * outLeft[i], right = outRight[i] * outRight[i];
        return right >= left || std::isnan(left) ? right : left;
    };
    double inputEnvelope = inEnv, outputEnvelope = outEnv;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        double inputSquares[4], outputSquares[4];
        for (int k = 0; k < 4; ++k) {
            inputSquares[k] = input[i + k] * input[i + k];
            outputSquares[k] = outputSquare(i + k);
        }
        inputEnvelope = followPeak4(inputEnvelope, meterDecay, inputSquares);
        outputEnvelope = followPeak4(outputEnvelope, meterDecay, outputSquares);
    }
    for (; i < n; ++i) {
        inputEnvelope = followPeak(inputEnvelope, meterDecay, input[i] * input[i]);
        outputEnvelope = followPeak(outputEnvelope, meterDecay, outputSquare(i));
    }
    inEnv = inputEnvelope;
    outEnv = outputEnvelope;

    power.process(outLeft, outRight, n);
}

double Tarvex::InputIndicator() const {
    return indicatorStep(inEnv, 0.0, -9.0, -20.0);
}
double Tarvex::OutputIndicator() const {
    return indicatorStep(outEnv, 0.0, -9.0, -20.0);
}

void Tarvex::Reserve(int n) {
    if (n <= 0) return;
    power.Reserve(n, true);
    noise.Reserve(n);
    crossover.Reserve(n);
    channelA.Reserve(n);
    channelB.Reserve(n);
    mixer.Reserve(n);
    eq.Reserve(n);
    for (Filter* f : {&deep, &bright1, &bright2})
        f->Reserve(n);
    cabinetStage.Reserve(n);
    chorus.Reserve(n);
    reverb.Reserve(n);
    meterInput.Reserve(n);
}
