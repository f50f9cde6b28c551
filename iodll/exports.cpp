// The exports of IO.DLL, and the real system behind them.

#include "ParallelPort.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace iodll {

System linuxSystem()
{
    System system;
    system.open = [](const std::filesystem::path& device) { return ::open(device.c_str(), O_RDWR | O_CLOEXEC); };
    system.ioctl = [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); };
    system.close = [](int fd) { ::close(fd); };
#if defined(__i386__) || defined(__x86_64__)
    // ioperm succeeds only for a process that already has CAP_SYS_RAWIO; the
    // library never asks for more rights than it was started with.
    system.directIoAllowed = [](std::uint16_t first, int count) { return ioperm(first, count, 1) == 0; };
    system.outb = [](std::uint16_t port, std::uint8_t value) { ::outb(value, port); };
#else
    system.directIoAllowed = [](std::uint16_t, int) { return false; };
    system.outb = [](std::uint16_t, std::uint8_t) {};
#endif
    system.environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    system.report = [](const std::string& line) { std::fprintf(stderr, "IO.DLL: %s\n", line.c_str()); };
    return system;
}

namespace {

ParallelPorts& ports()
{
    static ParallelPorts instance(linuxSystem());
    return instance;
}

} // namespace

} // namespace iodll

#define IODLL_EXPORT extern "C" __attribute__((visibility("default")))

IODLL_EXPORT int IsDriverInstalled(void)
{
    return iodll::ports().canReach(iodll::kLpt1) ? 1 : 0;
}

IODLL_EXPORT void PortOut(short port, char value)
{
    iodll::ports().out(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(value));
}

IODLL_EXPORT void PortWordOut(short port, short value)
{
    iodll::ports().wordOut(static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(value));
}
