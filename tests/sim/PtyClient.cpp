#include "PtyClient.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace orbel::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyClient::PtyClient(std::string path) : path_(std::move(path)) {
    Open();
}

PtyClient::~PtyClient() {
    Close();
}

void PtyClient::Open() {
    Close();
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        Fail("open");
    }
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        Fail("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
        Fail("tcsetattr");
    }
    hungUp_ = false;
}

void PtyClient::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void PtyClient::Write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            Fail("write");
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
        if (done < bytes.size()) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

Bytes PtyClient::Read(std::size_t count, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    Bytes got;
    std::array<std::uint8_t, 512> chunk{};
    while (got.size() < count && !hungUp_) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd_, chunk.data(), std::min(chunk.size(), count - got.size()));
        if (n > 0) {
            got.insert(got.end(), chunk.begin(), chunk.begin() + n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            hungUp_ = true; // end of file or EIO: the other side is gone
        }
    }
    return got;
}

Bytes PtyClient::Exchange(const Bytes& request, std::size_t replySize, milliseconds timeout) {
    Write(request);
    return Read(replySize, timeout);
}

} // namespace orbel::test
