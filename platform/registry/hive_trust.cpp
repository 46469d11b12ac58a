#include "platform/registry/hive_trust.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string describeMode(const struct stat& info) {
    if ((info.st_mode & S_IWOTH) != 0)
        return "can be written by every user";
    return "can be written by its group";
}

bool writableByOthers(const struct stat& info) {
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

std::optional<std::string> hiveDistrust(const fs::path& file, uid_t uid) {
    std::error_code ec;
    // Symbolic links are followed: the folders that really hold the file count.
    const fs::path real = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (ec)
        return std::nullopt;  // nothing to judge: opening the file reports the problem

    // The folders from the nearest existing one up to the root.
    std::vector<std::pair<fs::path, struct stat>> folders;
    for (fs::path folder = real.parent_path();; folder = folder.parent_path()) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0) {
            folders.emplace_back(folder, info);
        } else if (errno != ENOENT) {
            return "its folder " + folder.string() + " cannot be examined (" + std::strerror(errno) + ")";
        }
        if (folder == folder.parent_path())
            break;
    }
    if (folders.empty())
        return std::nullopt;

    const uid_t folderOwner = folders.front().second.st_uid;
    const auto trustedOwner = [&](uid_t owner) {
        return owner == 0 || owner == uid || (uid == 0 && owner == folderOwner);
    };
    for (const auto& [folder, info] : folders) {
        if (!trustedOwner(info.st_uid))
            return "its folder " + folder.string() + " belongs to another user";
        if (writableByOthers(info) && (info.st_mode & S_ISVTX) == 0)
            return "its folder " + folder.string() + " " + describeMode(info);
    }

    struct stat info {};
    if (::stat(real.c_str(), &info) != 0)
        return std::nullopt;  // does not exist yet: it will be created safely
    if (!trustedOwner(info.st_uid))
        return "it belongs to another user";
    if (writableByOthers(info))
        return "it " + describeMode(info);
    return std::nullopt;
}

}  // namespace platform
