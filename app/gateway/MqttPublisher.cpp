#include "app/gateway/MqttPublisher.h"

#include "app/gateway/MqttPayloads.h"
#include "app/gateway/MqttWait.h"
#include "app/gateway/Sockets.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace orbel::gateway {

using namespace std::chrono_literals;

namespace {

constexpr int RetainedQos = 1;
// How long a connection may take, TCP and the broker's answer together.
constexpr auto ConnectTimeout = 10s;
// How often the client's keep-alive is looked after while nothing else happens.
constexpr int IdleWaitMs = 1000;
constexpr auto OfflineTimeout = 2s;

std::string Reason(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(savedErrno);
    }
    switch (rc) {
    case MOSQ_ERR_EAI:
        return "the broker's name cannot be looked up";
    case MOSQ_ERR_CONN_LOST:
        return "the broker closed the connection";
    case MOSQ_ERR_KEEPALIVE:
        return "no answer within the keep-alive";
    case MOSQ_ERR_TLS:
        return "the TLS handshake failed (is the broker's certificate signed by the CA file?)";
    default:
        break;
    }
    std::string text = mosquitto_strerror(rc);
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

void InitialiseLibrary() {
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

int Milliseconds(TClock::duration d) {
    return static_cast<int>(std::clamp<long long>(
        std::chrono::ceil<std::chrono::milliseconds>(d).count(), 0, IdleWaitMs));
}

} // namespace

std::chrono::milliseconds NextBrokerBackoff(std::chrono::milliseconds previous) {
    return previous <= 0ms ? 500ms : std::min<std::chrono::milliseconds>(previous * 2, 30s);
}

TMqttPublisher::TMqttPublisher(TMqttOptions options, TSay say)
    : options_(std::move(options)), say_(std::move(say)), topics_(options_.prefix),
      broker_(options_.host + ":" + std::to_string(options_.port)) {
    InitialiseLibrary();
    client_ = mosquitto_new(options_.clientId.c_str(), true, this);
    if (client_ == nullptr) {
        throw std::runtime_error("cannot make an MQTT client");
    }
    auto fail = [this](const std::string& what) {
        mosquitto_destroy(client_);
        throw std::runtime_error(what);
    };
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_disconnect_callback_set(client_, OnDisconnect);
    mosquitto_publish_callback_set(client_, OnPublish);
    static const char offline[] = "offline";
    if (mosquitto_will_set(client_, topics_.status.c_str(), sizeof offline - 1, offline,
                           RetainedQos, true) != MOSQ_ERR_SUCCESS) {
        fail("the MQTT topic prefix is not a valid topic: " + options_.prefix);
    }
    if (!options_.user.empty() &&
        mosquitto_username_pw_set(client_, options_.user.c_str(),
                                  options_.hasPassword ? options_.password.c_str() : nullptr) !=
            MOSQ_ERR_SUCCESS) {
        fail("the MQTT user name is not valid UTF-8");
    }
    if (!options_.caFile.empty()) {
        const int rc = mosquitto_tls_set(
            client_, options_.caFile.c_str(), nullptr,
            options_.certFile.empty() ? nullptr : options_.certFile.c_str(),
            options_.keyFile.empty() ? nullptr : options_.keyFile.c_str(), nullptr);
        if (rc == MOSQ_ERR_NOT_SUPPORTED) {
            fail("this orbel-gateway was built without TLS for MQTT");
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            fail("cannot read the MQTT TLS files (" + options_.caFile +
                 (options_.certFile.empty() ? ""
                                            : ", " + options_.certFile + ", " + options_.keyFile) +
                 ")");
        }
    }
    if (!MakeWaker(wakeRead_, wakeWrite_)) {
        fail("cannot make the MQTT publisher's wake-up channel");
    }
    thread_ = std::thread([this] { Run(); });
}

TMqttPublisher::~TMqttPublisher() {
    Stop();
    CloseWaker(wakeRead_, wakeWrite_);
    mosquitto_destroy(client_);
}

void TMqttPublisher::Offer(const TInstrumentState& state) {
    {
        const std::lock_guard lock(mutex_);
        newest_ = state;
        hasState_ = true;
    }
    Wake(wakeWrite_);
}

void TMqttPublisher::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    Wake(wakeWrite_);
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool TMqttPublisher::Stopping() {
    const std::lock_guard lock(mutex_);
    return stop_;
}

// The library's callbacks run inside its loop, under its own locks: they
// only take note, and the loop's caller acts after it (Connected).
void TMqttPublisher::OnConnect(mosquitto*, void* self, int rc) {
    auto& p = *static_cast<TMqttPublisher*>(self);
    p.connack_ = rc;
}

void TMqttPublisher::Connected() {
    const int rc = *connack_;
    connack_.reset();
    if (link_ != TLink::Connecting) {
        return;
    }
    if (rc != 0) {
        // Refused (a wrong password, an unknown client): the next attempt
        // comes after the back-off.
        mosquitto_disconnect(client_);
        Down(TTrouble::Refused, "refused the connection", mosquitto_connack_string(rc));
        return;
    }
    link_ = TLink::Connected;
    backoff_ = 0ms;
    said_ = TTrouble::None;
    say_("MQTT broker " + broker_ + ": connected, publishing under " + options_.prefix);
    // The broker may have lost what it retained: every retained topic anew.
    sentLine_.clear();
    sentSignatureReads_ = sentCoefficientReads_ = 0;
    Send(topics_.status, "online", RetainedQos, true);
}

void TMqttPublisher::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& p = *static_cast<TMqttPublisher*>(self);
    p.lost_ = rc == 0 ? "disconnected" : Reason(rc, errno);
}

