// A HID relay board through Windows' own HID functions: each relay is
// switched with HidD_SetFeature.

#include "../Relays.h"
#include "Windows.h"

extern "C" {
#include <hidsdi.h>
}

namespace iodll::windows {

namespace {

class HidRelayBoard final : public HandleRelayOutput {
public:
    HidRelayBoard(std::string device, int relays, std::string name)
        : HandleRelayOutput(relays),
          device_(std::move(device)),
          name_(std::move(name))
    {
    }

private:
    // Shared both ways, so that other programs can still use the board.
    Status open() override
    {
        handle_ = CreateFileW(widen(device_).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return Status::failed("cannot open " + name_ + ": " + systemMessage(GetLastError()) +
                                  " (is the relay board plugged in?)");
        return Status::ok();
    }

    Status switchRelay(int relay, bool on) override
    {
        relays::Report report = relays::switchReport(relay, on);
        if (!HidD_SetFeature(handle_, report.data(), ULONG(report.size())))
            return Status::failed("cannot switch relay " + std::to_string(relay) + " of " + name_ + ": " +
                                  systemMessage(GetLastError()));
        return Status::ok();
    }

    std::string device_;
    std::string name_; // as the user knows it: "relay board USBRelay2 'ABCDE'"
};

} // namespace

std::unique_ptr<Output> hidRelayBoard(const std::string& device, int relays, const std::string& name)
{
    return std::make_unique<HidRelayBoard>(device, relays, name);
}

} // namespace iodll::windows
