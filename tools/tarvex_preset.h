// Tarvex preset files: one <TarvexPreset> element whose attributes carry the
// 53 normalised parameter values by key. The plug-in offers no request to
// import a file, so the host reads it and sets the values itself.
#pragma once

#include "source/preset_keys.h"

#include <array>
#include <string>

class VstHost;

// The attribute key of each parameter, in parameter index order.
extern const std::array<const char*, Param::count> kPresetKeys;

using PresetValues = std::array<float, Param::count>;

// The values of a preset text: a missing attribute counts as 0.5, attributes
// with other keys and anything inside the element are ignored. Throws
// VstHostError for text that is not well-formed XML, a root element other
// than TarvexPreset, or a value that is not a finite number.
PresetValues parsePreset(const std::string& text);
// The same for a file, read as the plug-in reads one (source/preset_file.h);
// also throws when it cannot be read, is not a regular file or is too large.
PresetValues readPresetFile(const std::string& path);

// Sets the values through the effect's setParameter entry in index order,
// for the indices the effect has; returns how many it set.
int applyPreset(VstHost& host, const PresetValues& values);
