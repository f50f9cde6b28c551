#include "Client.h"

#include <mosquitto.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <tuple>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace thermostat {

namespace {

constexpr auto kLongestPause = std::chrono::seconds(30);
// A connection that lasts this long was not taken over (another client's
// pauses are shorter): the pauses start again from the shortest.
constexpr auto kSteady = std::chrono::seconds(60);

// A file's first two lines: the user and the password; or why not. A BOM
// before the user and blanks after it are a text editor's, not the user's.
std::string readLogin(const std::string& file, std::string& user, std::string& password)
{
    std::ifstream in(file);
    if (!in)
        return std::strerror(errno);
    std::getline(in, user);
    std::getline(in, password);
    if (user.starts_with("\xEF\xBB\xBF"))
        user.erase(0, 3);
    user.erase(user.find_last_not_of(" \t\r") + 1);
    if (password.ends_with('\r'))
        password.pop_back();
    return user.empty() ? "there is no user on its first line" : "";
}

// systemd's credential of that name, where the unit hands one over.
std::string credential(const char* name)
{
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (!folder)
        return {};
    const std::string file = std::string(folder) + "/" + name;
    return std::ifstream(file).good() ? file : std::string();
}

// "refused: not authorised", from the broker's answer.
std::string refusal(int code)
{
    std::string answer = mosquitto_connack_string(code);
    if (answer.starts_with("Connection Refused: "))
        answer.erase(0, 20);
    if (answer.ends_with('.'))
        answer.pop_back();
    return "refused: " + answer;
}

// What OpenSSL said, as "error:0A000086:SSL routines::certificate verify
// failed", cut to its words, with the likely fix; a certificate for another
// host, as the check of the broker's certificate found it.
std::string tlsFailure(const std::string& logged, long verified, const Broker& broker)
{
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return "TLS: the broker's certificate is not for '" + broker.host +
               "' (name the broker by a host name or address that its certificate has)";
    const std::string& ca = broker.ca;
    const std::size_t words = logged.rfind(':');
    std::string why = "TLS: " + (logged.empty() ? std::string("the handshake failed") : logged.substr(words + 1));
    // libmosquitto 2.0.21 (Debian 13) logs no reason: the likely one is said.
    if (logged.empty() || why.find("certificate verify failed") != std::string::npos)
        why += ca.empty() ? " (does the system trust the CA that signed the broker's certificate? If not, give it "
                            "with --broker-ca)"
                          : " (is '" + ca + "' the CA that signed the broker's certificate?)";
    return why;
}

// What is wrong with a PEM file of certificates, or of a private key, or
// nothing: checked at start, where libmosquitto would only find out at
// every connect, and say "Invalid function arguments" or "PEM lib".
std::string tlsFileProblem(const std::string& name, bool key)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> file(BIO_new_file(name.c_str(), "r"), BIO_free);
    if (!file)
        return std::strerror(errno);
    // A key with a passphrase is not asked for one: a service has nobody
    // to type it.
    const auto noPassphrase = [](char*, int, int, void*) { return 0; };
    bool read = false;
    if (key) {
        EVP_PKEY* pkey = PEM_read_bio_PrivateKey(file.get(), nullptr, noPassphrase, nullptr);
        read = pkey;
        EVP_PKEY_free(pkey);
    } else {
        X509* certificate = PEM_read_bio_X509(file.get(), nullptr, noPassphrase, nullptr);
        read = certificate;
        X509_free(certificate);
    }
    ERR_clear_error();
    if (read)
        return {};
    return key ? "it holds no private key in PEM without a passphrase" : "it holds no certificate in PEM";
}

// libmosquitto checks the host name after OpenSSL, and 2.0.11 fails it with
// no reason: OpenSSL checks it too, and says.
void checkHost(X509_VERIFY_PARAM* check, const std::string& host)
{
    if (X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str()) != 1)
        X509_VERIFY_PARAM_set1_host(check, host.data(), host.size());
}

} // namespace

