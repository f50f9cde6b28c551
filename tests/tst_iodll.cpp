// IO.DLL's port logic against a made-up /proc and /sys, and a recording
// stand-in for the ppdev and hidraw ioctls and the serial line.

#include "Lpt1.h"
#include "PortLibrary.h"
#include "Relays.h"
#include "linux/Discovery.h"
#include "linux/Linux.h"

#include <QTemporaryFile>
#include <QtTest>

#include <linux/gpio.h>
#include <linux/hidraw.h>
#include <linux/ppdev.h>
#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using iodll::PortLibrary;

namespace {

// A machine with parallel ports as the tests describe them.
struct Machine {
    QTemporaryDir proc;
    QStringList calls;   // what the library did, in order
    QStringList reports; // what it told the user
    int openError = 0;
    int claimError = 0;
    bool throwing = false; // the environment throws, as when memory runs out
    bool directIo = false;
    std::map<std::string, std::string> environment;

    void configure(const std::string& text) { std::ofstream(configFile()) << text; }
    fs::path configFile() const { return fs::path(proc.path().toStdString()) / "ventrolik.conf"; }

    // The port as the firmware lists it, or as the kernel's port map does.
    void listPort(const std::string& how)
    {
        const fs::path root = proc.path().toStdString();
        if (how == "pnp") {
            fs::create_directories(root / "pnp" / "00:05");
            std::ofstream(root / "pnp" / "00:05" / "id") << "PNP0400\n";
            std::ofstream(root / "pnp" / "00:05" / "resources") << "state = active\nio 0x378-0x37f\nirq 7\n";
        } else if (how == "ioports") {
            std::ofstream(root / "ioports") << "0000-0cf7 : PCI Bus 0000:00\n  0378-037a : parport0\n";
        } else if (how == "elsewhere") {
            fs::create_directories(root / "pnp" / "00:05");
            std::ofstream(root / "pnp" / "00:05" / "id") << "PNP0401\n";
            std::ofstream(root / "pnp" / "00:05" / "resources") << "state = active\nio 0x278-0x27f\n";
            std::ofstream(root / "ioports") << "  0378-037a : serial\n";
        }
    }

    void addPort(int number, const std::string& baseAddr, const std::string& active = "none\n")
    {
        const fs::path dir = fs::path(proc.path().toStdString()) / ("parport" + std::to_string(number));
        fs::create_directories(dir / "devices");
        std::ofstream(dir / "base-addr") << baseAddr;
        std::ofstream(dir / "devices" / "active") << active;
    }

    // A HID relay board as sysfs describes it, with its ID.
    void addBoard(int number, const std::string& name, const std::string& id)
    {
        const fs::path dir = fs::path(proc.path().toStdString()) / "hidraw" / ("hidraw" + std::to_string(number));
        fs::create_directories(dir / "device");
        std::ofstream(dir / "device" / "uevent") << "HID_ID=0003:000016C0:000005DF\nHID_NAME=" << name << "\n";
        boardIds["/dev/hidraw" + std::to_string(number)] = id;
    }
    std::map<std::string, std::string> boardIds;
    std::map<int, std::string> opened; // descriptor -> device
    int featureError = 0;

    // GPIO chips as the kernel's GPIO bus lists them: a label, and a name or
    // "" per line, "*" ending one held by another program, "+" one that our
    // holder keeps, and lets go of with all the others; on a USB device
    // ("1-2", with a serial number "1-2 A1") or not.
    void addGpioChip(int number, const std::string& label, const QStringList& lines, const QString& usb = {})
    {
        const fs::path root = proc.path().toStdString();
        const std::string name = "gpiochip" + std::to_string(number);
        fs::create_directories(root / "gpio");
        if (usb.isEmpty()) {
            fs::create_directories(root / "gpio" / name);
        } else {
            const QStringList words = usb.split(' ');
            const fs::path device = root / "devices" / "usb1" / words[0].toStdString();
            fs::create_directories(device / (words[0].toStdString() + ":1.0") / name);
            std::ofstream(device / "busnum") << "1\n";
            if (words.size() > 1)
                std::ofstream(device / "serial") << words[1].toStdString() << "\n";
            fs::create_directory_symlink(device / (words[0].toStdString() + ":1.0") / name, root / "gpio" / name);
        }
        gpioChips["/dev/" + name] = {label, lines};
    }
    std::map<std::string, std::pair<std::string, QStringList>> gpioChips;
    int requestError = 0;
    bool holderLetsGo = true;
    bool heldLinesFree = false;
    int setError = 0;

    int gpioIoctl(int fd, unsigned long request, void* argument)
    {
        const auto& [label, lines] = gpioChips[opened[fd]];
        if (request == GPIO_GET_CHIPINFO_IOCTL) {
            auto* info = static_cast<gpiochip_info*>(argument);
            std::strncpy(info->label, label.c_str(), sizeof info->label - 1);
            info->lines = std::uint32_t(lines.size());
        } else if (request == GPIO_V2_GET_LINEINFO_IOCTL) {
            auto* info = static_cast<gpio_v2_line_info*>(argument);
            const std::uint32_t offset = info->offset; // the kernel fills in the rest
            *info = gpio_v2_line_info{};
            info->offset = offset;
            QString line = lines.value(int(info->offset));
            if (line.endsWith('*') || (line.endsWith('+') && !heldLinesFree)) {
                info->flags = GPIO_V2_LINE_FLAG_USED;
                std::strcpy(info->consumer, line.endsWith('*') ? "gpioset" : "ventrolik");
            }
            if (line.endsWith('*') || line.endsWith('+'))
                line.chop(1);
            std::strncpy(info->name, line.toStdString().c_str(), sizeof info->name - 1);
        } else if (request == GPIO_V2_GET_LINE_IOCTL) {
            auto* line = static_cast<gpio_v2_line_request*>(argument);
            QStringList offsets;
            for (std::uint32_t i = 0; i < line->num_lines; ++i)
                offsets << QString::number(line->offsets[i]);
            calls << QString("request %1 by %2%3, %4")
                         .arg(offsets.join(','), line->consumer,
                              line->config.flags & GPIO_V2_LINE_FLAG_ACTIVE_LOW ? " active-low" : "")
                         .arg(line->config.attrs[0].attr.values);
            errno = requestError;
            line->fd = 90;
            return requestError ? -1 : 0;
        } else if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
            const auto* values = static_cast<gpio_v2_line_values*>(argument);
            calls << QString("set %1 of %2").arg(values->bits).arg(values->mask);
            errno = setError;
            return setError ? -1 : 0;
        } else {
            calls << "unexpected ioctl";
            return -1;
        }
        return 0;
    }

