// Waiting for what an event thread does, with a deadline: either while the
// main thread serves its queued calls (the synchronised dispatches and the
// notifications), or without serving anything.
#pragma once

#include "loop/MainLoop.h"

#include <chrono>
#include <dirent.h>
#include <thread>

using namespace orbel;

using namespace std::chrono_literals;

template <typename Condition>
bool ServeUntil(Condition condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MainLoop().ProcessPending();
        std::this_thread::sleep_for(100us);
    }
    return true;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(100us);
    }
    return true;
}

// Entries of a /proc/self folder: the process's threads or open descriptors.
inline int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (const dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(dir);
    }
    return count;
}

// Threads of the process. The first call starts and joins one thread, so that
// a runtime's lazily started helper (ThreadSanitizer's background thread) is
// already there when a test takes its baseline.
inline int ThreadCount() {
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)settled;
    return CountEntries("/proc/self/task");
}