Clock::duration reconnectPause(int tries, double share)
{
    const Clock::duration longest =
        std::min<Clock::duration>(std::chrono::seconds(1 << std::clamp(tries, 0, 5)), kLongestPause);
    return longest - std::chrono::duration_cast<Clock::duration>(longest * std::clamp(share, 0.0, 1.0) / 2);
}

std::unique_ptr<BrokerClient> BrokerClient::make(const Settings& settings, Say say, std::string& problem)
{
    mosquitto_lib_init();
    std::unique_ptr<BrokerClient> client(new BrokerClient(settings, std::move(say)));
    mosquitto* mosq = client->client_;
    const Broker& broker = settings.broker;
    if (!mosq) {
        problem = "cannot make a client for the broker: " + std::string(std::strerror(errno));
        return nullptr;
    }
    const std::string login = broker.login.empty() ? credential("broker_login") : broker.login;
    if (!login.empty()) {
        std::string user, password;
        if (const std::string why = readLogin(login, user, password); !why.empty()) {
            problem = "cannot read the broker's login from '" + login + "': " + why +
                      " (the user on its first line, the password on its second)";
            return nullptr;
        }
        mosquitto_username_pw_set(mosq, user.c_str(), password.empty() ? nullptr : password.c_str());
    }
    if (broker.tls) {
        const auto file = [](const std::string& name) { return name.empty() ? nullptr : name.c_str(); };
        const std::string key = broker.key.empty() ? credential("broker_key") : broker.key;
        for (const auto& [option, name, isKey] : {std::tuple{"--broker-ca", broker.ca, false},
                                                  std::tuple{"--broker-cert", broker.certificate, false},
                                                  std::tuple{"--broker-key", key, true}})
            if (const std::string why = name.empty() ? "" : tlsFileProblem(name, isKey); !why.empty()) {
                problem = "cannot take " + std::string(option) + " '" + name + "': " + why;
                return nullptr;
            }
        // Without a CA of its own, the broker's certificate is checked
        // against the system's.
        const int result = mosquitto_tls_set(mosq, file(broker.ca), broker.ca.empty() ? "/etc/ssl/certs" : nullptr,
                                             file(broker.certificate), file(key), nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            problem =
                "cannot take the broker's TLS files (" +
                (broker.ca.empty() ? std::string() : "--broker-ca '" + broker.ca + "' ") +
                (broker.certificate.empty() ? std::string()
                                            : "--broker-cert '" + broker.certificate + "' --broker-key '" + key + "'") +
                "): " + mosquitto_strerror(result);
            return nullptr;
        }
    }
    // It connects at the loop's first wait, once the fan is switched.
    return client;
}

BrokerClient::BrokerClient(const Settings& settings, Say say)
    : settings_(settings),
      say_(std::move(say)),
      client_(mosquitto_new(("ventrolik-" + settings.broker.node).c_str(), true, this))
{
    if (!client_)
        return;
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Gone without a word (a crash, a cut cable): the broker says offline.
    const std::string availability = mqtt::topic(broker_, "availability");
    mosquitto_will_set(client_, availability.c_str(), 7, "offline", 0, true);
    mosquitto_connect_callback_set(
        client_, [](mosquitto*, void* self, int code) { static_cast<BrokerClient*>(self)->connected(code); });
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* message) {
        static_cast<BrokerClient*>(self)->received(
            message->topic, std::string(static_cast<const char*>(message->payload), std::size_t(message->payloadlen)),
            message->retain);
    });
    mosquitto_log_callback_set(client_, [](mosquitto*, void* self, int level, const char* line) {
        if (level == MOSQ_LOG_ERR)
            static_cast<BrokerClient*>(self)->lastError_ = line;
    });
}

BrokerClient::~BrokerClient()
{
    if (client_)
        mosquitto_destroy(client_);
    mosquitto_lib_cleanup();
}

int BrokerClient::socket() const
{
    const int fd = mosquitto_socket(client_);
    return fd == abandoned_ ? -1 : fd;
}

bool BrokerClient::wantsWrite() const
{
    return socket() >= 0 && mosquitto_want_write(client_);
}

Clock::time_point BrokerClient::nextWork() const
{
    // Halfway through a keepalive, so that a ping goes out within it.
    return socket() >= 0 ? Clock::now() + std::chrono::seconds(kKeepalive / 2) : nextTry_;
}

