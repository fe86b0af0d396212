// Four-character codes, as the plug-in formats write identifiers (the VST
// effect's magic and unique ID, component types, product and maker codes):
// a 32-bit value whose most significant byte is the first character
// ('VstP' is 0x56737450).
#pragma once

#include <cstdint>

constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}
