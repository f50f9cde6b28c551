#pragma once

// Which device a port number means. 888 to 890 are LPT1's registers,
// wherever LPT1 really is:
//
//   1. the parallel port at 888;
//   2. the device the user set: a parallel port, a relay board (by its
//      hidraw device or its ID), a serial relay module or GPIO lines;
//   3. the only parallel port;
//   4. the only HID relay board.
//
// Other port numbers mean the parallel port at their address. A pure
// function of what is there: it prints nothing.

#include "Setting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace iodll {

// The first parallel port's data register, where the old PCs put it.
inline constexpr std::uint16_t kLpt1 = 888;

// Offsets of a parallel port's registers from its base address.
inline constexpr int kData = 0;
inline constexpr int kStatus = 1;
inline constexpr int kControl = 2;

constexpr bool isLpt1(std::uint16_t port)
{
    return port >= kLpt1 && port <= kLpt1 + kControl;
}

// Paths are UTF-8 on both systems.
struct ParallelPort {
    std::string path; // /dev/parportN
    std::uint16_t base;
};

struct RelayBoard {
    std::string path; // /dev/hidrawN, or a Windows device interface
    std::string name; // the product string, "USBRelay2"
    std::string id;   // empty when the board can't be read
    int relays;
    bool pathShown = true; // in messages, beside the name and ID
};

struct SerialModule {
    std::string path; // /dev/ttyUSB0, COM3
    int relays;
};

// A GPIO chip, as discovery lists it: read once while it is plugged in.
struct GpioChip {
    std::string path;  // /dev/gpiochipN
    std::string label; // "cp2112_gpio", "pinctrl-bcm2835"; empty when it can't be read
    std::uint32_t lines = 0;
    std::string where = {};  // what tells it from another alike: "USB 1-2, serial 'A1', /dev/gpio/by-path/..."
    std::vector<std::string> links = {}; // its links in /dev/gpio/by-path
    std::string problem = {};            // why it can't be read
};

// Lines of a GPIO chip, each carrying a data line: D0 on the first.
struct GpioLines {
    std::string path;  // the chip's device
    std::string chip;  // as the setting names it: its label, name or device
    std::string name;  // "cp2112_gpio (gpiochip1)"
    std::uint32_t count; // the chip's lines
    std::vector<std::string> lines; // names or offsets
    bool activeLow;
};

} // namespace iodll

// Device and GpioChips: what each system's library can reach (linux/,
// windows/).
#include "Devices.h"

namespace iodll {

// The device behind a port number and the register's offset in it, or why
// none can be chosen. With neither, nothing is known at that address.
struct Route {
    std::optional<Device> device = std::nullopt;
    int offset = 0;
    std::string refusal = {};
};

struct Inventory {
    std::vector<ParallelPort> ports;
    std::vector<RelayBoard> boards;
    std::string configFile; // named in the advice to choose
    GpioChips chips = {};
};

Route route(const Inventory& inventory, const std::optional<Setting>& setting, std::uint16_t port);

// LPT1 on the GPIO lines that `setting` names, of a chip in the inventory.
// Each system's own: Linux picks the chip (linux/GpioChips.cpp); Windows
// reaches no GPIO line.
Route chosenChip(const Inventory& inventory, const Setting& setting);

// "/dev/parport0 at 0xd010", "relay board USBRelay2 'ABCDE' on /dev/hidraw0".
std::string describe(const Device& device);

} // namespace iodll
