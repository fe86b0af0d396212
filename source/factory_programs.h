// The twenty factory programs: names and the host parameter values of each.
#pragma once

#include "amp/tarvex_parameters.h"

class Tarvex;

constexpr int factoryProgramCount = 20;

struct FactoryProgram {
    const char* name;
    float values[Param::count]; // parameter-index order
};

extern const FactoryProgram factoryPrograms[factoryProgramCount];

// Sends program `program`'s values to the engine in parameter-index order,
// as a host's program change does.
void applyFactoryProgram(Tarvex& engine, int program);
