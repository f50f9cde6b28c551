#include "../Setting.h"
#include "Windows.h"

namespace iodll {

std::optional<std::string> readText(const std::string& file, std::string* error)
{
    HANDLE in = CreateFileW(windows::widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    DWORD failure = in == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    std::string text;
    if (in != INVALID_HANDLE_VALUE) {
        char block[4096];
        DWORD got = 0;
        BOOL read = FALSE;
        while ((read = ReadFile(in, block, sizeof block, &got, nullptr)) && got > 0)
            text.append(block, got);
        if (!read)
            failure = GetLastError();
        CloseHandle(in);
    }
    if (failure == ERROR_SUCCESS)
        return text;
    if (error)
        *error = failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND ? "" : windows::systemMessage(failure);
    return std::nullopt;
}

} // namespace iodll
