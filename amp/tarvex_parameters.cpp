// The engine's parameter interface: acceptance rules, the record `current`
// and the mapping of each normalised value to the block it controls.
#include "amp/tarvex.h"

#include "dsp/mapping.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// How a parameter accepts a value.
enum class Rule {
    Switch,   // below 0.5 off, 0.5 and above on; NaN does nothing
    Bounded,  // 0 <= v <= 1
    Plain,    // any finite value, held to 0..1
    Positive, // finite v > 0, held to at most 1
    Choice,   // position(v, n) - 1 in 0..n-1
};

struct Slot {
    Rule rule;
    int choices; // for Rule::Choice
};

// Rules of the channel settings 4..14 (channel A) and 15..25 (channel B).
constexpr Rule channelRules[11] = {Rule::Switch, Rule::Bounded, Rule::Bounded, Rule::Bounded,
                                   Rule::Switch, Rule::Plain,   Rule::Plain,   Rule::Positive,
                                   Rule::Plain,  Rule::Plain,   Rule::Bounded};

Slot slotOf(int index) {
    if (index >= 4 && index <= 25) return {channelRules[(index - 4) % 11], 0};
    if (index >= 35 && index <= 47) return {Rule::Plain, 0};
    switch (index) {
    case 0:
        return {Rule::Choice, 2};
    case 3:
        return {Rule::Choice, 3};
    case 51:
        return {Rule::Choice, 5};
    case 1:
    case 52:
        return {Rule::Plain, 0};
    case 2:
    case 27:
    case 31:
    case 48:
    case tarvexPowerIndex:
        return {Rule::Switch, 0};
    default: // 26, 28..30, 32..34, 49, 50
        return {Rule::Bounded, 0};
    }
}

} // namespace

double* doubleField(TarvexParameters& p, int index) {
    double* const fields[] = {&p.crossover_frequency,
                              nullptr,
                              nullptr,
                              nullptr,
                              &p.compressorA_amount,
                              &p.compressorA_attack,
                              &p.gainA,
                              nullptr,
                              &p.bassA,
                              &p.midsA,
                              &p.midsA_frequency,
                              &p.trebleA,
                              &p.driveA,
                              &p.clippingA,
                              nullptr,
                              &p.compressorB_amount,
                              &p.compressorB_attack,
                              &p.gainB,
                              nullptr,
                              &p.bassB,
                              &p.midsB,
                              &p.midsB_frequency,
                              &p.trebleB,
                              &p.driveB,
                              &p.clippingB,
                              &p.mixAB,
                              nullptr,
                              &p.chorus_level,
                              &p.chorus_speed,
                              &p.chorus_cutoff,
                              nullptr,
                              &p.reverb_level,
                              &p.reverb_decay,
                              &p.reverb_damping,
                              &p.eq_band1,
                              &p.eq_band2,
                              &p.eq_band3,
                              &p.eq_band4,
                              &p.eq_band5,
                              &p.eq_band6,
                              &p.eq_band7,
                              &p.eq_band8,
                              &p.eq_band9,
                              &p.eq_band10,
                              &p.eq_band11,
                              &p.eq_band12,
                              &p.eq_level,
                              nullptr,
                              &p.bright,
                              &p.deep,
                              nullptr,
                              &p.master_volume};
    return index >= 1 && index <= 52 ? fields[index - 1] : nullptr;
}

namespace {

bool* switchField(TarvexParameters& p, int index) {
    switch (index) {
    case 2:
        return &p.invertB_enable;
    case 4:
        return &p.compressorA_enable;
    case 8:
        return &p.boostA_enable;
    case 15:
        return &p.compressorB_enable;
    case 19:
        return &p.boostB_enable;
    case 27:
        return &p.chorus_enable;
    case 31:
        return &p.reverb_enable;
    case 48:
        return &p.eq_enable;
    case tarvexPowerIndex:
        return &p.power;
    default:
        return nullptr;
    }
}

int* choiceField(TarvexParameters& p, int index) {
    switch (index) {
    case 0:
        return &p.mode;
    case 3:
        return &p.channel_select;
    case 51:
        return &p.cabinet;
    default:
        return nullptr;
    }
}

} // namespace

