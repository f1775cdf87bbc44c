#include "app/gateway/ModbusServer.h"

#include "app/gateway/RegisterMap.h"
#include "app/gateway/Sockets.h"

#include <modbus.h>

#include <algorithm>
#include <memory>

namespace orbel::gateway {

namespace {

// A reply that cannot be sent in this time ends its connection.
constexpr int SendSeconds = 5;

struct TModbusFree {
    void operator()(modbus_t* ctx) const { modbus_free(ctx); }
    void operator()(modbus_mapping_t* map) const { modbus_mapping_free(map); }
};

// Copies the map of this moment into libmodbus's tables.
void FillMapping(modbus_mapping_t& mapping, const TRegisters& registers) {
    std::copy(registers.begin(), registers.end(), mapping.tab_registers);
    std::copy(registers.begin(), registers.end(), mapping.tab_input_registers);
    const TDiscreteInputs bits = BuildDiscreteInputs(registers);
    std::copy(bits.begin(), bits.end(), mapping.tab_input_bits);
}

} // namespace

TModbusServer::TModbusServer(TServerSettings settings, const TStateStore& store)
    : settings_(std::move(settings)), store_(store) {}

TModbusServer::~TModbusServer() {
    Stop();
}

bool TModbusServer::Listen(std::string& reason) {
    listening_ = ListenOn(settings_.host, settings_.port, reason);
    return listening_ >= 0;
}

std::uint16_t TModbusServer::Port() const {
    return BoundPort(listening_);
}

void TModbusServer::Start() {
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

void TModbusServer::Stop() {
    std::list<TClient> clients;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        if (listening_ >= 0) {
            StopAccepting(listening_);
        }
        for (TClient& client : clients_) {
            if (client.socket >= 0) {
                ShutDown(client.socket);
            }
        }
    }
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    {
        const std::lock_guard lock(mutex_);
        clients.splice(clients.end(), clients_);
    }
    for (TClient& client : clients) {
        client.thread.join();
    }
    if (listening_ >= 0) {
        CloseListening(listening_);
        listening_ = -1;
    }
}

int TModbusServer::ReapLocked(std::list<TClient>& ended) {
    int served = 0;
    for (auto it = clients_.begin(); it != clients_.end();) {
        const auto here = it++;
        if (here->done) {
            ended.splice(ended.end(), clients_, here);
        } else {
            ++served;
        }
    }
    return served;
}

void TModbusServer::AcceptLoop() {
    for (;;) {
        const int socket = AcceptClient(listening_);
        if (socket < 0) {
            return;
        }
        std::list<TClient> ended;
        const std::lock_guard lock(mutex_);
        if (stopping_ || ReapLocked(ended) >= settings_.maxClients) {
            CloseSocket(socket); // refused: the client sees its connection end
        } else {
            TuneClient(socket, SendSeconds);
            TClient& client = clients_.emplace_back();
            client.socket = socket;
            client.thread = std::thread([this, &client] { Serve(client); });
        }
        for (TClient& client : ended) {
            client.thread.join(); // it has left Serve already
        }
    }
}

void TModbusServer::Serve(TClient& client) {
    const std::unique_ptr<modbus_t, TModbusFree> ctx(modbus_new_tcp(nullptr, 0));
    const std::unique_ptr<modbus_mapping_t, TModbusFree> mapping(
        modbus_mapping_new(0, DiscreteInputCount, RegisterCount, RegisterCount));
    if (ctx && mapping) {
        modbus_set_socket(ctx.get(), client.socket);
        modbus_set_indication_timeout(ctx.get(),
                                      static_cast<std::uint32_t>(settings_.idleClose.count()), 0);
        std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
        for (;;) {
            const int length = modbus_receive(ctx.get(), request);
            if (length <= 0) {
                break; // closed, idle, broken or unframeable
            }
            const TInstrumentState state = store_.Read();
            const TClock::time_point now = TClock::now();
            const TRequestVerdict verdict =
                JudgeRequest(request, static_cast<std::size_t>(length), settings_.unitId,
                             ReadingsStale(state, now, settings_.staleAfter));
            int sent = 0;
            switch (verdict.kind) {
            case TRequestVerdict::TKind::Answer:
                FillMapping(*mapping, BuildRegisters(state, now, settings_.staleAfter));
                sent = modbus_reply(ctx.get(), request, length, mapping.get());
                break;
            case TRequestVerdict::TKind::Exception:
                sent = modbus_reply_exception(ctx.get(), request, verdict.exception);
                break;
            case TRequestVerdict::TKind::Ignore:
                break;
            case TRequestVerdict::TKind::Close:
                sent = -1;
                break;
            }
            if (sent < 0) {
                break;
            }
        }
    }
    const std::lock_guard lock(mutex_);
    CloseSocket(client.socket);
    client.socket = -1;
    client.done = true;
}

} // namespace orbel::gateway
