// Loading the port library on Linux and other POSIX systems.

#include "../Backend.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace runtime::backend {

namespace {

std::filesystem::path executableDirectory()
{
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

#if __SIZEOF_POINTER__ == 8
using Ehdr = Elf64_Ehdr;
using Phdr = Elf64_Phdr;
constexpr unsigned char kClass = ELFCLASS64;
#else
using Ehdr = Elf32_Ehdr;
using Phdr = Elf32_Phdr;
constexpr unsigned char kClass = ELFCLASS32;
#endif

#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__i386__)
constexpr int kMachine = EM_386;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#elif defined(__arm__)
constexpr int kMachine = EM_ARM;
#else
constexpr int kMachine = -1; // not checked
#endif

std::string machineName(int machine, unsigned char elfClass)
{
    switch (machine) {
    case EM_386:
        return "32-bit x86";
    case EM_X86_64:
        return "64-bit x86";
    case EM_ARM:
        return "32-bit ARM";
    case EM_AARCH64:
        return "64-bit ARM";
    default:
        return std::string(elfClass == ELFCLASS32 ? "32" : "64") + "-bit machine number " + std::to_string(machine);
    }
}

// Whether `length` bytes from `offset` lie within a file of `size` bytes.
bool fits(unsigned long long offset, unsigned long long length, long long size)
{
    const auto total = static_cast<unsigned long long>(size);
    return offset <= total && length <= total - offset;
}

std::string truncated(const char* what, unsigned long long end, long long size)
{
    return "file is truncated: " + std::string(what) + " ends at byte " + std::to_string(end) + " of " +
           std::to_string(size);
}

// What is wrong with `path` as a shared library for this process, or
// nothing. The dynamic loader maps a library's segments without checking
// that the file holds them, and a process that then touches a missing page
// dies of SIGBUS, with no error to report. So a library copied only in part
// is refused here, before the loader sees it.
std::string problemWithLibrary(const char* path)
{
    struct stat status;
    if (stat(path, &status) != 0)
        return std::strerror(errno);
    if (S_ISDIR(status.st_mode))
        return "is a directory";
    if (!S_ISREG(status.st_mode))
        return "not a regular file";
    if (status.st_size == 0)
        return "empty file";

    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    Ehdr header{};
    std::vector<Phdr> segments;
    std::string problem;
    const ssize_t got = pread(fd, &header, sizeof header, 0);
    if (got < SELFMAG || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        problem = "not a shared library";
    else if (got >= static_cast<ssize_t>(offsetof(Ehdr, e_machine) + sizeof header.e_machine) &&
             (header.e_ident[EI_CLASS] != kClass || (kMachine >= 0 && header.e_machine != kMachine)))
        problem = "built for " + machineName(header.e_machine, header.e_ident[EI_CLASS]);
    else if (got < static_cast<ssize_t>(sizeof header))
        problem = truncated("the ELF header", sizeof header, status.st_size);
    else if (header.e_type != ET_DYN || header.e_phentsize != sizeof(Phdr))
        problem = "not a shared library";
    else {
        segments.resize(header.e_phnum);
        const unsigned long long tableSize = segments.size() * sizeof(Phdr);
        if (!fits(header.e_phoff, tableSize, status.st_size) ||
            pread(fd, segments.data(), tableSize, static_cast<off_t>(header.e_phoff)) !=
                static_cast<ssize_t>(tableSize))
            problem = truncated("the program header table", header.e_phoff + tableSize, status.st_size);
    }
    ::close(fd);
    for (const Phdr& segment : segments) {
        if (problem.empty() && segment.p_type == PT_LOAD && !fits(segment.p_offset, segment.p_filesz, status.st_size))
            problem = truncated("segment", segment.p_offset + segment.p_filesz, status.st_size);
    }
    return problem;
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
        if (std::filesystem::exists(beside)) {
            if (std::string problem = problemWithLibrary(beside.c_str()); !problem.empty()) {
                reason = beside.string() + ": " + problem;
                return nullptr;
            }
            return open(beside.c_str(), reason);
        }
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
