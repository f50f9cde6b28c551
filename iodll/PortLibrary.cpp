#include "PortLibrary.h"

#include "Relays.h"

namespace iodll {

PortLibrary::PortLibrary(System system) : system_(std::move(system)) {}

void PortLibrary::say(const std::string& line)
{
    system_.report(line);
}

void PortLibrary::sayOnce(bool& said, const std::string& line)
{
    if (!said)
        say(line);
    said = true;
}

Output& PortLibrary::output(const Device& device)
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
    };
    const std::string key = std::visit([](const auto& d) { return d.path.string(); }, device);
    auto& made = outputs_[key];
    if (!made)
        made = std::visit(Make{system_}, device);
    return *made;
}

PortLibrary::Target PortLibrary::target(std::uint16_t port)
{
    Inventory inventory{findParallelPorts(system_), {}, system_.configFile};
    std::optional<Setting> setting;
    if (isLpt1(port)) {
        inventory.boards = findRelayBoards(system_);
        setting = lpt1Setting(system_);
    }
    const Route found = route(inventory, setting, port);
    if (found.device) {
        const auto* parallel = std::get_if<ParallelPort>(&*found.device);
        if (isLpt1(port) && !(parallel && parallel->base == kLpt1)) {
            std::string line = "LPT1 (" + hex(kLpt1) + ") is " + describe(*found.device);
            if (const auto* board = std::get_if<RelayBoard>(&*found.device))
                line += ": " + relays::dataLines(board->relays);
            if (const auto* module = std::get_if<SerialModule>(&*found.device))
                line += ": " + relays::dataLines(module->relays);
            sayOnce(lpt1Said_, line);
        }
        return {&output(*found.device), found.offset, {}};
    }
    if (!found.refusal.empty())
        return {nullptr, 0, found.refusal};

    // No device there that the kernel drives. Written directly only where
    // the system lists a parallel port: elsewhere nothing answers at the
    // address, and a write there would be a failure reported as success.
    const bool listed = systemListsParallelPort(system_, port);
    if (listed && system_.directIoAllowed(port, 1)) {
        sayOnce(directSaid_, "writing to port " + hex(port) + " directly: no /dev/parport* has it" +
                                 " (load 'ppdev' to go through the kernel's driver)");
        auto& direct = outputs_["direct " + hex(port)];
        if (!direct)
            direct = directPort(system_, port);
        return {direct.get(), 0, {}};
    }
    return {nullptr, 0,
            "no parallel port at " + hex(port) + ": no /dev/parport* has base " + std::to_string(port) +
                (listed ? " (is the 'ppdev' module loaded?)"
                        : ", and the system lists no parallel port at that address (is there one?)")};
}

bool PortLibrary::canReach(std::uint16_t port)
{
    const Target found = target(port);
    if (!found.output) {
        say(found.refusal);
        return false;
    }
    const Status reached = found.output->reach();
    if (!reached)
        say(reached.why());
    return bool(reached);
}

Status PortLibrary::writeByte(std::uint16_t port, std::uint8_t value)
{
    const Target found = target(port);
    if (!found.output)
        return Status::failed(found.refusal);
    return found.output->write(found.offset, value);
}

void PortLibrary::out(std::uint16_t port, std::uint8_t value)
{
    if (Status written = writeByte(port, value); !written)
        say("cannot write " + hex(value) + " to port " + hex(port) + ": " + written.why());
}

void PortLibrary::wordOut(std::uint16_t port, std::uint16_t value)
{
    // One write, so at most one line about it, whichever byte missed.
    const auto high = static_cast<std::uint16_t>(port + 1);
    Status written = writeByte(port, static_cast<std::uint8_t>(value & 0xFF));
    if (!written)
        say("cannot write " + hex(value) + " to port " + hex(port) + ": " + written.why());
    else if (written = writeByte(high, static_cast<std::uint8_t>(value >> 8)); !written)
        say("cannot write " + hex(value) + " to port " + hex(high) + ": " + written.why());
}

} // namespace iodll