    static QString bytes(const void* data, std::size_t size)
    {
        return QByteArray(static_cast<const char*>(data), qsizetype(size)).toHex(' ');
    }

    PortLibrary ports()
    {
        iodll::System system;
        system.parportDir = proc.path().toStdString();
        system.hidrawDir = fs::path(proc.path().toStdString()) / "hidraw";
        system.deviceDir = "/dev";
        system.gpioDir = fs::path(proc.path().toStdString()) / "gpio";
        system.configFile = configFile();
        system.pnpDir = fs::path(proc.path().toStdString()) / "pnp";
        system.ioportsFile = fs::path(proc.path().toStdString()) / "ioports";
        system.cgroupFile = fs::path(proc.path().toStdString()) / "cgroup";
        system.environment = [this](const char* name) -> std::optional<std::string> {
            if (throwing)
                throw std::runtime_error("out of memory (as the test says)");
            auto value = environment.find(name);
            return value == environment.end() ? std::nullopt : std::optional(value->second);
        };
        system.open = [this](const fs::path& device) {
            calls << "open " + QString::fromStdString(device.string());
            errno = openError;
            if (openError)
                return -1;
            const int fd = 3 + int(opened.size());
            opened[fd] = device.string();
            return fd;
        };
        system.write = [this](int, const void* data, std::size_t size) {
            calls << "serial " + bytes(data, size);
            return long(size);
        };
        system.setSerial9600 = [this](int) {
            calls << "9600 8N1";
            return 0;
        };
        system.ioctl = [this](int fd, unsigned long request, void* argument) {
            if (request == HIDIOCSFEATURE(9)) {
                calls << "feature " + bytes(argument, 9);
                errno = featureError;
                return featureError ? -1 : 9;
            }
            if (_IOC_TYPE(request) == 0xB4) // the GPIO character device's
                return gpioIoctl(fd, request, argument);
            if (request == HIDIOCGFEATURE(9)) {
                auto* report = static_cast<std::uint8_t*>(argument);
                const std::string id = boardIds[opened[fd]];
                std::copy(id.begin(), id.end(), report + 1);
                return 9;
            }
            switch (request) {
            case PPCLAIM:
                calls << "claim";
                errno = claimError;
                return claimError ? -1 : 0;
            case PPRELEASE:
                calls << "release";
                return 0;
            case PPWDATA:
                calls << QString("data %1").arg(*static_cast<unsigned char*>(argument));
                return 0;
            case PPWCONTROL:
                calls << QString("control %1").arg(*static_cast<unsigned char*>(argument));
                return 0;
            }
            calls << "unexpected ioctl";
            return -1;
        };
        system.close = [this](int) { calls << "close"; };
        system.directIoAllowed = [this](std::uint16_t, int) { return directIo; };
        system.outb = [this](std::uint16_t port, std::uint8_t value) {
            calls << QString("outb %1 %2").arg(port).arg(value);
        };
        system.report = [this](const std::string& line) { reports << QString::fromStdString(line); };
        system.holdLines = [this](int, const fs::path& chip, const std::vector<std::uint32_t>& offsets) {
            QStringList numbers;
            for (std::uint32_t offset : offsets)
                numbers << QString::number(offset);
            calls << QString("hold %1 of %2").arg(numbers.join(','), QString::fromStdString(chip.string()));
        };
        system.letGoLine = [this](const fs::path&, std::uint32_t offset) {
            calls << QString("ask the holder for %1").arg(offset);
            heldLinesFree = heldLinesFree || holderLetsGo;
            return holderLetsGo;
        };
        return PortLibrary(iodll::linuxPlatform(system));
    }
};

const QStringList kWrite1 = {"open /dev/parport0", "claim", "data 1", "release"};

} // namespace

