#pragma once
// The Windows attribute bits of a file or folder (GetFileAttributes), as far
// as this system has them, and whether a folder can be searched.

#include <cstdint>
#include <filesystem>

namespace platform {

inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr std::uint32_t FILE_ATTRIBUTE_SPARSE_FILE = 0x200;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr std::uint32_t FILE_ATTRIBUTE_COMPRESSED = 0x800;
inline constexpr std::uint32_t FILE_ATTRIBUTE_OFFLINE = 0x1000;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x2000;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ENCRYPTED = 0x4000;
// What the query returns for a path that cannot be read: every bit set.
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// DIRECTORY for a folder, REPARSE_POINT for a symbolic link, HIDDEN for a
// name that starts with ".", READONLY when this user cannot write it or it has no write bit, NORMAL
// when none of these applies; INVALID_FILE_ATTRIBUTES when it does not exist
// or cannot be examined.
std::uint32_t fileAttributes(const std::filesystem::path& path);

// A search for "*.*" in `folder` finds something whenever the folder can be
// listed: its "." entry matches.
bool folderSearchFindsAnything(const std::filesystem::path& folder);

}  // namespace platform
