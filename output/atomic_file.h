#pragma once
// Files replaced whole. The new bytes are written beside the final name under
// a temporary name of our own and renamed over it when complete, so that a
// reader sees the old file or the whole new one, and a write that fails or is
// interrupted leaves the old file as it was and no temporary file behind. An
// earlier file is replaced only once the new bytes are on the disk; a new
// name does not wait for the disk. Nothing is ever written through a symbolic
// link at the final name: the link is replaced, or the write refused.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/expected.h"

namespace output {

struct OutputError {
    std::string path;
    std::string reason;
    // "cannot write PATH: REASON"
    std::string message() const;
};

template <class T>
using OutputResult = platform::Expected<T, OutputError>;

// What a symbolic link (or anything but a regular file) at the final name
// gets: replaced by the new file, or a refusal that leaves it as it is.
enum class AtLink { Replace, Refuse };

// Why `target` may not be replaced when links are refused: a symbolic link
// or something other than a regular file. Nothing for a regular file or a
// name that does not exist.
std::optional<std::string> replaceRefusal(const std::filesystem::path& target);

class AtomicFile {
public:
    // Makes the temporary file beside `target`; fails when the folder cannot
    // be written or (AtLink::Refuse) `target` may not be replaced.
    static OutputResult<AtomicFile> begin(const std::filesystem::path& target,
                                          AtLink links = AtLink::Replace);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&&) = delete;
    AtomicFile(const AtomicFile&) = delete;
    // An uncommitted file is removed.
    ~AtomicFile();

    // The temporary file, for writers that write to a descriptor.
    int fd() const { return m_fd; }
    const std::filesystem::path& target() const { return m_target; }
    std::uintmax_t written() const { return m_written; }

    std::optional<OutputError> write(std::span<const std::byte> bytes);
    // Closes the temporary file and renames it over the target. On failure
    // the temporary file is removed and the target left as it was.
    std::optional<OutputError> commit();

private:
    AtomicFile(std::filesystem::path target, std::filesystem::path temporary, int fd, AtLink links,
               int unfinished);
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    AtLink m_links = AtLink::Replace;
    std::uintmax_t m_written = 0;
    int m_unfinished = -1;  // the temporary file's slot among the unfinished files
};

// Replaces `file` with `bytes` through an AtomicFile. Returns the number of
// bytes written.
OutputResult<std::uintmax_t> replaceFile(const std::filesystem::path& file, std::span<const std::byte> bytes,
                                         AtLink links = AtLink::Replace);

}  // namespace output
