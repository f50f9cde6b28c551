#pragma once

// The port library's loading on Linux, in parts: where it is looked for,
// and a check of its file before the dynamic loader sees it.

#include <filesystem>
#include <string>
#include <vector>

namespace runtime::backend {

// The folder of this process's program; empty where it can't be told.
std::filesystem::path programFolder();

// Where the library may be, in order: the program's own folder, so that the
// library built or shipped with it wins; the absolute entries of
// LD_LIBRARY_PATH; and the folders the system's linker uses. Only absolute
// folders: an empty or relative entry would be taken from the current
// directory, where anyone could plant a library of that name.
std::vector<std::filesystem::path> searchFolders();

// What is wrong with `path` as a shared library for this process, or
// nothing. The dynamic loader maps a library's segments without checking
// that the file holds them, and a process that then touches a missing page
// dies of SIGBUS, with no error to report. So a library copied only in part
// is refused here, before the loader sees it.
std::string problemWithLibrary(const char* path);

} // namespace runtime::backend
