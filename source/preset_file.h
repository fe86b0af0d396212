// Reading and writing preset files within bounds. A preset is about a
// kilobyte of text; the reader takes only a regular file of at most
// kLargestPresetFile bytes, and never waits on a FIFO or a device, so a wrong
// path can neither hang nor flood its caller. Shared by the plug-in's import
// and the command-line host, which apply the same files. The writer never
// writes into the target: the text goes to a new file beside it that then
// takes its place, so a full disk or a crash leaves the old preset whole and
// a FIFO cannot hold the caller.
#pragma once

#include <string>

inline constexpr long kLargestPresetFile = 1L << 20;

enum class PresetFileResult { read, cannotOpen, notARegularFile, tooLarge, readError };

// Reads the whole file at `path` into `text` (left empty unless read).
PresetFileResult readPresetText(const char* path, std::string& text);

// Writes `text` as the file at `path`: into a new file of its own in the same
// folder, flushed to disk, then renamed over `path`. The folder is looked up
// once and every step done within it. Only a regular file (or no file) at
// `path` is replaced, and only one the process may write; it keeps its
// permissions and, where the process may (root), its owner and group. A new
// file gets the umask's permissions. Answers false, leaving whatever is at
// `path` as it was and no file of its own behind, for a path that ends in
// "/", ".", ".." or names a folder, a link, a FIFO, a device or a file the
// process may not write, and on any failed step.
bool writePresetText(const char* path, const std::string& text);

// What kept a file from being read, for a message: "is not a regular file"
// and the like; empty for PresetFileResult::read.
const char* presetFileProblem(PresetFileResult result);
