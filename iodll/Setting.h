#pragma once

// The user's choice of the device for LPT1, and small text helpers. Nothing
// here is of one system.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace iodll {

// The device the user chose for LPT1: "DEVICE [relays=N]".
struct Setting {
    std::string device = {}; // a path, or a relay board's ID
    int relays = 1;          // of a serial module
    std::string source = {}; // where it was set
    std::string error = {};  // set when the line can't be used
};

using Environment = std::function<std::optional<std::string>(const char* name)>;

// VENTROLIK_LPT1, else the line LPT1=... in the configuration file.
std::optional<Setting> lpt1Setting(const Environment& environment, const std::filesystem::path& configFile);

// A text file's contents, or nothing when it can't be read.
std::optional<std::string> readText(const std::filesystem::path& file);

std::string trimmed(std::string text);
std::string hex(unsigned value);

} // namespace iodll