class IoDllTest : public QObject {
    Q_OBJECT

private slots:
    void parseBaseAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("base"); // -1: none
        QTest::newRow("base and high base") << "888\t1912\n" << 888;
        QTest::newRow("another base") << "632 1656" << 632;
        QTest::newRow("alone") << "956" << 956;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("words") << "none" << -1;
        QTest::newRow("trailing junk") << "888x" << -1;
        QTest::newRow("beyond 16 bits") << "70000" << -1;
        QTest::newRow("negative") << "-888" << -1;
    }

    void parseBaseAddress()
    {
        QFETCH(QString, text);
        QFETCH(int, base);
        const auto parsed = iodll::parseBaseAddress(text.toStdString());
        QCOMPARE(parsed ? int(*parsed) : -1, base);
    }

    // Which device a port number means: one table for the choice of LPT1
    // and for the ports that mean their own address.
    void route_data()
    {
        QTest::addColumn<QList<int>>("bases");   // of /dev/parport0, 1, ...
        QTest::addColumn<QStringList>("boards"); // "NAME ID" of /dev/hidraw0, 1, ...
        QTest::addColumn<QString>("setting");    // VENTROLIK_LPT1; empty: unset
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");  // empty: none
        QTest::addColumn<QString>("refusal"); // how it starts
        const QList<int> cards = {0xd010, 0xe000};
        const QStringList boards = {"USBRelay2 ABCDE", "USBRelay8 FGHIJ"};
        QTest::newRow("the port at 888 before any setting")
            << QList<int>{0xd010, 888} << boards << "/dev/parport0" << 888 << "/dev/parport1"
            << "";
        QTest::newRow("the only port") << QList<int>{0xd010} << QStringList{} << "" << 888 << "/dev/parport0"
                                       << "";
        QTest::newRow("its control register") << QList<int>{0xd010} << QStringList{} << "" << 890 << "/dev/parport0"
                                              << "";
        QTest::newRow("several, none chosen")
            << cards << QStringList{} << "" << 888 << ""
            << "no parallel port at 0x378, and more than one elsewhere: /dev/parport0 at 0xd010, /dev/parport1 at "
               "0xe000 (choose one for LPT1 with a line LPT1=/dev/parportN in ";
        QTest::newRow("one chosen") << cards << QStringList{} << "/dev/parport1" << 888 << "/dev/parport1"
                                    << "";
        QTest::newRow("a missing port chosen")
            << cards << QStringList{} << "/dev/parport7" << 888 << ""
            << "LPT1 is set to '/dev/parport7' in VENTROLIK_LPT1, but there is no such parallel port";
        QTest::newRow("other ports mean their address")
            << cards << QStringList{} << "/dev/parport0" << 0xe000 << "/dev/parport1"
            << "";
        QTest::newRow("past the port") << QList<int>{888} << QStringList{} << "" << 891 << ""
                                       << "";
        QTest::newRow("nothing at all") << QList<int>{} << QStringList{} << "" << 888 << ""
                                        << "";
        QTest::newRow("the only board") << QList<int>{} << boards.mid(0, 1) << "" << 888 << "/dev/hidraw0"
                                        << "";
        QTest::newRow("the only port before the only board")
            << QList<int>{0xd010} << boards.mid(0, 1) << "" << 888 << "/dev/parport0"
            << "";
        QTest::newRow("several boards, none chosen")
            << QList<int>{} << boards << "" << 888 << ""
            << "no parallel port at 0x378, and more than one relay board: relay board USBRelay2 'ABCDE' on "
               "/dev/hidraw0, relay board USBRelay8 'FGHIJ' on /dev/hidraw1 (choose one for LPT1 with a line LPT1=ID";
        QTest::newRow("a board chosen by its ID") << cards << boards << "FGHIJ" << 888 << "/dev/hidraw1"
                                                  << "";
        QTest::newRow("a board chosen by its device")
            << QList<int>{} << boards << "/dev/hidraw1" << 888 << "/dev/hidraw1"
            << "";
        QTest::newRow("a missing board chosen")
            << QList<int>{} << boards << "KLMNO" << 888 << ""
            << "LPT1 is set to 'KLMNO' in VENTROLIK_LPT1, but there is no such relay board (the boards are relay";
        QTest::newRow("a serial module, only when named")
            << QList<int>{} << boards << "/dev/ttyUSB0 relays=2" << 888 << "/dev/ttyUSB0"
            << "";
        QTest::newRow("a relay count out of range")
            << QList<int>{} << QStringList{} << "/dev/ttyUSB0 relays=9" << 888 << ""
            << "LPT1 is set to '/dev/ttyUSB0 relays=9' in VENTROLIK_LPT1, and 'relays=9' is not relays=N";
        QTest::newRow("GPIO lines, only when named, before the port at 888")
            << QList<int>{0xd010} << boards << "cp2112_gpio lines=0,GPIO17 active-low" << 888 << "/dev/gpiochip0"
            << "";
        QTest::newRow("GPIO: a line left out") << QList<int>{} << QStringList{} << "cp2112_gpio lines=0,,2" << 888
                                               << "" << "LPT1 is set to 'cp2112_gpio lines=0,,2' in VENTROLIK_LPT1, "
                                                        "and 'lines=0,,2' is not lines=A,B,...";
        QTest::newRow("GPIO: more lines than data lines")
            << QList<int>{} << QStringList{} << "chip lines=0,1,2,3,4,5,6,7,8" << 888 << ""
            << "LPT1 is set to 'chip lines=0,1,2,3,4,5,6,7,8' in VENTROLIK_LPT1, and 'lines=0,1,2,3,4,5,6,7,8' is not";
        QTest::newRow("active-low without lines") << QList<int>{} << QStringList{} << "/dev/ttyUSB0 active-low" << 888
                                                  << "" << "LPT1 is set to '/dev/ttyUSB0 active-low' in "
                                                           "VENTROLIK_LPT1, and active-low is for GPIO lines";
        QTest::newRow("GPIO lines with a relay count")
            << QList<int>{} << QStringList{} << "chip lines=0 relays=2" << 888 << ""
            << "LPT1 is set to 'chip lines=0 relays=2' in VENTROLIK_LPT1, and relays=N is for a serial relay module";
    }

    void route()
    {
        QFETCH(QList<int>, bases);
        QFETCH(QStringList, boards);
        QFETCH(QString, setting);
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(QString, refusal);
        iodll::Inventory inventory{{}, {}, "/etc/ventrolik.conf", {{"/dev/gpiochip0", "cp2112_gpio", 8}}};
        for (int i = 0; i < bases.size(); ++i)
            inventory.ports.push_back({"/dev/parport" + std::to_string(i), std::uint16_t(bases[i])});
        for (int i = 0; i < boards.size(); ++i) {
            const QStringList words = boards[i].split(' ');
            inventory.boards.push_back({"/dev/hidraw" + std::to_string(i), words[0].toStdString(),
                                        words[1].toStdString(), *iodll::relays::relayCount(words[0].toStdString())});
        }
        iodll::System system;
        system.environment = [&](const char*) -> std::optional<std::string> {
            return setting.isEmpty() ? std::nullopt : std::optional(setting.toStdString());
        };
        system.configFile = "/nonexistent";

        std::vector<std::string> problems;
        const iodll::Route found = iodll::route(
            inventory, iodll::lpt1Setting(system.environment, system.configFile, problems), std::uint16_t(port));
        const QString path =
            found.device ? QString::fromStdString(std::visit([](const auto& d) { return d.path; }, *found.device))
                         : QString();
        QCOMPARE(path, device);
        QVERIFY2(refusal.isEmpty() ? found.refusal.empty() : found.refusal.starts_with(refusal.toStdString()),
                 found.refusal.c_str());
        if (found.device)
            QCOMPARE(found.offset, port - (port >= 0xe000 ? 0xe000 : 888));
    }

    void relayCount_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("relays"); // 0: not a relay board
        QTest::newRow("the kernel's name") << "www.dcttech.com USBRelay2" << 2;
        QTest::newRow("the product alone") << "USBRelay8" << 8;
        QTest::newRow("no count") << "USBRelay" << 0;
        QTest::newRow("count out of range") << "USBRelay9" << 0;
        QTest::newRow("another product") << "www.dcttech.com USBKeyboard1" << 0;
        QTest::newRow("glued to the maker") << "makerUSBRelay2" << 0;
    }

    void relayCount()
    {
        QFETCH(QString, name);
        QFETCH(int, relays);
        QCOMPARE(iodll::relays::relayCount(name.toStdString()).value_or(0), relays);
    }

    void describesOpenErrors_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("access"); // "OWNER GROUP MODE"; empty: can't be told
        QTest::addColumn<QString>("unit");   // the process's control group
        QTest::addColumn<QString>("hint");
        const QString session = "/user.slice/user-1000.slice/session-2.scope";
        const QString service = "/system.slice/ventrolik-thermostat.service";
        QTest::newRow("permission") << EACCES << "" << session << "Permission denied (add your user to the 'lp' group";
        QTest::newRow("permission, the device's own group")
            << EACCES << "root plugdev 0660" << session
            << "Permission denied (it is root:plugdev 0660: add your user to the 'plugdev' group, then log in again)";
        QTest::newRow("permission, in the service")
            << EACCES << "root plugdev 0660" << service
            << "(it is root:plugdev 0660: the service needs the group 'plugdev': add it with SupplementaryGroups=";
        QTest::newRow("permission, in an instance of the service")
            << EACCES << "" << "/system.slice/system-ventrolik\\x2dthermostat.slice/ventrolik-thermostat@attic.service"
            << "(the service needs the group 'lp'";
        QTest::newRow("permission, a user's command below another service")
            << EACCES << "root plugdev 0660" << "/system.slice/cron.service"
            << "(it is root:plugdev 0660: add your user to the 'plugdev' group, then log in again)";
        QTest::newRow("permission, its owner's alone")
            << EPERM << "root root 0600" << session << "(it is root:root 0600, for its owner alone: the group 'lp' should";
        QTest::newRow("no device node") << ENOENT << "" << session << "(load the 'ppdev' module";
        QTest::newRow("no device") << ENXIO << "" << session << "(load the 'ppdev' module";
        QTest::newRow("busy") << EBUSY << "" << session << "(another driver holds the port)";
        QTest::newRow("other") << EIO << "" << session << "Input/output error";
    }

    void describesOpenErrors()
    {
        QFETCH(int, error);
        QFETCH(QString, access);
        QFETCH(QString, unit);
        QFETCH(QString, hint);
        Machine machine;
        iodll::System system;
        // systemd's own variable, which every process below any unit inherits
        system.environment = [&](const char* name) -> std::optional<std::string> {
            return std::string(name) == "INVOCATION_ID" ? std::optional<std::string>("0123") : std::nullopt;
        };
        system.cgroupFile = fs::path(machine.proc.path().toStdString()) / "cgroup";
        std::ofstream(system.cgroupFile) << "0::" << unit.toStdString() << "\n";
        system.access = [&](const fs::path&) -> std::optional<iodll::Access> {
            const QStringList words = access.split(' ');
            if (words.size() != 3)
                return std::nullopt;
            return iodll::Access{words[0].toStdString(), words[1].toStdString(), words[2].toUInt(nullptr, 8)};
        };
        const QString line = QString::fromStdString(iodll::describeOpenError(system, error, "/dev/parport0"));
        QVERIFY2(line.startsWith("cannot open '/dev/parport0': "), qPrintable(line));
        QVERIFY2(line.contains(hint), qPrintable(line));
    }

    void writes_data()
    {
        QTest::addColumn<bool>("word");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("value");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("byte to data") << false << 888 << 0
                                      << QStringList{"open /dev/parport0", "claim", "data 0", "release"};
        QTest::newRow("byte to status is dropped") << false << 889 << 5 << QStringList{};
        QTest::newRow("byte to control") << false << 890 << 4
                                         << QStringList{"open /dev/parport0", "claim", "control 4", "release"};
        QTest::newRow("word: high byte to status is dropped") << true << 888 << 0x0001 << kWrite1;
        QTest::newRow("word: both bytes of 0x7f01") << true << 888 << 0x7F01 << kWrite1;
        QTest::newRow("word to status and control")
            << true << 889 << 0x0C01 << QStringList{"open /dev/parport0", "claim", "control 12", "release"};
    }

    void writes()
    {
        QFETCH(bool, word);
        QFETCH(int, port);
        QFETCH(int, value);
        QFETCH(QStringList, calls);
        Machine machine;
        machine.addPort(0, "888\t1912\n");
        PortLibrary ports = machine.ports();
        if (word)
            ports.wordOut(std::uint16_t(port), std::uint16_t(value));
        else
            ports.out(std::uint16_t(port), std::uint8_t(value));
        QCOMPARE(machine.calls, calls);
        QCOMPARE(machine.reports, QStringList());
    }

    // A relay board or a serial module as LPT1: each data bit sets its relay,
    // in one report or frame per relay at every write.
    void relayWrites_data()
    {
        QTest::addColumn<QString>("setting"); // empty: the only board
        QTest::addColumn<bool>("word");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("value");
        QTest::addColumn<QStringList>("calls");
        const QString on1 = "feature 00 ff 01 00 00 00 00 00 00", off1 = "feature 00 fd 01 00 00 00 00 00 00";
        const QString off2 = "feature 00 fd 02 00 00 00 00 00 00", on2 = "feature 00 ff 02 00 00 00 00 00 00";
        QTest::newRow("board: on") << "" << true << 888 << 1 << QStringList{on1, off2};
        QTest::newRow("board: off") << "" << false << 888 << 0 << QStringList{off1, off2};
        QTest::newRow("board: bits above its relays are ignored, and said once")
            << "" << false << 888 << 0xfe << QStringList{off1, on2, off1, on2};
        QTest::newRow("board: status and control go nowhere") << "" << true << 889 << 0x0101 << QStringList{};
        QTest::newRow("serial module: on")
            << "/dev/ttyUSB0" << true << 888 << 1 << QStringList{"9600 8N1", "serial a0 01 01 a2"};
        QTest::newRow("serial module named with control characters")
            << "/dev/ttyUSB0\x1b[2J\xc2\x9b" << true << 888 << 1 << QStringList{"9600 8N1", "serial a0 01 01 a2"};
        QTest::newRow("serial module of two relays: off")
            << "/dev/ttyUSB0 relays=2" << false << 888 << 0
            << QStringList{"9600 8N1", "serial a0 01 00 a1", "serial a0 02 00 a2"};
    }

    void relayWrites()
    {
        QFETCH(QString, setting);
        QFETCH(bool, word);
        QFETCH(int, port);
        QFETCH(int, value);
        QFETCH(QStringList, calls);
        Machine machine;
        machine.addBoard(0, "www.dcttech.com USBRelay2", "ABCDE");
        if (!setting.isEmpty())
            machine.environment["VENTROLIK_LPT1"] = setting.toStdString();
        PortLibrary ports = machine.ports();
        for (int write = 0; write < (value == 0xfe ? 2 : 1); ++write)
            if (word)
                ports.wordOut(std::uint16_t(port), std::uint16_t(value));
            else
                ports.out(std::uint16_t(port), std::uint8_t(value));
        QCOMPARE(machine.calls.filter(QRegularExpression("^(feature|serial|9600)")), calls);
        // Which device LPT1 is; and the lines it hasn't, once.
        QCOMPARE(machine.reports.mid(1), value == 0xfe ? QStringList{"D2, D3, D4, D5, D6, D7 go nowhere: LPT1 (0x378) is "
                                                                     "relay board USBRelay2 'ABCDE' on /dev/hidraw0: "
                                                                     "data lines D0-D1 are relays 1-2"}
                                                       : QStringList{});
        QVERIFY2(!machine.reports[0].contains(QRegularExpression("[\\x00-\\x1f\\x7f-\\x9f]")),
                 qPrintable(machine.reports[0]));
        QVERIFY2(machine.reports[0].startsWith(setting.isEmpty()
                                                   ? "LPT1 (0x378) is relay board USBRelay2 'ABCDE' on /dev/hidraw0: "
                                                     "data lines D0-D1 are relays 1-2"
                                                   : "LPT1 (0x378) is the serial relay module on /dev/ttyUSB0"),
                 qPrintable(machine.reports[0]));
    }

    void refusedReportIsAFailedWrite()
    {
        Machine machine;
        machine.addBoard(0, "USBRelay1", "ABCDE");
        machine.featureError = EPIPE;
        PortLibrary ports = machine.ports();
        ports.wordOut(888, 1);
        QCOMPARE(machine.reports.value(1),
                 "cannot write 0x1 to port 0x378: cannot switch relay 1 of '/dev/hidraw0': Broken pipe");
    }

    // GPIO lines as LPT1: requested at the first write with its values, then
    // set together; or refused with what the user needs to know.
    void gpioWrites_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("requestError");
        QTest::addColumn<QStringList>("calls"); // after writing 1, then 2
        QTest::addColumn<QString>("report");    // the first but LPT1's, if any
        // Each chip read once, then the one named opened.
        const QStringList listed = {"open /dev/gpiochip0", "close", "open /dev/gpiochip1", "close"};
        const QStringList chip1 = listed + QStringList{"open /dev/gpiochip1"};
        // One line, for D0: D1 goes nowhere, which is said.
        QTest::newRow("by label and offset")
            << "cp2112_gpio lines=0" << 0 << 0 << chip1 + QStringList{"request 0 by ventrolik, 1", "set 0 of 1"}
            << "D1 goes nowhere: LPT1 (0x378) is GPIO line 0 of cp2112_gpio, for D0";
        QTest::newRow("by name and offset, D0 on the first")
            << "cp2112_gpio lines=GPIO2,0 active-low" << 0 << 0
            << chip1 + QStringList{"request 2,0 by ventrolik active-low, 1", "set 2 of 3"} << "";
        QTest::newRow("by device") << "/dev/gpiochip1 lines=1" << 0 << 0
                                   << chip1 + QStringList{"request 1 by ventrolik, 1", "set 0 of 1"}
                                   << "D1 goes nowhere: LPT1 (0x378) is GPIO line 1 of /dev/gpiochip1, for D0";
        QTest::newRow("no such chip")
            << "pinctrl-bcm2711 lines=0" << 0 << 0 << listed
            << "cannot write 0x1 to port 0x378: there is no GPIO chip 'pinctrl-bcm2711' (the chips are INT3450:00 "
               "(gpiochip0, 2 lines), cp2112_gpio (gpiochip1, 8 lines))";
        QTest::newRow("no such line")
            << "INT3450:00 lines=GPIO9" << 0 << 0
            << listed + QStringList{"open /dev/gpiochip0", "close"}
            << "cannot write 0x1 to port 0x378: the GPIO chip INT3450:00 (gpiochip0) has no line 'GPIO9' (its lines "
               "are LED, FAN)";
        QTest::newRow("a line named twice") << "cp2112_gpio lines=1,1" << 0 << 0 << chip1 + QStringList{"close"}
                                            << "cannot write 0x1 to port 0x378: GPIO line '1' is named twice: each data line needs a line of its own";
        QTest::newRow("a line held by another program")
            << "cp2112_gpio lines=0,3" << 0 << 0 << chip1 + QStringList{"close"}
            << "cannot write 0x1 to port 0x378: GPIO line 3 of cp2112_gpio (gpiochip1) is held by 'gpioset' (stop "
               "that program, or choose another line)";
        QTest::newRow("no permission, by label")
            << "cp2112_gpio lines=0" << EACCES << 0 << QStringList{"open /dev/gpiochip0", "open /dev/gpiochip1"}
            << "cannot write 0x1 to port 0x378: there is no GPIO chip 'cp2112_gpio' that can be read (cannot open "
               "'/dev/gpiochip0': Permission denied (add your user to the 'lp' group, then log in again))";
        QTest::newRow("no permission")
            << "gpiochip1 lines=0" << EACCES << 0 << QStringList{"open /dev/gpiochip0", "open /dev/gpiochip1"}
            << "cannot write 0x1 to port 0x378: cannot open '/dev/gpiochip1': Permission denied (add your user to "
               "the 'lp' group, then log in again)";
        QTest::newRow("a line that can't be an output")
            << "cp2112_gpio lines=0" << 0 << EIO << chip1 + QStringList{"request 0 by ventrolik, 1", "close"}
            << "cannot write 0x1 to port 0x378: cannot drive GPIO line 0 of cp2112_gpio as outputs: Input/output "
               "error (can each of them be an output?)";
    }

    void gpioWrites()
    {
        QFETCH(QString, setting);
        QFETCH(int, openError);
        QFETCH(int, requestError);
        QFETCH(QStringList, calls);
        QFETCH(QString, report);
        Machine machine;
        machine.addGpioChip(0, "INT3450:00", {"LED", "FAN"});
        machine.addGpioChip(1, "cp2112_gpio", {"", "", "GPIO2", "*", "", "", "", ""});
        machine.environment["VENTROLIK_LPT1"] = setting.toStdString();
        machine.openError = openError;
        machine.requestError = requestError;
        PortLibrary ports = machine.ports();
        ports.out(888, 1);
        ports.wordOut(888, 2);
        QCOMPARE(machine.calls.mid(0, calls.size()), calls);
        QCOMPARE(machine.reports.filter(QRegularExpression("^(?!LPT1 \\(0x378\\) is GPIO)")).value(0), report);
    }

    // Lines outlive the program in the holder, as a port's data does, but
    // for a service's, which systemd would end; the holder gives them back
    // to the next program that asks.
    void gpioHolder_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("holderLetsGo");
        QTest::addColumn<QStringList>("calls"); // after writing 1, and at the end
        QTest::addColumn<QString>("report");
        const QStringList chip1 = {"open /dev/gpiochip0", "close", "open /dev/gpiochip1", "close", "open /dev/gpiochip1"};
        QTest::newRow("a command's lines are held")
            << "0,2" << "/user.slice/session-3.scope" << true
            << chip1 + QStringList{"request 0,2 by ventrolik, 1", "hold 0,2 of /dev/gpiochip1", "close", "close"} << "";
        QTest::newRow("a service's are not")
            << "0" << "/system.slice/ventrolik-thermostat.service" << true
            << chip1 + QStringList{"request 0 by ventrolik, 1", "close", "close"} << "";
        QTest::newRow("a held line is asked back")
            << "4" << "/user.slice/session-3.scope" << true
            << chip1 + QStringList{"ask the holder for 4", "request 4 by ventrolik, 1", "hold 4 of /dev/gpiochip1"}
            << "";
        QTest::newRow("two held lines are asked back once")
            << "4,5" << "/user.slice/session-3.scope" << true
            << chip1 + QStringList{"ask the holder for 4", "request 4,5 by ventrolik, 1", "hold 4,5 of /dev/gpiochip1"}
            << "";
        QTest::newRow("a holder that won't give it back")
            << "4" << "/system.slice/ventrolik-thermostat.service" << false
            << chip1 + QStringList{"ask the holder for 4", "close"}
            << "cannot write 0x1 to port 0x378: GPIO line 4 of cp2112_gpio (gpiochip1) is held by 'ventrolik' (the "
               "window, the thermostat, or the holder that keeps the line as a command set it, which 'pkill -x "
               "ventrolik-hold' ends; the thermostat's service can't ask it)";
    }

    void gpioHolder()
    {
        QFETCH(QString, lines);
        QFETCH(QString, unit);
        QFETCH(bool, holderLetsGo);
        QFETCH(QStringList, calls);
        QFETCH(QString, report);
        Machine machine;
        machine.addGpioChip(0, "INT3450:00", {"LED", "FAN"});
        machine.addGpioChip(1, "cp2112_gpio", {"", "", "", "", "+", "+", "", ""});
        std::ofstream(fs::path(machine.proc.path().toStdString()) / "cgroup") << "0::" << unit.toStdString() << "\n";
        machine.environment["VENTROLIK_LPT1"] = "cp2112_gpio lines=" + lines.toStdString();
        machine.holderLetsGo = holderLetsGo;
        machine.ports().out(888, 1);
        QCOMPARE(machine.calls.mid(0, calls.size()), calls);
        QCOMPARE(machine.reports.value(1), report);
    }

    // The real holder, with a pipe in place of a line request: it keeps the
    // descriptor once its program has closed it and gives it up when asked,
    // its names free at once for the next holder.
    void holderKeepsTheLinesUntilAsked()
    {
        QTemporaryFile chip;
        QVERIFY(chip.open());
        const fs::path path = chip.fileName().toStdString();
        for (int round = 0; round < 20; ++round) {
            int ends[2];
            QVERIFY(pipe2(ends, O_CLOEXEC) == 0);
            iodll::holdGpioLines(ends[1], path, {3, 5});
            close(ends[1]);
            pollfd end{ends[0], POLLIN, 0};
            QCOMPARE(poll(&end, 1, 0), 0); // held
            QVERIFY(iodll::letGoGpioLine(path, 5));
            char byte;
            QCOMPARE(read(ends[0], &byte, 1), 0); // let go
            close(ends[0]);
        }
        QVERIFY(!iodll::letGoGpioLine(path, 3));
    }

    // The holder gives the lines only to those who may drive the chip
    // themselves: here an asker that has dropped to nobody, in the chip's
    // group or not.
    void holderLetsGoOnlyToThoseWhoMayUseTheChip_data()
    {
        QTest::addColumn<bool>("inChipGroup");
        QTest::newRow("a user outside the chip's group is refused") << false;
        QTest::newRow("a user in the chip's group is let go") << true;
    }

    void holderLetsGoOnlyToThoseWhoMayUseTheChip()
    {
        QFETCH(bool, inChipGroup);
        if (getuid() != 0)
            QSKIP("asking as another user needs root");
        QTemporaryFile chip;
        QVERIFY(chip.open());
        const fs::path path = chip.fileName().toStdString();
        struct stat status;
        QVERIFY(stat(path.c_str(), &status) == 0);
        int ends[2];
        QVERIFY(pipe2(ends, O_CLOEXEC) == 0);
        iodll::holdGpioLines(ends[1], path, {3});
        close(ends[1]);
        const pid_t asker = fork();
        if (asker == 0) {
            const gid_t nobody = 65534;
            const int dropped = setgroups(inChipGroup ? 1 : 0, &status.st_gid) == 0 && setgid(nobody) == 0 &&
                                setuid(nobody) == 0;
            _exit(dropped && iodll::letGoGpioLine(path, 3) ? 0 : 1);
        }
        int exited = -1;
        QVERIFY(waitpid(asker, &exited, 0) == asker);
        QCOMPARE(exited, 0);
        pollfd end{ends[0], POLLIN, 0};
        QCOMPARE(poll(&end, 1, 0), inChipGroup ? 1 : 0); // let go, or held
        QVERIFY(iodll::letGoGpioLine(path, 3) != inChipGroup); // root may, where it is still held
        close(ends[0]);
    }

    // Two alike chips, or two lines of one name: which drives the fan is
    // never guessed.
    void alikeGpioAreRefused_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("report");
        QTest::newRow("two bridges with one label")
            << "cp2112_gpio lines=0"
            << "cannot write 0x1 to port 0x378: more than one GPIO chip is labelled 'cp2112_gpio': /dev/gpiochip1 (USB "
               "1-1, serial 'A1'), /dev/gpiochip2 (USB 1-2) (name the one for the fan by its device in place of the "
               "label, or by its link in /dev/gpio/by-path, which stays with its USB port)";
        QTest::newRow("two lines with one name")
            << "INT3450:00 lines=FAN"
            << "cannot write 0x1 to port 0x378: more than one line of the GPIO chip INT3450:00 (gpiochip0) is named "
               "'FAN' (lines 1, 2): name the one for the fan by its number";
    }

    void alikeGpioAreRefused()
    {
        QFETCH(QString, setting);
        QFETCH(QString, report);
        Machine machine;
        machine.addGpioChip(0, "INT3450:00", {"LED", "FAN", "FAN"});
        machine.addGpioChip(1, "cp2112_gpio", {"", ""}, "1-1 A1");
        machine.addGpioChip(2, "cp2112_gpio", {"", ""}, "1-2");
        machine.environment["VENTROLIK_LPT1"] = setting.toStdString();
        PortLibrary ports = machine.ports();
        ports.out(888, 1);
        QVERIFY(!machine.calls.join(' ').contains("request"));
        QCOMPARE(machine.reports.value(machine.reports.size() - 1), report);
    }

    void driverCheck_data()
    {
        QTest::addColumn<bool>("hasPort");
        QTest::addColumn<QString>("active");
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("claimError");
        QTest::addColumn<bool>("directIo");
        QTest::addColumn<QString>("listed"); // by the system, without ppdev
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("report");
        QTest::newRow("free port") << true << "none\n" << 0 << 0 << false << "" << true << "";
        QTest::newRow("held by another driver")
            << true << "lp0\n"
            << 0 << 0 << false << "" << false << "cannot use '/dev/parport0': 'lp0' holds the port";
        QTest::newRow("no permission") << true << "none\n" << EACCES << 0 << false << "" << false << "'lp' group";
        QTest::newRow("claim refused") << true << "none\n"
                                       << 0 << EBUSY << false << "" << false
                                       << "cannot claim '/dev/parport0': Device or resource busy";
        QTest::newRow("exclusive use by another program")
            << true << "none\n"
            << 0 << ENXIO << false << "" << false
            << "cannot claim '/dev/parport0': No such device or address (another program has exclusive use";
        QTest::newRow("no ppdev port") << false << "" << 0 << 0 << false << "pnp" << false
                                       << "no /dev/parport* has base 888 (is the 'ppdev' module loaded?)";
        QTest::newRow("no port at all") << false << "" << 0 << 0 << false << "" << false
                                        << "the system lists no parallel port at that address";
        QTest::newRow("direct I/O where the firmware lists the port")
            << false << "" << 0 << 0 << true << "pnp" << true << "writing to port 0x378 directly";
        QTest::newRow("direct I/O where the kernel lists the port")
            << false << "" << 0 << 0 << true << "ioports" << true << "writing to port 0x378 directly";
        QTest::newRow("direct I/O allowed, but no port listed there")
            << false << "" << 0 << 0 << true << "elsewhere" << false << "the system lists no parallel port";
    }

    void driverCheck()
    {
        QFETCH(bool, hasPort);
        QFETCH(QString, active);
        QFETCH(int, openError);
        QFETCH(int, claimError);
        QFETCH(bool, directIo);
        QFETCH(QString, listed);
        QFETCH(bool, reachable);
        QFETCH(QString, report);
        Machine machine;
        if (hasPort)
            machine.addPort(0, "888\t1912\n", active.toStdString());
        machine.openError = openError;
        machine.claimError = claimError;
        machine.directIo = directIo;
        machine.listPort(listed.toStdString());

        {
            PortLibrary ports = machine.ports();
            QCOMPARE(ports.canReach(888), reachable);
        }
        if (report.isEmpty()) {
            QCOMPARE(machine.reports, QStringList());
        } else {
            QCOMPARE(machine.reports.size(), 1);
            QVERIFY2(machine.reports.front().contains(report), qPrintable(machine.reports.front()));
        }
        // A claim is released at once; whatever was opened is closed by the end.
        QCOMPARE(machine.calls.count("open /dev/parport0") - (openError ? 1 : 0), machine.calls.count("close"));
        QCOMPARE(machine.calls.count("claim") - (claimError ? 1 : 0), machine.calls.count("release"));
    }

    void keepsOneClientForTheRun()
    {
        // The kernel gives each client its own control bits, so a second
        // client would undo the first write.
        Machine machine;
        machine.addPort(0, "888\t1912\n");
        PortLibrary ports = machine.ports();
        ports.out(890, 5);
        ports.wordOut(888, 1);
        QCOMPARE(machine.calls,
                 (QStringList{"open /dev/parport0", "claim", "control 5", "release", "claim", "data 1", "release"}));
    }

    // A thermostat writes at every reading: once the boards' IDs are known,
    // a reading opens nothing, and a board plugged in anew is still seen.
    void steadyStateOpensNoDevice()
    {
        Machine machine;
        machine.addBoard(0, "USBRelay2", "ABCDE");
        machine.addBoard(1, "USBRelay2", "FGHIJ");
        machine.environment["VENTROLIK_LPT1"] = "FGHIJ";
        PortLibrary ports = machine.ports();
        QVERIFY(ports.canReach(888));
        ports.wordOut(888, 1);
        QCOMPARE(machine.calls.filter("open"), (QStringList{"open /dev/hidraw0", "open /dev/hidraw1", "open /dev/hidraw1"}));
        machine.calls.clear();
        QVERIFY(ports.canReach(888));
        ports.wordOut(888, 1);
        ports.out(888, 0);
        QCOMPARE(machine.calls.filter("open"), QStringList{});
        QCOMPARE(machine.calls.filter("feature").size(), 4); // two relays, twice

        fs::remove_all(fs::path(machine.proc.path().toStdString()) / "hidraw" / "hidraw1");
        machine.addBoard(2, "USBRelay2", "FGHIJ");
        ports.out(888, 0);
        QCOMPARE(machine.calls.filter("open"), (QStringList{"open /dev/hidraw2", "open /dev/hidraw2"}));
    }

    // A board unplugged under a thermostat that writes at every reading.
    void lostLpt1IsSaidOnceAndItsReturnOnce()
    {
        Machine machine;
        machine.addBoard(0, "USBRelay2", "ABCDE");
        PortLibrary ports = machine.ports();
        ports.wordOut(888, 1);
        fs::remove_all(fs::path(machine.proc.path().toStdString()) / "hidraw" / "hidraw0");
        ports.wordOut(888, 1);
        ports.out(888, 0);
        QVERIFY(!ports.canReach(888));
        // Back on the same device file, which is opened afresh.
        machine.calls.clear();
        machine.addBoard(0, "USBRelay2", "ABCDE");
        ports.wordOut(888, 1);
        ports.wordOut(888, 1);
        QCOMPARE(machine.reports,
                 (QStringList{"LPT1 (0x378) is relay board USBRelay2 'ABCDE' on /dev/hidraw0: data lines D0-D1 are "
                              "relays 1-2",
                              "cannot write 0x1 to port 0x378: LPT1 (0x378), relay board USBRelay2 'ABCDE' on "
                              "/dev/hidraw0, is gone; it is used again once it is back",
                              "LPT1 (0x378) is back: relay board USBRelay2 'ABCDE' on /dev/hidraw0"}));
        QCOMPARE(machine.calls.filter("open"), (QStringList{"open /dev/hidraw0", "open /dev/hidraw0"})); // its ID, then to write
        QCOMPARE(machine.calls.filter("feature").size(), 4); // two relays, twice
    }

    // A USB bridge's GPIO chip unplugged under the thermostat, and plugged
    // in again.
    void lostGpioChipIsSaidOnceAndItsReturnOnce()
    {
        Machine machine;
        machine.addGpioChip(0, "cp2112_gpio", {"", ""});
        machine.environment["VENTROLIK_LPT1"] = "cp2112_gpio lines=0";
        PortLibrary ports = machine.ports();
        ports.wordOut(888, 1);
        machine.gpioChips.clear();
        fs::remove_all(fs::path(machine.proc.path().toStdString()) / "gpio");
        ports.out(888, 0);
        ports.wordOut(888, 1);
        QVERIFY(machine.calls.filter("hold").isEmpty()); // lines of a chip that has gone
        machine.addGpioChip(0, "cp2112_gpio", {"", ""});
        ports.wordOut(888, 1);
        ports.out(888, 0);
        QCOMPARE(machine.reports,
                 (QStringList{"LPT1 (0x378) is GPIO line 0 of cp2112_gpio, for D0",
                              "cannot write 0x0 to port 0x378: LPT1 (0x378), GPIO line 0 of cp2112_gpio, is gone (there "
                              "is no GPIO chip 'cp2112_gpio' (there are none)); it is used again once it is back",
                              "LPT1 (0x378) is back: GPIO line 0 of cp2112_gpio"}));
        QCOMPARE(machine.calls.filter("request").size(), 2);
    }

    void directIoWritesWhereNoDeviceIsAndSaysSoOnce()
    {
        Machine machine;
        machine.directIo = true;
        machine.listPort("pnp");
        PortLibrary ports = machine.ports();
        ports.wordOut(888, 1);
        ports.out(888, 0);
        QCOMPARE(machine.calls, (QStringList{"outb 888 1", "outb 889 0", "outb 888 0"}));
        QCOMPARE(machine.reports.size(), 1);
    }

    void failedWriteIsReportedOnce_data()
    {
        QTest::addColumn<bool>("word");
        QTest::addColumn<QString>("report");
        QTest::newRow("byte") << false
                              << "cannot write 0x1 to port 0x378: no parallel port at 0x378: no /dev/parport* has base "
                                 "888, and the system lists no parallel port at that address (is there one?)";
        QTest::newRow("word") << true
                              << "cannot write 0x1 to port 0x378: no parallel port at 0x378: no /dev/parport* has base "
                                 "888, and the system lists no parallel port at that address (is there one?)";
    }

    void failedWriteIsReportedOnce()
    {
        QFETCH(bool, word);
        QFETCH(QString, report);
        Machine machine;
        PortLibrary ports = machine.ports();
        word ? ports.wordOut(888, 1) : ports.out(888, 1);
        QCOMPARE(machine.reports, QStringList{report});
    }

    // The setting file as people write it: what is honoured, and what is
    // said, with the file and the line, about what is not.
    void settingFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("device"); // empty: none chosen
        QTest::addColumn<QString>("problem");
        QTest::newRow("plain") << QByteArray("LPT1=ABCDE\n") << "ABCDE"
                               << "";
        QTest::newRow("UTF-8 byte order mark, CRLF") << QByteArray("\xEF\xBB\xBF# fan\r\nLPT1=ABCDE\r\n") << "ABCDE"
                                                     << "";
        QTest::newRow("blanks and any case") << QByteArray("  lpt1 = ABCDE  # the fan\n") << "ABCDE"
                                             << "";
        QTest::newRow("UTF-16 little-endian") << QByteArray("\xFF\xFEL\0P\0T\0\x31\0=\0A\0B\0\r\0\n\0", 20) << "AB"
                                              << "";
        QTest::newRow("UTF-16 big-endian") << QByteArray("\xFE\xFF\0L\0P\0T\0\x31\0=\0A\0B", 16) << "AB"
                                           << "";
        QTest::newRow("misspelt key") << QByteArray("\nLTP1=ABCDE\n") << ""
                                      << ":2: unknown key 'LTP1' (the key is LPT1), ignoring it";
        QTest::newRow("no =") << QByteArray("LPT1 ABCDE\n") << ""
                              << ":1: 'LPT1 ABCDE' is not KEY=VALUE, ignoring it";
        QTest::newRow("a NUL and a long value")
            << QByteArray("X\0Y=1\n", 6) + "LPT1=" + QByteArray(200000, 'A') + " relays=9\n"
            << ""
            << ":1: unknown key 'X?Y'";
        QTest::newRow("a folder in its place") << QByteArray() << ""
                                               << "cannot read '";
        QTest::newRow("a second LPT1 line") << QByteArray("LPT1=ABCDE\n\nlpt1=FGHIJ\n") << "ABCDE"
                                            << ":3: a second LPT1 line, ignoring it: the one on line 1 counts";
        QTest::newRow("a NUL in the value, which would cut the path")
            << QByteArray("\nLPT1=/dev/ttyUSB0\0/x\n", 22) << ""
            << ":2, which holds a NUL byte";
    }

    void settingFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, device);
        QFETCH(QString, problem);
        Machine machine;
        if (text.isEmpty())
            fs::create_directory(machine.configFile());
        else
            std::ofstream(machine.configFile(), std::ios::binary) << text.toStdString();
        std::vector<std::string> problems;
        const auto setting =
            iodll::lpt1Setting([](const char*) { return std::nullopt; }, machine.configFile(), problems);
        QCOMPARE(setting && setting->error.empty() ? QString::fromStdString(setting->device) : QString(), device);
        // A value that can't be used is refused where it is used, saying where it was set.
        if (setting && !setting->error.empty() && problems.empty())
            problems.push_back(setting->error);
        if (problem.isEmpty()) {
            QCOMPARE(problems.size(), std::size_t(0));
        } else {
            QCOMPARE(problems.size(), std::size_t(1));
            QVERIFY2(problems.front().find(problem.toStdString()) != std::string::npos, problems.front().c_str());
            QVERIFY(problems.front().find(machine.configFile().string()) != std::string::npos);
        }
        // A message shows a value cut short.
        if (setting && !setting->error.empty())
            QVERIFY2(setting->error.size() < 300, setting->error.c_str());
    }

    // A failure that the library didn't foresee stops at its edge: the
    // export answers no and says why, once.
    void exportMeetingAnExceptionSaysWhyAndReturns()
    {
        Machine machine;
        machine.addPort(0, "888\n");
        PortLibrary ports = machine.ports(); // its environment is asked for the setting
        machine.environment["VENTROLIK_LPT1"] = "";
        machine.throwing = true;
        QCOMPARE(ports.canReach(888), false);
        ports.out(888, 0);
        QCOMPARE(machine.reports, (QStringList{"IsDriverInstalled failed: out of memory (as the test says)",
                                               "PortOut failed: out of memory (as the test says)"}));
    }
};

QTEST_GUILESS_MAIN(IoDllTest)
#include "tst_iodll.moc"
