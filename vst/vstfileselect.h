// The VST 2.4 file-selector request: the record an effect hands to the host
// with host requests 45 (open file selector) and 46 (close file selector).
// The host shows its file dialog and writes the chosen path into the return
// path; the close request lets it free whatever it allocated for the answer.
#pragma once

#include "vst/aeffect.h"

// One kind of file the dialog offers, by name and by type on each platform.
struct VstFileType {
    char name[128];
    char macType[8];
    char dosType[8];
    char unixType[8];
    char mimeType1[128];
    char mimeType2[128];
};

enum VstFileSelectCommand : VstInt32 {
    kVstFileLoad = 0,
    kVstFileSave = 1,
    kVstMultipleFilesLoad = 2,
    kVstDirectorySelect = 3,
};

enum VstFileSelectType : VstInt32 {
    kVstFileType = 0,
};

struct VstFileSelect {
    VstInt32 command; // VstFileSelectCommand
    VstInt32 type;    // VstFileSelectType
    VstInt32 macCreator;
    VstInt32 nbFileTypes;
    VstFileType* fileTypes;
    char title[1024];
    char* initialPath;
    char* returnPath; // the effect's buffer of sizeReturnPath bytes, or null for the host's own
    VstInt32 sizeReturnPath;
    char** returnMultiplePaths;
    VstInt32 nbReturnPath;
    VstIntPtr reserved;
    char future[116];
};
