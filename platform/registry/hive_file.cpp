#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/registry/reg_text.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Holds an exclusive flock on the hive's lock file for its lifetime.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const fs::path& lockFile)
        : m_fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd.get() < 0) {
            return;
        }
        int rc = 0;
        do {
            rc = ::flock(m_fd.get(), LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        m_locked = rc == 0;
    }
    bool locked() const { return m_locked; }

private:
    FileDescriptor m_fd;
    bool m_locked = false;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Root passes every access(2) test; a hive whose file carries no write bit at
// all still counts as read-only so that a protected hive stays protected.
bool writable(const fs::path& path) {
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

fs::path nearestExistingFolder(fs::path folder) {
    std::error_code ec;
    while (!folder.empty() && !fs::exists(folder, ec)) {
        const fs::path parent = folder.parent_path();
        if (parent == folder) {
            break;
        }
        folder = parent;
    }
    return folder;
}

std::string timestampForName() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

}  // namespace

HiveFile::HiveFile(RegRoot root, std::filesystem::path file, RegistryReporter reporter)
    : m_root(root), m_file(std::move(file)), m_reporter(std::move(reporter)) {
    m_lockFile = m_file;
    m_lockFile += ".lock";
    if (!m_reporter) {
        m_reporter = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
    }
}

RegAccess HiveFile::grantedAccess() const {
    std::error_code ec;
    const bool exists = fs::exists(m_file, ec);
    const fs::path folder = nearestExistingFolder(m_file.parent_path());
    bool canRead = true;
    if (exists) {
        canRead = ::faccessat(AT_FDCWD, m_file.c_str(), R_OK, AT_EACCESS) == 0;
    }
    const bool canWrite = writable(folder) && (!exists || writable(m_file));
    unsigned rights = 0;
    if (canRead)
        rights |= static_cast<unsigned>(RegAccess::Read);
    if (canWrite)
        rights |= static_cast<unsigned>(RegAccess::Write);
    return static_cast<RegAccess>(rights);
}

HiveFile::Snapshot HiveFile::readFile() const {
    Snapshot snap{ReadOutcome::Parsed, Hive(m_root), {}};
    FileDescriptor fd(::open(m_file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        snap.outcome = errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::IoError;
        return snap;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        snap.outcome = ReadOutcome::IoError;
        return snap;
    }
    if (!S_ISREG(info.st_mode)) {
        snap.outcome = ReadOutcome::Corrupt;
        snap.problem = "it is not a regular file";
        return snap;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxHiveFileBytes) {
        snap.outcome = ReadOutcome::Corrupt;
        snap.problem = "it is larger than 16 MiB";
        return snap;
    }
    // Read at most one byte past the limit, whatever the size said.
    std::vector<std::byte> bytes(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            snap.outcome = ReadOutcome::IoError;
            return snap;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
        if (got == bytes.size() && bytes.size() <= kMaxHiveFileBytes) {
            bytes.resize(std::min(bytes.size() * 2, kMaxHiveFileBytes + 1));
        }
    }
    bytes.resize(got);
    auto parsed = parseRegText(bytes, m_root);
    if (!parsed) {
        snap.outcome = ReadOutcome::Corrupt;
        snap.problem = parsed.error().toString();
        return snap;
    }
    snap.hive = std::move(parsed.value());
    return snap;
}

Expected<Hive, RegStatus> HiveFile::load() const {
    Snapshot snap = readFile();
    switch (snap.outcome) {
        case ReadOutcome::Parsed:
            return std::move(snap.hive);
        case ReadOutcome::Missing:
            return Hive(m_root);
        case ReadOutcome::IoError:
            return unexpected(RegStatus::IoError);
        case ReadOutcome::Corrupt:
            break;
    }
    return recoverFromCorruption();
}

Expected<Hive, RegStatus> HiveFile::recoverFromCorruption() const {
    ExclusiveLock lock(m_lockFile);
    // Another process may have set the file aside or rewritten it meanwhile.
    Snapshot snap = readFile();
    switch (snap.outcome) {
        case ReadOutcome::Parsed:
            return std::move(snap.hive);
        case ReadOutcome::Missing:
            return Hive(m_root);
        case ReadOutcome::IoError:
            return unexpected(RegStatus::IoError);
        case ReadOutcome::Corrupt:
            break;
    }
    const bool mayMove = lock.locked() && hasRight(grantedAccess(), RegAccess::Write);
    if (!mayMove || !setAside(snap.problem)) {
        // Cannot be moved (read-only folder): leave it as it is; reads see an
        // empty hive and writes are refused.
        reportOnce("The registry file " + m_file.string() + " cannot be read (" + snap.problem +
                   ") and cannot be set aside. It is left unchanged; its settings are not "
                   "used and no setting can be saved to it.");
        return Hive(m_root);
    }
    return Hive(m_root);
}

bool HiveFile::setAside(const std::string& problem) const {
    const std::string stamp = timestampForName();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path target = m_file;
        target += ".corrupt-" + stamp;
        if (attempt > 0) {
            target += "-" + std::to_string(attempt);
        }
        // link + unlink never replaces an existing file, unlike rename.
        if (::link(m_file.c_str(), target.c_str()) == 0) {
            ::unlink(m_file.c_str());
            reportOnce("The registry file " + m_file.string() + " cannot be read (" + problem +
                       "). It was kept as " + target.string() +
                       " and the settings start again from their defaults.");
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

void HiveFile::reportOnce(const std::string& message) const {
    if (!m_reported.exchange(true)) {
        m_reporter(message);
    }
}

RegStatus HiveFile::update(const std::function<RegStatus(Hive&)>& change) {
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    ExclusiveLock lock(m_lockFile);
    if (!lock.locked()) {
        return errno == EACCES || errno == EROFS || errno == EPERM ? RegStatus::AccessDenied
                                                                   : RegStatus::IoError;
    }
    std::call_once(m_staleSweep, [this] { removeStaleTemporaries(); });

    Snapshot snap = readFile();
    switch (snap.outcome) {
        case ReadOutcome::Parsed:
        case ReadOutcome::Missing:
            break;
        case ReadOutcome::IoError:
            return RegStatus::IoError;
        case ReadOutcome::Corrupt:
            if (!setAside(snap.problem)) {
                reportOnce("The registry file " + m_file.string() + " cannot be read (" + snap.problem +
                           ") and cannot be set aside. It is left unchanged and no setting can be "
                           "saved to it.");
                return RegStatus::Corrupt;
            }
            snap.hive = Hive(m_root);
            break;
    }
    const RegStatus status = change(snap.hive);
    if (status != RegStatus::Success) {
        return status;
    }
    return writeAtomically(snap.hive);
}

RegStatus HiveFile::writeAtomically(const Hive& hive) const {
    const std::string text = serializeRegText(hive);
    std::string pattern = m_file.string() + ".tmp.XXXXXX";
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) {
        return errno == EACCES || errno == EROFS ? RegStatus::AccessDenied : RegStatus::IoError;
    }
    struct stat previous {};
    const mode_t mode = ::stat(m_file.c_str(), &previous) == 0
                            ? (previous.st_mode & 07777)
                            : (m_root == RegRoot::CurrentUser ? 0600 : 0644);
    const bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    ::close(fd.release());
    if (!ok || ::rename(pattern.c_str(), m_file.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return RegStatus::IoError;
    }
    FileDescriptor folder(::open(m_file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return RegStatus::Success;
}

void HiveFile::removeStaleTemporaries() const {
    // Runs with the lock held, so no other writer's temporary file is live:
    // what is left was abandoned by a writer that died mid-write.
    const std::string prefix = m_file.filename().string() + ".tmp.";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_file.parent_path(), ec)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            fs::remove(entry.path(), ec);
        }
    }
}

}  // namespace platform
