// A relay device on Linux: a device file opened through System.

#include "DeviceRelayOutput.h"

#include <cerrno>

namespace iodll {

DeviceRelayOutput::DeviceRelayOutput(System& system, std::filesystem::path device, int relays, const OpenHints& hints)
    : RelayOutput(relays),
      system_(system),
      device_(std::move(device)),
      hints_(hints)
{
}

DeviceRelayOutput::~DeviceRelayOutput()
{
    DeviceRelayOutput::close();
}

Status DeviceRelayOutput::open()
{
    if ((fd_ = system_.open(device_)) < 0)
        return Status::failed(describeOpenError(system_, errno, device_, hints_));
    Status ready = prepare();
    if (!ready)
        close();
    return ready;
}

void DeviceRelayOutput::close()
{
    if (fd_ >= 0)
        system_.close(fd_);
    fd_ = -1;
}

} // namespace iodll
