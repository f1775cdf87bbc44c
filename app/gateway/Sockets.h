// The few socket calls the gateway makes itself (libmodbus sends the
// replies): a listening socket, non-blocking connections, a wait for the
// readable ones and a wake-up for that wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbel::gateway {

// A listening, non-blocking TCP socket; -1 with the reason when it cannot be had.
int ListenOn(const std::string& host, const std::string& port, std::string& reason);
// The port a listening socket was bound to (for port 0).
std::uint16_t BoundPort(int socket);
void CloseListening(int listening);

// The next waiting connection, non-blocking with no delay for small
// replies; -1 when none waits, AcceptRefused when the descriptor limit made
// it close the connection at once (through a spare descriptor kept for it),
// AcceptFailed when it could not take one (the caller waits before the next
// try rather than spin on a listening socket that stays readable).
constexpr int AcceptRefused = -2;
constexpr int AcceptFailed = -3;
int AcceptClient(int listening);
// ReceiveSome: bytes read, 0 when the peer closed, -1 on failure, ReceiveLater
// when nothing is there yet.
constexpr long ReceiveLater = -2;
long ReceiveSome(int socket, std::uint8_t* buffer, std::size_t size);
void CloseSocket(int socket);

struct TWaitItem {
    int socket;
    bool ready; // set by WaitReadable
};
// Waits up to timeoutMs for any item to become readable (or closed); false
// when the wait itself failed.
bool WaitReadable(std::vector<TWaitItem>& items, int timeoutMs);

// A channel whose read end WaitReadable can wait on, and Wake makes readable.
bool MakeWaker(int& readEnd, int& writeEnd);
void Wake(int writeEnd);
void CloseWaker(int readEnd, int writeEnd);

} // namespace orbel::gateway
