// Loading the port library on Linux.

#include "Library.h"
#include "../Backend.h"

#include <dlfcn.h>

#include <system_error>

namespace runtime::backend {

namespace {

namespace fs = std::filesystem;

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
        if (std::string problem = problemWithLibrary(candidate.c_str()); !problem.empty()) {
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