void BrokerClient::connect()
{
    lastError_.clear();
    refusal_ = 0;
    verified_ = X509_V_OK;
    watched_ = nullptr;
    abandoned_ = -1; // closed by the connect
    const int result = mosquitto_connect_async(client_, broker_.host.c_str(), broker_.port, kKeepalive);
    const int error = errno;
    watchHandshake();
    if (result == MOSQ_ERR_EAI)
        lost("cannot find the host '" + broker_.host + "'");
    else if (result != MOSQ_ERR_SUCCESS)
        lost(failure(result, error));
    else
        flush();
}

void BrokerClient::work(bool readable, bool writable, bool hungUp)
{
    if (socket() < 0) {
        if (Clock::now() >= nextTry_)
            connect();
        return;
    }
    if (broker_.tls && !online_)
        watchHandshake(); // where libmosquitto began it only once connected
    for (const auto step : {readable ? mosquitto_loop_read : nullptr, writable ? mosquitto_loop_write : nullptr}) {
        if (!step || socket() < 0)
            continue;
        errno = 0;
        const int result = step(client_, 1);
        const int error = errno;
        if (result == MOSQ_ERR_SUCCESS)
            continue;
        lost(failure(result, error));
        return;
    }
    // libmosquitto (2.0.11) takes a TLS connect that failed underneath (the
    // broker's port refused it) for one still on its way, and would be
    // handed the dead socket again and again until the keepalive runs out.
    // It is left alone here, with the system's reason, until the next try
    // closes it.
    if (hungUp && !online_ && broker_.tls && socket() >= 0) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(socket(), SOL_SOCKET, SO_ERROR, &error, &size);
        abandoned_ = socket();
        lost(error ? std::strerror(error)
                   : "the connection failed before TLS began (is a broker listening on port " +
                         std::to_string(broker_.port) + "?)");
        return;
    }
    if (socket() >= 0 && mosquitto_loop_misc(client_) != MOSQ_ERR_SUCCESS)
        lost("the broker stopped answering");
    if (online_ && Clock::now() - connectedAt_ >= kSteady) {
        shortLived_ = tries_ = 0;
        if (std::exchange(takenOverSaid_, false))
            say_("broker: connected to " + broker_.url + " as " + broker_.node + " for a minute now");
    }
    // What the callbacks asked for, sent now that the read is done.
    if (std::exchange(announceDue_, false) && online_)
        announce();
    if (!staleDue_.empty() && online_)
        send(std::exchange(staleDue_, {}));
    if (stateDue_ && online_ && !wantsWrite())
        sendState();
    // What comes next is acknowledged at once: a broker that waits for that
    // before it sends the rest of a command (Nagle's algorithm, which
    // mosquitto keeps on by default) would hold it up 40 ms.
    if (const int fd = socket(); fd >= 0) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
}

// The handshake, once libmosquitto has begun it, is watched for the alert
// that ends one that failed: how the broker's certificate was found is
// kept, since libmosquitto logs only "certificate verify failed", whatever
// was wrong with it, and frees the handshake with the connection.
void BrokerClient::watchHandshake()
{
    static const int self = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    auto* ssl = static_cast<SSL*>(mosquitto_ssl_get(client_));
    if (!ssl || ssl == watched_ || self < 0)
        return;
    watched_ = ssl;
    SSL_set_ex_data(ssl, self, this);
    SSL_set_info_callback(ssl, [](const SSL* ssl, int where, int) {
        if (!(where & SSL_CB_WRITE_ALERT))
            return;
        static_cast<BrokerClient*>(SSL_get_ex_data(ssl, self))->verified_ = SSL_get_verify_result(ssl);
    });
    checkHost(SSL_get0_param(ssl), broker_.host);
}

