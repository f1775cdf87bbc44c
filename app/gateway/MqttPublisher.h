// Publishing the instrument's state to an MQTT broker, on a thread of its own
// over libmosquitto's C API. The poll hands it each new state (Offer: a copy
// and a wake-up, never a wait); the thread keeps only the newest one and
// publishes what changed while the broker is there, so a broker that is slow,
// down or gone delays neither the poll nor the Modbus answers. The broker is
// tried again with a back-off from 0.5 s to 30 s; each new problem is said once.
#pragma once

#include "poll/InstrumentState.h"
#include "app/gateway/MqttOptions.h"
#include "app/gateway/MqttTopics.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct mosquitto;

namespace orbel::gateway {

// The wait before the next attempt to reach the broker after `previous` (zero at first).
std::chrono::milliseconds NextBrokerBackoff(std::chrono::milliseconds previous);

class TMqttPublisher {
public:
    using TSay = std::function<void(const std::string&)>;
    // Throws std::runtime_error when the client cannot be set up (a TLS file
    // that cannot be read, TLS in a build without it).
    TMqttPublisher(TMqttOptions options, TSay say);
    ~TMqttPublisher();
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;

    // The newest state; any thread, returns at once.
    void Offer(const TInstrumentState& state);
    // Says "offline" on a clean stop (within two seconds), disconnects and
    // ends the thread.
    void Stop();

private:
    enum class TLink { Idle, Connecting, Connected };
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    void Run();
    void Attempt();
    void Connected();
    void TakeNotes();
    // The kinds of trouble said once each: the broker cannot be reached (down,
    // gone, not answering), or it refuses the connection (a wrong password).
    enum class TTrouble { None, Unreachable, Refused };
    void Down(TTrouble trouble, const std::string& what, const std::string& reason);
    void Serve(int timeoutMs);
    void PublishDue();
    bool Send(const std::string& topic, const std::string& payload, int qos, bool retain,
              int* mid = nullptr);
    void Finish();
    bool Stopping();

    TMqttOptions options_;
    TSay say_;
    TMqttTopics topics_;
    std::string broker_; // host:port, for what is said
    mosquitto* client_ = nullptr;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;

    // Shared with the poll's thread.
    std::mutex mutex_;
    TInstrumentState newest_;
    bool hasState_ = false;
    bool stop_ = false;

    // The publisher's thread alone.
    TLink link_ = TLink::Idle;
    std::chrono::milliseconds backoff_{0};
    TClock::time_point nextAttempt_{};
    TClock::time_point connectDeadline_{};
    TTrouble said_ = TTrouble::None;
    std::string sentLine_;
    std::uint32_t sentSignatureReads_ = 0;
    std::uint32_t sentCoefficientReads_ = 0;
    std::uint32_t sentReadingsPoll_ = 0;
    bool sentAnyReadings_ = false;
    // What the library's callbacks noted, until acted on: the broker's answer
    // to a connect, and why a connection ended.
    std::optional<int> connack_;
    std::optional<std::string> lost_;
    int offlineMid_ = -1;
    bool offlineDelivered_ = false;

    std::thread thread_;
};

} // namespace orbel::gateway
