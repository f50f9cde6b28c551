// A HID relay board through the kernel's hidraw driver (/dev/hidrawN):
// each relay is switched with a feature report.

#include "Lpt1.h"
#include "Output.h"
#include "Relays.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace iodll {

namespace {

std::string describeBoardOpenError(int error, const std::filesystem::path& device)
{
    std::string line = deviceError("open", error, device);
    switch (error) {
    case EACCES:
    case EPERM:
        return line + " (add your user to the 'lp' group, then log in again)";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return line + " (is the relay board plugged in?)";
    default:
        return line;
    }
}

class HidRelayBoard final : public Output {
public:
    HidRelayBoard(System& system, std::filesystem::path device, int relays)
        : system_(system),
          device_(std::move(device)),
          relays_(relays)
    {
    }

    ~HidRelayBoard() override { forget(); }

    Status reach() override { return open(); }

    // Every relay takes its bit of the data register. Only the data lines
    // are relays: a byte for the status or control register goes nowhere.
    Status write(int offset, std::uint8_t value) override
    {
        if (offset != kData)
            return Status::ok();
        if (Status opened = open(); !opened)
            return opened;
        for (int relay = 1; relay <= relays_; ++relay) {
            relays::Report report = relays::switchReport(relay, relays::relayOn(value, relay));
            if (system_.ioctl(fd_, HIDIOCSFEATURE(report.size()), report.data()) < 0) {
                Status failed =
                    Status::failed(deviceError("switch relay " + std::to_string(relay) + " of", errno, device_));
                forget(); // it may have been unplugged: open it afresh next time
                return failed;
            }
        }
        return Status::ok();
    }

private:
    Status open()
    {
        if (fd_ < 0 && (fd_ = system_.open(device_)) < 0)
            return Status::failed(describeBoardOpenError(errno, device_));
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

std::unique_ptr<Output> hidRelayBoard(System& system, const std::filesystem::path& device, int relays)
{
    return std::make_unique<HidRelayBoard>(system, device, relays);
}

} // namespace iodll
