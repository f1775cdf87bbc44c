// The Modbus TCP server: one thread accepts, one thread serves each client,
// so a slow or stuck client holds up nobody but itself. libmodbus frames the
// requests and builds the replies; the register map judges them.
#pragma once

#include "app/gateway/Poller.h"

#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace orbel::gateway {

struct TServerSettings {
    std::string host = "127.0.0.1";
    std::string port = "1502";
    int maxClients = 16;
    std::uint8_t unitId = 1;
    std::chrono::milliseconds staleAfter{3900};
    // A client that sends no request for this long is disconnected.
    std::chrono::seconds idleClose{60};
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
    // Accepts clients on a thread of its own until Stop.
    void Start();
    // Ends every connection and the listening socket, and joins the threads.
    void Stop();

private:
    struct TClient {
        int socket = -1;
        bool done = false;
        std::thread thread;
    };
    void AcceptLoop();
    void Serve(TClient& client);
    // Joins the clients that have ended; returns how many are still served.
    int ReapLocked(std::list<TClient>& ended);

    TServerSettings settings_;
    const TStateStore& store_;
    int listening_ = -1;
    std::thread acceptor_;
    std::mutex mutex_;
    bool stopping_ = false;
    std::list<TClient> clients_;
};

} // namespace orbel::gateway
