// Loading the port library on Linux and other POSIX systems.

#include "../Backend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace runtime::backend {

namespace {

std::filesystem::path executableDirectory()
{
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
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
    // The program's own folder comes first, so the library that was built or
    // shipped with it wins. It is named by an absolute path: a relative one
    // would be taken from the current directory, where anyone could plant a
    // library of that name.
    auto beside = executableDirectory();
    if (!beside.empty()) {
        beside /= file;
        if (std::filesystem::exists(beside))
            return open(beside.c_str(), reason);
    }
    // Then the system's search (LD_LIBRARY_PATH, RUNPATH, the linker cache,
    // the standard folders). For a bare name it never tries the current
    // directory.
    void* library = open(file, reason);
    if (!library)
        reason += " (looked beside the program and in the system's library path)";
    return library;
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
