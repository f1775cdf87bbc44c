// The tool's side of the line, in plain POSIX: opens the slave device raw and
// exchanges bytes with deadlines.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace orbel::test {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

class PtyClient {
public:
    explicit PtyClient(std::string path); // opens at once; throws std::system_error
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    void Open();
    void Close();

    void Write(const Bytes& bytes);

    // Reads until `count` bytes have arrived, the time is up or the line hangs
    // up; returns what came.
    Bytes Read(std::size_t count, milliseconds timeout = milliseconds(1000));

    // Everything that arrives within `window`.
    Bytes ReadFor(milliseconds window) { return Read(SIZE_MAX, window); }

    Bytes Exchange(const Bytes& request, std::size_t replySize,
                   milliseconds timeout = milliseconds(1000));

    // True once a read has seen the line hang up.
    bool HungUp() const { return hungUp_; }

private:
    std::string path_;
    int fd_ = -1;
    bool hungUp_ = false;
};

} // namespace orbel::test
