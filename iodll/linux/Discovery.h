#pragma once

// What is there: parallel ports (ppdev devices), HID relay boards, GPIO
// chips, and the system's own list of ports.

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

// GPIO chips read already, by their place in sysfs, which is new each time
// a bridge is plugged in.
using KnownChips = std::vector<std::pair<std::string, GpioChip>>;

// The GPIO chips, in the order of their numbers, each with its links in
// /dev/gpio/by-path. A chip not in `known` is opened for a moment to read
// its label and line count; `known` is left holding the chips that are
// there. A chip that can't be read is listed with the reason.
std::vector<GpioChip> findGpioChips(const System& system, KnownChips& known);

// Whether the firmware (a PNP0400 or PNP0401 device with an I/O range) or the
// kernel's port map lists a parallel port whose registers include `port`.
bool systemListsParallelPort(const System& system, std::uint16_t port);

// The first decimal field of a parportN/base-addr file, or nothing when the
// text doesn't start with one.
std::optional<std::uint16_t> parseBaseAddress(std::string_view text);

} // namespace iodll
