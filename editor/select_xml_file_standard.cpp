// The standard generation asks for the file through the desktop's dialog on
// the editor's window.
#include "editor/select_xml_file.h"

#include "gui/gui.h"
#include "vst/audioeffect.h"

#include <cstring>

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
