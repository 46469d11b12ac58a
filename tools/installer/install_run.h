#pragma once
// The template installer's work, without a window: find Word's start-up
// folder, record it among the "UserPath%d" values, copy sScrivlet2.dot there,
// and the log record and debug listing of the run.

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/tool_mode.h"

namespace platform {
class PlatformFolders;
class Registry;
}  // namespace platform

namespace tools {

// The run's state, under the labels of the log and the window.
struct InstallState {
    int wordVersion = 99;                // Word version
    std::string wordVersionText = "99";  // Word version in TEXT
    std::string sKey;                    // Word's options key
    std::string sVal = "STARTUP-PATH";
    std::string lResult = "False";                 // "True" when the start-up folder is known
    std::optional<std::string> lSpecialFolderTxt;  // application data folder (lResult "False")
    std::optional<std::string> sPath;              // the start-up folder used
    std::string MkName = "sScrivlet2.dot";
    std::optional<std::string> lvrPathExe;   // InstallPath
    std::vector<std::string> lvPathMacro;    // the UserPath values found
    std::optional<std::string> lResultSave;  // "True", "False", "True(ReWrite)"
    std::string target;                      // "Save file to"
    long lResultCrDir = 0;
    long lResultSaveFile = 0;
    long lSetStartup = 0;
    long lResultCreateStartUp = 0;
};

struct InstallEnvironment {
    platform::Registry& registry;
    const platform::PlatformFolders& folders;
    // Shows the "not supported" box (error icon, always on top, no caption)
    // and returns when it is closed.
    std::function<void(const std::string& text)> showError;
};

inline constexpr int kUserPathSlots = 41;

std::string notSupportedMessage();

InstallState runInstallation(InstallEnvironment& environment);

// The log record of one run, with "\n" line ends (the log is written in text
// mode, which turns them into CR LF).
std::string installLogRecord(const InstallState& state, const std::tm& localTime);
// Appends the record to <installation folder>/Dotlift.log ("(null)" as the
// folder when InstallPath is missing). When that file cannot be written (an
// installed package's folder belongs to root), the record goes to Dotlift.log
// in the user's data folder (see platform::userDataFolder), which is created.
// Gives the file written, nothing when neither could be.
std::optional<std::filesystem::path> appendInstallLog(const InstallState& state,
                                                      const platform::Registry& registry,
                                                      const platform::PlatformFolders& folders,
                                                      const std::tm& localTime);

std::vector<PaintItem> installDebugListing(const InstallState& state, int lineHeight);

// Turns "\n" into "\r\n", as a text-mode write does.
std::string toTextMode(std::string_view text);

}  // namespace tools
