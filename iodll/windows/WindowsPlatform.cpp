// IO.DLL on Windows: HID relay boards through the HID functions every
// Windows has, and serial relay modules on COM ports. A parallel port is out
// of its reach: Windows lets a program reach one only through a kernel
// driver.

#include "../PortLibrary.h"
#include "../Relays.h"
#include "Windows.h"

extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

#include <cstdlib>
#include <vector>

namespace iodll {

namespace windows {

namespace {

// The board behind one HID device interface, if it is a relay board.
std::optional<RelayBoard> relayBoard(const wchar_t* path)
{
    // Attributes and strings can be read without access to the device.
    HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    const bool readable = handle != INVALID_HANDLE_VALUE;
    if (!readable)
        handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<RelayBoard> board;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    wchar_t product[128] = {};
    if (HidD_GetAttributes(handle, &attributes) && attributes.VendorID == relays::kVendor &&
        attributes.ProductID == relays::kProduct && HidD_GetProductString(handle, product, sizeof product)) {
        const std::string name = narrow(product);
        if (auto count = relays::relayCount(name)) {
            // A device-interface path means nothing to the user: the board
            // is named by its product and ID alone.
            board = RelayBoard{narrow(path), std::string(relays::productName(name)), {}, *count, false};
            relays::Report answer{};
            if (readable && HidD_GetFeature(handle, answer.data(), ULONG(answer.size())))
                board->id = relays::boardId(answer);
        }
    }
    CloseHandle(handle);
    return board;
}

std::vector<RelayBoard> findRelayBoards()
{
    std::vector<RelayBoard> boards;
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return boards;
    SP_DEVICE_INTERFACE_DATA interface {
    };
    interface.cbSize = sizeof interface;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &interface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &interface, nullptr, 0, &size, nullptr);
        std::vector<unsigned char> buffer(size + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailW(set, &interface, detail, size, nullptr, nullptr))
            if (auto board = relayBoard(detail->DevicePath))
                boards.push_back(std::move(*board));
    }
    SetupDiDestroyDeviceInfoList(set);
    return boards;
}

class WindowsPlatform final : public Platform {
public:
    Inventory inventory(bool lpt1) override
    {
        return {{}, lpt1 ? findRelayBoards() : std::vector<RelayBoard>{}, configFile()};
    }

    std::optional<Setting> setting(std::vector<std::string>& problems) override
    {
        return lpt1Setting(
            [](const char* name) -> std::optional<std::string> {
                const char* value = std::getenv(name);
                return value ? std::optional<std::string>(value) : std::nullopt;
            },
            configFile(), problems);
    }

    std::unique_ptr<Output> output(const Device& device) override
    {
        if (const auto* module = std::get_if<SerialModule>(&device))
            return serialRelayModule(module->path, module->relays);
        if (const auto* board = std::get_if<RelayBoard>(&device))
            return hidRelayBoard(board->path, board->relays, describe(device));
        return nullptr; // no parallel ports are listed here
    }

    std::unique_ptr<Output> directPort(std::uint16_t port, std::string& note) override
    {
        note = "no relay board or serial relay module at " + hex(port) +
               ", and this IO.DLL can't reach a parallel port: Windows lets a program reach one only through a "
               "kernel driver (to use a parallel port, use the port library that comes with a port driver instead)";
        return nullptr;
    }

    // To standard error where there is one, and to the debugger always.
    void report(const std::string& line) override
    {
        const std::string text = "IO.DLL: " + line + "\r\n";
        OutputDebugStringA(text.c_str());
        HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN)
            WriteFile(error, text.data(), DWORD(text.size()), &written, nullptr);
    }

private:
    // %ProgramData%\Ventrolik\ventrolik.conf, for every user.
    static std::string configFile()
    {
        const wchar_t* data = _wgetenv(L"ProgramData");
        return (data ? narrow(data) : "C:\\ProgramData") + "\\Ventrolik\\ventrolik.conf";
    }
};

} // namespace

} // namespace windows

// No GPIO chips are listed here.
Route chosenChip(const Inventory&, const Setting& setting)
{
    return {.refusal = "LPT1 is set to GPIO lines in " + setting.source +
                       ", which this IO.DLL reaches on Linux only (on Windows, use a relay board or module)"};
}

std::unique_ptr<Platform> systemPlatform()
{
    return std::make_unique<windows::WindowsPlatform>();
}

} // namespace iodll
