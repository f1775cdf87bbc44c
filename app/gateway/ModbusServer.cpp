#include "app/gateway/ModbusServer.h"

#include "app/gateway/ConnectionSlots.h"
#include "app/gateway/RegisterMap.h"
#include "app/gateway/Sockets.h"

#include <modbus.h>

#include <algorithm>
#include <array>

namespace orbel::gateway {

namespace {

constexpr std::size_t MbapLength = 7;
constexpr std::size_t MaxFrame = MODBUS_TCP_MAX_ADU_LENGTH;
// Between two looks at the clients' deadlines when nothing happens.
constexpr std::chrono::milliseconds MaxWait{1000};
// The listening socket rests this long after an accept that failed.
constexpr std::chrono::milliseconds ListenPause{100};

modbus_t* Context(void* p) {
    return static_cast<modbus_t*>(p);
}
modbus_mapping_t* Mapping(void* p) {
    return static_cast<modbus_mapping_t*>(p);
}

// The whole frame's length from its header; 0 while the header is incomplete,
// SIZE_MAX for a header no Modbus TCP frame has.
std::size_t FrameLength(const std::uint8_t* data, std::size_t count) {
    if (count < MbapLength) {
        return 0;
    }
    const std::size_t length = static_cast<std::size_t>(data[4]) << 8 | data[5];
    const bool protocol = data[2] == 0 && data[3] == 0;
    if (!protocol || length < 2 || length + 6 > MaxFrame) {
        return SIZE_MAX;
    }
    return length + 6;
}

} // namespace

struct TModbusServer::TClient {
    int socket = -1;
    std::array<std::uint8_t, MaxFrame> buffer{};
    std::size_t count = 0;
    TClock::time_point lastRequest{}; // or the connection
    TClock::time_point frameStart{};  // the first byte of the frame under way
};

TModbusServer::TModbusServer(TServerSettings settings, const TStateStore& store)
    : settings_(std::move(settings)), store_(store) {
    modbus_ = modbus_new_tcp(nullptr, 0);
    mapping_ = modbus_mapping_new(0, DiscreteInputCount, RegisterCount, RegisterCount);
}

TModbusServer::~TModbusServer() {
    Stop();
    modbus_mapping_free(Mapping(mapping_));
    modbus_free(Context(modbus_));
}

bool TModbusServer::Listen(std::string& reason) {
    if (modbus_ == nullptr || mapping_ == nullptr) {
        reason = "out of memory";
        return false;
    }
    listening_ = ListenOn(settings_.host, settings_.port, reason);
    if (listening_ >= 0 && !MakeWaker(wakeRead_, wakeWrite_)) {
        reason = "no wake-up channel";
        CloseListening(listening_);
        listening_ = -1;
    }
    return listening_ >= 0;
}

std::uint16_t TModbusServer::Port() const {
    return BoundPort(listening_);
}

void TModbusServer::Start() {
    thread_ = std::thread([this] { Loop(); });
}

void TModbusServer::Stop() {
    if (thread_.joinable()) {
        Wake(wakeWrite_);
        thread_.join();
    }
    if (listening_ >= 0) {
        CloseListening(listening_);
        CloseWaker(wakeRead_, wakeWrite_);
        listening_ = -1;
    }
}

void TModbusServer::Accept(std::vector<TClient>& clients, TClock::time_point now) {
    // One a wake-up: the wait says when the next one is there.
    const int socket = AcceptClient(listening_);
    if (socket == AcceptRefused || socket == AcceptFailed) {
        if (!atLimit_ && settings_.say) {
            settings_.say("too many open files: new connections are closed at once");
        }
        atLimit_ = true;
        listenPausedUntil_ = socket == AcceptFailed ? now + ListenPause : listenPausedUntil_;
        return;
    }
    if (socket < 0) {
        return;
    }
    atLimit_ = false;
    if (static_cast<int>(clients.size()) >= settings_.maxClients) {
        std::vector<TSlotUse> slots;
        for (const TClient& c : clients) {
            slots.push_back({c.lastRequest, c.count > 0});
        }
        const std::optional<std::size_t> slot = SlotToEvict(slots, now);
        if (!slot) {
            CloseSocket(socket); // refused: the client sees its connection end
            return;
        }
        CloseSocket(clients[*slot].socket);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(*slot));
    }
    TClient& client = clients.emplace_back();
    client.socket = socket;
    client.lastRequest = now;
}

