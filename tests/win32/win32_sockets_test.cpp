// orbel-gateway's socket calls on Windows: the listening socket never blocks
// the server thread, not even for a client that resets its connection before
// it is taken, and a listen failure says why in words.
#include "app/gateway/Sockets.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <future>

using namespace orbel::gateway;
using namespace std::chrono_literals;

namespace {

SOCKET Connect(std::uint16_t port) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    return s;
}

// Closes with a reset rather than an orderly end.
void Reset(SOCKET s) {
    const linger now{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
    ::closesocket(s);
}

// AcceptClient within a second, or the listening socket is closed under it
// (which ends a blocked accept) and the test fails.
int AcceptBounded(int listening) {
    auto taken = std::async(std::launch::async, [listening] { return AcceptClient(listening); });
    if (taken.wait_for(1s) != std::future_status::ready) {
        ADD_FAILURE() << "accept blocked the server thread";
        CloseListening(listening);
    }
    return taken.get();
}

bool Readable(int socket, int ms) {
    std::vector<TWaitItem> items{{socket, false}};
    return WaitReadable(items, ms) && items[0].ready;
}

} // namespace

TEST(Win32Sockets, AClientResettingBeforeItIsTakenBlocksNoOne) {
    std::string reason;
    const int listening = ListenOn("127.0.0.1", "0", reason);
    ASSERT_GE(listening, 0) << reason;
    const std::uint16_t port = BoundPort(listening);
    EXPECT_EQ(AcceptBounded(listening), -1); // none waiting: an answer at once

    const SOCKET served = Connect(port);
    ASSERT_TRUE(Readable(listening, 2000));
    const int client = AcceptBounded(listening);
    ASSERT_GE(client, 0);

    Reset(Connect(port)); // connects and resets while the other is served
    ::send(served, "abc", 3, 0);
    ASSERT_TRUE(Readable(client, 2000));
    std::uint8_t got[8] = {};
    EXPECT_EQ(ReceiveSome(client, got, sizeof got), 3);
    // The reset connection is taken (and found closed) or gone from the
    // queue; either way the next accept answers at once.
    for (int i = 0; i < 2; ++i) {
        if (const int early = AcceptBounded(listening); early >= 0) {
            CloseSocket(early);
        }
    }
    ::send(served, "d", 1, 0);
    ASSERT_TRUE(Readable(client, 2000));
    EXPECT_EQ(ReceiveSome(client, got, sizeof got), 1);

    // A second server on the same port: refused, with the system's words.
    std::string why;
    EXPECT_EQ(ListenOn("127.0.0.1", std::to_string(port), why), -1);
    EXPECT_NE(why.find("(10048)"), std::string::npos) << why;
    EXPECT_GT(why.find("(10048)"), 5U) << why;

    ::closesocket(served);
    CloseSocket(client);
    CloseListening(listening);
}
