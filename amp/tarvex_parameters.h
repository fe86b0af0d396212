// TarvexParameters: the engine's full settings record, one field per preset
// key, in engine parameter order (power, the engine's own on/off, first).
//
// Double fields hold the last accepted normalised value, bool fields the
// switch state and int fields the 0-based choice.
#pragma once

struct TarvexParameters {
    bool power;                 // 54
    int mode;                   // 0: 0 "Normal", 1 "Biamp"
    double crossover_frequency; // 1
    bool invertB_enable;        // 2
    int channel_select;         // 3: 0 "B", 1 "A+B", 2 "A"
    bool compressorA_enable;    // 4
    double compressorA_amount;  // 5
    double compressorA_attack;  // 6
    double gainA;               // 7
    bool boostA_enable;         // 8
    double bassA;               // 9
    double midsA;               // 10
    double midsA_frequency;     // 11
    double trebleA;             // 12
    double driveA;              // 13
    double clippingA;           // 14
    bool compressorB_enable;    // 15
    double compressorB_amount;  // 16
    double compressorB_attack;  // 17
    double gainB;               // 18
    bool boostB_enable;         // 19
    double bassB;               // 20
    double midsB;               // 21
    double midsB_frequency;     // 22
    double trebleB;             // 23
    double driveB;              // 24
    double clippingB;           // 25
    double mixAB;               // 26
    bool chorus_enable;         // 27
    double chorus_level;        // 28
    double chorus_speed;        // 29
    double chorus_cutoff;       // 30
    bool reverb_enable;         // 31
    double reverb_level;        // 32
    double reverb_decay;        // 33
    double reverb_damping;      // 34
    double eq_band1;            // 35
    double eq_band2;            // 36
    double eq_band3;            // 37
    double eq_band4;            // 38
    double eq_band5;            // 39
    double eq_band6;            // 40
    double eq_band7;            // 41
    double eq_band8;            // 42
    double eq_band9;            // 43
    double eq_band10;           // 44
    double eq_band11;           // 45
    double eq_band12;           // 46
    double eq_level;            // 47
    bool eq_enable;             // 48
    double bright;              // 49
    double deep;                // 50
    int cabinet;                // 51: 0 "Off", 1 "D.I.", 2 "1x15", 3 "4x10", 4 "8x10"
    double master_volume;       // 52
};

// The field of `p` that stores a double-valued parameter; nullptr for the
// switches, the choices and indices outside 1..52.
double* doubleField(TarvexParameters& p, int index);

// Engine parameter indices beyond the host parameters 0..52.
constexpr int tarvexHostParameterCount = 53;
constexpr int tarvexUnusedIndex = 53;
constexpr int tarvexPowerIndex = 54;
