#pragma once
// Runs a piece of a test in a child process: as another user (root passes
// every permission check, so a test of what a user may not do drops to an
// ordinary account), or under a watchdog that ends a child that hangs.

#include <grp.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace testing_support {

// An account with no rights of its own, for tests that run as root.
inline constexpr uid_t kOtherUser = 65534;

struct ChildOutcome {
    bool exited = false;  // false: killed by a signal (the watchdog's among them)
    int code = -1;        // exit code, or the signal
};

// Starts `body` in a child process that ends with its return value; the
// child's pid, or -1 when fork fails. When `uid` is given and this process is
// root, the child first becomes that user. `watchdogSeconds` > 0 kills a child
// that is still running after that long. Fork only while this process runs a
// single thread: a child forked beside other threads may inherit a lock one of
// them held (the allocator's, under the sanitizers) and wait on it forever.
inline pid_t startChild(const std::function<int()>& body, uid_t uid = static_cast<uid_t>(-1),
                        unsigned watchdogSeconds = 0) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (watchdogSeconds > 0)
        ::alarm(watchdogSeconds);
    if (uid != static_cast<uid_t>(-1) && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(120);
    }
    int code = 122;
    try {
        code = body();
    } catch (...) {
        code = 121;  // an exception never returns into the test program's copy
    }
    ::_exit(code);
}

// Waits for a child that startChild began.
inline ChildOutcome waitChild(pid_t pid) {
    if (pid < 0)
        return {};
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return {};
    }
    if (WIFEXITED(status))
        return {true, WEXITSTATUS(status)};
    return {false, WIFSIGNALED(status) ? WTERMSIG(status) : -1};
}

// Runs `body` in a child process and waits for it (see startChild).
inline ChildOutcome runInChild(const std::function<int()>& body, uid_t uid = static_cast<uid_t>(-1),
                               unsigned watchdogSeconds = 0) {
    return waitChild(startChild(body, uid, watchdogSeconds));
}

}  // namespace testing_support
