#include "sim/PtyPair.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace orbel::sim {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyPair::~PtyPair() {
    Close();
}

void PtyPair::Open(const std::string& link) {
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        ThrowErrno("posix_openpt");
    }
    try {
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
            ThrowErrno("grantpt/unlockpt");
        }
        std::array<char, PATH_MAX> name{};
        if (const int rc = ptsname_r(master_, name.data(), name.size()); rc != 0) {
            errno = rc;
            ThrowErrno("ptsname_r");
        }
        slavePath_ = name.data();
        slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            ThrowErrno("open " + slavePath_);
        }
        MakeRaw(slave_, "the slave");
        const int flags = fcntl(master_, F_GETFL);
        if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
            ThrowErrno("fcntl on the master");
        }
        if (!link.empty()) {
            MakeLink(link);
        }
    } catch (...) {
        Close();
        throw;
    }
}

void PtyPair::MakeLink(const std::string& link) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            throw LinkError(EEXIST, std::generic_category(), link + " exists and is no link");
        }
        ::unlink(link.c_str());
    }
    if (::symlink(slavePath_.c_str(), link.c_str()) != 0) {
        throw LinkError(errno, std::generic_category(), link);
    }
    link_ = link;
}

void PtyPair::Close() noexcept {
    RemoveLink();
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyPair::RemoveLink() noexcept {
    if (link_.empty()) {
        return;
    }
    // Only our own link: something else may have been put there meanwhile.
    std::array<char, PATH_MAX> target{};
    const ssize_t n = ::readlink(link_.c_str(), target.data(), target.size() - 1);
    if (n > 0 && std::string(target.data(), static_cast<std::size_t>(n)) == slavePath_) {
        ::unlink(link_.c_str());
    }
    link_.clear();
}

} // namespace orbel::sim
