// The engine parameters' slots: one row per parameter, in index order, with
// its acceptance rule and its field of TarvexParameters.
#include "amp/tarvex_parameters.h"

namespace {

using Rule = ParameterSlot::Rule;
using P = TarvexParameters;

constexpr ParameterSlot onOff(int index, bool P::*field) {
    return {index, Rule::Switch, 0, field, nullptr, nullptr};
}
constexpr ParameterSlot choice(int index, int choices, int P::*field) {
    return {index, Rule::Choice, choices, nullptr, field, nullptr};
}
constexpr ParameterSlot number(int index, Rule rule, double P::*field) {
    return {index, rule, 0, nullptr, nullptr, field};
}

constexpr ParameterSlot hostSlots[Param::count] = {
    choice(Param::mode, kModeChoices, &P::mode),
    number(Param::crossover_frequency, Rule::Plain, &P::crossover_frequency),
    onOff(Param::invertB_enable, &P::invertB_enable),
    choice(Param::channel_select, kChannelSelectChoices, &P::channel_select),
    onOff(Param::compressorA_enable, &P::compressorA_enable),
    number(Param::compressorA_amount, Rule::Bounded, &P::compressorA_amount),
    number(Param::compressorA_attack, Rule::Bounded, &P::compressorA_attack),
    number(Param::gainA, Rule::Bounded, &P::gainA),
    onOff(Param::boostA_enable, &P::boostA_enable),
    number(Param::bassA, Rule::Plain, &P::bassA),
    number(Param::midsA, Rule::Plain, &P::midsA),
    number(Param::midsA_frequency, Rule::Positive, &P::midsA_frequency),
    number(Param::trebleA, Rule::Plain, &P::trebleA),
    number(Param::driveA, Rule::Plain, &P::driveA),
    number(Param::clippingA, Rule::Bounded, &P::clippingA),
    onOff(Param::compressorB_enable, &P::compressorB_enable),
    number(Param::compressorB_amount, Rule::Bounded, &P::compressorB_amount),
    number(Param::compressorB_attack, Rule::Bounded, &P::compressorB_attack),
    number(Param::gainB, Rule::Bounded, &P::gainB),
    onOff(Param::boostB_enable, &P::boostB_enable),
    number(Param::bassB, Rule::Plain, &P::bassB),
    number(Param::midsB, Rule::Plain, &P::midsB),
    number(Param::midsB_frequency, Rule::Positive, &P::midsB_frequency),
    number(Param::trebleB, Rule::Plain, &P::trebleB),
    number(Param::driveB, Rule::Plain, &P::driveB),
    number(Param::clippingB, Rule::Bounded, &P::clippingB),
    number(Param::mixAB, Rule::Bounded, &P::mixAB),
    onOff(Param::chorus_enable, &P::chorus_enable),
    number(Param::chorus_level, Rule::Bounded, &P::chorus_level),
    number(Param::chorus_speed, Rule::Bounded, &P::chorus_speed),
    number(Param::chorus_cutoff, Rule::Bounded, &P::chorus_cutoff),
    onOff(Param::reverb_enable, &P::reverb_enable),
    number(Param::reverb_level, Rule::Bounded, &P::reverb_level),
    number(Param::reverb_decay, Rule::Bounded, &P::reverb_decay),
    number(Param::reverb_damping, Rule::Bounded, &P::reverb_damping),
    number(Param::eq_band1, Rule::Plain, &P::eq_band1),
    number(Param::eq_band2, Rule::Plain, &P::eq_band2),
    number(Param::eq_band3, Rule::Plain, &P::eq_band3),
    number(Param::eq_band4, Rule::Plain, &P::eq_band4),
    number(Param::eq_band5, Rule::Plain, &P::eq_band5),
    number(Param::eq_band6, Rule::Plain, &P::eq_band6),
    number(Param::eq_band7, Rule::Plain, &P::eq_band7),
    number(Param::eq_band8, Rule::Plain, &P::eq_band8),
    number(Param::eq_band9, Rule::Plain, &P::eq_band9),
    number(Param::eq_band10, Rule::Plain, &P::eq_band10),
    number(Param::eq_band11, Rule::Plain, &P::eq_band11),
    number(Param::eq_band12, Rule::Plain, &P::eq_band12),
    number(Param::eq_level, Rule::Plain, &P::eq_level),
    onOff(Param::eq_enable, &P::eq_enable),
    number(Param::bright, Rule::Bounded, &P::bright),
    number(Param::deep, Rule::Bounded, &P::deep),
    choice(Param::cabinet, kCabinetChoices, &P::cabinet),
    number(Param::master_volume, Rule::Plain, &P::master_volume),
};
static_assert(rowsInIndexOrder(hostSlots));

constexpr ParameterSlot powerSlot = onOff(Param::power, &P::power);

} // namespace

const ParameterSlot* parameterSlot(int index) {
    if (index == Param::power) return &powerSlot;
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(Param::count)) return nullptr;
    return &hostSlots[index];
}

double* doubleField(TarvexParameters& p, int index) {
    const ParameterSlot* slot = parameterSlot(index);
    return slot != nullptr && slot->number != nullptr ? &(p.*slot->number) : nullptr;
}
