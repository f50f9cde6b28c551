// The holder: a small process that keeps GPIO lines as they were set once
// the program that set them has exited, as a parallel port's latch keeps
// its data lines. Some chips (a Raspberry Pi's header) turn a released line
// back into an input, so without it a one-shot 'ventrolik on' would leave
// the fan undriven.
//
// The holder owns nothing but the lines' request and a listening socket for
// each line, in the abstract namespace, named after the chip's device and
// the line. The next program that wants one of the lines connects; if it
// may use the chip, the holder lets the lines go and closes the connection,
// and that program takes them.

#include "System.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace iodll {

namespace {

constexpr int kMostLines = 64;

// "\0ventrolik/gpio/dev/gpiochip0/17": the chip as the kernel names it
// now, whatever link the setting named it by.
sockaddr_un holderAddress(const std::filesystem::path& chip, std::uint32_t offset, socklen_t& size)
{
    std::error_code error;
    auto device = std::filesystem::canonical(chip, error);
    const std::string name = "ventrolik/gpio" + (error ? chip : device).string() + "/" + std::to_string(offset);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
    return address;
}

// Whether the process on the other end may drive the chip itself: root,
// the holder's own user, or a member of the chip's group.
bool mayTake(int connection, gid_t chipGroup)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    if (peer.uid == 0 || peer.uid == getuid() || peer.gid == chipGroup)
        return true;
    gid_t groups[256];
    size = sizeof groups;
    if (getsockopt(connection, SOL_SOCKET, SO_PEERGROUPS, groups, &size) != 0)
        return false;
    return std::find(groups, groups + size / sizeof(gid_t), chipGroup) != groups + size / sizeof(gid_t);
}

// The holder itself, in a child of a process that may have had threads:
// system calls only from here on.
[[noreturn]] void hold(int lines, const int* sockets, int count, gid_t chipGroup)
{
    setsid();
    prctl(PR_SET_NAME, "ventrolik-hold");
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    if (chdir("/") != 0)
        _exit(1);
    // Where the program had closed its standard input, the lines may have
    // its number.
    if (lines < 3)
        lines = fcntl(lines, F_DUPFD_CLOEXEC, 3);
    // Nothing of the program's but the lines: a script that reads the
    // program's output must see its end.
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        dup2(null, fd);
    int kept[kMostLines + 1];
    std::copy(sockets, sockets + count, kept);
    kept[count] = lines;
    std::sort(kept, kept + count + 1);
    unsigned from = 3;
    for (int i = 0; i <= count; ++i) {
        if (unsigned(kept[i]) > from)
            close_range(from, unsigned(kept[i]) - 1, 0);
        from = unsigned(kept[i]) + 1;
    }
    close_range(from, ~0U, 0);

    pollfd waiting[kMostLines];
    for (int i = 0; i < count; ++i)
        waiting[i] = {sockets[i], POLLIN, 0};
    for (;;) {
        if (poll(waiting, nfds_t(count), -1) < 0)
            continue;
        for (int i = 0; i < count; ++i) {
            if (!(waiting[i].revents & POLLIN))
                continue;
            const int connection = accept4(sockets[i], nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            if (mayTake(connection, chipGroup)) {
                // The lines, and the names, are free before the asker hears
                // back: it holds them next.
                for (int j = 0; j < count; ++j)
                    close(sockets[j]);
                close(lines);
                close(connection);
                _exit(0);
            }
            close(connection);
        }
    }
}

} // namespace

void holdGpioLines(int lines, const std::filesystem::path& chip, const std::vector<std::uint32_t>& offsets)
{
    struct stat status;
    if (offsets.empty() || offsets.size() > kMostLines || ::stat(chip.c_str(), &status) != 0)
        return;
    int sockets[kMostLines];
    int count = 0;
    for (std::uint32_t offset : offsets) {
        socklen_t size;
        const sockaddr_un address = holderAddress(chip, offset, size);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && fd < 3) { // clear of the holder's standard descriptors
            const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
            close(fd);
            fd = moved;
        }
        if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 && listen(fd, 4) == 0)
            sockets[count++] = fd;
        else if (fd >= 0)
            close(fd);
    }
    // Lines that no one could ask for back are not held.
    if (count == int(offsets.size())) {
        // Twice, so that the holder is no child of this process's.
        const pid_t child = fork();
        if (child == 0) {
            if (fork() == 0)
                hold(lines, sockets, count, status.st_gid);
            _exit(0);
        }
        if (child > 0)
            waitpid(child, nullptr, 0);
    }
    for (int i = 0; i < count; ++i)
        close(sockets[i]);
}

bool letGoGpioLine(const std::filesystem::path& chip, std::uint32_t offset)
{
    socklen_t size;
    const sockaddr_un address = holderAddress(chip, offset, size);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool released = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
        // The holder closes the connection once it has let go, or at once
        // when it won't; either way the line's state then tells.
        pollfd answer{fd, POLLIN, 0};
        char byte;
        released = poll(&answer, 1, 5000) == 1 && read(fd, &byte, 1) == 0;
    }
    close(fd);
    return released;
}

} // namespace iodll
