// A serial relay module (a CH340 chip, /dev/ttyUSBn): each relay is switched
// with a four-byte frame at 9600 baud. The module answers nothing.

#include "../Relays.h"
#include "DeviceRelayOutput.h"

#include <cerrno>

namespace iodll {

namespace {

constexpr OpenHints kHints{"dialout", "is the relay module plugged in?", nullptr,
                           "another program holds the port; on some desktops 'brltty' takes CH340 ports: "
                           "sudo apt-get remove brltty"};

class SerialRelayModule final : public DeviceRelayOutput {
public:
    SerialRelayModule(System& system, const std::filesystem::path& device, int relays)
        : DeviceRelayOutput(system, device, relays, kHints)
    {
    }

private:
    Status prepare() override
    {
        if (system_.setSerial9600(fd_) != 0)
            return Status::failed(deviceError("set 9600 baud on", errno, device_));
        return Status::ok();
    }

    Status switchRelay(int relay, bool on) override
    {
        const relays::Frame frame = relays::serialFrame(relay, on);
        if (system_.write(fd_, frame.data(), frame.size()) != long(frame.size()))
            return Status::failed(deviceError("write to", errno, device_));
        return Status::ok();
    }
};

} // namespace

std::unique_ptr<Output> serialRelayModule(System& system, const std::filesystem::path& device, int relays)
{
    return std::make_unique<SerialRelayModule>(system, device, relays);
}

} // namespace iodll
