// The thermostat's loop: read, decide, write, wait, until told to stop.

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

void say(const std::string& line)
{
    runtime::printError(line + "\n");
}

// Waits for a stop signal for at most this long; the signal's number, or 0.
int waitForStop(const sigset_t& stops, Clock::duration duration)
{
    const Clock::time_point until = Clock::now() + duration;
    for (;;) {
        // Another signal may cut the wait short: wait out the rest.
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::max(until - Clock::now(), Clock::duration::zero()))
                              .count();
        const timespec timeout{static_cast<std::time_t>(left / 1'000'000'000), static_cast<long>(left % 1'000'000'000)};
        if (const int signal = sigtimedwait(&stops, nullptr, &timeout); signal > 0)
            return signal;
        if (errno == EAGAIN)
            return 0;
    }
}

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

    // The stop signals wait until the loop asks for them, so that one that
    // comes mid-write is not lost and the fan is still switched on.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, nullptr);

    say(describe(settings));
    Decision decision(settings);
    for (;;) {
        std::vector<std::string> said;
        const bool on = decision.next(sensors->read(), Clock::now(), said);
        for (const std::string& line : said)
            say(line);
        // Every reading writes: a board plugged in again catches up here.
        on ? port::SwitchOn() : port::SwitchOff();
        if (const int signal = waitForStop(stops, settings.every)) {
            port::SwitchOn();
            say(std::string("thermostat stopped by ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") + ": fan on");
            return 0;
        }
    }
}

} // namespace thermostat
