#pragma once
// Whether a hive file may be believed. A hive names programs that other
// programs start (the installation folder), so a hive that another user can
// change is not used: its folder and every folder above it must be writable
// only by their owner (or carry the sticky bit), and the owners of the
// folders and of the file must be this user or root. A process running as
// root also accepts the owner of the hive's own folder, so that an
// administrator can work on a user's hive.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// Why `file` (existing or not) cannot be trusted by a process of user `uid`;
// nothing when it can.
std::optional<std::string> hiveDistrust(const std::filesystem::path& file, uid_t uid);

}  // namespace platform
