#include "amp/tarvex.h"

#include "amp/meter.h"
#include "dsp/block.h"
#include "dsp/mapping.h"

#include <algorithm>
#include <climits>
#include <cmath>

Tarvex::Tarvex() {
    power.SetState(1.0);
    noise.SetParameter(WhiteNoise::kOn, 1.0);
    noise.SetParameter(WhiteNoise::kLevelDb, -150.0);
    mixer.SetParameter(CrossFader::kMode, 2.0);
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
    for (int index = 0; index < Param::count; ++index)
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
    for (int index = 0; index < Param::count; ++index)
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

// The engine's parameters: each value is checked by its parameter's rule and
// kept in `current`; an accepted change goes, mapped to the unit of its block,
// to the block(s) it controls.

void Tarvex::SetParameter(int index, double value) {
    using Rule = ParameterSlot::Rule;
    const ParameterSlot* slot = parameterSlot(index);
    if (slot == nullptr) return;
    switch (slot->rule) {
    case Rule::Switch: {
        bool& field = current.*slot->flag;
        if (std::isnan(value)) return;
        const bool on = value >= 0.5;
        if (on == field) return;
        field = on;
        Apply(index, on ? 1.0 : 0.0);
        return;
    }
    case Rule::Choice: {
        int& field = current.*slot->choice;
        const int step = position(value, slot->choices);
        if (step == INT_MIN) return; // not a number, or far outside the steps
        const int choice = step - 1;
        if (static_cast<unsigned>(choice) >= static_cast<unsigned>(slot->choices) ||
            choice == field)
            return;
        field = choice;
        Apply(index, choice);
        return;
    }
    case Rule::Bounded:
        if (!(value >= 0.0 && value <= 1.0)) return;
        break;
    case Rule::Positive:
        if (!(value > 0.0) || !std::isfinite(value)) return;
        value = std::min(value, 1.0);
        break;
    case Rule::Plain:
        // A host's NaN or infinity would be stored and saved with the
        // project; it is refused like any other unusable value.
        if (!std::isfinite(value)) return;
        // Beyond the scale these settings are gains and frequencies without
        // end: a volume of 50 is +888 dB and overflows the output. A value
        // outside 0..1 takes the nearest end of the scale, so no value is
        // louder than the loudest setting the scale offers.
        value = std::clamp(value, 0.0, 1.0);
        break;
    }
    double& field = current.*slot->number;
    if (value == field) return;
    field = value;
    Apply(index, value);
}

// A channel's parameters are its settings kCompressorOn to kClipping, in
// order; the equaliser's bands and level are its stages, in order.
static_assert(Param::clippingA - Param::compressorA_enable ==
              TarvexChannel::kClipping - TarvexChannel::kCompressorOn);
static_assert(Param::eq_level - Param::eq_band1 ==
              GraphicEQ12Bass::kLevel - GraphicEQ12Bass::kFirstBand);

void Tarvex::Apply(int index, double v) {
    if (index >= Param::compressorA_enable && index <= Param::clippingA) {
        channelA.SetParameter(TarvexChannel::kCompressorOn + (index - Param::compressorA_enable),
                              v);
        return;
    }
    if (index >= Param::compressorB_enable && index <= Param::clippingB) {
        channelB.SetParameter(TarvexChannel::kCompressorOn + (index - Param::compressorB_enable),
                              v);
        return;
    }
    if (index >= Param::eq_band1 && index <= Param::eq_level) {
        eq.SetParameter(GraphicEQ12Bass::kFirstBand + (index - Param::eq_band1),
                        range(v, -15.0, 15.0));
        return;
    }
    switch (index) {
    case Param::mode: // "Biamp" switches the split on
        crossover.SetParameter(CrossoverLR4::kOn, v == 1.0 ? 1.0 : 0.0);
        return;
    case Param::crossover_frequency:
        crossover.SetParameter(CrossoverLR4::kFrequency, rangeLog(v, 80.0, 5000.0));
        return;
    case Param::invertB_enable:
        channelB.SetParameter(TarvexChannel::kInvert, v);
        return;
    case Param::channel_select: // 0 "B", 1 "A+B", 2 "A"
        channelA.SetParameter(TarvexChannel::kChannelOn, v == 0.0 ? 0.0 : 1.0);
        channelB.SetParameter(TarvexChannel::kChannelOn, v == 2.0 ? 0.0 : 1.0);
        return;
    case Param::mixAB:
        mixer.SetParameter(CrossFader::kPosition, 1.0 - v);
        return;
    case Param::chorus_enable:
        chorus.SetParameter(BassChorus::kOn, v);
        return;
    case Param::chorus_level:
        chorus.SetParameter(BassChorus::kLevel, v);
        return;
    case Param::chorus_speed:
        chorus.SetParameter(BassChorus::kRate, rangeLog(v, 0.1, 20.0));
        return;
    case Param::chorus_cutoff:
        chorus.SetParameter(BassChorus::kCutoff, rangeLog(v, 100.0, 2000.0));
        return;
    case Param::reverb_enable:
        reverb.SetParameter(ClubReverb::kOn, v);
        return;
    case Param::reverb_level:
        reverb.SetParameter(ClubReverb::kLevel, range(v, -65.0, -40.0));
        return;
    case Param::reverb_decay:
        reverb.SetDecay(range(std::pow(v, 0.2), 0.4, 0.9));
        return;
    case Param::reverb_damping:
        reverb.SetDamping(range(v, 0.0, 1.0));
        return;
    case Param::eq_enable:
        eq.SetParameter(GraphicEQ12Bass::kOn, v);
        return;
    case Param::bright: {
        const double frequency = rangeLog(v, 2500.0, 6000.0);
        bright1.SetParameter(Filter::kFrequency, frequency);
        bright2.SetParameter(Filter::kFrequency, frequency);
        return;
    }
    case Param::deep:
        deep.SetParameter(Filter::kFrequency, rangeLog(1.0 - v, 15.0, 150.0));
        return;
    case Param::cabinet:
        cabinetStage.SetCabinet(static_cast<int>(v));
        return;
    case Param::master_volume:
        masterVolume().SetParameter(Filter::kGain, range(v, -12.0, 6.0));
        return;
    case Param::power:
        power.SetState(v);
        return;
    default:
        return;
    }
}

void Tarvex::SetParameters(TarvexParameters p) {
    // A switch goes as 0.0 or 1.0, a choice as its number (which SetParameter
    // reads as a normalised value).
    const auto set = [this, &p](int index) {
        const ParameterSlot& slot = *parameterSlot(index);
        if (slot.flag != nullptr)
            SetParameter(index, p.*slot.flag ? 1.0 : 0.0);
        else if (slot.choice != nullptr)
            SetParameter(index, p.*slot.choice);
        else
            SetParameter(index, p.*slot.number);
    };
    // Power first, the crossover frequency before the mode and the
    // equaliser's switch before its bands; otherwise in index order.
    set(Param::power);
    set(Param::crossover_frequency);
    set(Param::mode);
    set(Param::invertB_enable);
    set(Param::channel_select);
    for (int index = Param::compressorA_enable; index <= Param::reverb_damping; ++index)
        set(index);
    set(Param::eq_enable);
    for (int index = Param::eq_band1; index <= Param::eq_level; ++index)
        set(index);
    for (int index = Param::bright; index <= Param::master_volume; ++index)
        set(index);
}

double Tarvex::GetParameter(int index) const {
    const ParameterSlot* slot = parameterSlot(index);
    if (slot == nullptr) return 0.0;
    // A choice's steps spread over 0..1 ("A+B" of three is 0.5).
    if (slot->choice != nullptr)
        return current.*slot->choice / static_cast<double>(slot->choices - 1);
    if (slot->flag != nullptr) return current.*slot->flag ? 1.0 : 0.0;
    return current.*slot->number;
}
