#include "app/single_instance.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace app {

SingleInstance::~SingleInstance() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::tryLock() {
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

void SingleInstance::writePid() {
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_fd, 0) == 0)
        (void)::pwrite(m_fd, text.data(), text.size(), 0);
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds bound) {
    Claim result;
    m_fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return result;
    if (tryLock()) {
        writePid();
        result.held = true;
        return result;
    }
    // An earlier instance holds the file: its process id is in it.
    char text[32] = {};
    const ssize_t n = ::pread(m_fd, text, sizeof text - 1, 0);
    const long pid = n > 0 ? std::strtol(text, nullptr, 10) : 0;
    result.earlierFound = true;
    result.earlierPid = static_cast<pid_t>(pid);
    if (pid > 1 && pid != ::getpid())
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (tryLock()) {
            writePid();
            result.earlierEnded = true;
            result.held = true;
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace app
