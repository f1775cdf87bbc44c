// The Modbus TCP server: one thread, non-blocking sockets, a bounded buffer a
// client, so that a slow or stuck client holds up nobody, and the server never
// takes more than one processor from the poll and the serial line. The frames
// are cut by their MBAP header; libmodbus builds the replies and the register
// map judges the requests.
#pragma once

#include "poll/Poller.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace orbel::gateway {

struct TServerSettings {
    std::string host = "127.0.0.1";
    std::string port = "1502";
    int maxClients = 16;
    std::uint8_t unitId = 1;
    std::chrono::milliseconds staleAfter{3900};
    // A client that sends no request for this long is disconnected.
    std::chrono::seconds idleClose{60};
    // A frame whose bytes stop coming for this long ends its connection.
    std::chrono::milliseconds byteGap{500};
};

class TModbusServer {
public:
    TModbusServer(TServerSettings settings, const TStateStore& store);
    ~TModbusServer();
    TModbusServer(const TModbusServer&) = delete;
    TModbusServer& operator=(const TModbusServer&) = delete;

    // Binds and listens; false with the reason when the address cannot be had.
    bool Listen(std::string& reason);
    std::uint16_t Port() const;
    // Serves on a thread of its own until Stop.
    void Start();
    // Ends every connection and the listening socket, and joins the thread.
    void Stop();

private:
    struct TClient;
    void Loop();
    void Accept(std::vector<TClient>& clients);
    // Reads what came and answers every whole frame; false to end the client.
    bool Serve(TClient& client, TClock::time_point now);
    bool Answer(TClient& client, const std::uint8_t* frame, std::size_t length);

    TServerSettings settings_;
    const TStateStore& store_;
    int listening_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    void* modbus_ = nullptr;  // the one libmodbus context replies go through
    void* mapping_ = nullptr; // its register tables
    std::thread thread_;
};

} // namespace orbel::gateway