void TMqttPublisher::TakeNotes() {
    if (connack_) {
        Connected(); // first: a refusal also closes the connection
    }
    if (lost_) {
        const std::string reason = *lost_;
        lost_.reset();
        Down(TTrouble::Unreachable, "connection lost", reason);
    }
}

void TMqttPublisher::OnPublish(mosquitto*, void* self, int mid) {
    auto& p = *static_cast<TMqttPublisher*>(self);
    if (mid == p.offlineMid_) {
        p.offlineDelivered_ = true;
    }
}

void TMqttPublisher::Down(TTrouble trouble, const std::string& what, const std::string& reason) {
    if (link_ == TLink::Idle) {
        return;
    }
    const bool wasConnected = link_ == TLink::Connected;
    link_ = TLink::Idle;
    backoff_ = NextBrokerBackoff(backoff_);
    nextAttempt_ = TClock::now() + backoff_;
    if (trouble != said_) {
        said_ = trouble;
        say_("MQTT broker " + broker_ + ": " + (wasConnected ? "connection lost" : what) + ": " +
             reason + "; retrying");
    }
}

void TMqttPublisher::Attempt() {
    errno = 0;
    const int rc = mosquitto_connect_async(client_, options_.host.c_str(), options_.port,
                                           options_.keepAliveSeconds);
    const int savedErrno = errno;
    link_ = TLink::Connecting;
    connectDeadline_ = TClock::now() + ConnectTimeout;
    if (rc != MOSQ_ERR_SUCCESS) {
        Down(TTrouble::Unreachable, "cannot connect", Reason(rc, savedErrno));
    }
}

