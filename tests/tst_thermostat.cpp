// The thermostat's decision: readings and times in, the fan's state and
// what is said out, one row a story.

#include "broker/Client.h"
#include "broker/Mqtt.h"
#include "thermostat/Loop.h"
#include "thermostat/Setting.h"

#include <QtTest>

using namespace std::chrono_literals;
using thermostat::Reading;

namespace {

// One reading of every sensor: "a=55" is sensor a at 55 °C, "a=!" one
// that can't be read; "mode=off" a command from the broker before it.
struct Step {
    int second;
    std::vector<std::string> readings;
    bool on;
    const char* said; // what the step says, lines joined by " | "
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class TestThermostat : public QObject {
    Q_OBJECT

private slots:
    void decides_data()
    {
        QTest::addColumn<int>("minRun");
        QTest::addColumn<std::vector<Step>>("steps");
        // on at 50, off at 40
        QTest::newRow("rising through --on") << 0
                                             << std::vector<Step>{
                                                    {0, {"a=30"}, false, ""},
                                                    {1, {"a=49.9"}, false, ""},
                                                    {2, {"a=50"}, true, "fan on: a at 50.0 °C (on at 50.0)"},
                                                    {3, {"a=60"}, true, ""},
                                                };
        QTest::newRow("the band keeps the state, falling through --off")
            << 0
            << std::vector<Step>{
                   {0, {"a=55"}, true, "fan on: a at 55.0 °C (on at 50.0)"},
                   {1, {"a=45"}, true, ""},
                   {2, {"a=40.1"}, true, ""},
                   {3, {"a=40"}, false, "fan off: a at 40.0 °C (off at 40.0)"},
                   {4, {"a=45"}, false, ""},
               };
        QTest::newRow("start inside the band counts as off") << 0
                                                             << std::vector<Step>{
                                                                    {0, {"a=45"}, false, ""},
                                                                    {1, {"a=35"}, false, ""},
                                                                };
        QTest::newRow("--min-run holds the fan on") << 30
                                                    << std::vector<Step>{
                                                           {0, {"a=55"}, true, "fan on: a at 55.0 °C (on at 50.0)"},
                                                           {10, {"a=35"}, true, ""},
                                                           {29, {"a=35"}, true, ""},
                                                           {30, {"a=35"}, false, "fan off: a at 35.0 °C (off at 40.0)"},
                                                       };
        QTest::newRow("an unreadable sensor is hot, once, until it returns")
            << 30
            << std::vector<Step>{
                   {0, {"a=30"}, false, ""},
                   {5, {"a=!"}, true, "a fails: gone; counted as hot until it reads again | fan on: a fails"},
                   {6, {"a=!"}, true, ""},
                   {7, {"a=35"}, true, "a reads again: 35.0 °C"},
                   {40, {"a=35"}, false, "fan off: a at 35.0 °C (off at 40.0)"},
               };
        QTest::newRow("a value no sensor gives is a failure")
            << 0
            << std::vector<Step>{
                   {0,
                    {"a=-128"},
                    true,
                    "a fails: it reads -128.0 °C, which no sensor gives; counted as hot until it reads again | fan on: "
                    "a fails"},
                   {1, {"a=200.5"}, true, ""},
                   {2, {"a=30"}, false, "a reads again: 30.0 °C | fan off: a at 30.0 °C (off at 40.0)"},
               };
        QTest::newRow("-60 and 200 °C are trusted, just beyond them is not")
            << 0
            << std::vector<Step>{
                   {0, {"a=-60"}, false, ""},
                   {1, {"a=200"}, true, "fan on: a at 200.0 °C (on at 50.0)"},
                   {2,
                    {"a=200.1"},
                    true,
                    "a fails: it reads 200.1 °C, which no sensor gives; counted as hot until it reads again"},
                   {3, {"a=-60.1"}, true, ""},
                   {4, {"a=-60"}, false, "a reads again: -60.0 °C | fan off: a at -60.0 °C (off at 40.0)"},
               };
        QTest::newRow("a reading that is no number fails, first or after a hot one")
            << 0
            << std::vector<Step>{
                   {0,
                    {"a=nan", "b=30"},
                    true,
                    "a fails: it reads no number (nan); counted as hot until it reads again | fan on: a fails"},
                   {1, {"a=30", "b=30"}, false, "a reads again: 30.0 °C | fan off: a at 30.0 °C (off at 40.0)"},
                   {2,
                    {"a=30", "b=nan"},
                    true,
                    "b fails: it reads no number (nan); counted as hot until it reads again | fan on: b fails"},
                   {3,
                    {"a=inf", "b=-inf"},
                    true,
                    "a fails: it reads no number (inf); counted as hot until it reads again"},
               };
        QTest::newRow("a sensor failing during --min-run")
            << 30
            << std::vector<Step>{
                   {0, {"a=55"}, true, "fan on: a at 55.0 °C (on at 50.0)"},
                   {10, {"a=!"}, true, "a fails: gone; counted as hot until it reads again"},
                   {20, {"a=35"}, true, "a reads again: 35.0 °C"},
                   {30, {"a=35"}, false, "fan off: a at 35.0 °C (off at 40.0)"},
               };
        QTest::newRow("the hottest of two counts")
            << 0
            << std::vector<Step>{
                   {0, {"a=30", "b=45"}, false, ""},
                   {1, {"a=30", "b=52"}, true, "fan on: b at 52.0 °C (on at 50.0)"},
                   {2, {"a=41", "b=39"}, true, ""},
                   {3, {"a=38", "b=39"}, false, "fan off: b at 39.0 °C (off at 40.0)"},
                   {4, {"a=!", "b=20"}, true, "a fails: gone; counted as hot until it reads again | fan on: a fails"},
               };
        QTest::newRow("the broker holds the fan, but never off over a failing or hot sensor")
            << 30
            << std::vector<Step>{
                   {0, {"a=45"}, false, ""},
                   {1, {"mode=on", "a=30"}, true, "fan on: mode on"},
                   {2, {"mode=off", "a=45"}, false, "fan off: mode off"},
                   {3, {"a=50"}, true, "fan on: a at 50.0 °C (on at 50.0)"},
                   {4, {"a=!"}, true, "a fails: gone; counted as hot until it reads again"},
                   {5, {"a=45"}, false, "a reads again: 45.0 °C | fan off: mode off"},
                   {6, {"mode=on", "a=45"}, true, "fan on: mode on"},
                   {7, {"mode=auto", "a=35"}, true, ""},
                   {36, {"a=35"}, false, "fan off: a at 35.0 °C (off at 40.0)"},
               };
    }

    void decides()
    {
        QFETCH(int, minRun);
        QFETCH(std::vector<Step>, steps);
        thermostat::Fan fan;
        fan.sensors = {"a", "b"}, fan.on = 50, fan.off = 40, fan.minRun = std::chrono::seconds(minRun);
        thermostat::Decision decision(fan);
        // Not the clock's zero, which a time never recorded also holds.
        const thermostat::Clock::time_point start = thermostat::Clock::time_point{} + std::chrono::hours(1000);
        for (const Step& step : steps) {
            std::vector<Reading> readings;
            for (const std::string& text : step.readings) {
                if (text.starts_with("mode=")) {
                    const std::string mode = text.substr(5);
                    decision.setMode(mode == "on"    ? thermostat::Mode::on
                                     : mode == "off" ? thermostat::Mode::off
                                                     : thermostat::Mode::automatic);
                    continue;
                }
                const std::string value = text.substr(2);
                readings.push_back(value == "!" ? Reading{text.substr(0, 1), 0, "gone", {}}
                                                : Reading{text.substr(0, 1), std::stod(value), {}, {}});
            }
            std::vector<std::string> said;
            const bool on = decision.next(readings, start + std::chrono::seconds(step.second), said);
            QString joined;
            for (const std::string& line : said)
                joined += (joined.isEmpty() ? "" : " | ") + QString::fromStdString(line);
            QCOMPARE(joined, QString::fromUtf8(step.said));
            QVERIFY2(on == step.on,
                     qPrintable(QString("at %1 s the fan is %2").arg(step.second).arg(on ? "on" : "off")));
        }
    }

    void parses_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("problem");
        QTest::newRow("all") << QStringList{"--sensor", "a/b",  "--sensor=c/Package id 0",
                                            "--on",     "50.5", "--off=-5",
                                            "--every",  "1.5",  "--min-run",
                                            "0"}
                             << "";
        QTest::newRow("nothing") << QStringList{} << "it needs '--sensor', or a broker that switches it";
        QTest::newRow("no sensor") << QStringList{"--on", "50", "--off", "40"} << "'--on' and '--off' need '--sensor'";
        QTest::newRow("no --off") << QStringList{"--sensor", "a/b", "--on", "50"} << "'--sensor' need '--on' and '--off'";
        QTest::newRow("on not above off") << QStringList{"--sensor", "a/b", "--on", "40", "--off", "40"}
                                          << "'--on' (40.0) must be above '--off' (40.0)";
        QTest::newRow("a threshold no sensor reaches") << QStringList{"--sensor", "a/b", "--on", "500", "--off", "40"}
                                                       << "'--on' takes a temperature in °C, from -60.0 to 200.0, not '500'";
        QTest::newRow("--config with an option") << QStringList{"--config", "f.toml", "--on", "5"}
                                                 << "'--config' takes every setting from its file: give no other option "
                                                    "but --check";
        QTest::newRow("an unknown option") << QStringList{"--sensor", "a/b", "--sensors", "c/d"}
                                           << "unknown option '--sensors'";
        QTest::newRow("--check without a file")
            << QStringList{"--check", "--sensor", "a/b"} << "'--check' checks a setting file: give it with --config";
        QTest::newRow("not a number") << QStringList{"--sensor", "a/b", "--on", "5O", "--off", "40"}
                                      << "'--on' takes a temperature in °C, not '5O'";
        QTest::newRow("nan") << QStringList{"--sensor", "a/b", "--on", "nan", "--off", "40"}
                             << "'--on' takes a temperature in °C, not 'nan'";
        QTest::newRow("no pause between readings") << QStringList{"--sensor", "a/b", "--on=5", "--off=4", "--every=0"}
                                                   << "'--every' takes a number of seconds from 1 up, not '0'";
        QTest::newRow("a broker, and no sensor") << QStringList{"--broker", "mqtts://[::1]:8884/"} << "";
        QTest::newRow("not an MQTT URL") << QStringList{"--broker", "http://hub"}
                                         << "'--broker' takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not 'http://hub'";
        QTest::newRow("no such port") << QStringList{"--broker=mqtt://hub:65536"}
                                      << "'--broker' takes a port from 1 to 65535 after the host, not 'mqtt://hub:65536'";
        const QString url = "'--broker' takes a host name or address after the scheme, an IPv6 address in brackets "
                            "([::1]), not '%1'";
        QTest::newRow("an IPv6 address without brackets") << QStringList{"--broker", "mqtt://::1"} << url.arg("mqtt://::1");
        QTest::newRow("a bracket not closed") << QStringList{"--broker", "mqtt://[::1"} << url.arg("mqtt://[::1");
        QTest::newRow("a port that is not a whole number")
            << QStringList{"--broker", "mqtt://127.0.0.1:1883.0"}
            << "'--broker' takes a port from 1 to 65535 after the host, not 'mqtt://127.0.0.1:1883.0'";
        for (const QString option : {"--broker-ca", "--broker-cert"})
            QTest::newRow(qPrintable(option + " over plain MQTT"))
                << QStringList{"--broker", "mqtt://hub", option, "ca.crt", "--broker-key", "k"}
                << "'" + option + "' needs an mqtts:// broker: over mqtt:// nothing is encrypted";
        const QString node = "'--node' takes an id of 1 to 64 letters, digits, '_' and '-', not '%1'";
        for (const QString& id : QStringList{"fan/+", "fan+", "fan#", QString(65, 'a')})
            QTest::newRow(qPrintable("node id " + id)) << QStringList{"--broker", "mqtt://hub", "--node", id}
                                                      << node.arg(id);
        QTest::newRow("a name that isn't UTF-8") << QStringList{"--broker", "mqtt://hub", "--name", "bad\\xffname"}
                                                  << "'--name' takes a name in UTF-8, not 'bad?name'";
        QTest::newRow("a tab in the name")
            << QStringList{"--broker", "mqtt://hub", "--name", "Attic\tfan"}
            << "'--name' takes a name without control characters, such as a tab or a line break, not 'Attic?fan'";
        QTest::newRow("an empty level in the prefix")
            << QStringList{"--broker", "mqtt://hub", "--discovery-prefix", "ha//x"}
            << "'--discovery-prefix' takes topic levels without '+', '#' or an empty one, not 'ha//x'";
        QTest::newRow("a control character in the prefix")
            << QStringList{"--broker", "mqtt://hub", "--discovery-prefix", "ha\x1b"}
            << "'--discovery-prefix' takes topic levels without '+', '#' or an empty one, not 'ha?'";
        for (const QString option : {"--node", "--discovery-prefix"})
            QTest::newRow(qPrintable(option + " without a broker"))
                << QStringList{"--sensor", "a/b", "--on", "5", "--off", "4", option, "attic"}
                << "the broker's settings need '--broker'";
        QTest::newRow("half a second between readings")
            << QStringList{"--sensor", "a/b", "--on=5", "--off=4", "--every", "0.5"}
            << "'--every' takes a number of seconds from 1 up, not '0.5'";
    }

