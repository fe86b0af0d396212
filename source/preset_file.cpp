#include "source/preset_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

PresetFileResult readPresetText(const char* path, std::string& text) {
    text.clear();
    if (path == nullptr) return PresetFileResult::cannotOpen;
    // Non-blocking, so that opening a FIFO returns at once instead of
    // waiting for a writer; it changes nothing for a regular file.
    const Descriptor file{::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) return PresetFileResult::cannotOpen;
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) return PresetFileResult::cannotOpen;
    if (!S_ISREG(status.st_mode)) return PresetFileResult::notARegularFile;
    if (status.st_size > kLargestPresetFile) return PresetFileResult::tooLarge;

    // The file may grow after its size was taken: reading stops one chunk
    // past the limit at most.
    std::string data;
    data.reserve(static_cast<size_t>(status.st_size));
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return PresetFileResult::readError;
        }
        data.append(chunk, static_cast<size_t>(n));
        if (data.size() > static_cast<size_t>(kLargestPresetFile))
            return PresetFileResult::tooLarge;
    }
    text = std::move(data);
    return PresetFileResult::read;
}

const char* presetFileProblem(PresetFileResult result) {
    switch (result) {
    case PresetFileResult::read:
        return "";
    case PresetFileResult::cannotOpen:
        return "cannot be opened";
    case PresetFileResult::notARegularFile:
        return "is not a regular file";
    case PresetFileResult::tooLarge:
        return "is larger than 1 MiB, too large for a preset";
    case PresetFileResult::readError:
        return "cannot be read";
    }
    return "cannot be read";
}
