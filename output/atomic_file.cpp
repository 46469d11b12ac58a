#include "output/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "output/unfinished_files.h"

namespace output {
namespace {

namespace fs = std::filesystem;

std::string osReason(int error) {
    return std::generic_category().message(error);
}

std::atomic<unsigned> g_temporaryCounter{0};

}  // namespace

std::string OutputError::message() const {
    return "cannot write " + path + ": " + reason;
}

std::optional<std::string> replaceRefusal(const fs::path& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(osReason(errno));
    if (S_ISLNK(st.st_mode))
        return std::string("is a symbolic link; not written through");
    if (!S_ISREG(st.st_mode))
        return std::string("exists and is not a regular file");
    return std::nullopt;
}

OutputResult<AtomicFile> AtomicFile::begin(const fs::path& target, AtLink links) {
    const auto fail = [&](std::string reason) {
        return platform::unexpected(OutputError{target.string(), std::move(reason)});
    };
    if (target.filename().empty())
        return fail("no file name");
    if (links == AtLink::Refuse) {
        if (auto refusal = replaceRefusal(target))
            return fail(*refusal);
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A name of our own beside the file: hidden, unique in this process, and
    // created only when it does not exist yet (O_EXCL does not follow links).
    // The mode is a new file's, under the process's mask.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path temporary = folder / (".~" + target.filename().string() + "." + std::to_string(::getpid()) +
                                       "." + std::to_string(g_temporaryCounter.fetch_add(1)));
        // Noted before it is made, so that a signal arriving as it is made
        // still removes it (one arriving just before removes nothing).
        const int unfinished = noteUnfinished(temporary.c_str());
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        const int error = errno;
        if (fd >= 0)
            return AtomicFile(target, std::move(temporary), fd, links, unfinished);
        forgetUnfinished(unfinished);
        if (error != EEXIST)
            return fail(osReason(error));
    }
    return fail(osReason(EEXIST));
}

AtomicFile::AtomicFile(fs::path target, fs::path temporary, int fd, AtLink links, int unfinished)
    : m_target(std::move(target)),
      m_temporary(std::move(temporary)),
      m_fd(fd),
      m_links(links),
      m_unfinished(unfinished) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_temporary(std::move(other.m_temporary)),
      m_fd(other.m_fd),
      m_links(other.m_links),
      m_written(other.m_written),
      m_unfinished(other.m_unfinished) {
    other.m_fd = -1;
    other.m_temporary.clear();
    other.m_unfinished = -1;
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    forgetUnfinished(m_unfinished);
    m_unfinished = -1;
}

std::optional<OutputError> AtomicFile::write(std::span<const std::byte> bytes) {
    if (m_fd < 0)
        return OutputError{m_target.string(), "the file is already closed"};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return OutputError{m_target.string(), osReason(n < 0 ? errno : EIO)};
        done += static_cast<std::size_t>(n);
    }
    m_written += done;
    return std::nullopt;
}

std::optional<OutputError> AtomicFile::commit() {
    if (m_fd < 0)
        return OutputError{m_target.string(), "the file is already closed"};
    const auto fail = [&](std::string reason) {
        discard();
        return std::optional<OutputError>(OutputError{m_target.string(), std::move(reason)});
    };
    // An earlier file is replaced only once the new bytes are on the disk,
    // so that a crash leaves one of the two whole. A new name waits for no
    // disk: what a crash could cost there is a file made again by writing it
    // again (and on a busy disk the wait costs more than a small page).
    struct stat st {};
    const bool replacing = ::lstat(m_target.c_str(), &st) == 0;
    if (replacing && ::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(osReason(errno));
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return fail(osReason(errno));
    // Checked again just before the rename: a link made meanwhile is still
    // not written through (the rename would replace the link itself).
    if (m_links == AtLink::Refuse) {
        if (auto refusal = replaceRefusal(m_target))
            return fail(*refusal);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return fail(osReason(errno));
    m_temporary.clear();
    forgetUnfinished(m_unfinished);
    m_unfinished = -1;
    return std::nullopt;
}

OutputResult<std::uintmax_t> replaceFile(const fs::path& file, std::span<const std::byte> bytes,
                                         AtLink links) {
    auto out = AtomicFile::begin(file, links);
    if (!out)
        return platform::unexpected(out.error());
    if (auto error = out->write(bytes))
        return platform::unexpected(*error);
    if (auto error = out->commit())
        return platform::unexpected(*error);
    return out->written();
}

}  // namespace output
