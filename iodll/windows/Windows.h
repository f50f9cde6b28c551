#pragma once

// What IO.DLL's Windows parts share: the Windows headers, the outputs, and
// messages for the system's error codes.

#include "../Output.h"
#include "../PortLibrary.h"

#include <windows.h>

#include <memory>
#include <string>

namespace iodll::windows {

// "Access is denied." for ERROR_ACCESS_DENIED, without the line end.
std::string errorText(DWORD error);

// Our UTF-8 strings in the system's UTF-16, and back.
std::wstring widened(const std::string& text);
std::string utf8(const wchar_t* text);

// A relay device reached through a Windows handle, closed when it goes.
class HandleRelayOutput : public RelayOutput {
protected:
    using RelayOutput::RelayOutput;
    ~HandleRelayOutput() override { HandleRelayOutput::close(); }

    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void close() override
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// name: the board as messages call it.
std::unique_ptr<Output> hidRelayBoard(const std::string& device, int relays, const std::string& name);
// `port` as the setting names it: COM3.
std::unique_ptr<Output> serialRelayModule(const std::string& port, int relays);

} // namespace iodll::windows
