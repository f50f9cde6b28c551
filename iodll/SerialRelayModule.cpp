// A serial relay module (a CH340 chip, /dev/ttyUSBn): each relay is switched
// with a four-byte frame at 9600 baud. The module answers nothing.

#include "Lpt1.h"
#include "Output.h"
#include "Relays.h"

#include <cerrno>

namespace iodll {

namespace {

std::string describeSerialOpenError(int error, const std::filesystem::path& device)
{
    std::string line = deviceError("open", error, device);
    switch (error) {
    case EACCES:
    case EPERM:
        return line + " (add your user to the 'dialout' group, then log in again)";
    case EBUSY:
        return line + " (another program holds the port; on some desktops 'brltty' takes CH340 ports: "
                      "sudo apt-get remove brltty)";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return line + " (is the relay module plugged in?)";
    default:
        return line;
    }
}

class SerialRelayModule final : public Output {
public:
    SerialRelayModule(System& system, std::filesystem::path device, int relays)
        : system_(system),
          device_(std::move(device)),
          relays_(relays)
    {
    }

    ~SerialRelayModule() override { forget(); }

    Status reach() override { return open(); }

    Status write(int offset, std::uint8_t value) override
    {
        if (offset != kData)
            return Status::ok();
        if (Status opened = open(); !opened)
            return opened;
        for (int relay = 1; relay <= relays_; ++relay) {
            const relays::Frame frame = relays::serialFrame(relay, relays::relayOn(value, relay));
            if (system_.write(fd_, frame.data(), frame.size()) != long(frame.size())) {
                Status failed = Status::failed(deviceError("write to", errno, device_));
                forget();
                return failed;
            }
        }
        return Status::ok();
    }

private:
    Status open()
    {
        if (fd_ >= 0)
            return Status::ok();
        if ((fd_ = system_.open(device_)) < 0)
            return Status::failed(describeSerialOpenError(errno, device_));
        if (system_.setSerial9600(fd_) != 0) {
            Status failed = Status::failed(deviceError("set 9600 baud on", errno, device_));
            forget();
            return failed;
        }
        return Status::ok();
    }

    void forget()
    {
        if (fd_ >= 0)
            system_.close(fd_);
        fd_ = -1;
    }

    System& system_;
    std::filesystem::path device_;
    int relays_;
    int fd_ = -1;
};

} // namespace

std::unique_ptr<Output> serialRelayModule(System& system, const std::filesystem::path& device, int relays)
{
    return std::make_unique<SerialRelayModule>(system, device, relays);
}

} // namespace iodll
