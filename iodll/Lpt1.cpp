#include "Lpt1.h"

#include "Relays.h"

#include <algorithm>

namespace iodll {

namespace {

template <typename T>
std::string listed(const std::vector<T>& devices)
{
    std::string list;
    for (const T& device : devices)
        list += (list.empty() ? "" : ", ") + describe(Device(device));
    return list;
}

std::string howToChoose(const Inventory& inventory, const std::string& example)
{
    return " (choose one for LPT1 with a line LPT1=" + example + " in " + inventory.configFile +
           ", or with VENTROLIK_LPT1=" + example + ")";
}

// A Windows serial port: COM1, com12.
bool isComPort(const std::string& device)
{
    return device.size() > 3 && (device[0] | 0x20) == 'c' && (device[1] | 0x20) == 'o' && (device[2] | 0x20) == 'm' &&
           std::all_of(device.begin() + 3, device.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Route chosen(const Inventory& inventory, const Setting& setting)
{
    const std::string where = "LPT1 is set to '" + shown(setting.device) + "' in " + setting.source;
    if (!setting.error.empty())
        return {.refusal = setting.error};
    // A GPIO line can be wired to anything: used only when named.
    if (!setting.lines.empty())
        return chosenChip(inventory, setting);
    const std::string file = fileName(setting.device);
    if (file.starts_with("parport")) {
        auto port = std::ranges::find(inventory.ports, setting.device, &ParallelPort::path);
        if (port == inventory.ports.end())
            return {.refusal =
                        where + ", but there is no such parallel port (" +
                        (inventory.ports.empty() ? "there are none" : "the ports are " + listed(inventory.ports)) +
                        ")"};
        return {.device = *port};
    }
    auto board = std::ranges::find_if(inventory.boards, [&](const RelayBoard& b) {
        return b.path == setting.device || (!b.id.empty() && b.id == setting.device);
    });
    if (board != inventory.boards.end())
        return {.device = *board};
    if (file.starts_with("hidraw") || !(setting.device.starts_with('/') || isComPort(setting.device)))
        return {.refusal =
                    where + ", but there is no such relay board (" +
                    (inventory.boards.empty() ? "there are none" : "the boards are " + listed(inventory.boards)) + ")"};
    // Any other device is a serial relay module: a serial port can be
    // anything, so it is used only when it is named.
    return {.device = SerialModule{setting.device, setting.relays}};
}

} // namespace

Route route(const Inventory& inventory, const std::optional<Setting>& setting, std::uint16_t port)
{
    const auto& ports = inventory.ports;
    auto covering =
        std::ranges::find_if(ports, [&](const ParallelPort& p) { return port >= p.base && port <= p.base + kControl; });
    if (covering != ports.end() && (!isLpt1(port) || covering->base == kLpt1))
        return {.device = *covering, .offset = port - covering->base};
    if (!isLpt1(port))
        return {};

    Route lpt1;
    if (setting)
        lpt1 = chosen(inventory, *setting);
    else if (ports.size() == 1)
        lpt1.device = ports.front();
    else if (ports.size() > 1)
        lpt1.refusal = "no parallel port at " + hex(kLpt1) + ", and more than one elsewhere: " + listed(ports) +
                       howToChoose(inventory, "/dev/parportN");
    else if (inventory.boards.size() == 1)
        lpt1.device = inventory.boards.front();
    else if (inventory.boards.size() > 1)
        lpt1.refusal = "no parallel port at " + hex(kLpt1) +
                       ", and more than one relay board: " + listed(inventory.boards) + howToChoose(inventory, "ID");
    if (lpt1.device)
        lpt1.offset = port - kLpt1;
    return lpt1;
}

std::string describe(const Device& device)
{
    struct Describe {
        std::string operator()(const ParallelPort& port) const { return port.path + " at " + hex(port.base); }
        std::string operator()(const RelayBoard& board) const
        {
            return "relay board " + board.name + (board.id.empty() ? "" : " '" + board.id + "'") +
                   (board.pathShown ? " on " + board.path : "");
        }
        std::string operator()(const SerialModule& module) const { return "the serial relay module on " + module.path; }
        std::string operator()(const GpioLines& gpio) const
        {
            std::string lines;
            for (const std::string& line : gpio.lines)
                lines += (lines.empty() ? "" : ", ") + shown(line);
            return (gpio.lines.size() == 1 ? "GPIO line " : "GPIO lines ") + lines + " of " + shown(gpio.chip) +
                   (gpio.activeLow ? ", active-low" : "");
        }
    };
    return std::visit(Describe{}, device);
}

} // namespace iodll
