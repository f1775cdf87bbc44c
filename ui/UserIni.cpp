#include "ui/UserIni.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteAll(int fd, const std::string& content, const std::string& path) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

// The mode a new file gets: 0666 less the process's umask (read without
// changing it), or the old file's mode when there is one.
mode_t FileMode(const std::string& path) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        return old.st_mode & 07777;
    }
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    }
    return 0666 & ~mask;
}

void WriteInPlace(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    }
    try {
        WriteAll(fd, content, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) {
        throw std::runtime_error("cannot close " + path + ": " + std::strerror(errno));
    }
}

} // namespace

std::string UserIniContent(const std::string& port, bool softwareMode) {
    return port + "\r\n" + (softwareMode ? "1" : "0") + "\r\n";
}

void WriteUserIni(const std::string& path, const std::string& content) {
    const std::filesystem::path target(path);
    std::string temp = (target.parent_path() / ".user.ini.XXXXXX").string();
    const mode_t mode = FileMode(path);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        if (errno != EACCES && errno != EPERM) {
            throw std::runtime_error("cannot create a file beside " + path + ": " +
                                     std::strerror(errno));
        }
        // A folder the user may not write into, holding a writable file.
        WriteInPlace(path, content);
        return;
    }
    try {
        WriteAll(fd, content, temp);
        if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
            throw std::runtime_error("cannot flush " + temp + ": " + std::strerror(errno));
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temp.c_str());
        throw std::runtime_error("cannot replace " + path + ": " + reason);
    }
}
