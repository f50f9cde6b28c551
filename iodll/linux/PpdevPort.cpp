// A parallel port through the kernel's ppdev driver (/dev/parportN).

#include "../Lpt1.h"
#include "Discovery.h"
#include "Linux.h"

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace iodll {

std::string describeOpenError(const System& system, int error, const std::filesystem::path& device)
{
    static constexpr OpenHints kHints{"lp", "load the 'ppdev' module: modprobe ppdev", "another driver holds the port", nullptr};
    return describeOpenError(system, error, device, kHints);
}

std::string describeClaimError(int error, const std::filesystem::path& device)
{
    std::string line = deviceError("claim", error, device);
    // ppdev can't register a second device on a port that another program
    // registered for exclusive use, and says so with ENXIO.
    if (error == ENXIO)
        return line + " (another program has exclusive use of the port; close it first)";
    return line;
}

namespace {

class PpdevPort final : public Output {
public:
    PpdevPort(System& system, std::filesystem::path device) : system_(system), device_(std::move(device)) {}

    ~PpdevPort() override
    {
        if (fd_ >= 0)
            system_.close(fd_);
    }

    Status reach() override
    {
        Status claimed = claim();
        if (claimed)
            release();
        return claimed;
    }

    Status write(int offset, std::uint8_t value) override
    {
        // The status register is read-only: a byte for it goes nowhere.
        if (offset == kStatus)
            return Status::ok();
        if (Status claimed = claim(); !claimed)
            return claimed;
        unsigned char byte = value;
        const int failed = system_.ioctl(fd_, offset == kData ? PPWDATA : PPWCONTROL, &byte);
        const int error = errno;
        release();
        return failed ? Status::failed(deviceError("write to", error, device_)) : Status::ok();
    }

private:
    Status claim()
    {
        // Claiming a port that another driver holds would block until that
        // driver lets go, and freeze the window with it, so a held port is
        // refused at once. The port can still be taken in the moment between
        // the look and the claim; the claim then waits for that one job.
        const auto active = system_.parportDir / device_.filename() / "devices" / "active";
        if (std::string holder = trimmed(readText(active).value_or("none")); holder != "none" && !holder.empty())
            return Status::failed("cannot use '" + device_.string() + "': '" + holder +
                                  "' holds the port (another driver holds the port)");
        // One client for the whole run: at each claim the kernel restores the
        // claiming client's own register state, so a fresh client would
        // reset the control lines that an earlier write had set.
        if (fd_ < 0 && (fd_ = system_.open(device_)) < 0)
            return Status::failed(describeOpenError(system_, errno, device_));
        if (system_.ioctl(fd_, PPCLAIM, nullptr) != 0)
            return Status::failed(describeClaimError(errno, device_));
        return Status::ok();
    }

    // Never left claimed between writes: other programs and the printer
    // driver may use the port in between.
    void release() { system_.ioctl(fd_, PPRELEASE, nullptr); }

    System& system_;
    std::filesystem::path device_;
    int fd_ = -1;
};

} // namespace

std::unique_ptr<Output> ppdevPort(System& system, const std::filesystem::path& device)
{
    return std::make_unique<PpdevPort>(system, device);
}

} // namespace iodll
