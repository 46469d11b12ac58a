#include "cli/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace cli {
namespace {

namespace fs = std::filesystem;

// The process's file mode creation mask, without changing it.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

std::string reason() {
    return std::strerror(errno);
}

}  // namespace

std::optional<std::string> replaceRefusal(const fs::path& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(reason());
    if (S_ISLNK(st.st_mode))
        return std::string("is a symbolic link; not written through");
    if (!S_ISREG(st.st_mode))
        return std::string("exists and is not a regular file");
    return std::nullopt;
}

platform::Expected<AtomicOutput, std::string> AtomicOutput::begin(const fs::path& target) {
    if (auto refusal = replaceRefusal(target))
        return platform::unexpected(*refusal);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return platform::unexpected("cannot write in " + folder.string() + ": " + reason());
    static const mode_t mask = currentUmask();
    ::fchmod(fd, 0666 & ~mask);
    return AtomicOutput(target, fs::path(pattern), fd);
}

AtomicOutput::AtomicOutput(fs::path target, fs::path temporary, int fd)
    : m_target(std::move(target)), m_temporary(std::move(temporary)), m_fd(fd) {}

AtomicOutput::AtomicOutput(AtomicOutput&& other) noexcept
    : m_target(std::move(other.m_target)), m_temporary(std::move(other.m_temporary)), m_fd(other.m_fd) {
    other.m_fd = -1;
    other.m_temporary.clear();
}

AtomicOutput::~AtomicOutput() {
    discard();
}

void AtomicOutput::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

std::optional<std::string> AtomicOutput::write(std::span<const unsigned char> bytes) {
    const unsigned char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return "cannot write " + m_target.string() + ": " + reason();
        data += written, left -= static_cast<std::size_t>(written);
    }
    return std::nullopt;
}

std::optional<std::string> AtomicOutput::commit() {
    if (m_fd < 0)
        return std::string("nothing to commit");
    // An earlier file is replaced only once the new bytes are on the disk,
    // so that a crash leaves one of the two whole. A new name waits for no
    // disk: what a crash could cost there is a file made again by running
    // the conversion again (and on a busy disk the wait costs more than the
    // conversion of a small page).
    struct stat st {};
    const bool replacing = ::lstat(m_target.c_str(), &st) == 0;
    if ((replacing && ::fsync(m_fd) != 0) || ::close(m_fd) != 0) {
        m_fd = -1;
        std::string error = "cannot write " + m_target.string() + ": " + reason();
        discard();
        return error;
    }
    m_fd = -1;
    // Checked again just before the rename: a link made meanwhile is still
    // not written through (the rename would replace the link itself).
    if (auto refusal = replaceRefusal(m_target)) {
        discard();
        return m_target.string() + " " + *refusal;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        std::string error = "cannot replace " + m_target.string() + ": " + reason();
        discard();
        return error;
    }
    m_temporary.clear();
    return std::nullopt;
}

}  // namespace cli
