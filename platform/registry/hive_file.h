#pragma once
// One hive kept in a text file. Reads take a snapshot of the file; every write
// is a read-modify-write under an exclusive lock on a companion lock file,
// finished by an atomic replace, so that concurrent writers in other threads
// or processes never lose each other's values and a crash mid-write leaves
// the previous file intact.
//
// A file that does not parse is never overwritten: it is renamed aside
// ("<name>.corrupt-<time>"), reported once, and an empty hive takes its place.
// A file that cannot be read (permissions, not a regular file) or that other
// users could change (see hive_trust.h) is not used and reported once; a
// write that fails is reported once too. A hive that would grow past the
// size limit is not written.

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "platform/expected.h"
#include "platform/registry/hive.h"
#include "platform/registry/reg_types.h"

namespace platform {

// Receives the messages that a hive reports (corrupt files); the default
// writes them to standard error.
using RegistryReporter = std::function<void(const std::string& message)>;

class HiveFile {
public:
    HiveFile(RegRoot root, std::filesystem::path file, RegistryReporter reporter);

    RegRoot root() const { return m_root; }
    const std::filesystem::path& path() const { return m_file; }

    // The rights the file grants this process: read when it can be read (or
    // does not exist yet), write when the file and its folder can be written;
    // none when the file could be changed by other users.
    RegAccess grantedAccess() const;

    Expected<Hive, RegStatus> load() const;

    // Reports once that a write was refused because the file or its folder
    // cannot be written.
    void reportWriteRefused() const;

    // Applies `change` to the current content and writes the result, under the
    // lock. When `change` returns anything but Success nothing is written.
    RegStatus update(const std::function<RegStatus(Hive&)>& change);

private:
    enum class ReadOutcome { Parsed, Missing, Corrupt, IoError };
    enum class Problem { Read, Write, Trust, Corrupt, Count };
    struct Snapshot {
        ReadOutcome outcome;
        Hive hive;
        std::string problem;
    };

    Snapshot readFile() const;
    // Called with the lock held: moves a corrupt file aside; false when it
    // could not be moved.
    bool setAside(const std::string& problem) const;
    Expected<Hive, RegStatus> recoverFromCorruption() const;
    void reportOnce(const std::string& message) const { reportOnce(Problem::Corrupt, message); }
    void reportOnce(Problem kind, const std::string& message) const;
    // Reports a failed read of the file once and gives the status to return.
    RegStatus readFailure(const std::string& reason) const;
    RegStatus writeFailure(RegStatus status, const std::string& reason) const;
    RegStatus writeAtomically(const Hive& hive) const;
    void removeStaleTemporaries() const;

    RegRoot m_root;
    std::filesystem::path m_file;
    std::filesystem::path m_lockFile;
    RegistryReporter m_reporter;
    mutable std::atomic<bool> m_reported[static_cast<int>(Problem::Count)] = {};
    mutable std::once_flag m_staleSweep;
};

}  // namespace platform
