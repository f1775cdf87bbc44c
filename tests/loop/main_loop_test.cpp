#include "loop/MainLoop.h"
#include "loop/PlainMainLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orbel;

using namespace std::chrono_literals;

TEST(PlainMainLoop, RunsPostedCallsInOrderOnItsOwnThreadOnly) {
    TPlainMainLoop loop;
    std::vector<int> ran;
    bool ownerSeenFromThread = true;
    std::thread poster([&] {
        ownerSeenFromThread = loop.OnMainThread();
        loop.Post([&] { ran.push_back(1); });
        loop.Post([&] { ran.push_back(2); });
    });
    poster.join();
    EXPECT_FALSE(ownerSeenFromThread);
    EXPECT_TRUE(loop.OnMainThread());
    EXPECT_TRUE(ran.empty()); // nothing runs before a pass
    loop.ProcessPending();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(PlainMainLoop, ACallPostedDuringAPassWaitsForTheNextAndAThrowLosesNothing) {
    TPlainMainLoop loop;
    std::vector<int> ran;
    loop.Post([&] {
        ran.push_back(1);
        loop.Post([&] { ran.push_back(3); });
    });
    loop.Post([] { throw std::runtime_error("handler"); });
    loop.Post([&] { ran.push_back(2); });
    EXPECT_THROW(loop.ProcessPending(), std::runtime_error);
    EXPECT_EQ(ran, (std::vector<int>{1}));
    loop.ProcessPending();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(PlainMainLoop, WaitAndProcessWakesOnAPostAndTimesOutWithout) {
    TPlainMainLoop loop;
    EXPECT_FALSE(loop.WaitAndProcess(10ms));
    bool ran = false;
    std::thread poster([&] {
        std::this_thread::sleep_for(20ms);
        loop.Post([&] { ran = true; });
    });
    EXPECT_TRUE(loop.WaitAndProcess(5s));
    poster.join();
    EXPECT_TRUE(ran);
}

TEST(MainLoop, TheInstalledLoopServesUntilTheDefaultIsRestored) {
    IMainLoop& plain = MainLoop();
    EXPECT_TRUE(plain.OnMainThread()); // the thread that started the program
    TPlainMainLoop other;
    SetMainLoop(&other);
    EXPECT_EQ(&MainLoop(), &other);
    SetMainLoop(nullptr);
    EXPECT_EQ(&MainLoop(), &plain);
}
