// Loading the port library on Linux.

#include "Library.h"
#include "../Backend.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>

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
// there. It is loaded first in a child process, which is all that dies; the
// answer is why the child died, with what the loader said on its way out,
// or nothing. (A forked child may load libraries: glibc resets the loader's
// lock in it.)
std::string loadingKills(const char* path)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {}; // no trial: the library is loaded as it is
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]), close(pipeEnds[1]);
        return {};
    }
    if (child == 0) {
        // A crash is the system's to report, whatever handler the process has.
        for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
            std::signal(signal, SIG_DFL);
        dup2(pipeEnds[1], STDERR_FILENO);
        dlopen(path, RTLD_NOW | RTLD_LOCAL);
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string text;
    char block[512];
    for (ssize_t got; (got = read(pipeEnds[0], block, sizeof block)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        if (text.size() < 4096)
            text.append(block, std::size_t(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
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

} // namespace

void* loadLibrary(const char* file, std::string& reason)
{
    // The system's own search is never used: it would take an empty entry of
    // LD_LIBRARY_PATH for the current directory. Every candidate is checked
    // before the loader sees it, and only ever by its absolute path.
    const std::vector<fs::path> folders = searchFolders();
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder / file;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error)))
            continue;
        std::string problem = problemWithLibrary(candidate.c_str());
        if (problem.empty())
            problem = loadingKills(candidate.c_str());
        if (!problem.empty()) {
            reason = candidate.string() + ": " + problem;
            return nullptr;
        }
        return open(candidate.c_str(), reason);
    }
    reason = "no such file beside the program, in LD_LIBRARY_PATH or in the system's library folders (looked in";
    for (const fs::path& folder : folders) {
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
