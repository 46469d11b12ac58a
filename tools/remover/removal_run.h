#pragma once
// The template remover's work, without a window: for every start-up folder
// the installer recorded, delete its value, the template and Word's owner
// file; then the product's values and the two log files.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/tool_mode.h"

namespace platform {
class PlatformFolders;
class Registry;
}  // namespace platform

namespace tools {

struct RemovedFolder {
    std::string lvPathMacro;                   // the recorded folder
    std::optional<std::string> lResultDelVal;  // "True" when its value was deleted
    // The six file deletions in order: template, owner file, template, owner
    // file, template, owner file (labels 97, 972, 2k, 2k2, XP, XP2); non-zero
    // when the file was deleted.
    std::array<long, 6> fileResults{};
};

struct RemovalState {
    std::optional<std::string> lvrPathExe;
    std::vector<RemovedFolder> folders;
    // Registry deletion results: the system's error code, 0 = deleted.
    long lResDelInstallPath = 10;
    long lResDelSavePath = 10;
    long lResDelVersion = 10;
    std::array<long, 2> lResDelDotsweep{};  // Dotlift.log, Dotsweep.log; non-zero = deleted
};

struct RemovalEnvironment {
    platform::Registry& registry;
    const platform::PlatformFolders& folders;
};

RemovalState runRemoval(RemovalEnvironment& environment);

std::vector<PaintItem> removalDebugListing(const RemovalState& state, int lineHeight);

}  // namespace tools
