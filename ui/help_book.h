#pragma once
// The help book of the installation folder and its topics, and the About box
// of the run-time loaded library.

#include <filesystem>
#include <optional>
#include <string>

namespace app {
class SettingsStore;
}
namespace platform {
class PlatformFolders;
}

namespace ui {

class DialogPort;

// The topics the program opens.
namespace topic {
inline constexpr const char* kIndex = "";
inline constexpr const char* kResolution = "dim.htm";
inline constexpr const char* kHatch = "hatch.htm";
inline constexpr const char* kOptions = "options.htm";
}  // namespace topic

// The book's project file: INSTALL/help/sScrivlet.hhp.
inline constexpr const char* kHelpBookFolder = "help";
inline constexpr const char* kHelpBookFile = "sScrivlet.hhp";
inline constexpr const char* kHelpMissingMessage =
    "The help file cannot be found:\n%s\n\nPlease reinstall Scrivlet.";

// The installation folder (InstallPath of the local machine), none when it is
// not recorded.
std::optional<std::filesystem::path> installFolder(const app::SettingsStore& store,
                                                   const platform::PlatformFolders& folders);
std::optional<std::filesystem::path> helpBookPath(const app::SettingsStore& store,
                                                  const platform::PlatformFolders& folders);

// The About library, loaded by full path from the installation folder at each
// call, its export called once and the library freed again.
inline constexpr const char* kAboutLibrary = "slAbout.so";
inline constexpr const char* kAboutExport = "AboutQuilloSystem";
// The five arguments the program passes: the version (major, minor, build),
// the year of the build and 0.
using AboutFunction = void (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
// True when the export was found and called; false (nothing done) when the
// library or its export is missing.
bool callAboutLibrary(const std::filesystem::path& library);

}  // namespace ui
