// The twenty factory programs: names and the 53 host parameter values of each.
#pragma once

class Tarvex;

constexpr int factoryProgramCount = 20;
constexpr int factoryProgramValueCount = 53;

struct FactoryProgram {
    const char* name;
    float values[factoryProgramValueCount]; // parameter-index order
};

extern const FactoryProgram factoryPrograms[factoryProgramCount];

// Sends program `program`'s 53 values to the engine in parameter-index order,
// as a host's program change does.
void applyFactoryProgram(Tarvex& engine, int program);
