// The real system behind IO.DLL.

#include "System.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace iodll {

System linuxSystem()
{
    System system;
    system.open = [](const std::filesystem::path& device) {
        return ::open(device.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    };
    system.ioctl = [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); };
    system.write = [](int fd, const void* data, std::size_t size) { return long(::write(fd, data, size)); };
    system.setSerial9600 = [](int fd) {
        termios line{};
        if (tcgetattr(fd, &line) != 0)
            return -1;
        cfmakeraw(&line);
        line.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
        line.c_cflag |= CS8 | CLOCAL | CREAD;
        line.c_iflag &= ~(IXON | IXOFF | IXANY);
        cfsetispeed(&line, B9600);
        cfsetospeed(&line, B9600);
        return tcsetattr(fd, TCSANOW, &line);
    };
    system.close = [](int fd) { ::close(fd); };
    system.access = [](const std::filesystem::path& device) -> std::optional<Access> {
        struct stat status;
        if (::stat(device.c_str(), &status) != 0)
            return std::nullopt;
        const passwd* owner = getpwuid(status.st_uid);
        const group* group = getgrgid(status.st_gid);
        return Access{owner ? owner->pw_name : std::to_string(status.st_uid),
                      group ? group->gr_name : std::to_string(status.st_gid), unsigned(status.st_mode & 07777)};
    };
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
    system.holdLines = holdGpioLines;
    system.letGoLine = letGoGpioLine;
    // The line in one write, so that another program writing to the same
    // terminal can't cut into it: glibc from 2.37 on writes a printf to
    // unbuffered stderr 128 bytes at a time.
    system.report = [](const std::string& line) {
        const std::string text = "IO.DLL: " + line + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
    };
    return system;
}

} // namespace iodll
