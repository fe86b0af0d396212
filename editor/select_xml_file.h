// The preset file dialog of the about screen's import and export buttons.
#pragma once

#include <cstddef>

class AudioEffect;

// Size of the path buffer the editor hands to SelectXMLFile, terminator
// included. A longer path is refused rather than cut, so the editor never
// reads or writes a file the user did not choose.
constexpr std::size_t kPresetPathSize = 1024;

// Runs a modal file dialog on the effect's open editor window: a file to open
// when `open` is true, a file name to save to when false. Writes the chosen
// path into `output` (kPresetPathSize bytes) and answers true when one file
// was chosen. Answers false when the dialog was cancelled or its path does not
// fit (output then holds the empty text), when no dialog could be made
// (output unchanged), and for a null argument or an effect whose editor window
// is not open (nothing written).
//
// The RTAS plug-in's build hands the request to the host instead, as a VST
// 2.4 file-selector record (load or save, the one type "xml", the title, the
// start folder and `output` as the return path), and needs no open window:
// true when the host ran it and wrote a path that ends within the buffer.
bool SelectXMLFile(AudioEffect* effect, bool open, const char* title, const char* startFolder,
                   char* output);

// Turns the chosen export path in place into the preset file's name: the file
// name is cut before its last "." (a name without one stays whole) and ".xml"
// is appended, so "bass.preset", "bass" and "bass.xml" all give "bass.xml".
// Dots in folder names are left alone. Answers false, leaving the path as it
// was, when the result would not fit `size` bytes, when the path names a
// folder (it ends in "/", ".", ".." or is an existing folder), and when the
// result is another name than the chosen one and a file of that name exists:
// the save dialog asked before replacing the chosen file only.
bool presetExportPath(char* path, std::size_t size);
