#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

FileLock::FileLock(const std::filesystem::path& lockFile) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    m_fd = ::open(lockFile.c_str(), kFlags);
    if (m_fd < 0 && errno == ENOENT) {
        m_fd = ::open(lockFile.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
        if (m_fd >= 0) {
            giveFolderOwner(m_fd, lockFile.parent_path());
        } else if (errno == EEXIST) {
            m_fd = ::open(lockFile.c_str(), kFlags);  // made by another process meanwhile
        }
    }
    if (m_fd < 0) {
        const int error = errno;
        fail(error == ELOOP
                 ? "its lock file " + lockFile.string() + " is a symbolic link"
                 : "its lock file " + lockFile.string() + " cannot be opened (" + std::strerror(error) + ")",
             error);
        return;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        fail("its lock file " + lockFile.string() + " is not a regular file", EPERM);
        return;
    }
    int rc = 0;
    do {
        rc = ::flock(m_fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        fail("its lock file " + lockFile.string() + " cannot be locked (" + std::strerror(error) + ")",
             error);
        return;
    }
    m_locked = true;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void FileLock::fail(const std::string& what, int error) {
    m_problem = what;
    m_errno = error;
}

void giveFolderOwner(int fd, const std::filesystem::path& folder) {
    struct stat info {};
    if (::geteuid() == 0 && ::stat(folder.c_str(), &info) == 0 && info.st_uid != 0) {
        [[maybe_unused]] const int rc = ::fchown(fd, info.st_uid, info.st_gid);
    }
}

}  // namespace platform
