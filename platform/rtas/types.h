// Plain value types of the plug-in library: status codes and four-character
// codes, 32-bit on every platform the library runs on.
#pragma once

#include "platform/four_char_code.h"

#include <cstdint>

using ComponentResult = std::int32_t;

// Four-character codes: the first character in the most significant byte.
using OSType = std::int32_t;
