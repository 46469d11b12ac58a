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

struct FolderSet {
    std::filesystem::path windows;
    std::filesystem::path driveC;
    std::filesystem::path temp;
    std::filesystem::path localAppData;
    std::filesystem::path applicationData;
};

class PlatformFolders {
public:
    explicit PlatformFolders(FolderSet set);

    // $SCRIVLET_HOME (a folder) relocates all of them below it (windows,
    // drive_c, temp, local_appdata, appdata). Otherwise:
    // $XDG_DATA_HOME/scrivlet/{windows,drive_c} (~/.local/share when unset),
    // the temporary folder in $XDG_RUNTIME_DIR/scrivlet or else
    // ~/.cache/scrivlet/temp, $XDG_DATA_HOME itself as "Local AppData" and
    // $XDG_CONFIG_HOME (~/.config) as the application data folder.
    static PlatformFolders fromEnvironment();
    // All of them below one folder, as with $SCRIVLET_HOME.
    static PlatformFolders under(const std::filesystem::path& home);

    // The emulated Windows folder (holds spool\PRINTERS and the like); created
    // when missing.
    Expected<std::filesystem::path, FolderError> windowsFolder() const;
    // The folder that plays drive C: (the root of "c:\...").
    const std::filesystem::path& driveC() const { return m_set.driveC; }
    // The system temporary folder: created when missing with mode 0700;
    // refused when it is a symbolic link, not a folder, or owned by another user.
    Expected<std::filesystem::path, FolderError> systemTempFolder() const;
    // The work folder: the temporary folder's subfolder "Scrivlet" (not created).
    Expected<std::filesystem::path, FolderError> workFolder() const;
    // The default for the "Local AppData" shell folder.
    const std::filesystem::path& defaultLocalAppData() const { return m_set.localAppData; }
    // The user's (roaming) application data folder, where Word keeps its
    // start-up folder when none is configured.
    const std::filesystem::path& applicationData() const { return m_set.applicationData; }

    // Maps a path as Windows programs write it onto this machine: "c:\a\b" and
    // "C:/a/b" become driveC()/a/b; other drive letters live beside drive C:
    // (drive_d, ...); any other path is taken as a native path.
    std::filesystem::path nativePath(std::string_view path) const;

private:
    FolderSet m_set;
};

// The separator this platform writes between a folder and a name.
inline constexpr char kPathSeparator = '/';
// Joins a folder and a name as texts, the way the program composes
// "%s\%s" paths: folder, separator, name.
std::string joinPath(std::string_view folder, std::string_view name);

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

// The user's own data folder for the product's files: "Scrivlet" below the
// "Local AppData" folder (`localAppData`, the registry's text; its default when
// absent or empty). Not created. Logs and reports go there when the
// installation folder is not writable.
std::filesystem::path userDataFolder(const std::optional<std::string>& localAppData,
                                     const PlatformFolders& folders);

}  // namespace platform
