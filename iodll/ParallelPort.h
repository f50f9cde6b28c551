#pragma once

// IO.DLL for Linux: writes to the parallel port's registers through the
// kernel's ppdev driver (/dev/parportN), or with direct port I/O where the
// process already has the right to it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iodll {

// The first parallel port's data register, where the old PCs put it.
inline constexpr std::uint16_t kLpt1 = 888;

// Everything the library asks of the system, so that tests can stand in for
// /proc, /dev and the hardware.
struct System {
    std::filesystem::path parportDir = "/proc/sys/dev/parport";
    std::filesystem::path deviceDir = "/dev";
    // Where the user may choose the device for LPT1 when no port is at 888.
    std::filesystem::path configFile = "/etc/ventrolik.conf";
    // The firmware's Plug and Play devices, and the kernel's I/O port map:
    // where the system lists a parallel port without anyone touching it.
    std::filesystem::path pnpDir = "/sys/bus/pnp/devices";
    std::filesystem::path ioportsFile = "/proc/ioports";
    std::function<std::optional<std::string>(const char* name)> environment;
    // Returns a descriptor, or -1 with errno set.
    std::function<int(const std::filesystem::path& device)> open;
    // Returns 0, or -1 with errno set.
    std::function<int(int fd, unsigned long request, void* argument)> ioctl;
    std::function<void(int fd)> close;
    // Direct I/O: whether the process may already write `count` ports from
    // `first` on, and the write itself.
    std::function<bool(std::uint16_t first, int count)> directIoAllowed;
    std::function<void(std::uint16_t port, std::uint8_t value)> outb;
    // One line of diagnostics for the user.
    std::function<void(const std::string& line)> report;
};

System linuxSystem();

// The first decimal field of a parportN/base-addr file, or nothing when the
// text doesn't start with one.
std::optional<std::uint16_t> parseBaseAddress(std::string_view text);

// Whether the firmware (a PNP0400 or PNP0401 device with an I/O range) or the
// kernel's port map lists a parallel port whose registers include `port`.
bool systemListsParallelPort(const System& system, std::uint16_t port);

// What to tell the user when `device` can't be opened or claimed, with a
// hint at the fix.
std::string describeOpenError(int error, const std::filesystem::path& device);
std::string describeClaimError(int error, const std::filesystem::path& device);

struct Device {
    std::filesystem::path path;
    std::uint16_t base;
    std::string holder; // the driver that holds the port now; empty if free
};

// The device whose register a port number means, or why none can be chosen.
struct Lookup {
    std::optional<Device> device;
    int offset = 0;      // of the register from the device's first
    std::string refusal; // set when ports exist but none is this one
};

struct Setting {
    std::string device;
    std::string source; // where it was set
};

class ParallelPorts {
public:
    explicit ParallelPorts(System system);
    ~ParallelPorts();
    ParallelPorts(const ParallelPorts&) = delete;
    ParallelPorts& operator=(const ParallelPorts&) = delete;

    // True when writes to `port` can reach a parallel port now. Reports why
    // not otherwise.
    bool canReach(std::uint16_t port);

    void out(std::uint16_t port, std::uint8_t value);
    // As a 16-bit I/O write does: the low byte to `port`, the high byte to
    // the next port up.
    void wordOut(std::uint16_t port, std::uint16_t value);

    // The ppdev device whose registers (base to base + 2) include `port`.
    // 888 to 890 are the first parallel port's: the one at 888 if there is
    // one, else the one the user set, else the only one.
    Lookup find(std::uint16_t port);

private:
    bool claim(const Device& device, int& fd);
    void release(int fd);
    // Whether the process may write `port` itself; says so once.
    bool directIo(std::uint16_t port);
    std::vector<Device> devices() const;
    std::optional<Setting> lpt1Setting() const;
    // Why no port took the byte, for the caller to report; empty when one
    // did, or when this already reported why not.
    std::string writeByte(std::uint16_t port, std::uint8_t value);
    void reportFailedWrite(std::uint16_t port, std::uint16_t value, const std::string& why);

    System system_;
    std::map<std::filesystem::path, int> clients_; // open ppdev clients, by device
    bool directIoAnnounced_ = false;
    bool lpt1Announced_ = false;
};

} // namespace iodll