bool TMqttPublisher::Send(const std::string& topic, const std::string& payload, int qos,
                          bool retain, int* mid) {
    errno = 0;
    const int rc = mosquitto_publish(client_, mid, topic.c_str(), static_cast<int>(payload.size()),
                                     payload.data(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_OVERSIZE_PACKET) {
        Down(TTrouble::Unreachable, "connection lost", Reason(rc, errno));
        return false;
    }
    return true;
}

void TMqttPublisher::PublishDue() {
    TInstrumentState s;
    {
        const std::lock_guard lock(mutex_);
        if (!hasState_) {
            return;
        }
        s = newest_;
    }
    const std::string line = LinePayload(s);
    if (line != sentLine_) {
        if (!Send(topics_.line, line, RetainedQos, true)) {
            return;
        }
        sentLine_ = line;
    }
    if (s.signatureReads != 0 && s.signatureReads != sentSignatureReads_) {
        if (!Send(topics_.identity, IdentityPayload(s), RetainedQos, true)) {
            return;
        }
        sentSignatureReads_ = s.signatureReads;
    }
    if (s.coefficientReads != 0 && s.coefficientReads != sentCoefficientReads_) {
        if (!Send(topics_.coefficients, CoefficientsPayload(s), RetainedQos, true)) {
            return;
        }
        sentCoefficientReads_ = s.coefficientReads;
    }
    // Readings missed while the broker was away are not sent; the newest are.
    if (s.hasReadings && (!sentAnyReadings_ || s.answeredPolls != sentReadingsPoll_)) {
        const std::string payload =
            ReadingsPayload(s, TClock::now(), std::chrono::system_clock::now());
        if (!Send(topics_.readings, payload, options_.readingsQos, false)) {
            return;
        }
        sentReadingsPoll_ = s.answeredPolls;
        sentAnyReadings_ = true;
    }
}

// One wait for the broker's socket or a wake-up, and what the socket has.
void TMqttPublisher::Serve(int timeoutMs) {
    const int socket = mosquitto_socket(client_);
    if (socket < 0 && link_ != TLink::Idle) {
        Down(TTrouble::Unreachable, "connection lost", "closed");
    }
    TMqttReady ready;
    if (!WaitForBroker(socket, socket >= 0 && mosquitto_want_write(client_), wakeRead_, timeoutMs,
                       ready)) {
        return;
    }
    if (ready.woken) {
        DrainWaker(wakeRead_);
    }
    if (socket < 0 || link_ == TLink::Idle) {
        return;
    }
    errno = 0;
    int rc = MOSQ_ERR_SUCCESS;
    if (ready.readable) {
        rc = mosquitto_loop_read(client_, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS && ready.writable && mosquitto_socket(client_) >= 0) {
        rc = mosquitto_loop_write(client_, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(client_) >= 0) {
        rc = mosquitto_loop_misc(client_);
    }
    TakeNotes();
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(client_) < 0) {
        const bool connecting = link_ == TLink::Connecting;
        // Windows tells a refused connection only as a closed one.
        const std::string reason = rc == MOSQ_ERR_SUCCESS ? "closed"
                                   : connecting && rc == MOSQ_ERR_CONN_LOST
                                       ? "refused or closed at once"
                                       : Reason(rc, errno);
        Down(TTrouble::Unreachable,
             link_ == TLink::Connecting ? "cannot connect" : "connection lost", reason);
    }
}

void TMqttPublisher::Run() {
    while (!Stopping()) {
        TakeNotes();
        const TClock::time_point now = TClock::now();
        if (link_ == TLink::Idle && now >= nextAttempt_) {
            Attempt();
        }
        if (link_ == TLink::Connecting && TClock::now() >= connectDeadline_) {
            mosquitto_disconnect(client_);
            Down(TTrouble::Unreachable, "cannot connect", "no answer from the broker");
        }
        if (link_ == TLink::Connected) {
            PublishDue();
        }
        const TClock::time_point until = link_ == TLink::Idle         ? nextAttempt_
                                         : link_ == TLink::Connecting ? connectDeadline_
                                                                      : TClock::time_point::max();
        Serve(until == TClock::time_point::max() ? IdleWaitMs
                                                 : Milliseconds(until - TClock::now()));
    }
    Finish();
}

void TMqttPublisher::Finish() {
    if (link_ != TLink::Connected) {
        return;
    }
    // The status a clean stop leaves; the last will covers the other stops.
    if (!Send(topics_.status, "offline", RetainedQos, true, &offlineMid_)) {
        return;
    }
    const TClock::time_point deadline = TClock::now() + OfflineTimeout;
    while (!offlineDelivered_ && link_ == TLink::Connected && TClock::now() < deadline) {
        Serve(Milliseconds(deadline - TClock::now()));
    }
    if (link_ == TLink::Connected) {
        link_ = TLink::Idle; // a clean end, nothing to say
        mosquitto_disconnect(client_);
    }
}

} // namespace orbel::gateway
