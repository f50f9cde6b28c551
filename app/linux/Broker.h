#pragma once

// The thermostat's client of an MQTT broker, through libmosquitto, worked
// from the thermostat's own loop: no thread of its own. The loop waits on
// its socket beside the stop signals and hands it what the socket is ready
// for. The broker may be gone at start or later: the fan goes on being
// switched here, and the client tries again, ever more slowly up to every
// 30 s, saying once that the broker is lost and once that it is back.

#include "app/Mqtt.h"
#include "app/Thermostat.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

struct mosquitto;

namespace thermostat {

class BrokerClient {
public:
    using Say = std::function<void(const std::string&)>;

    // Refuses (problem set, nothing else made) a login, CA, certificate or
    // key file that can't be read or taken.
    static std::unique_ptr<BrokerClient> make(const Settings& settings, Say say, std::string& problem);
    ~BrokerClient();

    // For the loop's wait: the socket, or -1 while there is no connection;
    // whether it has something to send; when the client must be worked
    // next at the latest (a keepalive, or the next try to connect).
    int socket() const;
    bool wantsWrite() const;
    Clock::time_point nextWork() const;

    static constexpr int kKeepalive = 30; // seconds

    // Works the connection: reads and writes what the socket is ready for,
    // keeps it alive, and connects again when it is time.
    void work(bool readable, bool writable);

    // The first command that came and is to be acted on.
    std::optional<Mode> takeCommand();

    // What the fan does now, for the broker.
    void publish(const Status& status);

    // Says offline and leaves the broker, before the program ends.
    void leave();

private:
    BrokerClient(const Settings& settings, Say say);
    void connect();
    std::string failure(int result, int error) const;
    void lost(const std::string& why);
    void connected(int code);
    void received(const std::string& topic, const std::string& payload, bool retained);
    void send(const std::vector<mqtt::Message>& messages);
    void announce();
    void flush();

    const Broker broker_;
    const bool thermostat_;
    const Say say_;
    mosquitto* client_ = nullptr;
    bool online_ = false;
    bool lostSaid_ = false;
    int tries_ = 0;
    Clock::time_point nextTry_{};
    std::string lastError_; // what libmosquitto logged as an error last
    std::deque<Mode> commands_;
    int refusal_ = 0; // the broker's answer to the last connect
    // What was published last, sent again at every connect.
    bool lastOn_ = false;
    Mode lastMode_ = Mode::automatic;
    std::vector<Reading> lastReadings_;
    bool told_ = false;
    std::map<std::string, std::string> sent_; // the last payload on each topic
    bool announceDue_ = false;                // after a connect, or Home Assistant's start
};

} // namespace thermostat
