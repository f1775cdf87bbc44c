// Runs a piece of code the way an ordinary user would: in a child process
// that drops root's rights first (root writes anywhere, so permission checks
// need another user). Without root it runs as the current user.
#pragma once

#include <functional>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace orbel::test {

// 0 when `work` returned, 1 when it threw std::runtime_error, 2 or more when
// the child could not drop its rights or ended otherwise (a hang ends it
// after ten seconds).
inline int RunAsOrdinaryUser(const std::function<void()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10); // a save that hangs ends the child instead of the test
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        try {
            work();
            ::_exit(0);
        } catch (const std::runtime_error&) {
            ::_exit(1);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 4;
}

} // namespace orbel::test
