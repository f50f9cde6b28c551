#pragma once

// Text as Windows takes and gives it, for both Windows files: the program's
// runtime and our IO.DLL.

#include <windows.h>

#include <string>
#include <string_view>

namespace runtime::backend {

inline std::wstring widen(std::string_view text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

inline std::string narrow(std::wstring_view text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

// The system's words for an error code ("Access is denied."), without the
// trailing line break: in English, as the messages around them are, where
// Windows has it, else in the user's language. Some messages name the thing
// that failed as "%1"; `insert` stands there.
inline std::string systemMessage(DWORD error, std::string_view insert = "the file")
{
    wchar_t* buffer = nullptr;
    DWORD length = 0;
    for (const DWORD language : {DWORD(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), DWORD(0)}) {
        length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        if (length)
            break;
    }
    std::string text = length ? narrow({buffer, length}) : "error " + std::to_string(error);
    LocalFree(buffer);
    for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + insert.size()))
        text.replace(at, 2, insert);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace runtime::backend
