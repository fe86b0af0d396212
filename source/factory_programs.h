// The twenty factory programs: names and the 53 host parameter values of each.
#pragma once

constexpr int factoryProgramCount = 20;
constexpr int factoryProgramValueCount = 53;

struct FactoryProgram {
    const char* name;
    float values[factoryProgramValueCount]; // parameter-index order
};

extern const FactoryProgram factoryPrograms[factoryProgramCount];
