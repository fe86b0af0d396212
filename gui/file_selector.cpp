#include "gui/file_selector.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
std::mutex runnerMutex;
CNewFileSelector::DialogRunner& installedRunner() {
    static CNewFileSelector::DialogRunner runner;
    return runner;
}

// More output than any path: the dialog is ended there, and its answer (kept
// to one byte past this, to tell it was cut) chooses nothing.
constexpr size_t kMaxOutput = 64 * 1024;

std::string expandHome(const std::string& directory) {
    if (directory.empty() || directory[0] != '~') return directory;
    if (directory.size() > 1 && directory[1] != '/') return directory; // "~user" is not expanded
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + directory.substr(1);
}

enum class Outcome { NotStarted, Failed, Succeeded };

// Runs `arguments` (looked up in PATH) with standard output to a pipe and
// keeps what it printed in `output`. A dialog that is cancelled exits non-zero.
Outcome runProgram(const std::vector<std::string>& arguments, std::string& output) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return Outcome::NotStarted;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (started != 0) {
        close(pipeEnds[0]);
        return Outcome::NotStarted;
    }
    output.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        const size_t room = kMaxOutput + 1 - std::min(kMaxOutput + 1, output.size());
        output.append(buffer, std::min(room, static_cast<size_t>(count)));
        if (output.size() > kMaxOutput) {
            // No path is this long: a broken dialog that may never stop
            // printing. It is ended, so the modal call returns.
            kill(child, SIGKILL);
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno == EINTR) continue;
        // A host that ignores SIGCHLD leaves no exit status to collect: a
        // dialog that printed a path was not cancelled.
        return output.empty() ? Outcome::Failed : Outcome::Succeeded;
    }
    // Exit code 127: the program was not found where the spawn looked.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return Outcome::NotStarted;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Outcome::Succeeded : Outcome::Failed;
}

// The path a dialog answered: its output without the line feed that ends it.
// A file name may hold a line feed and a broken dialog may print two lines;
// an answer of more than one line cannot be told from either, so it chooses
// nothing, as does one cut short or holding a zero byte.
std::vector<std::string> answeredPath(std::string output) {
    if (output.size() > kMaxOutput) return {};
    if (!output.empty() && output.back() == '\n') output.pop_back();
    if (output.empty() || output.find_first_of(std::string_view("\n\0", 2)) != std::string::npos)
        return {};
    return {output};
}
} // namespace

CNewFileSelector::CNewFileSelector(CFrame* parentFrame, Style style) : frame(parentFrame) {
    request.style = style;
}

CNewFileSelector* CNewFileSelector::create(CFrame* parentFrame, Style style) {
    return new CNewFileSelector(parentFrame, style);
}

void CNewFileSelector::setTitle(const char* title) {
    request.title = title ? title : "";
}

void CNewFileSelector::setInitialDirectory(const char* directory) {
    request.initialDirectory = directory ? directory : "";
}

void CNewFileSelector::setAllowMultiFileSelection(bool state) {
    request.allowMultiple = state;
}

bool CNewFileSelector::runModal() {
    DialogRunner runner;
    {
        std::lock_guard<std::mutex> lock(runnerMutex);
        runner = installedRunner();
    }
    selected = runner ? runner(request) : runDesktopDialog(request);
    if (!request.allowMultiple && selected.size() > 1) selected.resize(1);
    return !selected.empty();
}

const char* CNewFileSelector::getSelectedFile(long index) const {
    if (index < 0 || index >= getNumSelectedFiles()) return nullptr;
    return selected[static_cast<size_t>(index)].c_str();
}

void CNewFileSelector::setDialogRunner(DialogRunner runner) {
    std::lock_guard<std::mutex> lock(runnerMutex);
    installedRunner() = std::move(runner);
}

std::vector<std::string> CNewFileSelector::runDesktopDialog(const Request& wanted) {
    const bool save = wanted.style == kSelectSaveFile;
    std::string directory = expandHome(wanted.initialDirectory);
    if (!directory.empty() && directory.back() != '/') directory += '/';
    std::string output;
    std::vector<std::string> zenity{"zenity", "--file-selection", "--title=" + wanted.title};
    // zenity's save dialog replaces an existing file unasked unless told to
    // ask; kdialog's asks by itself.
    if (save) {
        zenity.push_back("--save");
        zenity.push_back("--confirm-overwrite");
    }
    if (!directory.empty()) zenity.push_back("--filename=" + directory);
    const Outcome outcome = runProgram(zenity, output);
    if (outcome == Outcome::Succeeded) return answeredPath(output);
    if (outcome == Outcome::Failed) // cancelled
        return {};
    std::vector<std::string> kdialog{"kdialog", "--title", wanted.title,
                                     save ? "--getsavefilename" : "--getopenfilename",
                                     directory.empty() ? "." : directory};
    if (runProgram(kdialog, output) == Outcome::Succeeded) return answeredPath(output);
    return {};
}
