#pragma once

#include "Linux.h"
#include "System.h"

namespace iodll {

// A relay device reached through a file descriptor of System.
class DeviceRelayOutput : public RelayOutput {
protected:
    DeviceRelayOutput(System& system, std::filesystem::path device, int relays, const OpenHints& hints);
    ~DeviceRelayOutput() override;
    // Readies the device just opened as fd_.
    virtual Status prepare() { return Status::ok(); }

    System& system_;
    const std::filesystem::path device_;
    int fd_ = -1;

private:
    bool isOpen() const override { return fd_ >= 0; }
    Status open() override;
    void close() override;

    const OpenHints& hints_;
};

} // namespace iodll