void Tarvex::SetParameter(int index, double value) {
    if (static_cast<unsigned>(index) > static_cast<unsigned>(tarvexPowerIndex) ||
        index == tarvexUnusedIndex)
        return;
    const Slot slot = slotOf(index);
    switch (slot.rule) {
    case Rule::Switch: {
        bool& field = *switchField(current, index);
        if (std::isnan(value)) return;
        const bool on = value >= 0.5;
        if (on == field) return;
        field = on;
        Apply(index, on ? 1.0 : 0.0);
        return;
    }
    case Rule::Choice: {
        int& field = *choiceField(current, index);
        const int step = position(value, slot.choices);
        if (step == INT_MIN) return; // not a number, or far outside the steps
        const int choice = step - 1;
        if (static_cast<unsigned>(choice) >= static_cast<unsigned>(slot.choices) || choice == field)
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
    double& field = *doubleField(current, index);
    if (value == field) return;
    field = value;
    Apply(index, value);
}

void Tarvex::Apply(int index, double v) {
    if (index >= 4 && index <= 14) {
        channelA.SetParameter(index - 2, v); // channel settings 2..12
        return;
    }
    if (index >= 15 && index <= 25) {
        channelB.SetParameter(index - 13, v);
        return;
    }
    if (index >= 35 && index <= 47) {
        eq.SetParameter(index - 34, range(v, -15.0, 15.0)); // bands 1..12, level 13
        return;
    }
    switch (index) {
    case 0:
        crossover.SetParameter(0, v == 1.0 ? 1.0 : 0.0); // "Biamp" switches the split on
        return;
    case 1:
        crossover.SetParameter(1, rangeLog(v, 80.0, 5000.0));
        return;
    case 2:
        channelB.SetParameter(1, v);
        return;
    case 3: // 0 "B", 1 "A+B", 2 "A"
        channelA.SetParameter(0, v == 0.0 ? 0.0 : 1.0);
        channelB.SetParameter(0, v == 2.0 ? 0.0 : 1.0);
        return;
    case 26:
        mixer.SetParameter(1, 1.0 - v);
        return;
    case 27:
        chorus.SetParameter(0, v);
        return;
    case 28:
        chorus.SetParameter(4, v);
        return;
    case 29:
        chorus.SetParameter(2, rangeLog(v, 0.1, 20.0));
        return;
    case 30:
        chorus.SetParameter(6, rangeLog(v, 100.0, 2000.0));
        return;
    case 31:
        reverb.SetParameter(0, v);
        return;
    case 32:
        reverb.SetParameter(1, range(v, -65.0, -40.0));
        return;
    case 33:
        reverb.SetDecay(range(std::pow(v, 0.2), 0.4, 0.9));
        return;
    case 34:
        reverb.SetDamping(range(v, 0.0, 1.0));
        return;
    case 48:
        eq.SetParameter(0, v);
        return;
    case 49: {
        const double frequency = rangeLog(v, 2500.0, 6000.0);
        bright1.SetParameter(2, frequency);
        bright2.SetParameter(2, frequency);
        return;
    }
    case 50:
        deep.SetParameter(2, rangeLog(1.0 - v, 15.0, 150.0));
        return;
    case 51:
        cabinetStage.SetCabinet(static_cast<int>(v));
        return;
    case 52:
        bright1.SetParameter(4, range(v, -12.0, 6.0));
        return;
    case tarvexPowerIndex:
        power.SetState(v);
        return;
    default:
        return;
    }
}

void Tarvex::SetParameters(TarvexParameters p) {
    auto flag = [](bool b) { return b ? 1.0 : 0.0; };
    SetParameter(tarvexPowerIndex, flag(p.power));
    SetParameter(1, p.crossover_frequency);
    SetParameter(0, p.mode);
    SetParameter(2, flag(p.invertB_enable));
    SetParameter(3, p.channel_select);
    for (int index = 4; index <= 34; ++index) {
        if (const bool* on = switchField(p, index))
            SetParameter(index, flag(*on));
        else
            SetParameter(index, *doubleField(p, index));
    }
    SetParameter(48, flag(p.eq_enable));
    for (int index = 35; index <= 47; ++index)
        SetParameter(index, *doubleField(p, index));
    SetParameter(49, p.bright);
    SetParameter(50, p.deep);
    SetParameter(51, p.cabinet);
    SetParameter(52, p.master_volume);
}

double Tarvex::GetParameter(int index) const {
    if (static_cast<unsigned>(index) > static_cast<unsigned>(tarvexPowerIndex) ||
        index == tarvexUnusedIndex)
        return 0.0;
    TarvexParameters& p = const_cast<TarvexParameters&>(current);
    switch (index) {
    case 0:
        return p.mode == 0 ? 0.0 : 1.0;
    case 3:
        return p.channel_select == 0 ? 0.0 : p.channel_select == 2 ? 1.0 : 0.5;
    case 51:
        return p.cabinet / 4.0;
    default:
        break;
    }
    if (const bool* on = switchField(p, index)) return *on ? 1.0 : 0.0;
    return *doubleField(p, index);
}
