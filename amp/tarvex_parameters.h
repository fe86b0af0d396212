// The engine's parameters: their indices (Param) and TarvexParameters, the
// engine's full settings record.
#pragma once

// Engine parameter indices. The host parameters come first, 0 to count - 1,
// named as their preset keys; every table of the plug-in is in this order
// (names and display texts, preset keys, factory programs, the editor's
// control tags, the bindings' host parameters), and hosts keep saved values
// by these numbers. The engine's own indices follow them.
struct Param {
    enum Index : int {
        mode,
        crossover_frequency,
        invertB_enable,
        channel_select,
        compressorA_enable,
        compressorA_amount,
        compressorA_attack,
        gainA,
        boostA_enable,
        bassA,
        midsA,
        midsA_frequency,
        trebleA,
        driveA,
        clippingA,
        compressorB_enable,
        compressorB_amount,
        compressorB_attack,
        gainB,
        boostB_enable,
        bassB,
        midsB,
        midsB_frequency,
        trebleB,
        driveB,
        clippingB,
        mixAB,
        chorus_enable,
        chorus_level,
        chorus_speed,
        chorus_cutoff,
        reverb_enable,
        reverb_level,
        reverb_decay,
        reverb_damping,
        eq_band1,
        eq_band2,
        eq_band3,
        eq_band4,
        eq_band5,
        eq_band6,
        eq_band7,
        eq_band8,
        eq_band9,
        eq_band10,
        eq_band11,
        eq_band12,
        eq_level,
        eq_enable,
        bright,
        deep,
        cabinet,
        master_volume,
        count, // the number of host parameters
    };
    static constexpr int unused = count;    // an engine index that does nothing
    static constexpr int power = count + 1; // the engine's own on/off, set by its constructor
};

// The choice parameters' steps: the engine's choices, the plug-in's display
// texts and the editor's switch positions.
constexpr int kModeChoices = 2;          // "Normal", "Biamp"
constexpr int kChannelSelectChoices = 3; // "B", "A+B", "A"
constexpr int kCabinetChoices = 5;       // "Off", "D.I.", "1x15", "4x10", "8x10"

// Channel B's parameters repeat channel A's, in the same order, this many
// indices later.
constexpr int kChannelParameterStep = Param::compressorB_enable - Param::compressorA_enable;
static_assert(Param::clippingB - Param::clippingA == kChannelParameterStep);

// True when every row's `index` equals its position, so a table of one row
// per parameter that misses or swaps a row does not build.
template <class Row, int N> constexpr bool rowsInIndexOrder(const Row (&rows)[N]) {
    for (int i = 0; i < N; ++i)
        if (rows[i].index != i) return false;
    return true;
}

// Double fields hold the last accepted normalised value, bool fields the
// switch state and int fields the 0-based choice. Declared in the order of
// the published record (power first), which is not quite the index order.
struct TarvexParameters {
    bool power;
    int mode; // 0 "Normal", 1 "Biamp"
    double crossover_frequency;
    bool invertB_enable;
    int channel_select; // 0 "B", 1 "A+B", 2 "A"
    bool compressorA_enable;
    double compressorA_amount;
    double compressorA_attack;
    double gainA;
    bool boostA_enable;
    double bassA;
    double midsA;
    double midsA_frequency;
    double trebleA;
    double driveA;
    double clippingA;
    bool compressorB_enable;
    double compressorB_amount;
    double compressorB_attack;
    double gainB;
    bool boostB_enable;
    double bassB;
    double midsB;
    double midsB_frequency;
    double trebleB;
    double driveB;
    double clippingB;
    double mixAB;
    bool chorus_enable;
    double chorus_level;
    double chorus_speed;
    double chorus_cutoff;
    bool reverb_enable;
    double reverb_level;
    double reverb_decay;
    double reverb_damping;
    double eq_band1;
    double eq_band2;
    double eq_band3;
    double eq_band4;
    double eq_band5;
    double eq_band6;
    double eq_band7;
    double eq_band8;
    double eq_band9;
    double eq_band10;
    double eq_band11;
    double eq_band12;
    double eq_level;
    bool eq_enable;
    double bright;
    double deep;
    int cabinet; // 0 "Off", 1 "D.I.", 2 "1x15", 3 "4x10", 4 "8x10"
    double master_volume;
};

// One engine parameter: its index, how it accepts a value, and the field of
// TarvexParameters that keeps it (`flag` for a switch, `choice` for a choice
// of `choices`, `number` for the other rules).
struct ParameterSlot {
    enum class Rule {
        Switch,   // below 0.5 off, 0.5 and above on; NaN does nothing
        Bounded,  // 0 <= v <= 1
        Plain,    // any finite value, held to 0..1
        Positive, // finite v > 0, held to at most 1
        Choice,   // position(v, n) - 1 in 0..n-1
    };
    int index;
    Rule rule;
    int choices;
    bool TarvexParameters::*flag;
    int TarvexParameters::*choice;
    double TarvexParameters::*number;
};

// The slot of engine parameter `index`; null for Param::unused and any index
// outside 0..Param::power.
const ParameterSlot* parameterSlot(int index);

// The field of `p` that stores a double-valued parameter; nullptr for the
// switches, the choices and indices without a slot.
double* doubleField(TarvexParameters& p, int index);
