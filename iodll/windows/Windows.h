#pragma once

// What IO.DLL's Windows parts share: the Windows headers, the outputs, and
// text as Windows takes and gives it.

#include "../Output.h"
#include "../PortLibrary.h"

#include "runtime/win32/Text.h"

#include <memory>
#include <string>

namespace iodll::windows {

// Our UTF-8 strings in the system's UTF-16 and back, and the system's words
// for its error codes: the same helpers as the program's.
using runtime::backend::narrow;
using runtime::backend::systemMessage;
using runtime::backend::widen;

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
