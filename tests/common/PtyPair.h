// A pseudo-terminal pair for tests: the test holds the master side and plays
// the other end of the line; the code under test opens the slave by its path.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    // Throws std::runtime_error when no pseudo-terminal can be made.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // Writes every byte to the line.
    void Write(const std::vector<std::uint8_t>& bytes);
    // Reads until `count` bytes have come or `timeout` has passed.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout);
    // Hangs the line up: the slave side sees the other end gone.
    void CloseMaster();

private:
    int master_ = -1;
    std::string slavePath_;
};
