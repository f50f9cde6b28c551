#pragma once

// What is there: parallel ports (ppdev devices), HID relay boards, the
// system's own list of ports, and the user's setting for LPT1.

#include "../Lpt1.h"
#include "System.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iodll {

// The ppdev devices, in the order of their numbers.
std::vector<ParallelPort> findParallelPorts(const System& system);

// Board IDs already read, by the HID device they were read from: its place
// in sysfs, which is new each time a board is plugged in.
using KnownIds = std::vector<std::pair<std::string, std::string>>;

// The HID relay boards, in the order of their numbers. A board not in
// `known` is opened for a moment to read its ID; `known` is left holding the
// boards that are there.
std::vector<RelayBoard> findRelayBoards(const System& system, KnownIds& known);

// Whether the firmware (a PNP0400 or PNP0401 device with an I/O range) or the
// kernel's port map lists a parallel port whose registers include `port`.
bool systemListsParallelPort(const System& system, std::uint16_t port);

// The first decimal field of a parportN/base-addr file, or nothing when the
// text doesn't start with one.
std::optional<std::uint16_t> parseBaseAddress(std::string_view text);

} // namespace iodll
