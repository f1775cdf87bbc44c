// The few socket calls the gateway makes itself (libmodbus makes the rest):
// a listening socket, accepting, and ending a connection from another thread.
#pragma once

#include <cstdint>
#include <string>

namespace orbel::gateway {

// Host and port of "ADDRESS:PORT" ("[v6]:PORT" for IPv6); false when the text
// has no port or an empty address.
bool SplitListenAddress(const std::string& text, std::string& host, std::string& port);

// A listening TCP socket; -1 with the reason when it cannot be had.
int ListenOn(const std::string& host, const std::string& port, std::string& reason);
// The port a listening socket was bound to (for port 0).
std::uint16_t BoundPort(int socket);
// The next connection; -1 once the socket has been shut down.
int AcceptClient(int listening);
// No delay for small replies; a send that cannot go out in `sendSeconds` fails.
void TuneClient(int socket, int sendSeconds);
// Wakes every call blocked on a connection (it stays open).
void ShutDown(int socket);
void CloseSocket(int socket);
// Wakes the accepting thread; CloseListening then releases the socket.
void StopAccepting(int listening);
void CloseListening(int listening);

} // namespace orbel::gateway
