// Reading a preset file within bounds. A preset is about a kilobyte of text;
// the reader takes only a regular file of at most kLargestPresetFile bytes,
// and never waits on a FIFO or a device, so a wrong path can neither hang
// nor flood its caller. Shared by the plug-in's import and the command-line
// host, which apply the same files.
#pragma once

#include <string>

inline constexpr long kLargestPresetFile = 1L << 20;

enum class PresetFileResult { read, cannotOpen, notARegularFile, tooLarge, readError };

// Reads the whole file at `path` into `text` (left empty unless read).
PresetFileResult readPresetText(const char* path, std::string& text);

// What kept a file from being read, for a message: "is not a regular file"
// and the like; empty for PresetFileResult::read.
const char* presetFileProblem(PresetFileResult result);
