// Plain value types of the plug-in library: status codes and four-character
// codes, 32-bit on every platform the library runs on.
#pragma once

#include <cstdint>

using ComponentResult = std::int32_t;

// Four-character codes: the first character in the most significant byte.
using OSType = std::int32_t;
constexpr OSType MakeOSType(const char (&code)[5]) {
    return static_cast<OSType>(
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
        (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
        static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
}
