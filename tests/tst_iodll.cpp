// IO.DLL's port logic against a made-up /proc and a recording stand-in for
// the ppdev ioctls.

#include "ParallelPort.h"

#include <QtTest>

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using iodll::ParallelPorts;

namespace {

// A machine with parallel ports as the tests describe them.
struct Machine {
    QTemporaryDir proc;
    QStringList calls;   // what the library did, in order
    QStringList reports; // what it told the user
    int openError = 0;
    int claimError = 0;
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

    ParallelPorts ports()
    {
        iodll::System system;
        system.parportDir = proc.path().toStdString();
        system.deviceDir = "/dev";
        system.configFile = configFile();
        system.pnpDir = fs::path(proc.path().toStdString()) / "pnp";
        system.ioportsFile = fs::path(proc.path().toStdString()) / "ioports";
        system.environment = [this](const char* name) -> std::optional<std::string> {
            auto value = environment.find(name);
            return value == environment.end() ? std::nullopt : std::optional(value->second);
        };
        system.open = [this](const fs::path& device) {
            calls << "open " + QString::fromStdString(device.string());
            errno = openError;
            return openError ? -1 : 3;
        };
        system.ioctl = [this](int, unsigned long request, void* argument) {
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
        return ParallelPorts(system);
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

    void findsTheDeviceByBase_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device"); // empty: none
        QTest::newRow("data register") << 888 << "/dev/parport1";
        QTest::newRow("control register") << 890 << "/dev/parport1";
        QTest::newRow("past the port") << 891 << "";
        QTest::newRow("card at another base") << 0xE000 << "/dev/parport0";
        QTest::newRow("no such port") << 0x3BC << "";
    }

    void findsTheDeviceByBase()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        Machine machine;
        machine.addPort(0, "57344\t57352\n");
        machine.addPort(1, "888\t1912\n");
        machine.addPort(2, "garbage\n");
        const auto found = machine.ports().find(std::uint16_t(port));
        QCOMPARE(found.device ? QString::fromStdString(found.device->path.string()) : QString(), device);
    }

    // Without a port at 888, LPT1 is the port the user chose, or the only one.
    void findsLpt1Anywhere_data()
    {
        QTest::addColumn<QStringList>("bases"); // parport0, parport1, ...
        QTest::addColumn<QString>("variable");  // VENTROLIK_LPT1; empty: unset
        QTest::addColumn<QString>("config");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");          // empty: none
        QTest::addColumn<QString>("says");            // the one line reported
        const QStringList cards = {"53264", "57344"}; // 0xd010, 0xe000
        QTest::newRow("the port at 888 before any setting") << QStringList{"53264", "888"} << "/dev/parport0"
                                                            << "" << 888 << "/dev/parport1"
                                                            << "";
        QTest::newRow("the only port") << QStringList{"53264"} << ""
                                       << "" << 888 << "/dev/parport0"
                                       << "LPT1 (0x378) is /dev/parport0 at 0xd010";
        QTest::newRow("its control register") << QStringList{"53264"} << ""
                                              << "" << 890 << "/dev/parport0"
                                              << "LPT1 (0x378) is /dev/parport0 at 0xd010";
        QTest::newRow("several, none chosen")
            << cards << ""
            << "" << 888 << ""
            << "no parallel port at 0x378, and more than one elsewhere: /dev/parport0 at 0xd010, /dev/parport1 at "
               "0xe000 (choose one for LPT1 with a line LPT1=/dev/parportN in ";
        QTest::newRow("chosen in the file") << cards << ""
                                            << "# the fan\n LPT1 = /dev/parport1 # the card\n"
                                            << 888 << "/dev/parport1"
                                            << "LPT1 (0x378) is /dev/parport1 at 0xe000";
        QTest::newRow("the variable before the file") << cards << "/dev/parport0"
                                                      << "LPT1=/dev/parport1" << 888 << "/dev/parport0"
                                                      << "LPT1 (0x378) is /dev/parport0 at 0xd010";
        QTest::newRow("a missing device chosen")
            << cards << "/dev/parport7"
            << "" << 888 << ""
            << "LPT1 is set to '/dev/parport7' in VENTROLIK_LPT1, but there is no such parallel port";
        QTest::newRow("other ports mean their address") << cards << "/dev/parport0"
                                                        << "" << 0xE000 << "/dev/parport1"
                                                        << "";
    }

