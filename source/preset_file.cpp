#include "source/preset_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
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
    const std::string_view target = path;
    const size_t slash = target.rfind('/');
    const std::string name(target.substr(slash + 1)); // the whole path without a "/"
    // A folder: named by a final "/", "." or "..".
    if (name.empty() || name == "." || name == "..") return false;
    // The folder is looked up once, and every step below names its file
    // relative to it: a link on the way that changes meanwhile cannot put the
    // new file in one folder and the rename or the clean-up in another.
    const std::string folderPath =
        slash == std::string_view::npos ? "." : std::string(target.substr(0, slash + 1));
    const Descriptor folder{::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0) return false;

    // What is there now, looked at without following a link. Anything but a
    // regular file or no file at all is left alone.
    struct stat existing {};
    const bool replacing = ::fstatat(folder.fd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!replacing && errno != ENOENT) return false;
    if (replacing) {
        if (!S_ISREG(existing.st_mode)) return false;
        // The rename needs only the folder's permission: the file's own is
        // asked by opening it for writing (not truncated, not followed), so a
        // preset its user made read-only stays refused. Root may write any.
        const Descriptor writable{::openat(
            folder.fd, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)};
        if (writable.fd < 0 || ::fstat(writable.fd, &existing) != 0 || !S_ISREG(existing.st_mode))
            return false;
    }

    // The new file goes in the same folder, so that the rename stays within
    // one file system, under a short name of its own, so that any name that
    // fits the folder fits it. O_EXCL makes it ours alone, never an existing file.
    const std::string prefix = ".tarvex-export-" + std::to_string(::getpid()) + '-';
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kTemporaryAttempts; ++attempt) {
        temporary = prefix + std::to_string(temporaryCount.fetch_add(1));
        fd = ::openat(folder.fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    // A replacement keeps the old file's permissions and, where the process
    // may give it away (root), its owner and group. The owner goes first: a
    // change of owner may clear permission bits.
    if (replacing && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Not allowed: the group at least, where it is one of ours.
        [[maybe_unused]] const int group = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    }
    // On disk before the rename: a crash after it finds the whole new text.
    const bool written = (!replacing || ::fchmod(fd, existing.st_mode & 0777) == 0) &&
                         writeAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    // close can report a late write error; the descriptor is gone either way.
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::renameat(folder.fd, temporary.c_str(), folder.fd, name.c_str()) == 0)
        return true;
    ::unlinkat(folder.fd, temporary.c_str(), 0);
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
