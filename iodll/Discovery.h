#pragma once

// What is there: parallel ports (ppdev devices), HID relay boards, the
// system's own list of ports, and the user's setting for LPT1.

#include "System.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iodll {

struct ParallelPort {
    std::filesystem::path path; // /dev/parportN
    std::uint16_t base;
};

struct RelayBoard {
    std::filesystem::path path; // /dev/hidrawN
    std::string name;           // the product string, "USBRelay2"
    std::string id;             // empty when the board can't be read
    int relays;
};

// The ppdev devices, in the order of their numbers.
std::vector<ParallelPort> findParallelPorts(const System& system);

// The HID relay boards, in the order of their numbers. Each is opened for a
// moment to read its ID.
std::vector<RelayBoard> findRelayBoards(const System& system);

// Whether the firmware (a PNP0400 or PNP0401 device with an I/O range) or the
// kernel's port map lists a parallel port whose registers include `port`.
bool systemListsParallelPort(const System& system, std::uint16_t port);

// The device the user chose for LPT1: "DEVICE [relays=N]".
struct Setting {
    std::string device = {}; // a path, or a relay board's ID
    int relays = 1;          // of a serial module
    std::string source = {}; // where it was set
    std::string error = {};  // set when the line can't be used
};

// VENTROLIK_LPT1, else the line LPT1=... in the configuration file.
std::optional<Setting> lpt1Setting(const System& system);

// The first decimal field of a parportN/base-addr file, or nothing when the
// text doesn't start with one.
std::optional<std::uint16_t> parseBaseAddress(std::string_view text);

// A text file's contents, or nothing when it can't be read.
std::optional<std::string> readText(const std::filesystem::path& file);

std::string trimmed(std::string text);
std::string hex(unsigned value);

} // namespace iodll