// A handshake that libmosquitto goes through whole within the connect (on
// a slow machine, the broker's answer is there by then) ends before it can
// be watched. From the next try on, libmosquitto makes its connections from
// a TLS context of ours that watches every handshake from its start, and
// sets it up with its own settings. Only then: it readies its own checks
// when it first makes a context itself, and without them would refuse
// every certificate.
bool BrokerClient::watchContext()
{
    static const int self = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context || self < 0) {
        SSL_CTX_free(context);
        return false;
    }
    SSL_CTX_set_ex_data(context, self, this);
    SSL_CTX_set_info_callback(context, [](const SSL* ssl, int where, int) {
        if (where & SSL_CB_WRITE_ALERT)
            static_cast<BrokerClient*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), self))->verified_ =
                SSL_get_verify_result(ssl);
    });
    checkHost(SSL_CTX_get0_param(context), broker_.host);
    // libmosquitto takes a reference of its own.
    const bool taken = mosquitto_void_option(client_, MOSQ_OPT_SSL_CTX, context) == MOSQ_ERR_SUCCESS &&
                       mosquitto_int_option(client_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 1) == MOSQ_ERR_SUCCESS;
    SSL_CTX_free(context);
    return taken;
}

// Why a connection failed, from libmosquitto's result and errno.
std::string BrokerClient::failure(int result, int error)
{
    if (result == MOSQ_ERR_CONN_REFUSED && refusal_)
        return refusal(refusal_);
    // Debian 13's libmosquitto calls a failed handshake a protocol error,
    // its own or the system's: before the broker's answer on TLS, it is the
    // handshake.
    const bool protocol = result == MOSQ_ERR_PROTOCOL || (result == MOSQ_ERR_ERRNO && error == EPROTO);
    if (result == MOSQ_ERR_TLS || (protocol && broker_.tls && !online_)) {
        unexplained_ = verified_ == X509_V_OK;
        if (unexplained_ && !watchedContext_)
            watchedContext_ = watchContext();
        return tlsFailure(lastError_, verified_, broker_);
    }
    if (result == MOSQ_ERR_ERRNO && error)
        return std::strerror(error);
    // A TLS listener closes on a plain client's first words.
    if (result == MOSQ_ERR_CONN_LOST && !online_ && !broker_.tls)
        return "the broker closed the connection at once (does port " + std::to_string(broker_.port) +
               " want mqtts://?)";
    return mosquitto_strerror(result);
}

void BrokerClient::lost(const std::string& why)
{
    // libmosquitto has closed the socket already.
    // Taken over: lost before it lasted, and made again at the first try.
    // A try that fails is a broker away.
    const bool wasOnline = std::exchange(online_, false);
    shortLived_ = wasOnline ? shortLived_ + 1 : 0;
    nextTry_ = Clock::now() + reconnectPause(tries_++, std::uniform_real_distribution<double>(0, 1)(random_));
    // A handshake that failed before it could be watched (libmosquitto may
    // go through one whole in connecting) is said at the next try, which
    // has OpenSSL's verdict.
    if (std::exchange(unexplained_, false) && !lostSaid_ && !std::exchange(explainLater_, true))
        return;
    if (shortLived_ >= 2 && !std::exchange(takenOverSaid_, true))
        say_("broker: the broker keeps closing the connection soon after it is made: another client uses the node "
             "id '" +
             broker_.node +
             "' (the same --node, or a copied machine-id, on two machines?); tried again at most every 30 s");
    else if (!std::exchange(lostSaid_, true))
        say_("broker: cannot reach " + broker_.url + ": " + why +
             "; the fan is switched here meanwhile, and the broker is tried again at most every 30 s");
}

void BrokerClient::connected(int code)
{
    if (code != 0) {
        refusal_ = code;
        return;
    }
    online_ = true;
    connectedAt_ = Clock::now();
    // Said at the first connect and when back from a loss; while another
    // client takes the session, once it has lasted.
    if (!takenOverSaid_) {
        lostSaid_ = explainLater_ = false;
        say_("broker: connected to " + broker_.url + " as " + broker_.node);
    }
    for (const std::string& topic : mqtt::commandTopics(settings_))
        mosquitto_subscribe(client_, nullptr, topic.c_str(), 1);
    mosquitto_subscribe(client_, nullptr, (broker_.prefix + "/status").c_str(), 1);
    // The retained configs of this node come now: those of entities it no
    // longer has are cleared.
    mosquitto_subscribe(client_, nullptr, mqtt::configsTopic(broker_).c_str(), 1);
    announceDue_ = true;
}

