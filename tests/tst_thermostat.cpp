// The thermostat's decision: readings and times in, the fan's state and
// what is said out, one row a story.

#include "app/Thermostat.h"

#include <QtTest>

using namespace std::chrono_literals;
using thermostat::Reading;

namespace {

// One reading of every sensor: "a=55" is sensor a at 55 °C, "a=!" one
// that can't be read.
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
    }

    void decides()
    {
        QFETCH(int, minRun);
        QFETCH(std::vector<Step>, steps);
        thermostat::Settings settings{{"a", "b"}, 50, 40, 1s, std::chrono::seconds(minRun)};
        thermostat::Decision decision(settings);
        // Not the clock's zero, which a time never recorded also holds.
        const thermostat::Clock::time_point start = thermostat::Clock::time_point{} + std::chrono::hours(1000);
        for (const Step& step : steps) {
            std::vector<Reading> readings;
            for (const std::string& text : step.readings) {
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
        QTest::newRow("half a second between readings")
            << QStringList{"--sensor", "a/b", "--on=5", "--off=4", "--every", "0.5"}
            << "'--every' takes a number of seconds from 1 up, not '0.5'";
    }

    // The loop on played sensors, clock and signals: a stop signal after
    // two readings, the second of them cool.
    void stopsWithTheFanOn_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
    }

    void stopsWithTheFanOn()
    {
        QFETCH(QString, signal);
        struct Played final : thermostat::Sensors, thermostat::World {
            std::vector<double> temperatures{55, 30};
            std::string signal;
            thermostat::Clock::time_point time = thermostat::Clock::time_point{} + std::chrono::hours(1000);
            QStringList seen;

            std::vector<Reading> read() override
            {
                const double celsius = temperatures.front();
                temperatures.erase(temperatures.begin());
                return {{"a", celsius, {}}};
            }
            thermostat::Clock::time_point now() override { return time; }
            void switchFan(bool on) override { seen << (on ? "on" : "off"); }
            void say(const std::string& line) override { seen << QString::fromStdString(line); }
            std::string waitForStop(thermostat::Clock::duration duration) override
            {
                time += duration;
                return temperatures.empty() ? signal : "";
            }
        } played;
        played.signal = signal.toStdString();
        const thermostat::Settings settings{{"a"}, 50, 40, 5s, 0s};
        QCOMPARE(thermostat::control(settings, played, played), 0);
        QCOMPARE(played.seen.mid(1), (QStringList{"fan on: a at 55.0 °C (on at 50.0)", "on",
                                                  "fan off: a at 30.0 °C (off at 40.0)", "off", "on",
                                                  "thermostat stopped by " + signal + ": fan on"}));
    }

    void parses()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, problem);
        std::vector<std::string> texts;
        for (const QString& word : words)
            texts.push_back(word.toStdString());
        const std::vector<std::string_view> views(texts.begin(), texts.end());
        const thermostat::Parsed parsed = thermostat::parse(views);
        QCOMPARE(QString::fromStdString(parsed.problem), problem);
        if (problem.isEmpty()) {
            QCOMPARE(parsed.settings.sensors, (std::vector<std::string>{"a/b", "c/Package id 0"}));
            QCOMPARE(parsed.settings.off, -5.0);
            QCOMPARE(parsed.settings.every, thermostat::Clock::duration(1500ms));
            QCOMPARE(parsed.settings.minRun, thermostat::Clock::duration(0));
        }
    }
};

QTEST_APPLESS_MAIN(TestThermostat)
#include "tst_thermostat.moc"
