// A serial relay module on a COM port: each relay is switched with a
// four-byte frame at 9600 baud, 8N1, no flow control.

#include "../Relays.h"
#include "Windows.h"

namespace iodll::windows {

namespace {

class SerialRelayModule final : public HandleRelayOutput {
public:
    SerialRelayModule(std::string port, int relays) : HandleRelayOutput(relays), port_(std::move(port)) {}

private:
    Status open() override
    {
        const std::string device = "\\\\.\\" + port_;
        handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            std::string line = "cannot open '" + port_ + "': " + systemMessage(error);
            if (error == ERROR_FILE_NOT_FOUND)
                line += " (is the relay module plugged in, and is " + port_ + " its port?)";
            else if (error == ERROR_ACCESS_DENIED)
                line += " (another program holds the port)";
            return Status::failed(line);
        }
        DCB line{};
        line.DCBlength = sizeof line;
        if (GetCommState(handle_, &line)) {
            line.BaudRate = CBR_9600;
            line.ByteSize = 8;
            line.Parity = NOPARITY;
            line.StopBits = ONESTOPBIT;
            line.fBinary = TRUE;
            line.fParity = FALSE;
            line.fOutxCtsFlow = line.fOutxDsrFlow = FALSE;
            line.fDtrControl = DTR_CONTROL_ENABLE;
            line.fRtsControl = RTS_CONTROL_ENABLE;
            line.fOutX = line.fInX = FALSE;
        }
        if (!SetCommState(handle_, &line)) {
            Status failed = Status::failed("cannot set 9600 baud on '" + port_ + "': " + systemMessage(GetLastError()));
            close();
            return failed;
        }
        return Status::ok();
    }

    Status switchRelay(int relay, bool on) override
    {
        const relays::Frame frame = relays::serialFrame(relay, on);
        DWORD written = 0;
        if (!WriteFile(handle_, frame.data(), DWORD(frame.size()), &written, nullptr) || written != frame.size())
            return Status::failed("cannot write to '" + port_ + "': " + systemMessage(GetLastError()));
        return Status::ok();
    }

    std::string port_;
};

} // namespace

std::unique_ptr<Output> serialRelayModule(const std::string& port, int relays)
{
    return std::make_unique<SerialRelayModule>(port, relays);
}

} // namespace iodll::windows
