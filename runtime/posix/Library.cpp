// Loading the port library on Linux and other POSIX systems.

#include "../Backend.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace runtime::backend {

namespace {

namespace fs = std::filesystem;

fs::path executableDirectory()
{
    std::error_code error;
    auto self = fs::read_symlink("/proc/self/exe", error);
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

void addFolder(std::vector<fs::path>& folders, fs::path folder)
{
    folder = folder.lexically_normal();
    if (std::ranges::find(folders, folder) == folders.end())
        folders.push_back(std::move(folder));
}

// The folders of an ld.so.conf file: paths separated by blanks, colons or
// commas, "#" comments, and "include PATTERN" lines (relative patterns are
// taken from the file's own folder).
void addConfiguredFolders(std::vector<fs::path>& folders, const fs::path& file, int depth = 0)
{
    std::ifstream in(file);
    for (std::string line; depth < 4 && std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        if (word == "include") {
            while (words >> word) {
                fs::path pattern = fs::path(word).is_absolute() ? fs::path(word) : file.parent_path() / word;
                glob_t found{};
                if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
                    for (std::size_t i = 0; i < found.gl_pathc; ++i)
                        addConfiguredFolders(folders, found.gl_pathv[i], depth + 1);
                globfree(&found);
            }
            continue;
        }
        std::ranges::replace_if(
            line, [](char c) { return c == ':' || c == ',' || c == '\t'; }, ' ');
        std::istringstream paths(line);
        for (std::string path; paths >> path;)
            if (fs::path(path).is_absolute())
                addFolder(folders, path);
    }
}

// Where the library may be, in order: the program's own folder, so that the
// library built or shipped with it wins; the absolute entries of
// LD_LIBRARY_PATH; and the folders the system's linker uses. Only absolute
// folders: an empty or relative entry would be taken from the current
// directory, where anyone could plant a library of that name.
std::vector<fs::path> searchFolders()
{
    std::vector<fs::path> folders;
    if (auto beside = executableDirectory(); !beside.empty())
        addFolder(folders, beside);

    static bool warned = false;
    const char* variable = std::getenv("LD_LIBRARY_PATH");
    std::string entries = variable ? variable : "";
    std::ranges::replace(entries, ';', ':');
    for (std::size_t from = 0; variable && *variable && from <= entries.size();) {
        const std::size_t colon = std::min(entries.find(':', from), entries.size());
        const std::string entry = entries.substr(from, colon - from);
        from = colon + 1;
        if (fs::path(entry).is_absolute()) {
            addFolder(folders, entry);
            continue;
        }
        if (!warned)
            std::fprintf(stderr, "%s: LD_LIBRARY_PATH: skipped the %s, which would mean the current directory\n",
                         appTitle().c_str(),
                         entry.empty() ? "empty entry" : ("relative entry '" + entry + "'").c_str());
    }
    warned = true;

    addConfiguredFolders(folders, "/etc/ld.so.conf");
#ifdef VENTROLIK_MULTIARCH
    addFolder(folders, "/lib/" VENTROLIK_MULTIARCH);
    addFolder(folders, "/usr/lib/" VENTROLIK_MULTIARCH);
#endif
    addFolder(folders, "/lib");
    addFolder(folders, "/usr/lib");
    return folders;
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
