#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "platform/file_lock.h"
#include "platform/registry/hive_trust.h"
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

// Creates the missing folders of `folder`; as root, each new folder gets the
// owner of the folder it is made in.
void createFolders(const fs::path& folder) {
    const fs::path existing = nearestExistingFolder(folder);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (::geteuid() != 0 || ec)
        return;
    struct stat parent {};
    if (::stat(existing.c_str(), &parent) != 0 || parent.st_uid == 0)
        return;
    for (fs::path made = folder; made != existing && !made.empty(); made = made.parent_path()) {
        [[maybe_unused]] const int rc = ::chown(made.c_str(), parent.st_uid, parent.st_gid);
        if (made == made.parent_path())
            break;
    }
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
    if (const auto distrust = hiveDistrust(m_file, ::geteuid())) {
        reportOnce(Problem::Trust, "The registry file " + m_file.string() + " is not used: " + *distrust +
                                       ". Its settings are ignored and none is saved to it.");
        return RegAccess::None;
    }
    std::error_code ec;
    const bool exists = fs::exists(m_file, ec);
    const fs::path folder = nearestExistingFolder(m_file.parent_path());
    bool canRead = true;
    if (exists) {
        canRead = ::faccessat(AT_FDCWD, m_file.c_str(), R_OK, AT_EACCESS) == 0;
        if (!canRead)
            readFailure(std::strerror(errno));
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
    // Never waits: a FIFO or device in the hive's place is refused, not opened
    // for a read that blocks.
    FileDescriptor fd(::open(m_file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        snap.outcome = errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::IoError;
        snap.problem = std::strerror(errno);
        return snap;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        snap.outcome = ReadOutcome::IoError;
        snap.problem = std::strerror(errno);
        return snap;
    }
    if (!S_ISREG(info.st_mode)) {
        snap.outcome = ReadOutcome::IoError;
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
            snap.problem = std::strerror(errno);
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
            return unexpected(readFailure(snap.problem));
        case ReadOutcome::Corrupt:
            break;
    }
    return recoverFromCorruption();
}

Expected<Hive, RegStatus> HiveFile::recoverFromCorruption() const {
    FileLock lock(m_lockFile);
    // Another process may have set the file aside or rewritten it meanwhile.
    Snapshot snap = readFile();
    switch (snap.outcome) {
        case ReadOutcome::Parsed:
            return std::move(snap.hive);
        case ReadOutcome::Missing:
            return Hive(m_root);
        case ReadOutcome::IoError:
            return unexpected(readFailure(snap.problem));
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

void HiveFile::reportOnce(Problem kind, const std::string& message) const {
    if (!m_reported[static_cast<int>(kind)].exchange(true)) {
        m_reporter(message);
    }
}

void HiveFile::reportWriteRefused() const {
    std::error_code ec;
    const bool exists = fs::exists(m_file, ec);
    const fs::path folder = nearestExistingFolder(m_file.parent_path());
    std::string reason;
    if (exists && !writable(m_file)) {
        reason = "the file is not writable for this user";
    } else if (!writable(folder)) {
        reason = "its folder " + folder.string() + " is not writable for this user";
    } else {
        return;
    }
    reportOnce(Problem::Write, "cannot write " + m_file.string() + ": " + reason);
}

RegStatus HiveFile::readFailure(const std::string& reason) const {
    reportOnce(Problem::Read, "cannot read " + m_file.string() + ": " + reason);
    return RegStatus::IoError;
}

RegStatus HiveFile::writeFailure(RegStatus status, const std::string& reason) const {
    reportOnce(Problem::Write, "cannot write " + m_file.string() + ": " + reason);
    return status;
}

RegStatus HiveFile::update(const std::function<RegStatus(Hive&)>& change) {
    createFolders(m_file.parent_path());
    FileLock lock(m_lockFile);
    if (!lock.locked()) {
        const int error = lock.error();
        return writeFailure(error == EACCES || error == EROFS || error == EPERM || error == ELOOP
                                ? RegStatus::AccessDenied
                                : RegStatus::IoError,
                            lock.problem());
    }
    std::call_once(m_staleSweep, [this] { removeStaleTemporaries(); });

    Snapshot snap = readFile();
    switch (snap.outcome) {
        case ReadOutcome::Parsed:
        case ReadOutcome::Missing:
            break;
        case ReadOutcome::IoError:
            return readFailure(snap.problem);
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
    if (text.size() > kMaxHiveFileBytes) {
        // The reader would set such a file aside with every setting in it.
        return writeFailure(RegStatus::TooLarge, "the hive would grow past 16 MiB; the change is refused");
    }
    std::string pattern = m_file.string() + ".tmp.XXXXXX";
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) {
        const int error = errno;
        return writeFailure(error == EACCES || error == EROFS ? RegStatus::AccessDenied : RegStatus::IoError,
                            std::strerror(error));
    }
    // The replacement keeps the mode and the owner of the file it replaces; a
    // new file made by root in a user's folder belongs to that user.
    struct stat previous {};
    const bool replacing = ::stat(m_file.c_str(), &previous) == 0;
    const mode_t mode =
        replacing ? (previous.st_mode & 07777) : (m_root == RegRoot::CurrentUser ? 0600 : 0644);
    std::string problem;
    if (!replacing) {
        giveFolderOwner(fd.get(), m_file.parent_path());
    } else if (previous.st_uid != ::geteuid()) {
        if (::fchown(fd.get(), previous.st_uid, previous.st_gid) != 0)
            problem = "its owner cannot be kept (" + std::string(std::strerror(errno)) + ")";
    } else if (previous.st_gid != ::getegid()) {
        // The group is kept where this user may give it.
        [[maybe_unused]] const int rc = ::fchown(fd.get(), static_cast<uid_t>(-1), previous.st_gid);
    }
    if (problem.empty() && ::fchmod(fd.get(), mode) != 0)
        problem = std::strerror(errno);
    if (problem.empty() && (!writeAll(fd.get(), text) || ::fsync(fd.get()) != 0))
        problem = std::strerror(errno);
    ::close(fd.release());
    if (problem.empty() && ::rename(pattern.c_str(), m_file.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty()) {
        ::unlink(pattern.c_str());
        return writeFailure(RegStatus::IoError, problem);
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
