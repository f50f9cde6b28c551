#pragma once

// The node's client of an MQTT broker, through libmosquitto, worked
// from the thermostat's own loop: no thread of its own. The loop waits on
// its socket beside the stop signals and hands it what the socket is ready
// for. The broker may be gone at start or later: the fan goes on being
// switched here, and the client tries again, ever more slowly up to every
// 30 s, saying once that the broker is lost and once that it is back.
// Everything it publishes goes at QoS 0: a state that can't go now is said
// anew by the next, so nothing waits for the broker but the latest.

#include "Mqtt.h"
#include "thermostat/Loop.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

struct mosquitto;

namespace thermostat {

// The pause before the next try to connect, after `tries` that failed:
// 1, 2, 4, ... 30, 30 s, less a random share of up to half (`share`, from 0
// to 1), so that the nodes of a broker that restarts don't all come back in
// the same second.
Clock::duration reconnectPause(int tries, double share);

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
    // keeps it alive, and connects again when it is time. `hungUp`: the
    // socket has an error or was closed by the other end.
    void work(bool readable, bool writable, bool hungUp = false);

    // The first command that came and is to be acted on.
    std::optional<Command> takeCommand();

    // What the fans do now, for the broker.
    void publish(const Status& status);

    // Says offline and leaves the broker, before the program ends.
    void leave();

private:
    BrokerClient(const Settings& settings, Say say);
    void connect();
    void watchHandshake();
    bool watchContext();
    std::string failure(int result, int error);
    void lost(const std::string& why);
    void connected(int code);
    void received(const std::string& topic, const std::string& payload, bool retained);
    bool clearStale(const std::string& topic, const std::string& payload);
    void send(const std::vector<mqtt::Message>& messages);
    void announce();
    void sendState();
    void flush();

    const Settings settings_;
    const Broker& broker_ = settings_.broker;
    const Say say_;
    mosquitto* client_ = nullptr;
    int abandoned_ = -1; // a socket libmosquitto doesn't know is dead
    bool online_ = false;
    bool lostSaid_ = false;
    int tries_ = 0;
    Clock::time_point nextTry_{};
    std::minstd_rand random_{std::random_device{}()};
    // A connection lost soon after it was made, twice running, is another
    // client taking the session: with the same node id.
    Clock::time_point connectedAt_{};
    int shortLived_ = 0;
    bool takenOverSaid_ = false;
    std::string lastError_; // what libmosquitto logged as an error last
    long verified_ = 0;     // how the broker's certificate was found, at a TLS alert
    const void* watched_ = nullptr; // the handshake watched
    bool unexplained_ = false;      // the last failure was a handshake not watched
    bool explainLater_ = false;     // and its saying waits for the next try
    bool watchedContext_ = false;   // every handshake is watched from its start
    std::deque<Command> commands_;
    int refusal_ = 0; // the broker's answer to the last connect
    // What was published last, sent again at every connect.
    Status last_;
    bool told_ = false;
    bool stateDue_ = false;       // a state waits for the socket to take it
    bool temperatureDue_ = false; // a reading not yet sent
    std::map<std::string, std::string> sent_; // the last payload on each topic
    bool announceDue_ = false;                // after a connect, or Home Assistant's start
    std::vector<mqtt::Message> staleDue_;     // configs to clear
};

} // namespace thermostat
