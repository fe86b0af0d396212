// The older generation asks the host for the file through the toolkit's
// file selector.
#include "editor/select_xml_file.h"

#include "gui/file_selector_rtas.h"
#include "vst/audioeffectx.h"
#include "vst/vstfileselect.h"

#include <cstdio>
#include <cstring>

bool SelectXMLFile(AudioEffect* effect, bool open, const char* title, const char* startFolder,
                   char* output) {
    auto* extended = dynamic_cast<AudioEffectX*>(effect);
    if (extended == nullptr || title == nullptr || startFolder == nullptr || output == nullptr)
        return false;

    VstFileType xml{};
    std::snprintf(xml.macType, sizeof xml.macType, "%s", "xml");
    std::snprintf(xml.dosType, sizeof xml.dosType, "%s", "xml");
    std::snprintf(xml.unixType, sizeof xml.unixType, "%s", "xml");
    std::snprintf(xml.mimeType1, sizeof xml.mimeType1, "%s", "xml");
    char initialPath[kPresetPathSize];
    std::snprintf(initialPath, sizeof initialPath, "%s", startFolder);

    VstFileSelect select{};
    select.command = open ? kVstFileLoad : kVstFileSave;
    select.type = kVstFileType;
    select.nbFileTypes = 1;
    select.fileTypes = &xml;
    std::snprintf(select.title, sizeof select.title, "%s", title);
    select.initialPath = initialPath;
    output[0] = '\0';
    select.returnPath = output;
    select.sizeReturnPath = static_cast<VstInt32>(kPresetPathSize);

    CFileSelector selector(extended);
    if (selector.run(&select) == 0) return false;
    // A host that ran the dialog may still have chosen nothing (a cancelled
    // dialog leaves the path empty), or written a path that does not end
    // inside the buffer: neither names a file to use.
    if (strnlen(output, kPresetPathSize) == kPresetPathSize) {
        output[0] = '\0';
        return false;
    }
    return output[0] != '\0';
}
