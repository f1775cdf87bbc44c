#include "common/ReadToEnd.h"

#include <array>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace orbel::test {

bool ReadToEnd(int out, int err, std::string& outText, std::string& errText,
               std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    std::array<pollfd, 2> fds{{{out, POLLIN, 0}, {err, POLLIN, 0}}};
    const std::array<std::string*, 2> texts{&outText, &errText};
    std::array<char, 4096> chunk{};
    while ((fds[0].fd >= 0 || fds[1].fd >= 0) && Clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = ::read(fds[i].fd, chunk.data(), chunk.size());
            if (n > 0) {
                texts[i]->append(chunk.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1; // ended: poll leaves it out from now on
            }
        }
    }
    return fds[0].fd < 0 && fds[1].fd < 0;
}

} // namespace orbel::test
