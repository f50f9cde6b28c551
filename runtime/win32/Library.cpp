// Loading the port library on Windows.

#include "../Backend.h"
#include "Text.h"

#include <algorithm>
#include <vector>

namespace runtime::backend {

namespace {

std::wstring moduleFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()))) == path.size())
        path.resize(path.size() * 2);
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring systemFolder(UINT(WINAPI* get)(LPWSTR, UINT))
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(get(path.data(), UINT(path.size())));
    return path;
}

bool isAbsolute(const std::wstring& path)
{
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) || path.starts_with(L"\\\\");
}

// Where Windows looks for a library by default, less the current directory:
// the program's folder, the system folders, the Windows folder, then the
// folders in PATH. Windows itself would try the current directory among
// them, where anyone could plant a library of the same name.
std::vector<std::wstring> searchFolders()
{
    const std::wstring windows = systemFolder(GetWindowsDirectoryW);
    std::vector<std::wstring> folders = {moduleFolder(), systemFolder(GetSystemDirectoryW), windows + L"\\System",
                                         windows};
    std::wstring path(GetEnvironmentVariableW(L"PATH", nullptr, 0), L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), DWORD(path.size())));
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = std::min(path.find(L';', start), path.size());
        std::wstring folder = path.substr(start, end - start);
        if (isAbsolute(folder))
            folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

} // namespace

void prepareLibrary(const char*)
{
    // Windows' loader is trusted with the library as it is: nothing to start.
}

void* loadLibrary(const char* file, std::string& reason)
{
    // Keeps the current directory out of the search for the libraries that
    // the port library itself imports, too.
    static const bool safeSearch = SetDllDirectoryW(L"");
    (void)safeSearch;

    const std::wstring name = widen(file);
    for (const std::wstring& folder : searchFolders()) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!library)
            reason = systemMessage(GetLastError(), narrow(path));
        return reinterpret_cast<void*>(library);
    }
    reason = systemMessage(ERROR_MOD_NOT_FOUND) + " (looked in the program's folder, the system folders and PATH)";
    return nullptr;
}

void* findSymbol(void* library, const char* name, std::string& reason)
{
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!address)
        reason = systemMessage(GetLastError());
    return reinterpret_cast<void*>(address);
}

} // namespace runtime::backend