    // Setting files, good and bad: each bad one refused with its line and
    // fault, by the checks the options go through.
    void readsFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem"); // after "FILE:"
        const QString fans = "[[fan]]\nid = \"exhaust\"\nsensors = [\"a/b\"]\non = 50\noff = 40.5\n"
                             "[[fan]]\nid = \"intake\"\nname = \"Intake, north\"\nline = \"D1\"\nsensors = [\"a/b\", \"c/d\"]\n"
                             "on = 45\noff = 35\nmin_run = 0\n"
                             "[[fan]]\nid = \"door\"\nline = \"D7\"\n";
        QTest::newRow("three fans and a broker")
            << "every = 2\n[broker]\nurl = \"mqtts://hub.lan\"\nname = \"Rack 3\"\nlogin = \"/etc/l\"\n" + fans << "";
        QTest::newRow("an unknown key") << "[[fan]]\nid = \"a\"\nsensor = [\"a/b\"]\n" << "3: unknown key 'sensor'";
        QTest::newRow("a table unknown") << "[fans]\nid = \"a\"\n" << "1: unknown key 'fans'";
        QTest::newRow("a fan without an id") << "[[fan]]\nsensors = [\"a/b\"]\non = 5\noff = 4\n"
                                             << "1: a fan without an 'id'";
        QTest::newRow("an id twice") << "[broker]\nurl = \"mqtt://h\"\n[[fan]]\nid = \"a\"\n\n[[fan]]\nid = \"a\"\nline = \"D1\"\n"
                                     << "6: a second fan with the id 'a' (the first is on line 3)";
        QTest::newRow("two fans on a line")
            << "[broker]\nurl = \"mqtt://h\"\n[[fan]]\nid = \"a\"\n[[fan]]\nid = \"b\"\nline = \"D0\"\n"
            << "5: fans 'a' and 'b' both on D0";
        QTest::newRow("a line beyond D7") << "[[fan]]\nid = \"a\"\nline = \"D8\"\n"
                                          << "3: 'line' takes a data line from D0 to D7, not 'D8'";
        QTest::newRow("off not below on") << "[[fan]]\nid = \"a\"\nsensors = [\"a/b\"]\non = 40\noff = 45\n"
                                          << "1: fan 'a': 'on' (40.0) must be above 'off' (45.0)";
        QTest::newRow("a sensor without thresholds") << "[[fan]]\nid = \"a\"\nsensors = [\"a/b\"]\n"
                                                     << "1: fan 'a': 'sensors' need 'on' and 'off'";
        QTest::newRow("a switch without a broker") << "[[fan]]\nid = \"a\"\n"
                                                   << "1: fan 'a': it needs 'sensors', or a broker that switches it";
        QTest::newRow("no fan") << "every = 5\n" << " no fan: give each a [[fan]] table";
        QTest::newRow("a broker without a url") << "[broker]\nnode = \"x\"\n[[fan]]\nid = \"a\"\n"
                                                << " the broker's settings need 'url'";
        QTest::newRow("a number in quotes") << "[[fan]]\nid = \"a\"\non = \"50\"\n"
                                            << "3: 'on' takes a temperature in °C, not '50'";
        QTest::newRow("a sensor not in a list") << "[[fan]]\nid = \"a\"\nsensors = \"a/b\"\n"
                                                << "3: 'sensors' takes a list of sensors, as [\"lm75-i2c-0-48/temp1\"], "
                                                   "not 'a/b'";
        QTest::newRow("readings without a pause") << "every = 0\n" << "1: 'every' takes a number of seconds from 1 up, not '0'";
        QTest::newRow("not TOML") << "[[fan]]\nid = exhaust\n" << "2: *";
    }

