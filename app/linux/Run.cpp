// The thermostat on Linux: its loop on the real clock, port and stop signals.

#include "app/CommandLine.h"
#include "app/Thermostat.h"
#include "port/Port.h"
#include "runtime/Runtime.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>

namespace thermostat {

namespace {

// The real clock, port and stop signals. The stop signals wait until the
// loop asks for them, so that one that comes mid-write is not lost and the
// fan is still switched on.
class LinuxWorld final : public World {
public:
    LinuxWorld()
    {
        sigemptyset(&stops_);
        sigaddset(&stops_, SIGTERM);
        sigaddset(&stops_, SIGINT);
        sigprocmask(SIG_BLOCK, &stops_, nullptr);
    }

    Clock::time_point now() override { return Clock::now(); }
    void switchFan(bool on) override { on ? port::SwitchOn() : port::SwitchOff(); }
    void say(const std::string& line) override { runtime::printError(line + "\n"); }

    std::string waitForStop(Clock::duration duration) override
    {
        const Clock::time_point until = Clock::now() + duration;
        for (;;) {
            // Another signal may cut the wait short: wait out the rest.
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::max(until - Clock::now(), Clock::duration::zero()))
                                  .count();
            const timespec timeout{static_cast<std::time_t>(left / 1'000'000'000),
                                   static_cast<long>(left % 1'000'000'000)};
            if (const int signal = sigtimedwait(&stops_, nullptr, &timeout); signal > 0)
                return signal == SIGTERM ? "SIGTERM" : "SIGINT";
            if (errno == EAGAIN)
                return {};
        }
    }

private:
    sigset_t stops_;
};

} // namespace

int run(const Settings& settings)
{
    std::string problem;
    const std::unique_ptr<Sensors> sensors = openSensors(settings.sensors, problem);
    if (!sensors) {
        runtime::printError("ventrolik: " + problem + "\n");
        return 2;
    }
    if (!driverReady())
        return 1;
    LinuxWorld world;
    return control(settings, *sensors, world);
}

} // namespace thermostat