// Everything a watcher needs, as after a restart of its own or the
// broker's: the configs, that the fan is here, and what it does.
void BrokerClient::announce()
{
    send(mqtt::discovery(settings_));
    send({{mqtt::topic(broker_, "availability"), "online"}});
    if (told_)
        send(mqtt::state(settings_, last_));
    stateDue_ = temperatureDue_ = false;
}

void BrokerClient::received(const std::string& topic, const std::string& payload, bool retained)
{
    if (topic == broker_.prefix + "/status") {
        announceDue_ = announceDue_ || payload == "online";
        return;
    }
    if (clearStale(topic, payload))
        return;
    std::string problem;
    if (const std::optional<Command> command = mqtt::command(settings_, topic, payload, retained, problem))
        commands_.push_back(*command);
    else if (!problem.empty())
        say_("broker: " + problem);
}

// A config of this node's for an entity it no longer has (a fan taken out
// of the settings) is emptied, which takes the entity out of Home
// Assistant; said once for each.
bool BrokerClient::clearStale(const std::string& topic, const std::string& payload)
{
    if (!topic.starts_with(broker_.prefix + "/") || !topic.ends_with("/config"))
        return false;
    // Sent once the read is done, as all the callbacks ask for.
    if (mqtt::stale(settings_, topic, payload)) {
        say_("broker: taking away " + topic + ", an entity this node no longer has");
        staleDue_.push_back({topic, ""});
    }
    return true;
}

std::optional<Command> BrokerClient::takeCommand()
{
    if (commands_.empty())
        return std::nullopt;
    const Command command = commands_.front();
    commands_.pop_front();
    return command;
}

void BrokerClient::publish(const Status& status)
{
    last_ = status;
    told_ = true;
    temperatureDue_ = temperatureDue_ || status.fresh;
    stateDue_ = true;
    if (online_ && !wantsWrite())
        sendState();
}

// The fan and the mode when they change, the temperature at every reading;
// only once the socket has taken what went before, so that a broker that
// lags is sent the latest state and no queue of old ones.
void BrokerClient::sendState()
{
    std::vector<mqtt::Message> changed;
    for (mqtt::Message& message : mqtt::state(settings_, last_))
        if ((temperatureDue_ && message.topic.ends_with("/temperature")) || sent_[message.topic] != message.payload)
            changed.push_back(std::move(message));
    stateDue_ = temperatureDue_ = false;
    send(changed);
}

void BrokerClient::send(const std::vector<mqtt::Message>& messages)
{
    for (const mqtt::Message& message : messages) {
        sent_[message.topic] = message.payload;
        mosquitto_publish(client_, nullptr, message.topic.c_str(), int(message.payload.size()), message.payload.data(),
                          0, message.retain);
    }
    flush();
}

// Writes what is waiting, as far as the socket takes it now; the loop's
// wait writes the rest.
void BrokerClient::flush()
{
    if (wantsWrite())
        mosquitto_loop_write(client_, 1);
}

void BrokerClient::leave()
{
    if (!online_)
        return;
    send({{mqtt::topic(broker_, "availability"), "offline"}});
    mosquitto_disconnect(client_);
    flush();
    // A moment for the last words to reach the broker (the fan is on
    // already): it closes the connection once it has the DISCONNECT, and
    // that end, read here, leaves nothing unread to reset the connection.
    for (int round = 0; round < 20 && socket() >= 0; ++round) {
        pollfd ready{socket(), short(POLLIN | (wantsWrite() ? POLLOUT : 0)), 0};
        if (poll(&ready, 1, 100) <= 0)
            continue;
        if ((ready.revents & POLLOUT) && mosquitto_loop_write(client_, 1) != MOSQ_ERR_SUCCESS)
            break;
        if ((ready.revents & (POLLIN | POLLERR | POLLHUP)) && mosquitto_loop_read(client_, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
}

} // namespace thermostat
