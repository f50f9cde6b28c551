// IO.DLL on Linux: ppdev ports, hidraw relay boards, serial modules on the
// tty layer, GPIO lines, and direct I/O where it is allowed.

#include "Discovery.h"
#include "Linux.h"

namespace iodll {

namespace {

class LinuxPlatform final : public Platform {
public:
    explicit LinuxPlatform(System system) : system_(std::move(system)) {}

    Inventory inventory(bool lpt1) override
    {
        if (!lpt1)
            return {findParallelPorts(system_), {}, system_.configFile};
        return {findParallelPorts(system_), findRelayBoards(system_, boardIds_), system_.configFile,
                findGpioChips(system_, chips_)};
    }

    std::optional<Setting> setting(std::vector<std::string>& problems) override
    {
        return lpt1Setting(system_.environment, system_.configFile, problems);
    }

    std::unique_ptr<Output> output(const Device& device) override
    {
        struct Make {
            System& system;
            std::unique_ptr<Output> operator()(const ParallelPort& port) const { return ppdevPort(system, port.path); }
            std::unique_ptr<Output> operator()(const RelayBoard& board) const
            {
                return hidRelayBoard(system, board.path, board.relays);
            }
            std::unique_ptr<Output> operator()(const SerialModule& module) const
            {
                return serialRelayModule(system, module.path, module.relays);
            }
            std::unique_ptr<Output> operator()(const GpioLines& lines) const { return gpioLines(system, lines); }
        };
        return std::visit(Make{system_}, device);
    }

    // Only where the system lists a port: elsewhere nothing answers at the
    // address, and a write there would be a failure reported as success.
    std::unique_ptr<Output> directPort(std::uint16_t port, std::string& note) override
    {
        const bool listed = systemListsParallelPort(system_, port);
        if (listed && system_.directIoAllowed(port, 1)) {
            note = "writing to port " + hex(port) + " directly: no /dev/parport* has it" +
                   " (load 'ppdev' to go through the kernel's driver)";
            return iodll::directPort(system_, port);
        }
        note = "no parallel port at " + hex(port) + ": no /dev/parport* has base " + std::to_string(port) +
               (listed ? " (is the 'ppdev' module loaded?)"
                       : ", and the system lists no parallel port at that address (is there one?)");
        return nullptr;
    }

    void report(const std::string& line) override { system_.report(line); }

private:
    System system_;
    KnownIds boardIds_;
    KnownChips chips_;
};

} // namespace

std::unique_ptr<Platform> systemPlatform()
{
    return linuxPlatform(linuxSystem());
}

std::unique_ptr<Platform> linuxPlatform(System system)
{
    return std::make_unique<LinuxPlatform>(std::move(system));
}

} // namespace iodll
