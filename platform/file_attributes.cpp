#include "platform/file_attributes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::uint32_t fileAttributes(const std::filesystem::path& path) {
    struct stat link {};
    if (path.empty() || ::lstat(path.c_str(), &link) != 0)
        return INVALID_FILE_ATTRIBUTES;
    std::uint32_t attributes = 0;
    struct stat target = link;
    if (S_ISLNK(link.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (::stat(path.c_str(), &target) != 0)
            target = link;
    }
    if (S_ISDIR(target.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    const std::string name =
        path.filename().empty() ? path.parent_path().filename().string() : path.filename().string();
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    // No write bit at all counts as read-only for every user, root included.
    if (::access(path.c_str(), W_OK) != 0 || (target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool folderSearchFindsAnything(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    const bool found = ::readdir(dir) != nullptr;
    ::closedir(dir);
    return found;
}

}  // namespace platform
