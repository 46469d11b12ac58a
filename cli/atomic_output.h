#pragma once
// An output file written beside its final name and renamed over it when
// complete, so that a reader never sees half a file and an interrupted run
// leaves the old file as it was. A final name that is a symbolic link (or
// anything but a regular file) is refused: nothing is written through it.

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/expected.h"

namespace cli {

class AtomicOutput {
public:
    // Opens the temporary file beside `target`; an error text when `target`
    // may not be replaced or the folder cannot be written.
    static platform::Expected<AtomicOutput, std::string> begin(const std::filesystem::path& target);

    AtomicOutput(AtomicOutput&& other) noexcept;
    AtomicOutput& operator=(AtomicOutput&&) = delete;
    AtomicOutput(const AtomicOutput&) = delete;
    ~AtomicOutput();

    // The temporary file, for writers that write to a descriptor.
    int fd() const { return m_fd; }
    const std::filesystem::path& target() const { return m_target; }

    std::optional<std::string> write(std::span<const unsigned char> bytes);
    // Closes and renames over the target (an existing target only after the
    // new bytes are flushed to the disk); an error text on failure (the
    // temporary file is removed and the target left as it was).
    std::optional<std::string> commit();

private:
    AtomicOutput(std::filesystem::path target, std::filesystem::path temporary, int fd);
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
};

// Why `target` may not be replaced, if it may not: a symbolic link or
// something other than a regular file.
std::optional<std::string> replaceRefusal(const std::filesystem::path& target);

}  // namespace cli
