// Loading the port library on Linux.

#include "Library.h"
#include "../Backend.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <initializer_list>
#include <optional>
#include <system_error>
#include <utility>

namespace runtime::backend {

namespace {

namespace fs = std::filesystem;

// What the loader said, made fit for the one report: on one line, its
// control characters as '?', and cut short.
std::string loaderSaid(std::string text)
{
    constexpr std::size_t kLongest = 300;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = c == '\n' ? ' ' : '?';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.size() > kLongest ? text.substr(0, kLongest) + "..." : text;
}

// The loader trusts a library's tables and runs its start-up code while it
// loads it, so a library damaged inside, though whole, can kill the process
// there. It is loaded first in another process, which is all that dies.
struct Trial {
    std::string path; // the library tried
    pid_t child = -1;
    int said = -1; // what the loader says on its way out
    std::chrono::steady_clock::time_point started = {};
};

// A trial that hasn't ended by then tells nothing: a forked copy of a
// process with threads can wait forever on a lock one of them held, and
// a library whose start-up never ends would hang the program all the same.
constexpr std::chrono::seconds kTrialLongest{10};

// The trial started ahead of the first call, if any.
std::future<Trial>& ahead()
{
    static std::future<Trial> trial;
    return trial;
}

// The trial in ventrolik-trial, the program's helper beside it, which loads
// the library and ends: started without a copy of this process, whose
// toolkit, loaded, would make a fork cost the window's start a tenth.
pid_t spawnTrial(const char* path, int stderrEnd)
{
    const std::string helper = (programFolder() / "ventrolik-trial").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stderrEnd, STDERR_FILENO);
    char* arguments[] = {const_cast<char*>(helper.c_str()), const_cast<char*>(path), nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, helper.c_str(), &actions, nullptr, arguments, environ) != 0)
        child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

Trial startTrial(const char* path)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {}; // no trial: the library is loaded as it is
    // Without the helper, in a fork. (A forked child may load libraries:
    // glibc resets the loader's lock in it.)
    pid_t child = spawnTrial(path, pipeEnds[1]);
    if (child < 0 && (child = fork()) == 0) {
        // A crash is the system's to report, whatever handler the process has.
        for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
            std::signal(signal, SIG_DFL);
        dup2(pipeEnds[1], STDERR_FILENO);
        dlopen(path, RTLD_NOW | RTLD_LOCAL);
        _exit(0);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return {};
    }
    return {path, child, pipeEnds[0], std::chrono::steady_clock::now()};
}

// Why the trial's child died, with what the loader said on its way out, or
// nothing: also when it didn't end in time, and was stopped.
std::string loadingKills(const Trial& trial)
{
    if (trial.child < 0)
        return {};
    using namespace std::chrono;
    const auto deadline = trial.started + kTrialLongest;
    std::string text;
    char block[512];
    bool late = false;
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        pollfd said{trial.said, POLLIN, 0};
        const int ready = poll(&said, 1, int(std::max<milliseconds::rep>(left.count(), 0)));
        if (ready == 0) {
            late = true;
            break;
        }
        // A poll or a read cut short by a signal is tried again.
        const ssize_t got = ready > 0 ? read(trial.said, block, sizeof block) : -1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (text.size() < 4096)
            text.append(block, std::size_t(got));
    }
    close(trial.said);
    if (late)
        kill(trial.child, SIGKILL);
    int status = 0;
    while (waitpid(trial.child, &status, 0) < 0 && errno == EINTR) {
    }
    if (late)
        return {};
    std::string why;
    if (WIFSIGNALED(status))
        why = std::string("damaged: the system's loader died loading it (") + strsignal(WTERMSIG(status)) + ")";
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        why = "damaged: loading it ended the process with status " + std::to_string(WEXITSTATUS(status));
    const std::string said = loaderSaid(text);
    return why.empty() || said.empty() ? why : why + ": " + said;
}

void* open(const char* path, std::string& reason)
{
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        reason = dlerror();
    return handle;
}

// The first candidate that is there: the library the search finds.
std::optional<fs::path> found(const char* file, const std::vector<fs::path>& folders)
{
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(folder / file, error)))
            return folder / file;
    }
    return std::nullopt;
}

// The library the search finds; beside the program, where the package and
// the build put it, without reading the system's list of folders.
std::optional<fs::path> located(const char* file)
{
    if (auto beside = found(file, {programFolder()}))
        return beside;
    return found(file, searchFolders());
}

} // namespace

void prepareLibrary(const char* file)
{
    // The search and the trial's start in a thread of their own, while the
    // program goes on; where no thread can be had, all at the first call.
    if (ahead().valid())
        return;
    try {
        ahead() = std::async(std::launch::async, [name = std::string(file)] {
            const std::optional<fs::path> candidate = located(name.c_str());
            return candidate && problemWithLibrary(candidate->c_str()).empty() ? startTrial(candidate->c_str())
                                                                                 : Trial{};
        });
    } catch (const std::system_error&) {
    }
}

void* loadLibrary(const char* file, std::string& reason)
{
    // The system's own search is never used: it would take an empty entry of
    // LD_LIBRARY_PATH for the current directory. Every candidate is checked
    // before the loader sees it, and only ever by its absolute path.
    // The trial started ahead is taken first: its search is done then, and
    // this one never runs beside it.
    Trial trial = ahead().valid() ? ahead().get() : Trial{};
    if (const std::optional<fs::path> candidate = located(file)) {
        std::string problem = problemWithLibrary(candidate->c_str());
        // The trial ahead is of this file, or it is reaped and this one
        // tried now.
        if (trial.path != candidate->native()) {
            loadingKills(trial);
            trial = problem.empty() ? startTrial(candidate->c_str()) : Trial{};
        }
        if (const std::string killed = loadingKills(trial); problem.empty())
            problem = killed;
        if (!problem.empty()) {
            reason = candidate->string() + ": " + problem;
            return nullptr;
        }
        return open(candidate->c_str(), reason);
    }
    loadingKills(trial);
    reason = "no such file beside the program, in LD_LIBRARY_PATH or in the system's library folders (looked in";
    for (const fs::path& folder : searchFolders()) {
        reason += ' ';
        reason += folder.native();
    }
    reason += ")";
    return nullptr;
}

void* findSymbol(void* library, const char* name, std::string& reason)
{
    dlerror();
    void* address = dlsym(library, name);
    if (!address) {
        const char* error = dlerror();
        reason = error ? error : "the export is null";
    }
    return address;
}

} // namespace runtime::backend
