#include "source/preset_file.h"

#include <atomic>
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

// Writes all `size` bytes, going on after a partial write; false when the
// disk is full or the write fails otherwise.
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Names for the new files, unique within the process; the process id keeps
// them apart from other processes' (a leftover only costs another attempt).
std::atomic<unsigned> temporaryCount{0};
constexpr int kTemporaryAttempts = 100;

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

bool writePresetText(const char* path, const std::string& text) {
    if (path == nullptr || path[0] == '\0') return false;
    const std::string target = path;
    if (target.back() == '/') return false; // a folder
    // What is there now, looked at only: opened without blocking (a FIFO
    // opens at once) and without following a link. Anything but a regular
    // file or no file at all is left alone.
    bool replacing = false;
    mode_t permissions = 0;
    {
        const Descriptor existing{
            ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)};
        if (existing.fd >= 0) {
            struct stat status {};
            if (::fstat(existing.fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
            replacing = true;
            permissions = status.st_mode & 0777;
        } else if (errno != ENOENT) {
            return false; // a link (ELOOP), or a file that may not be looked at
        }
    }

    // The new file goes beside the target, so that the rename stays within
    // one file system. O_EXCL makes it ours alone, never an existing file.
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    const std::string prefix = folder + ".tarvex-export-" + std::to_string(::getpid()) + '-';
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kTemporaryAttempts; ++attempt) {
        temporary = prefix + std::to_string(temporaryCount.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    // On disk before the rename: a crash after it finds the whole new text.
    const bool written = (!replacing || ::fchmod(fd, permissions) == 0) &&
                         writeAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    // close can report a late write error; the descriptor is gone either way.
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
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