bool TModbusServer::Answer(TClient& client, const std::uint8_t* frame, std::size_t length) {
    const TInstrumentState state = store_.Read();
    const TClock::time_point now = TClock::now();
    const TRequestVerdict verdict = JudgeRequest(frame, length, settings_.unitId,
                                                 ReadingsStale(state, now, settings_.staleAfter));
    modbus_t* ctx = Context(modbus_);
    modbus_set_socket(ctx, client.socket);
    const int size = static_cast<int>(length);
    switch (verdict.kind) {
    case TRequestVerdict::TKind::Answer: {
        modbus_mapping_t& map = *Mapping(mapping_);
        const TRegisters registers = BuildRegisters(state, now, settings_.staleAfter);
        std::copy(registers.begin(), registers.end(), map.tab_registers);
        std::copy(registers.begin(), registers.end(), map.tab_input_registers);
        const TDiscreteInputs bits = BuildDiscreteInputs(registers);
        std::copy(bits.begin(), bits.end(), map.tab_input_bits);
        // A reply the socket cannot take at once ends the client: it does not
        // read what it asked for, and nothing is kept for it.
        return modbus_reply(ctx, frame, size, &map) >= 0;
    }
    case TRequestVerdict::TKind::Exception:
        return modbus_reply_exception(ctx, frame, verdict.exception) >= 0;
    case TRequestVerdict::TKind::Ignore:
        return true;
    case TRequestVerdict::TKind::Close:
        break;
    }
    return false;
}

bool TModbusServer::Serve(TClient& client, TClock::time_point now) {
    const long got = ReceiveSome(client.socket, client.buffer.data() + client.count,
                                 client.buffer.size() - client.count);
    if (got <= 0) {
        return got == ReceiveLater; // closed or failed otherwise
    }
    if (client.count == 0) {
        client.frameStart = now;
    }
    client.count += static_cast<std::size_t>(got);
    for (;;) {
        const std::size_t length = FrameLength(client.buffer.data(), client.count);
        if (length == SIZE_MAX) {
            return false; // not Modbus TCP, or larger than any frame
        }
        if (length == 0 || length > client.count) {
            return true; // the rest of the frame is still to come
        }
        client.lastRequest = now;
        if (!Answer(client, client.buffer.data(), length)) {
            return false;
        }
        std::copy(client.buffer.begin() + static_cast<long>(length),
                  client.buffer.begin() + static_cast<long>(client.count), client.buffer.begin());
        client.count -= length;
        client.frameStart = now;
    }
}

void TModbusServer::Loop() {
    std::vector<TClient> clients;
    std::vector<TWaitItem> items;
    for (;;) {
        const TClock::time_point now = TClock::now();
        TClock::time_point next = now + MaxWait;
        // Idle connections and frames that stopped half-way end here.
        std::erase_if(clients, [&](const TClient& c) {
            const TClock::time_point end = c.count > 0 ? c.frameStart + settings_.byteGap
                                                       : c.lastRequest + settings_.idleClose;
            if (now >= end) {
                CloseSocket(c.socket);
                return true;
            }
            next = std::min(next, end);
            return false;
        });
        // After a failed accept the listening socket rests (it stays readable).
        const bool listen = now >= listenPausedUntil_;
        if (!listen) {
            next = std::min(next, listenPausedUntil_);
        }
        items.assign({{wakeRead_, false}, {listen ? listening_ : -1, false}});
        for (const TClient& c : clients) {
            items.push_back({c.socket, false});
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
        if (!WaitReadable(items, static_cast<int>(wait.count())) || items[0].ready) {
            break;
        }
        const TClock::time_point woke = TClock::now();
        for (std::size_t i = 0; i + 2 < items.size(); ++i) {
            if (items[i + 2].ready && !Serve(clients[i], woke)) {
                CloseSocket(clients[i].socket);
                clients[i].socket = -1;
            }
        }
        std::erase_if(clients, [](const TClient& c) { return c.socket < 0; });
        // After serving: a client that asked just now is not the idlest.
        if (items[1].ready) {
            Accept(clients, woke);
        }
    }
    for (const TClient& c : clients) {
        CloseSocket(c.socket);
    }
}

} // namespace orbel::gateway
