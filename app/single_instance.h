#pragma once
// One main program a user: the running instance holds a lock on its
// instance file (with its process id in it). A new instance asks the earlier
// one to close (SIGTERM, which the earlier one turns into closing its main
// window) and waits, with a bound, until the earlier one has ended and
// released the file: the earlier instance empties the work folder as it
// closes, so the new one must not put pages there before that.

#include <sys/types.h>

#include <chrono>
#include <filesystem>

namespace app {

class SingleInstance {
public:
    explicit SingleInstance(std::filesystem::path file) : m_file(std::move(file)) {}
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    struct Claim {
        bool earlierFound = false;  // an earlier instance was asked to close
        bool earlierEnded = false;  // ... and ended within the bound
        pid_t earlierPid = 0;
        bool held = false;  // this process now holds the instance file
    };
    // Takes the instance file, closing an earlier instance first.
    Claim claim(std::chrono::milliseconds bound);

private:
    bool tryLock();
    void writePid();

    std::filesystem::path m_file;
    int m_fd = -1;
};

}  // namespace app
