// A HID relay board through Windows' own HID functions: each relay is
// switched with HidD_SetFeature.

#include "../Relays.h"
#include "Windows.h"

extern "C" {
#include <hidsdi.h>
}

namespace iodll::windows {

namespace {

class HidRelayBoard final : public RelayOutput {
public:
    HidRelayBoard(std::filesystem::path device, int relays) : RelayOutput(relays), device_(std::move(device)) {}
    ~HidRelayBoard() override { HidRelayBoard::close(); }

private:
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    // Shared both ways, so that other programs can still use the board.
    Status open() override
    {
        handle_ = CreateFileW(device_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return Status::failed("cannot open relay board '" + device_.string() + "': " + errorText(GetLastError()) +
                                  " (is the relay board plugged in?)");
        return Status::ok();
    }

    void close() override
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    Status switchRelay(int relay, bool on) override
    {
        relays::Report report = relays::switchReport(relay, on);
        if (!HidD_SetFeature(handle_, report.data(), ULONG(report.size())))
            return Status::failed("cannot switch relay " + std::to_string(relay) + " of '" + device_.string() +
                                  "': " + errorText(GetLastError()));
        return Status::ok();
    }

    std::filesystem::path device_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace

std::unique_ptr<Output> hidRelayBoard(const std::filesystem::path& device, int relays)
{
    return std::make_unique<HidRelayBoard>(device, relays);
}

} // namespace iodll::windows
