#pragma once

// What IO.DLL's Linux parts share: the outputs, and messages for errno.

#include "../Output.h"
#include "../PortLibrary.h"
#include "System.h"

#include <filesystem>
#include <memory>
#include <string>

namespace iodll {

// The Linux platform over `system`; systemPlatform() over the real one.
std::unique_ptr<Platform> linuxPlatform(System system);

std::unique_ptr<Output> ppdevPort(System& system, const std::filesystem::path& device);
std::unique_ptr<Output> directPort(System& system, std::uint16_t base);
std::unique_ptr<Output> hidRelayBoard(System& system, const std::filesystem::path& device, int relays);
std::unique_ptr<Output> serialRelayModule(System& system, const std::filesystem::path& device, int relays);
std::unique_ptr<Output> gpioLines(System& system, const GpioLines& lines);

// "cannot open '/dev/x': Permission denied".
std::string deviceError(const std::string& action, int error, const std::filesystem::path& device);

// The fixes to name when a kind of device can't be opened.
struct OpenHints {
    const char* group;   // that such devices belong to, for EACCES and EPERM
    const char* missing; // ENOENT, ENODEV, ENXIO
    const char* busy;    // EBUSY
    const char* rule;    // how the group gets them, if not by the package's udev rule
};

// The package's rule gives lp the chips of USB bridges; a board's own chip
// is given by a rule the user enables.
inline constexpr OpenHints kGpioHints{
    "lp", "is the GPIO bridge plugged in?", nullptr,
    "as the package's udev rule gives a USB bridge's chip, and its rule for a Raspberry Pi's header once linked into "
    "/etc/udev/rules.d: /usr/share/ventrolik/61-ventrolik-raspberry-pi.rules"};

// The system service this process runs in ("ventrolik-thermostat.service"),
// from its control group; empty outside one.
std::string serviceUnit(const System& system);

// What to tell the user when `device` can't be opened, with a hint at the
// fix: for a refusal, who may open the device, and what the user, or the
// systemd service the library runs in, would change.
std::string describeOpenError(const System& system, int error, const std::filesystem::path& device,
                              const OpenHints& hints);

// The same for a ppdev device, and when one can't be claimed.
std::string describeOpenError(const System& system, int error, const std::filesystem::path& device);
std::string describeClaimError(int error, const std::filesystem::path& device);

} // namespace iodll
