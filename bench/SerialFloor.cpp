// The least any serial code can do for the benchmark's exchange: one write of
// the request, then ppoll and read until the reply is complete or the budget,
// kept on the monotonic clock, has passed.
#include "SerialBench.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace serial_bench {
namespace {

std::int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class Floor : public Library {
public:
    explicit Floor(const std::string& device)
        : fd_(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios tio{};
        if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) {
            throw std::runtime_error("floor: cannot open " + device);
        }
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Floor() override { close(fd_); }
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    std::vector<double> TimeoutErrors(int count) override { return Run(count, false); }
    std::vector<double> ExchangeTimes(int count) override { return Run(count, true); }

private:
    int Read() {
        const std::int64_t deadline = NowNs() + std::int64_t{BudgetMs} * 1'000'000;
        int got = 0;
        while (got < ReplyLength) {
            const std::int64_t left = deadline - NowNs();
            if (left <= 0) {
                break;
            }
            pollfd fd{fd_, POLLIN, 0};
            const timespec wait{static_cast<time_t>(left / 1'000'000'000),
                                static_cast<long>(left % 1'000'000'000)};
            if (ppoll(&fd, 1, &wait, nullptr) > 0) {
                const ssize_t n =
                    read(fd_, buffer_ + got, static_cast<std::size_t>(ReplyLength - got));
                got += n > 0 ? static_cast<int>(n) : 0;
            }
        }
        return got;
    }
    std::vector<double> Run(int count, bool exchanges) {
        static constexpr std::uint8_t request[RequestLength] = {0xFF, 0x20, 0x01, 0x99, 0xF0};
        return Time(
            count, [&] { return Read(); },
            [&] {
                if (write(fd_, request, RequestLength) != RequestLength) {
                    throw std::runtime_error("floor: short write");
                }
                return Read();
            },
            exchanges);
    }

    const int fd_;
    std::uint8_t buffer_[ReplyLength] = {};
};

} // namespace

std::unique_ptr<Library> MakeFloor(const std::string& device) {
    return std::make_unique<Floor>(device);
}

} // namespace serial_bench