    void readsFiles()
    {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        QTemporaryDir folder;
        const QString file = folder.filePath("thermostat.toml");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) > 0);
        out.close();
        const thermostat::Read read = thermostat::readFile(file.toStdString());
        const QString got = QString::fromStdString(read.problem);
        QVERIFY2(problem.endsWith('*') ? got.startsWith(file + ":" + problem.chopped(1))
                                       : got == (problem.isEmpty() ? "" : file + ":" + problem),
                 qPrintable(got));
        if (!problem.isEmpty())
            return;
        const thermostat::Settings& settings = read.settings;
        QCOMPARE(settings.every, thermostat::Clock::duration(2s));
        QCOMPARE(settings.broker.port, 8883);
        QCOMPARE(settings.fans.size(), std::size_t(3));
        const thermostat::Fan& intake = settings.fans[1];
        QCOMPARE(intake.name, std::string("Intake, north"));
        QCOMPARE(intake.line, 1);
        QCOMPARE(intake.sensors.size(), std::size_t(2));
        QCOMPARE(intake.minRun, thermostat::Clock::duration(0));
        QCOMPARE(settings.fans[0].off, 40.5);
        QCOMPARE(settings.fans[0].minRun, thermostat::Clock::duration(30s));
        QCOMPARE(settings.fans[2].name, std::string("door"));
        QCOMPARE(settings.fans[2].line, 7);
        QCOMPARE(settings.fans[2].where, 19);
    }

    // The loop on played sensors, clock, signals and broker: each wait ends
    // as the script says (a command to a fan, a stop signal), or else at
    // its time. Fans are ID:LINE:SENSOR; the command line's one is ":0:a".
    void loop_data()
    {
        QTest::addColumn<QStringList>("fans");
        QTest::addColumn<QStringList>("readings"); // a reading of every sensor, each time
        QTest::addColumn<QStringList>("wakes");
        QTest::addColumn<QStringList>("seen");
        const QStringList one{":0:a"};
        QTest::newRow("SIGTERM after two readings")
            << one << QStringList{"a=55", "a=30"} << QStringList{"", "SIGTERM"}
            << QStringList{"fan on: a at 55.0 °C (on at 50.0)", "write 00000001", "told on auto",
                           "fan off: a at 30.0 °C (off at 40.0)", "write 00000000", "told off auto", "write 00000001",
                           "told on auto", "thermostat stopped by SIGTERM: fan on", "stopped"};
        QTest::newRow("SIGINT") << one << QStringList{"a=30"} << QStringList{"SIGINT"}
                                << QStringList{"write 00000000", "told off auto", "write 00000001", "told on auto",
                                               "thermostat stopped by SIGINT: fan on", "stopped"};
        QTest::newRow("a command is acted on at once, on the last reading")
            << one << QStringList{"a=30", "a=30"} << QStringList{"0=on", "", "0=auto", "SIGTERM"}
            << QStringList{"write 00000000", "told off auto", "mode on, from the broker", "fan on: mode on",
                           "write 00000001", "told on on", "write 00000001", "told on on",
                           "mode auto, from the broker", "fan off: a at 30.0 °C (off at 40.0)", "write 00000000",
                           "told off auto", "write 00000001", "told on auto", "thermostat stopped by SIGTERM: fan on",
                           "stopped"};
        // Each fan on its own line, by its own sensor; a command moves its
        // fan alone, and a failing sensor puts its fan on over "off".
        QTest::newRow("three fans, one sensor failing")
            << QStringList{"x:0:a", "y:3:b", "z:1:"} << QStringList{"a=55 b=30", "a=55 b=!", "a=30 b=!"}
            << QStringList{"2=on", "", "1=off", "", "SIGTERM"}
            << QStringList{"x: fan on: a at 55.0 °C (on at 50.0)", "write 00000001", "told on auto, off auto, off auto",
                           "z: mode on, from the broker", "z: fan on: mode on", "write 00000011",
                           "told on auto, off auto, on on",
                           "y: b fails: gone; counted as hot until it reads again", "y: fan on: b fails",
                           "write 00001011", "told on auto, on auto !, on on", "y: mode off, from the broker",
                           "write 00001011", "told on auto, on off !, on on", "x: fan off: a at 30.0 °C (off at 40.0)",
                           "write 00001010", "told off auto, on off !, on on", "write 00001011",
                           "told on auto, on off !, on on", "thermostat stopped by SIGTERM: every fan on", "stopped"};
    }

    void loop()
    {
        QFETCH(QStringList, fans);
        QFETCH(QStringList, readings);
        QFETCH(QStringList, wakes);
        QFETCH(QStringList, seen);
        struct Played final : thermostat::Sensors, thermostat::World {
            QStringList readings;
            QStringList wakes;
            thermostat::Clock::time_point time = thermostat::Clock::time_point{} + std::chrono::hours(1000);
            QStringList seen;

            std::vector<Reading> read() override
            {
                std::vector<Reading> taken;
                for (const QString& each : readings.takeFirst().split(' ')) {
                    const std::string sensor = each.section('=', 0, 0).toStdString();
                    const QString value = each.section('=', 1);
                    taken.push_back({sensor, value.toDouble(), value == "!" ? "gone" : "", sensor});
                }
                return taken;
            }
            thermostat::Clock::time_point now() override { return time; }
            void write(std::uint8_t lines) override { seen << "write " + QString::number(lines, 2).rightJustified(8, '0'); }
            void say(const std::string& line) override { seen << QString::fromStdString(line); }
            void tell(const thermostat::Status& status) override
            {
                QStringList fans;
                for (const thermostat::FanStatus& fan : status.fans)
                    fans << QString("%1 %2%3").arg(fan.on ? "on" : "off", thermostat::name(fan.mode).data(),
                                                   fan.problem.empty() ? "" : " !");
                seen << "told " + fans.join(", ");
            }
            void stopped() override { seen << "stopped"; }
            thermostat::Wake wait(thermostat::Clock::duration duration) override
            {
                const QString wake = wakes.takeFirst();
                if (wake.contains('=')) {
                    const QString mode = wake.section('=', 1);
                    return {{},
                            thermostat::Command{wake.section('=', 0, 0).toULong(),
                                                mode == "on"    ? thermostat::Mode::on
                                                : mode == "off" ? thermostat::Mode::off
                                                                : thermostat::Mode::automatic}};
                }
                time += duration;
                return {wake.toStdString(), std::nullopt};
            }
        } played;
        played.readings = readings;
        played.wakes = wakes;
        thermostat::Settings settings;
        settings.every = 5s;
        for (const QString& each : fans) {
            thermostat::Fan fan;
            fan.id = each.section(':', 0, 0).toStdString();
            fan.line = each.section(':', 1, 1).toInt();
            if (!each.section(':', 2).isEmpty())
                fan.sensors = {each.section(':', 2).toStdString()}, fan.on = 50, fan.off = 40, fan.minRun = 0s;
            settings.fans.push_back(fan);
        }
        QCOMPARE(thermostat::control(settings, played, played), 0);
        QCOMPARE(played.seen.mid(1), seen);
        QVERIFY(played.readings.isEmpty());
    }

    // What the broker is told, and what is taken from it: for the command
    // line's one fan ("attic"), or for two fans and a switch ("rack").
    void broker_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("messages"); // TOPIC PAYLOAD
        QTest::newRow("state, the hottest reading that can be trusted")
            << "attic state a=35 b=41.25 c=! on"
            << QStringList{"ventrolik/attic/fan ON", "ventrolik/attic/mode off",
                           "ventrolik/attic/temperature {\"celsius\":41.3,\"sensor\":\"b\"}",
                           "ventrolik/attic/problem {\"state\":\"ON\",\"why\":\"c fails: gone\"}"};
        QTest::newRow("state, no reading to trust")
            << "attic state a=! b=300 on"
            << QStringList{"ventrolik/attic/fan ON", "ventrolik/attic/mode off",
                           "ventrolik/attic/temperature {\"celsius\":null,\"problem\":\"a: gone\"}",
                           "ventrolik/attic/problem {\"state\":\"ON\",\"why\":\"a fails: gone\"}"};
        QTest::newRow("state of three fans, each on its own topics")
            << "rack state a=35 off"
            << QStringList{"ventrolik/rack/exhaust/fan OFF", "ventrolik/rack/exhaust/mode off",
                           "ventrolik/rack/exhaust/temperature {\"celsius\":35.0,\"sensor\":\"a\"}",
                           "ventrolik/rack/exhaust/problem {\"state\":\"OFF\"}", "ventrolik/rack/intake/fan OFF",
                           "ventrolik/rack/intake/mode off", "ventrolik/rack/intake/problem {\"state\":\"OFF\"}",
                           "ventrolik/rack/door/fan OFF"};
        const QString device = "\"availability_topic\":\"ventrolik/attic/availability\",\"device\":{\"identifiers\":"
                               "[\"ventrolik_attic\"],\"name\":\"Attic \\\"north\\\"\",\"manufacturer\":\"Kestrova\","
                               "\"model\":\"Ventrolik\",\"sw_version\":\"1.00\"}";
        QTest::newRow("discovery")
            << "attic discovery"
            << QStringList{
                   "ha/fan/attic/fan/config {\"name\":null,\"unique_id\":\"ventrolik_attic_fan\"," + device +
                       ",\"state_topic\":\"ventrolik/attic/fan\",\"command_topic\":\"ventrolik/attic/fan/set\","
                       "\"payload_on\":\"ON\",\"payload_off\":\"OFF\"}",
                   "ha/sensor/attic/temperature/config {\"name\":\"Temperature\",\"unique_id\":\"ventrolik_attic_"
                   "temperature\"," + device +
                       ",\"state_topic\":\"ventrolik/attic/temperature\",\"value_template\":\"{{ value_json.celsius "
                       "}}\",\"json_attributes_topic\":\"ventrolik/attic/temperature\",\"device_class\":\"temperature\","
                       "\"unit_of_measurement\":\"°C\",\"state_class\":\"measurement\"}",
                   "ha/select/attic/mode/config {\"name\":\"Mode\",\"unique_id\":\"ventrolik_attic_mode\"," + device +
                       ",\"state_topic\":\"ventrolik/attic/mode\",\"command_topic\":\"ventrolik/attic/mode/set\","
                       "\"options\":[\"auto\",\"on\",\"off\"]}",
                   "ha/binary_sensor/attic/problem/config {\"name\":\"Problem\",\"unique_id\":\"ventrolik_attic_"
                   "problem\"," + device +
                       ",\"state_topic\":\"ventrolik/attic/problem\",\"value_template\":\"{{ value_json.state }}\","
                       "\"json_attributes_topic\":\"ventrolik/attic/problem\",\"device_class\":\"problem\","
                       "\"entity_category\":\"diagnostic\"}"};
        QTest::newRow("discovery of a switch: the fan alone")
            << "attic switch discovery" << QStringList{"ha/fan/attic/fan/config {\"name\":null,*"};
        // NAME UNIQUE-ID STATE-TOPIC
        QTest::newRow("discovery of three fans, named after each")
            << "rack discovery"
            << QStringList{"ha/fan/rack/exhaust_fan/config Exhaust ventrolik_rack_exhaust_fan ventrolik/rack/exhaust/fan",
                           "ha/sensor/rack/exhaust_temperature/config Exhaust temperature ventrolik_rack_exhaust_"
                           "temperature ventrolik/rack/exhaust/temperature",
                           "ha/select/rack/exhaust_mode/config Exhaust mode ventrolik_rack_exhaust_mode "
                           "ventrolik/rack/exhaust/mode",
                           "ha/binary_sensor/rack/exhaust_problem/config Exhaust problem ventrolik_rack_exhaust_problem "
                           "ventrolik/rack/exhaust/problem",
                           "ha/fan/rack/intake_fan/config intake ventrolik_rack_intake_fan ventrolik/rack/intake/fan",
                           "ha/sensor/rack/intake_temperature/config intake temperature ventrolik_rack_intake_"
                           "temperature ventrolik/rack/intake/temperature",
                           "ha/select/rack/intake_mode/config intake mode ventrolik_rack_intake_mode "
                           "ventrolik/rack/intake/mode",
                           "ha/binary_sensor/rack/intake_problem/config intake problem ventrolik_rack_intake_problem "
                           "ventrolik/rack/intake/problem",
                           "ha/fan/rack/door_fan/config Door ventrolik_rack_door_fan ventrolik/rack/door/fan"};
        // TOPIC PAYLOAD -> whether it is cleared
        QTest::newRow("configs of entities no longer there")
            << "rack stale"
            << QStringList{"ha/fan/rack/gone_fan/config {\"unique_id\":\"ventrolik_rack_gone_fan\"} -> cleared",
                           "ha/sensor/rack/door_temperature/config {\"unique_id\":\"ventrolik_rack_door_temperature\"} "
                           "-> cleared",
                           "ha/fan/rack/fan/config {\"unique_id\":\"ventrolik_rack_fan\"} -> cleared",
                           "ha/fan/rack/exhaust_fan/config {\"unique_id\":\"ventrolik_rack_exhaust_fan\"} -> kept",
                           "ha/fan/rack/gone_fan/config  -> kept",
                           "ha/fan/rack/lamp/config {\"unique_id\":\"zigbee_rack_lamp\"} -> kept",
                           "ha/fan/rack/lamp/config {\"unique_id\":\"ventrolik_rackroom_lamp\"} -> kept",
                           "ha/fan/rack/lamp/config not json -> kept"};
        // TOPIC PAYLOAD [retained] -> the mode, or what is said
        QTest::newRow("commands")
            << "attic commands"
            << QStringList{"ventrolik/attic/fan/set ON -> 0 on",
                           "ventrolik/attic/fan/set OFF -> 0 off",
                           "ventrolik/attic/mode/set auto -> 0 auto",
                           "ventrolik/attic/mode/set off -> 0 off",
                           "ventrolik/attic/fan/set on -> ignoring 'on' on ventrolik/attic/fan/set: it takes ON or OFF",
                           "ventrolik/attic/mode/set AUTO -> ignoring 'AUTO' on ventrolik/attic/mode/set: it takes "
                           "auto, on or off",
                           "ventrolik/attic/fan/set  -> ignoring '' on ventrolik/attic/fan/set: it takes ON or OFF",
                           "ventrolik/attic/fan/set O\x1bN\x7f -> ignoring 'O?N?' on ventrolik/attic/fan/set: it "
                           "takes ON or OFF",
                           "ventrolik/attic/fan/set " + QString(50, 'X') + " -> ignoring '" + QString(40, 'X') +
                               "'... on ventrolik/attic/fan/set: it takes ON or OFF",
                           "ventrolik/attic/fan/set ON retained -> ignoring a retained 'ON' on "
                           "ventrolik/attic/fan/set: commands are taken only as they are sent",
                           "ventrolik/kitchen/fan/set ON -> ",
                           "ha/status online -> "};
        QTest::newRow("commands to a switch with no sensor")
            << "attic switch commands"
            << QStringList{"ventrolik/attic/fan/set ON -> 0 on",
                           "ventrolik/attic/mode/set auto -> ignoring 'auto' on ventrolik/attic/mode/set: a fan without "
                           "a sensor has no mode; it takes ON or OFF on ventrolik/attic/fan/set"};
        QTest::newRow("commands to each of three fans")
            << "rack commands"
            << QStringList{"ventrolik/rack/intake/fan/set ON -> 1 on", "ventrolik/rack/door/fan/set OFF -> 2 off",
                           "ventrolik/rack/exhaust/mode/set auto -> 0 auto", "ventrolik/rack/fan/set ON -> ",
                           "ventrolik/rack/door/mode/set on -> ignoring 'on' on ventrolik/rack/door/mode/set: a fan "
                           "without a sensor has no mode; it takes ON or OFF on ventrolik/rack/door/fan/set"};
    }

    void broker()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, messages);
        thermostat::Settings settings;
        const auto fan = [](std::string id, std::string name, int line, std::vector<std::string> sensors) {
            thermostat::Fan fan;
            fan.id = id, fan.name = name, fan.line = line, fan.sensors = sensors;
            return fan;
        };
        if (what.startsWith("attic")) {
            settings.broker.node = "attic", settings.broker.name = "Attic \"north\"";
            settings.fans = {fan("", "", 0, what.contains("switch") ? std::vector<std::string>{} : std::vector<std::string>{"a"})};
        } else {
            settings.broker.node = "rack", settings.broker.name = "Rack 3";
            settings.fans = {fan("exhaust", "Exhaust", 0, {"a"}), fan("intake", "intake", 1, {"b"}),
                             fan("door", "Door", 2, {})};
        }
        settings.broker.prefix = "ha";
        QStringList got;
        const auto add = [&](const std::vector<mqtt::Message>& sent) {
            for (const mqtt::Message& message : sent) {
                QVERIFY(message.retain);
                got << QString::fromStdString(message.topic + " " + message.payload);
            }
        };
        if (what.contains("state")) {
            thermostat::Status status;
            std::vector<Reading> readings;
            std::string problem;
            for (const QString& word : what.split(' ').mid(2, what.count('='))) {
                const std::string sensor = word.left(1).toStdString();
                readings.push_back(word.endsWith('!') ? Reading{sensor, 0, "gone", {}} : Reading{sensor, word.mid(2).toDouble(), {}, {}});
                if (word.endsWith('!') && problem.empty())
                    problem = sensor + " fails: gone";
            }
            for (std::size_t i = 0; i < settings.fans.size(); ++i)
                status.fans.push_back({what.endsWith("on"), thermostat::Mode::off, i == 0 ? readings : std::vector<Reading>{}, problem});
            add(mqtt::state(settings, status));
        } else if (what.contains("discovery")) {
            add(mqtt::discovery(settings));
            // Every entity in the node's one device.
            for (const QString& config : got)
                QVERIFY2(config.contains(QString::fromStdString("\"identifiers\":[\"ventrolik_" + settings.broker.node + "\"]")), qPrintable(config));
            if (what.startsWith("rack"))
                for (QString& config : got) {
                    const QJsonObject json = QJsonDocument::fromJson(config.section(' ', 1).toUtf8()).object();
                    config = config.section(' ', 0, 0) + " " + json["name"].toString() + " " + json["unique_id"].toString() +
                             " " + json["state_topic"].toString();
                }
        } else if (what.contains("stale")) {
            for (const QString& row : messages) {
                const QString sent = row.section(" -> ", 0, 0);
                const bool stale = mqtt::stale(settings, sent.section(' ', 0, 0).toStdString(), sent.section(' ', 1).toStdString());
                got << sent + " -> " + (stale ? "cleared" : "kept");
            }
        } else {
            for (const QString& row : messages) {
                const QString sent = row.section(" -> ", 0, 0);
                const QString payload = sent.section(' ', 1, 1).replace("\\x1b", "\x1b").replace("\\x7f", "\x7f");
                std::string problem;
                const std::optional<thermostat::Command> command =
                    mqtt::command(settings, sent.section(' ', 0, 0).toStdString(), payload.toStdString(),
                                  sent.endsWith(" retained"), problem);
                got << sent + " -> " +
                           (command ? QString("%1 %2").arg(command->fan).arg(thermostat::name(command->mode).data())
                                    : QString::fromStdString(problem));
            }
        }
        QCOMPARE(got.size(), messages.size());
        for (int i = 0; i < got.size(); ++i) {
            // "*" at the end stands for the rest of a config, checked in another row.
            const QString expected = messages[i];
            QVERIFY2(expected.endsWith('*') ? got[i].startsWith(expected.chopped(1)) : got[i] == expected,
                     qPrintable(got[i] + "\n   not " + expected));
        }
    }

    // The pauses between tries to reach a broker: doubling up to 30 s, each
    // less a random share of up to half.
    void reconnectPausesDoubleToHalfAMinute()
    {
        const int longest[] = {1, 2, 4, 8, 16, 30, 30, 30};
        for (int tries = 0; tries < 8; ++tries) {
            QCOMPARE(thermostat::reconnectPause(tries, 0), thermostat::Clock::duration(1s * longest[tries]));
            QCOMPARE(thermostat::reconnectPause(tries, 1), thermostat::Clock::duration(500ms * longest[tries]));
        }
    }

    void nodeIdIsStableAndOwn()
    {
        const std::string id = mqtt::nodeId("0f3c2a1b9d8e7f6a5b4c3d2e1f0a9b8c");
        QCOMPARE(mqtt::nodeId("0f3c2a1b9d8e7f6a5b4c3d2e1f0a9b8c"), id);
        QVERIFY(id != mqtt::nodeId("0f3c2a1b9d8e7f6a5b4c3d2e1f0a9b8d"));
        QVERIFY2(QRegularExpression("^ventrolik-[0-9a-f]{12}$").match(QString::fromStdString(id)).hasMatch(), id.c_str());
    }

    void parses()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, problem);
        std::vector<std::string> texts;
        for (const QString& word : words) // "\\xff" stands for a byte that no UTF-8 has
            texts.push_back(word.toUtf8().replace("\\xff", "\xff").toStdString());
        const std::vector<std::string_view> views(texts.begin(), texts.end());
        const thermostat::Parsed parsed = thermostat::parse(views);
        QCOMPARE(QString::fromStdString(parsed.problem), problem);
        if (problem.isEmpty() && !parsed.settings.broker.url.empty()) {
            QCOMPARE(parsed.settings.broker.host, std::string("::1"));
            QCOMPARE(parsed.settings.broker.port, 8884);
        }
        if (problem.isEmpty() && parsed.settings.broker.url.empty() && parsed.file.empty()) {
            const thermostat::Fan& fan = parsed.settings.fans.at(0);
            QCOMPARE(fan.sensors, (std::vector<std::string>{"a/b", "c/Package id 0"}));
            QCOMPARE(fan.off, -5.0);
            QCOMPARE(parsed.settings.every, thermostat::Clock::duration(1500ms));
            QCOMPARE(fan.minRun, thermostat::Clock::duration(0));
        }
    }
};

QTEST_APPLESS_MAIN(TestThermostat)
#include "tst_thermostat.moc"