    void findsLpt1Anywhere()
    {
        QFETCH(QStringList, bases);
        QFETCH(QString, variable);
        QFETCH(QString, config);
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(QString, says);
        Machine machine;
        for (int i = 0; i < bases.size(); ++i)
            machine.addPort(i, bases[i].toStdString() + "\t0\n");
        if (!variable.isEmpty())
            machine.environment["VENTROLIK_LPT1"] = variable.toStdString();
        machine.configure(config.toStdString());
        ParallelPorts ports = machine.ports();
        const iodll::Lookup found = ports.find(std::uint16_t(port));
        QCOMPARE(found.device ? QString::fromStdString(found.device->path.string()) : QString(), device);
        QCOMPARE(found.offset, found.device ? port - (port >= 0xE000 ? 0xE000 : 888) : 0);
        const QString line = found.device ? machine.reports.value(0) : QString::fromStdString(found.refusal);
        QVERIFY2(says.isEmpty() ? line.isEmpty() : line.startsWith(says), qPrintable(line));
        ports.find(std::uint16_t(port));
        QVERIFY(machine.reports.size() <= 1); // said once a run
    }

    void describesOpenErrors_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("hint");
        QTest::newRow("permission") << EACCES << "Permission denied (add your user to the 'lp' group";
        QTest::newRow("no device node") << ENOENT << "(load the 'ppdev' module";
        QTest::newRow("no device") << ENXIO << "(load the 'ppdev' module";
        QTest::newRow("busy") << EBUSY << "(another driver holds the port)";
        QTest::newRow("other") << EIO << "Input/output error";
    }

    void describesOpenErrors()
    {
        QFETCH(int, error);
        QFETCH(QString, hint);
        const QString line = QString::fromStdString(iodll::describeOpenError(error, "/dev/parport0"));
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
        ParallelPorts ports = machine.ports();
        if (word)
            ports.wordOut(std::uint16_t(port), std::uint16_t(value));
        else
            ports.out(std::uint16_t(port), std::uint8_t(value));
        QCOMPARE(machine.calls, calls);
        QCOMPARE(machine.reports, QStringList());
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
            ParallelPorts ports = machine.ports();
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
        ParallelPorts ports = machine.ports();
        ports.out(890, 5);
        ports.wordOut(888, 1);
        QCOMPARE(machine.calls,
                 (QStringList{"open /dev/parport0", "claim", "control 5", "release", "claim", "data 1", "release"}));
    }

    void directIoWritesWhereNoDeviceIsAndSaysSoOnce()
    {
        Machine machine;
        machine.directIo = true;
        machine.listPort("pnp");
        ParallelPorts ports = machine.ports();
        ports.wordOut(888, 1);
        ports.out(888, 0);
        QCOMPARE(machine.calls, (QStringList{"outb 888 1", "outb 889 0", "outb 888 0"}));
        QCOMPARE(machine.reports.size(), 1);
    }

    void failedWriteIsReportedOnce_data()
    {
        QTest::addColumn<bool>("word");
        QTest::addColumn<QString>("report");
        QTest::newRow("byte") << false << "cannot write 0x1 to port 0x378: no parallel port there";
        QTest::newRow("word") << true << "cannot write 0x1 to port 0x378: no parallel port there";
    }

    void failedWriteIsReportedOnce()
    {
        QFETCH(bool, word);
        QFETCH(QString, report);
        Machine machine;
        ParallelPorts ports = machine.ports();
        word ? ports.wordOut(888, 1) : ports.out(888, 1);
        QCOMPARE(machine.reports, QStringList{report});
    }
};

QTEST_GUILESS_MAIN(IoDllTest)
#include "tst_iodll.moc"
