#pragma once

// Everything IO.DLL asks of the system, so that tests can stand in for /proc,
// /sys, /dev and the hardware. linuxSystem() is the real one.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace iodll {

// Who may open a device: its owner, its group and its permission bits.
struct Access {
    std::string owner, group;
    unsigned mode;
};

struct System {
    std::filesystem::path parportDir = "/proc/sys/dev/parport";
    std::filesystem::path hidrawDir = "/sys/class/hidraw";
    std::filesystem::path deviceDir = "/dev";
    // The GPIO chips (gpiochipN) on the kernel's GPIO bus.
    std::filesystem::path gpioDir = "/sys/bus/gpio/devices";
    // Where the user may choose the device for LPT1.
    std::filesystem::path configFile = "/etc/ventrolik.conf";
    // The firmware's Plug and Play devices, and the kernel's I/O port map:
    // where the system lists a parallel port without anyone touching it.
    std::filesystem::path pnpDir = "/sys/bus/pnp/devices";
    std::filesystem::path ioportsFile = "/proc/ioports";
    // The control group this process runs in, which names its systemd unit.
    std::filesystem::path cgroupFile = "/proc/self/cgroup";
    std::function<std::optional<std::string>(const char* name)> environment;
    // Opens a device for reading and writing. Returns a descriptor, or -1
    // with errno set.
    std::function<int(const std::filesystem::path& device)> open;
    // Returns 0 or more, or -1 with errno set.
    std::function<int(int fd, unsigned long request, void* argument)> ioctl;
    std::function<long(int fd, const void* data, std::size_t size)> write;
    // A serial line at 9600 baud, 8N1, raw, no flow control. Returns 0, or -1
    // with errno set.
    std::function<int(int fd)> setSerial9600;
    std::function<void(int fd)> close;
    // Who may open a device; nothing when that can't be told.
    std::function<std::optional<Access>(const std::filesystem::path& device)> access;
    // Direct I/O: whether the process may already write `count` ports from
    // `first` on, and the write itself.
    std::function<bool(std::uint16_t first, int count)> directIoAllowed;
    std::function<void(std::uint16_t port, std::uint8_t value)> outb;
    // Keeps GPIO lines as they are set once this process lets them go, in
    // a holder process of their own; and asks a line's holder to let it go,
    // false where no holder answered (whether it let go, the line tells).
    // Empty: lines are simply released.
    std::function<void(int lines, const std::filesystem::path& chip, const std::vector<std::uint32_t>& offsets)> holdLines;
    std::function<bool(const std::filesystem::path& chip, std::uint32_t offset)> letGoLine;
    // One line for the user.
    std::function<void(const std::string& line)> report;
};

System linuxSystem();

// The real holder of GPIO lines.
void holdGpioLines(int lines, const std::filesystem::path& chip, const std::vector<std::uint32_t>& offsets);
bool letGoGpioLine(const std::filesystem::path& chip, std::uint32_t offset);

} // namespace iodll
