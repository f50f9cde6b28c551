// The thermostat's decision: readings and times in, the fan's state and
// what is said out, one row a story.

#include "app/Mqtt.h"
#include "app/Thermostat.h"
#include "app/linux/Broker.h"

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
        thermostat::Settings settings{{"a", "b"}, 50, 40, 1s, std::chrono::seconds(minRun), {}};
        thermostat::Decision decision(settings);
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
                readings.push_back(value == "!" ? Reading{text.substr(0, 1), 0, "gone"}
                                                : Reading{text.substr(0, 1), std::stod(value), {}});
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
        QTest::newRow("no sensor") << QStringList{"--on", "50", "--off", "40"} << "the thermostat needs a --sensor";
        QTest::newRow("no --off") << QStringList{"--sensor", "a/b", "--on", "50"}
                                  << "the thermostat needs --on and --off";
        QTest::newRow("on not above off")
            << QStringList{"--sensor", "a/b", "--on", "40", "--off", "40"} << "--on (40.0) must be above --off (40.0)";
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
                << "the broker's settings need a --broker";
        QTest::newRow("half a second between readings")
            << QStringList{"--sensor", "a/b", "--on=5", "--off=4", "--every", "0.5"}
            << "'--every' takes a number of seconds from 1 up, not '0.5'";
    }

    // The loop on played sensors, clock, signals and broker: each wait ends
    // as the script says (a command, a stop signal), or else at its time.
    void loop_data()
    {
        QTest::addColumn<QList<double>>("temperatures");
        QTest::addColumn<QStringList>("wakes");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("SIGTERM after two readings")
            << QList<double>{55, 30} << QStringList{"", "SIGTERM"}
            << QStringList{"fan on: a at 55.0 °C (on at 50.0)", "on", "told on auto",
                           "fan off: a at 30.0 °C (off at 40.0)", "off", "told off auto", "on", "told on auto",
                           "thermostat stopped by SIGTERM: fan on", "stopped"};
        QTest::newRow("SIGINT") << QList<double>{30} << QStringList{"SIGINT"}
                                << QStringList{"off", "told off auto", "on", "told on auto",
                                               "thermostat stopped by SIGINT: fan on", "stopped"};
        QTest::newRow("a command is acted on at once, on the last reading")
            << QList<double>{30, 30} << QStringList{"mode=on", "", "mode=auto", "SIGTERM"}
            << QStringList{"off", "told off auto", "mode on, from the broker", "fan on: mode on", "on", "told on on",
                           "on", "told on on", "mode auto, from the broker", "fan off: a at 30.0 °C (off at 40.0)",
                           "off", "told off auto", "on", "told on auto",
                           "thermostat stopped by SIGTERM: fan on", "stopped"};
    }

    void loop()
    {
        QFETCH(QList<double>, temperatures);
        QFETCH(QStringList, wakes);
        QFETCH(QStringList, seen);
        struct Played final : thermostat::Sensors, thermostat::World {
            QList<double> temperatures;
            QStringList wakes;
            thermostat::Clock::time_point time = thermostat::Clock::time_point{} + std::chrono::hours(1000);
            QStringList seen;

            std::vector<Reading> read() override { return {{"a", temperatures.takeFirst(), {}}}; }
            thermostat::Clock::time_point now() override { return time; }
            void switchFan(bool on) override { seen << (on ? "on" : "off"); }
            void say(const std::string& line) override { seen << QString::fromStdString(line); }
            void tell(const thermostat::Status& status) override
            {
                seen << QString("told %1 %2").arg(status.on ? "on" : "off", thermostat::name(status.mode).data());
            }
            void stopped() override { seen << "stopped"; }
            thermostat::Wake wait(thermostat::Clock::duration duration) override
            {
                const QString wake = wakes.takeFirst();
                if (wake.startsWith("mode="))
                    return {{}, wake == "mode=on" ? thermostat::Mode::on : thermostat::Mode::automatic};
                time += duration;
                return {wake.toStdString(), std::nullopt};
            }
        } played;
        played.temperatures = temperatures;
        played.wakes = wakes;
        const thermostat::Settings settings{{"a"}, 50, 40, 5s, 0s, {}};
        QCOMPARE(thermostat::control(settings, played, played), 0);
        QCOMPARE(played.seen.mid(1), seen);
        QVERIFY(played.temperatures.isEmpty());
    }

    // What the broker is told, and what is taken from it.
    void broker_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("messages"); // TOPIC PAYLOAD, retained unless marked
        QTest::newRow("state, the hottest reading that can be trusted")
            << "state a=35 b=41.25 c=! on"
            << QStringList{"ventrolik/attic/fan ON", "ventrolik/attic/mode off",
                           "ventrolik/attic/temperature {\"celsius\":41.3,\"sensor\":\"b\"}"};
        QTest::newRow("state, no reading to trust")
            << "state a=! b=300 on"
            << QStringList{"ventrolik/attic/fan ON", "ventrolik/attic/mode off",
                           "ventrolik/attic/temperature {\"celsius\":null,\"problem\":\"a: gone\"}"};
        QTest::newRow("state, a switch with no sensor") << "switch off" << QStringList{"ventrolik/attic/fan OFF"};
        QTest::newRow("discovery")
            << "discovery"
            << QStringList{
                   "ha/fan/attic/fan/config {\"name\":null,\"unique_id\":\"ventrolik_attic_fan\",\"availability_topic\":"
                   "\"ventrolik/attic/availability\",\"device\":{\"identifiers\":[\"ventrolik_attic\"],\"name\":"
                   "\"Attic \\\"north\\\"\",\"manufacturer\":\"Kestrova\",\"model\":\"Ventrolik\",\"sw_version\":"
                   "\"1.00\"},\"state_topic\":\"ventrolik/attic/fan\",\"command_topic\":\"ventrolik/attic/fan/set\","
                   "\"payload_on\":\"ON\",\"payload_off\":\"OFF\"}",
                   "ha/sensor/attic/temperature/config {*\"state_topic\":\"ventrolik/attic/temperature\",\"value_"
                   "template\":\"{{ value_json.celsius }}\",\"json_attributes_topic\":\"ventrolik/attic/temperature\","
                   "\"device_class\":\"temperature\",\"unit_of_measurement\":\"°C\",\"state_class\":\"measurement\"}",
                   "ha/select/attic/mode/config {*\"state_topic\":\"ventrolik/attic/mode\",\"command_topic\":"
                   "\"ventrolik/attic/mode/set\",\"options\":[\"auto\",\"on\",\"off\"]}"};
        QTest::newRow("discovery of a switch takes the thermostat's entities away")
            << "switch discovery"
            << QStringList{"ha/fan/attic/fan/config {*", "ha/sensor/attic/temperature/config ",
                           "ha/select/attic/mode/config "};
        QTest::newRow("forgetting") << "forgetting"
                                    << QStringList{"ha/fan/attic/fan/config ", "ha/sensor/attic/temperature/config ",
                                                   "ha/select/attic/mode/config "};
        // TOPIC PAYLOAD [retained] -> the mode, or what is said
        QTest::newRow("commands")
            << "commands"
            << QStringList{"ventrolik/attic/fan/set ON -> on",
                           "ventrolik/attic/fan/set OFF -> off",
                           "ventrolik/attic/mode/set auto -> auto",
                           "ventrolik/attic/mode/set off -> off",
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
            << "switch commands"
            << QStringList{"ventrolik/attic/fan/set ON -> on",
                           "ventrolik/attic/mode/set auto -> ignoring 'auto' on ventrolik/attic/mode/set: a fan without "
                           "a sensor has no mode; it takes ON or OFF on ventrolik/attic/fan/set"};
    }

    void broker()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, messages);
        thermostat::Broker broker;
        broker.node = "attic", broker.name = "Attic \"north\"", broker.prefix = "ha";
        const bool thermostat = !what.startsWith("switch");
        QStringList got;
        const auto add = [&](const std::vector<mqtt::Message>& sent) {
            for (const mqtt::Message& message : sent) {
                QVERIFY(message.retain);
                got << QString::fromStdString(message.topic + " " + message.payload);
            }
        };
        if (what.contains("state") || what == "switch off") {
            std::vector<Reading> readings;
            for (const QString& word : what.split(' ').mid(1, what.count('=')))
                readings.push_back(word.endsWith('!') ? Reading{word.left(1).toStdString(), 0, "gone"}
                                                      : Reading{word.left(1).toStdString(), word.mid(2).toDouble(), {}});
            add(mqtt::state(broker, {what.endsWith("on"), thermostat::Mode::off, readings}, thermostat));
        } else if (what.contains("discovery")) {
            add(mqtt::discovery(broker, thermostat));
        } else if (what == "forgetting") {
            add(mqtt::forgetting(broker));
        } else {
            for (const QString& row : messages) {
                const QString sent = row.section(" -> ", 0, 0);
                const QString payload = sent.section(' ', 1, 1).replace("\\x1b", "\x1b").replace("\\x7f", "\x7f");
                std::string problem;
                const std::optional<thermostat::Mode> mode =
                    mqtt::command(broker, sent.section(' ', 0, 0).toStdString(), payload.toStdString(),
                                  sent.endsWith(" retained"), thermostat, problem);
                got << sent + " -> " + (mode ? thermostat::name(*mode).data() : QString::fromStdString(problem));
            }
        }
        QCOMPARE(got.size(), messages.size());
        // Every entity in the one device, the fan's.
        const QString device = got.value(0).section("\"device\":", 1).section('}', 0, 0) + "}";
        for (const QString& config : got)
            QVERIFY2(!what.contains("discovery") || !config.contains('{') || config.contains("\"device\":" + device),
                     qPrintable(config));
        for (int i = 0; i < got.size(); ++i) {
            // "{*" stands for the config's shared start, checked in the first row.
            const QString expected = messages[i];
            const bool prefix = expected.contains("{*");
            QVERIFY2(prefix ? got[i].startsWith(expected.section("{*", 0, 0) + "{") &&
                                  got[i].endsWith(expected.section("{*", 1))
                            : got[i] == expected,
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
        if (problem.isEmpty() && parsed.settings.broker.url.empty()) {
            QCOMPARE(parsed.settings.sensors, (std::vector<std::string>{"a/b", "c/Package id 0"}));
            QCOMPARE(parsed.settings.off, -5.0);
            QCOMPARE(parsed.settings.every, thermostat::Clock::duration(1500ms));
            QCOMPARE(parsed.settings.minRun, thermostat::Clock::duration(0));
        }
    }
};

QTEST_APPLESS_MAIN(TestThermostat)
#include "tst_thermostat.moc"
