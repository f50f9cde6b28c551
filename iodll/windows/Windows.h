#pragma once

// What IO.DLL's Windows parts share: the Windows headers, the outputs, and
// messages for the system's error codes.

#include "../Output.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

namespace iodll::windows {

// "Access is denied." for ERROR_ACCESS_DENIED, without the line end.
std::string errorText(DWORD error);

std::unique_ptr<Output> hidRelayBoard(const std::filesystem::path& device, int relays);
// `port` as the setting names it: COM3.
std::unique_ptr<Output> serialRelayModule(const std::string& port, int relays);

} // namespace iodll::windows
