// The attributes of a preset file in file order, with the parameter each
// carries (its key is the parameter's name). The order follows the parameter
// indices except that invertB_enable comes before crossover_frequency and
// eq_enable before the twelve bands and the level.
#pragma once

#include "amp/tarvex_parameters.h"

struct PresetKey {
    const char* key;
    Param::Index index;
};

inline constexpr PresetKey presetKeys[Param::count] = {
    {"mode", Param::mode},
    {"invertB_enable", Param::invertB_enable},
    {"crossover_frequency", Param::crossover_frequency},
    {"channel_select", Param::channel_select},
    {"compressorA_enable", Param::compressorA_enable},
    {"compressorA_amount", Param::compressorA_amount},
    {"compressorA_attack", Param::compressorA_attack},
    {"gainA", Param::gainA},
    {"boostA_enable", Param::boostA_enable},
    {"bassA", Param::bassA},
    {"midsA", Param::midsA},
    {"midsA_frequency", Param::midsA_frequency},
    {"trebleA", Param::trebleA},
    {"driveA", Param::driveA},
    {"clippingA", Param::clippingA},
    {"compressorB_enable", Param::compressorB_enable},
    {"compressorB_amount", Param::compressorB_amount},
    {"compressorB_attack", Param::compressorB_attack},
    {"gainB", Param::gainB},
    {"boostB_enable", Param::boostB_enable},
    {"bassB", Param::bassB},
    {"midsB", Param::midsB},
    {"midsB_frequency", Param::midsB_frequency},
    {"trebleB", Param::trebleB},
    {"driveB", Param::driveB},
    {"clippingB", Param::clippingB},
    {"mixAB", Param::mixAB},
    {"chorus_enable", Param::chorus_enable},
    {"chorus_level", Param::chorus_level},
    {"chorus_speed", Param::chorus_speed},
    {"chorus_cutoff", Param::chorus_cutoff},
    {"reverb_enable", Param::reverb_enable},
    {"reverb_level", Param::reverb_level},
    {"reverb_decay", Param::reverb_decay},
    {"reverb_damping", Param::reverb_damping},
    {"eq_enable", Param::eq_enable},
    {"eq_band1", Param::eq_band1},
    {"eq_band2", Param::eq_band2},
    {"eq_band3", Param::eq_band3},
    {"eq_band4", Param::eq_band4},
    {"eq_band5", Param::eq_band5},
    {"eq_band6", Param::eq_band6},
    {"eq_band7", Param::eq_band7},
    {"eq_band8", Param::eq_band8},
    {"eq_band9", Param::eq_band9},
    {"eq_band10", Param::eq_band10},
    {"eq_band11", Param::eq_band11},
    {"eq_band12", Param::eq_band12},
    {"eq_level", Param::eq_level},
    {"bright", Param::bright},
    {"deep", Param::deep},
    {"cabinet", Param::cabinet},
    {"master_volume", Param::master_volume},
};

// Every parameter has exactly one key.
constexpr bool everyParameterOnce(const PresetKey (&keys)[Param::count]) {
    bool seen[Param::count] = {};
    for (const PresetKey& k : keys) {
        if (k.key == nullptr || k.index < 0 || k.index >= Param::count || seen[k.index])
            return false;
        seen[k.index] = true;
    }
    return true;
}
static_assert(everyParameterOnce(presetKeys));
