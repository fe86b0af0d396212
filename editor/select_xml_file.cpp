#include "editor/select_xml_file.h"

#include "gui/gui.h"
#include "vst/audioeffect.h"

#ifdef TARVEX_RTAS
#include "vst/audioeffectx.h"
#include "vst/vstfileselect.h"

#include <cstdio>
#endif
#include <cstring>
#include <string>
#include <sys/stat.h>

#ifdef TARVEX_RTAS
// The older generation asks the host for the file through the toolkit's
// file selector.
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
#else

bool SelectXMLFile(AudioEffect* effect, bool open, const char* title, const char* startFolder,
                   char* output) {
    // Called from a button of the open window, so these hold in use; any
    // other caller gets a refusal rather than an ended host.
    if (effect == nullptr || title == nullptr || startFolder == nullptr || output == nullptr)
        return false;
    auto* editor = dynamic_cast<AEffGUIEditor*>(effect->getEditor());
    if (editor == nullptr || editor->getFrame() == nullptr) return false;

    CNewFileSelector* selector =
        CNewFileSelector::create(editor->getFrame(), open ? CNewFileSelector::kSelectFile
                                                          : CNewFileSelector::kSelectSaveFile);
    if (selector == nullptr) return false;
    selector->setTitle(title);
    selector->setInitialDirectory(startFolder);
    selector->setAllowMultiFileSelection(false);
    selector->runModal();

    bool chosen = false;
    output[0] = '\0';
    const char* path = selector->getNumSelectedFiles() > 0 ? selector->getSelectedFile(0) : nullptr;
    if (path != nullptr && path[0] != '\0') {
        const std::size_t length = std::strlen(path);
        // A path that does not fit is refused whole: a shortened one would
        // name another file.
        if (length < kPresetPathSize) {
            std::memcpy(output, path, length + 1);
            chosen = true;
        }
    }
    selector->forget();
    return chosen;
}
#endif

bool presetExportPath(char* path, std::size_t size) {
    if (path == nullptr) return false;
    const std::size_t length = strnlen(path, size);
    if (length == size) return false; // not terminated within the buffer
    const char* name = std::strrchr(path, '/');
    name = name != nullptr ? name + 1 : path;
    // A folder, named as one or existing as one, is no file name to save to.
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    struct stat status {};
    if (::stat(path, &status) == 0 && S_ISDIR(status.st_mode)) return false;
    const char* dot = std::strrchr(name, '.');
    const std::size_t stem = dot != nullptr ? static_cast<std::size_t>(dot - path) : length;
    constexpr char kExtension[] = ".xml";
    if (stem + sizeof kExtension > size) return false;
    // The dialog asked before replacing the chosen file only: another file
    // the name turns into is not replaced unasked.
    if (std::strcmp(path + stem, kExtension) != 0) {
        const std::string target = std::string(path, stem) + kExtension;
        if (::lstat(target.c_str(), &status) == 0) return false;
    }
    std::memcpy(path + stem, kExtension, sizeof kExtension);
    return true;
}
