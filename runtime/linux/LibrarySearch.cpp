// The folders where the port library is looked for.

#include "../Backend.h"
#include "Library.h"

#include <glob.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace runtime::backend {

namespace {

namespace fs = std::filesystem;

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

} // namespace

fs::path programFolder()
{
    std::error_code error;
    auto self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

std::vector<fs::path> searchFolders()
{
    std::vector<fs::path> folders;
    if (auto beside = programFolder(); !beside.empty())
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

} // namespace runtime::backend
