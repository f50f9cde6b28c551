// The thermostat on Linux: its loop on the real clock, port, stop signals
// and broker, from the command line's settings or a setting file.

#include "app/CommandLine.h"
#include "broker/Client.h"
#include "port/Port.h"
#include "runtime/Runtime.h"
#include "thermostat/Loop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace thermostat {

namespace {

// The real clock, port and stop signals, and the broker where one is set.
// The stop signals wait until the loop asks for them, so that one that
// comes mid-write is not lost and the fan is still switched on.
class LinuxWorld final : public World {
public:
    explicit LinuxWorld(std::unique_ptr<BrokerClient> broker) : broker_(std::move(broker))
    {
        sigemptyset(&stops_);
        sigaddset(&stops_, SIGTERM);
        sigaddset(&stops_, SIGINT);
        sigprocmask(SIG_BLOCK, &stops_, nullptr);
        signals_ = signalfd(-1, &stops_, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~LinuxWorld() override { close(signals_); }

    Clock::time_point now() override { return Clock::now(); }
    void write(std::uint8_t lines) override { port::WriteLines(lines); }
    void say(const std::string& line) override { runtime::printError(line + "\n"); }

    void tell(const Status& status) override
    {
        if (broker_)
            broker_->publish(status);
    }

    void stopped() override
    {
        if (broker_)
            broker_->leave();
    }

    // Sleeps in poll() until the time is up, a stop signal comes, or the
    // broker's socket has something; wakes besides only when the broker
    // needs working (a keepalive, or another try to connect).
    Wake wait(Clock::duration duration) override
    {
        const Clock::time_point until = Clock::now() + duration;
        for (;;) {
            Clock::time_point wake = until;
            pollfd ready[2] = {{signals_, POLLIN, 0}, {-1, 0, 0}};
            if (broker_) {
                wake = std::min(wake, broker_->nextWork());
                ready[1] = {broker_->socket(), short(POLLIN | (broker_->wantsWrite() ? POLLOUT : 0)), 0};
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
            if (poll(ready, 2, int(std::clamp<long long>(left, 0, 60'000))) < 0 && errno != EINTR)
                return {};
            signalfd_siginfo signal{};
            if (read(signals_, &signal, sizeof signal) == sizeof signal)
                return {signal.ssi_signo == SIGTERM ? "SIGTERM" : "SIGINT", std::nullopt};
            if (broker_) {
                broker_->work(ready[1].revents & (POLLIN | POLLERR | POLLHUP), ready[1].revents & POLLOUT,
                              ready[1].revents & (POLLERR | POLLHUP));
                if (std::optional<Command> command = broker_->takeCommand())
                    return {{}, command};
            }
            if (Clock::now() >= until)
                return {};
        }
    }

private:
    sigset_t stops_;
    int signals_ = -1;
    std::unique_ptr<BrokerClient> broker_;
};

// Fans with no sensor: switches for the broker alone.
class NoSensors final : public Sensors {
public:
    std::vector<Reading> read() override { return {}; }
};

// This machine's id, made fit for topics, and its name, unless they are set.
std::string settle(Broker& broker)
{
    if (broker.node.empty()) {
        std::string id;
        std::ifstream("/etc/machine-id") >> id;
        if (id.empty())
            return "this machine has no /etc/machine-id to make its node id from: set one with --node";
        broker.node = mqtt::nodeId(id);
    }
    if (broker.name.empty()) {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        broker.name = host[0] ? host : broker.node;
    }
    return {};
}

// The settings to run: the setting file's, or the options'; or what is
// wrong with them.
std::string settingsToRun(const Parsed& parsed, Settings& settings)
{
    std::string problem = parsed.problem;
    settings = parsed.settings;
    if (!parsed.file.empty() && (!parsed.fileIfThere || access(parsed.file.c_str(), F_OK) == 0)) {
        Read read = readFile(parsed.file);
        settings = std::move(read.settings);
        problem = std::move(read.problem);
    }
    // The service without the network: its twin has it.
    if (problem.empty() && parsed.offline && !settings.broker.url.empty())
        problem = (settings.file.empty() ? std::string() : settings.file + ": ") +
                  "a broker, where this thermostat has no network: the service with the network is "
                  "ventrolik-thermostat-broker";
    return problem;
}

} // namespace

int run(const Parsed& parsed)
{
    Settings settings;
    std::string problem = settingsToRun(parsed, settings);
    std::unique_ptr<Sensors> sensors;
    if (problem.empty())
        sensors = sensorNames(settings).empty() ? std::make_unique<NoSensors>() : openSensors(settings, problem);
    std::unique_ptr<BrokerClient> broker;
    if (sensors && !settings.broker.url.empty() && (problem = settle(settings.broker)).empty())
        broker = BrokerClient::make(
            settings, [](const std::string& line) { runtime::printError(line + "\n"); }, problem);
    if (!problem.empty()) {
        runtime::printError("ventrolik: " + problem + "\n");
        return 2;
    }
    // Checked, with nothing switched and the broker not reached.
    if (parsed.check) {
        runtime::printOutput(describe(settings) + "\n");
        return 0;
    }
    if (!port::DriverReady())
        return 1;
    LinuxWorld world(std::move(broker));
    return control(settings, *sensors, world);
}

} // namespace thermostat
