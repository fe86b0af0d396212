// The attributes of a preset file in file order, with the parameter index
// each carries. The order follows the parameter indices except that
// invertB_enable (2) comes before crossover_frequency (1) and eq_enable (48)
// before the twelve bands and the level (35 to 47).
#pragma once

struct PresetKey {
    const char* key;
    int index;
};

constexpr int kPresetKeyCount = 53;

inline constexpr PresetKey presetKeys[kPresetKeyCount] = {
    {"mode", 0},
    {"invertB_enable", 2},
    {"crossover_frequency", 1},
    {"channel_select", 3},
    {"compressorA_enable", 4},
    {"compressorA_amount", 5},
    {"compressorA_attack", 6},
    {"gainA", 7},
    {"boostA_enable", 8},
    {"bassA", 9},
    {"midsA", 10},
    {"midsA_frequency", 11},
    {"trebleA", 12},
    {"driveA", 13},
    {"clippingA", 14},
    {"compressorB_enable", 15},
    {"compressorB_amount", 16},
    {"compressorB_attack", 17},
    {"gainB", 18},
    {"boostB_enable", 19},
    {"bassB", 20},
    {"midsB", 21},
    {"midsB_frequency", 22},
    {"trebleB", 23},
    {"driveB", 24},
    {"clippingB", 25},
    {"mixAB", 26},
    {"chorus_enable", 27},
    {"chorus_level", 28},
    {"chorus_speed", 29},
    {"chorus_cutoff", 30},
    {"reverb_enable", 31},
    {"reverb_level", 32},
    {"reverb_decay", 33},
    {"reverb_damping", 34},
    {"eq_enable", 48},
    {"eq_band1", 35},
    {"eq_band2", 36},
    {"eq_band3", 37},
    {"eq_band4", 38},
    {"eq_band5", 39},
    {"eq_band6", 40},
    {"eq_band7", 41},
    {"eq_band8", 42},
    {"eq_band9", 43},
    {"eq_band10", 44},
    {"eq_band11", 45},
    {"eq_band12", 46},
    {"eq_level", 47},
    {"bright", 49},
    {"deep", 50},
    {"cabinet", 51},
    {"master_volume", 52},
};
