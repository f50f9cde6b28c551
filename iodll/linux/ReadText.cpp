#include "../Setting.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace iodll {

std::optional<std::string> readText(const std::string& file, std::string* error)
{
    std::FILE* in = std::fopen(file.c_str(), "rb");
    std::string text;
    if (in) {
        char block[4096];
        while (std::size_t got = std::fread(block, 1, sizeof block, in))
            text.append(block, got);
        const bool failed = std::ferror(in);
        std::fclose(in);
        if (!failed)
            return text;
    }
    if (error)
        *error = errno == ENOENT ? "" : std::strerror(errno);
    return std::nullopt;
}

} // namespace iodll
