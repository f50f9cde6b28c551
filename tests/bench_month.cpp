// A month of the thermostat's readings on a real broker, on a clock of its
// own: the loop and the broker's client as they run, with eight fans, each
// on its own played sensor, and a played port, and a reading every 5 s that takes no time, at the loop's own
// pace: what the broker doesn't take at once waits, as it would for a
// broker that lags. Given the broker's process, it stops it (SIGSTOP) for a
// day of the month's clock, from day 15, and lets it go. Prints the
// process's memory and open files after a day, at the end of each week, and
// around the stop; asserts nothing.
//
//   bench_month PORT [BROKER-PID]

#include "broker/Client.h"

#include <poll.h>
#include <signal.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

using namespace thermostat;

namespace {

constexpr auto kEvery = std::chrono::seconds(5);
constexpr long kReadings = 30L * 24 * 3600 / 5;
constexpr int kFans = 8;

class Played final : public Sensors, public World {
public:
    Played(BrokerClient& broker, pid_t brokerProcess) : broker_(broker), brokerProcess_(brokerProcess) {}

    std::vector<Reading> read() override
    {
        ++readings_;
        // A day's swing through both thresholds, each fan's at its hour.
        std::vector<Reading> readings;
        for (int fan = 0; fan < kFans; ++fan) {
            const std::string sensor = "bench-virtual-0/temp" + std::to_string(fan + 1);
            readings.push_back({sensor, 45 + 10 * std::sin((double(readings_) / 17280 + fan / 24.0) * 6.283), {}, sensor});
        }
        return readings;
    }
    Clock::time_point now() override { return time_; }
    void write(std::uint8_t) override {}
    void say(const std::string&) override {}
    void tell(const Status& status) override { broker_.publish(status); }

    Wake wait(Clock::duration duration) override
    {
        // What the socket has now; then the time is up at once.
        pollfd ready{broker_.socket(), short(POLLIN | (broker_.wantsWrite() ? POLLOUT : 0)), 0};
        poll(&ready, 1, 0);
        broker_.work(ready.revents & (POLLIN | POLLERR | POLLHUP), ready.revents & POLLOUT,
                     ready.revents & (POLLERR | POLLHUP));
        time_ += duration;
        if (readings_ == kReadings / 30 || readings_ % (kReadings / 4) == 0)
            week();
        if (brokerProcess_ > 0 && (readings_ == kStop || readings_ == kStop + kReadings / 30)) {
            week();
            kill(brokerProcess_, readings_ == kStop ? SIGSTOP : SIGCONT);
            std::printf("the broker %s\n", readings_ == kStop ? "stopped (SIGSTOP)" : "let go (SIGCONT)");
        }
        return {readings_ >= kReadings ? "the month's end" : "", broker_.takeCommand()};
    }

private:
    void week()
    {
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        long files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            ++files;
        std::printf("day %ld: resident %ld KiB, %ld open files\n", readings_ / (kReadings / 30), resident * 4, files);
        std::fflush(stdout);
    }

    static constexpr long kStop = kReadings / 2;
    BrokerClient& broker_;
    const pid_t brokerProcess_;
    Clock::time_point time_ = Clock::time_point{} + std::chrono::hours(1000);
    long readings_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: bench_month PORT [BROKER-PID]\n";
        return 2;
    }
    Settings settings;
    settings.every = kEvery;
    for (int line = 0; line < kFans; ++line) {
        Fan fan;
        fan.id = fan.name = "fan" + std::to_string(line + 1);
        fan.line = line;
        fan.sensors = {"bench-virtual-0/temp" + std::to_string(line + 1)};
        fan.on = 50, fan.off = 40, fan.minRun = std::chrono::seconds(0);
        settings.fans.push_back(fan);
    }
    settings.broker.url = std::string("mqtt://127.0.0.1:") + argv[1];
    settings.broker.host = "127.0.0.1";
    settings.broker.port = std::atoi(argv[1]);
    settings.broker.node = "month";
    settings.broker.name = "month";
    std::string problem;
    const auto broker = BrokerClient::make(
        settings, [](const std::string& line) { std::cerr << line << "\n"; }, problem);
    if (!broker) {
        std::cerr << problem << "\n";
        return 1;
    }
    Played played(*broker, argc == 3 ? std::atoi(argv[2]) : 0);
    const auto start = std::chrono::steady_clock::now();
    control(settings, played, played);
    std::printf("a month of readings (%ld) in %.1f s\n", kReadings,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}
