#pragma once
// The folders that stand in for the Windows folder, drive C:, the system
// temporary folder and "Local AppData", and the mapping of Windows-style
// paths ("c:\lvSLMacro.ini") onto them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/expected.h"

namespace platform {

class Registry;

struct FolderError {
    std::string message;
};

class PlatformFolders {
public:
    PlatformFolders(std::filesystem::path windowsFolder, std::filesystem::path driveC,
                    std::filesystem::path tempFolder, std::filesystem::path localAppData);

    // $SCRIVLET_HOME (a folder) relocates all four below it (windows, drive_c,
    // temp, local_appdata). Otherwise: $XDG_DATA_HOME/scrivlet/{windows,drive_c}
    // (~/.local/share when unset), the temporary folder in $XDG_RUNTIME_DIR/scrivlet
    // or else ~/.cache/scrivlet/temp, and $XDG_DATA_HOME itself as "Local AppData".
    static PlatformFolders fromEnvironment();
    // All four below one folder, as with $SCRIVLET_HOME.
    static PlatformFolders under(const std::filesystem::path& home);

    // The emulated Windows folder (holds spool\PRINTERS and the like); created
    // when missing.
    Expected<std::filesystem::path, FolderError> windowsFolder() const;
    // The folder that plays drive C: (the root of "c:\...").
    const std::filesystem::path& driveC() const { return m_driveC; }
    // The system temporary folder: created when missing with mode 0700;
    // refused when it is a symbolic link, not a folder, or owned by another user.
    Expected<std::filesystem::path, FolderError> systemTempFolder() const;
    // The work folder: the temporary folder's subfolder "Scrivlet" (not created).
    Expected<std::filesystem::path, FolderError> workFolder() const;
    // The default for the "Local AppData" shell folder.
    const std::filesystem::path& defaultLocalAppData() const { return m_localAppData; }

    // Maps a path as Windows programs write it onto this machine: "c:\a\b" and
    // "C:/a/b" become driveC()/a/b; other drive letters live beside drive C:
    // (drive_d, ...); any other path is taken as a native path.
    std::filesystem::path nativePath(std::string_view path) const;

private:
    std::filesystem::path m_windows;
    std::filesystem::path m_driveC;
    std::filesystem::path m_temp;
    std::filesystem::path m_localAppData;
};

// Creates `folder` (and its parents) when missing and makes sure it is a
// private folder of this user: a real folder, not a symbolic link, owned by the
// effective user, mode 0700 (tightened when it was looser).
Expected<std::filesystem::path, FolderError> ensurePrivateFolder(const std::filesystem::path& folder);

// The key and value under the current user that name "Local AppData".
inline constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kLocalAppDataValue = "Local AppData";

// First use: writes the "Local AppData" shell folder value when it is absent
// and creates that folder. A value that is present is left alone.
void ensureLocalAppDataValue(Registry& registry, const PlatformFolders& folders);

}  // namespace platform
