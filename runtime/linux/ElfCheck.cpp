// Checking a shared library's file before the dynamic loader maps it.

#include "Library.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

namespace runtime::backend {

namespace {

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

// Where `length` bytes from `offset` end, which a damaged header may put
// beyond any number a file's size can have.
std::string truncated(const char* what, unsigned long long offset, unsigned long long length, long long size)
{
    const bool beyond = length > std::numeric_limits<unsigned long long>::max() - offset;
    return "file is truncated: " + std::string(what) + (beyond ? " ends beyond byte " : " ends at byte ") +
           std::to_string(beyond ? std::numeric_limits<unsigned long long>::max() : offset + length) + " of " +
           std::to_string(size);
}

} // namespace

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
        problem = truncated("the ELF header", 0, sizeof header, status.st_size);
    else if (header.e_type != ET_DYN || header.e_phentsize != sizeof(Phdr))
        problem = "not a shared library";
    else {
        segments.resize(header.e_phnum);
        const unsigned long long tableSize = segments.size() * sizeof(Phdr);
        if (!fits(header.e_phoff, tableSize, status.st_size) ||
            pread(fd, segments.data(), tableSize, static_cast<off_t>(header.e_phoff)) !=
                static_cast<ssize_t>(tableSize))
            problem = truncated("the program header table", header.e_phoff, tableSize, status.st_size);
    }
    ::close(fd);
    for (const Phdr& segment : segments) {
        if (problem.empty() && segment.p_type == PT_LOAD && !fits(segment.p_offset, segment.p_filesz, status.st_size))
            problem = truncated("segment", segment.p_offset, segment.p_filesz, status.st_size);
    }
    return problem;
}

} // namespace runtime::backend
