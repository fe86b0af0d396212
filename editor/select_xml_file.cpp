#include "editor/select_xml_file.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

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
