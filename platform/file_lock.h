#pragma once
// An exclusive lock on a companion lock file, held for the object's lifetime.
// The lock file is opened for reading only (so a lock file that another
// account created still locks), never through a symbolic link, never when it
// is not a regular file, and never with a wait on the open itself; a lock
// file that root creates in a user's folder is handed to that user.

#include <filesystem>
#include <string>

namespace platform {

class FileLock {
public:
    explicit FileLock(const std::filesystem::path& lockFile);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    bool locked() const { return m_locked; }
    // Why the lock was not taken, and the errno that says so.
    const std::string& problem() const { return m_problem; }
    int error() const { return m_errno; }

private:
    void fail(const std::string& what, int error);

    int m_fd = -1;
    bool m_locked = false;
    int m_errno = 0;
    std::string m_problem;
};

// Run as root: gives the file open as `fd` the owner and group of `folder`
// when that folder belongs to another user. Does nothing otherwise.
void giveFolderOwner(int fd, const std::filesystem::path& folder);

}  // namespace platform
