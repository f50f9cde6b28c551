// A HID relay board through the kernel's hidraw driver (/dev/hidrawN):
// each relay is switched with a feature report.

#include "../Relays.h"
#include "DeviceRelayOutput.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace iodll {

namespace {

constexpr OpenHints kHints{"lp", "is the relay board plugged in?", nullptr, nullptr};

class HidRelayBoard final : public DeviceRelayOutput {
public:
    HidRelayBoard(System& system, const std::filesystem::path& device, int relays)
        : DeviceRelayOutput(system, device, relays, kHints)
    {
    }

private:
    Status switchRelay(int relay, bool on) override
    {
        relays::Report report = relays::switchReport(relay, on);
        if (system_.ioctl(fd_, HIDIOCSFEATURE(report.size()), report.data()) < 0)
            return Status::failed(deviceError("switch relay " + std::to_string(relay) + " of", errno, device_));
        return Status::ok();
    }
};

} // namespace

std::unique_ptr<Output> hidRelayBoard(System& system, const std::filesystem::path& device, int relays)
{
    return std::make_unique<HidRelayBoard>(system, device, relays);
}

} // namespace iodll
