#include "tools/installer/install_run.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/text_util.h"
#include "tools/common/registry_text.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

constexpr std::string_view kProductKey = "Software\\Quillo\\Scrivlet";

struct WordVersion {
    std::string_view key;
    int number;
    std::string_view text;
};

// Probed in this order; the first key that exists decides.
constexpr WordVersion kVersions[] = {
    {"Software\\Microsoft\\Office\\11.0", 99, "99"},
    {"Software\\Microsoft\\Office\\10.0", 10, "10.0"},
    {"Software\\Microsoft\\Office\\9.0", 9, "9.0"},
    {"Software\\Microsoft\\Office\\8.0", 8, "8.0"},
};

// CreateDirectory: one level, non-zero when the folder was created.
long createFolder(const fs::path& folder) {
    return ::mkdir(folder.c_str(), 0777) == 0 ? 1 : 0;
}

// CopyFile replacing the target: non-zero when copied.
long copyReplacing(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) {
        return 0;
    }
    return fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec) && !ec ? 1 : 0;
}

void copyTemplate(InstallState& state, const platform::PlatformFolders& folders, const std::string& source) {
    state.lResultCrDir = createFolder(folders.nativePath(*state.sPath));
    state.lResultSaveFile = copyReplacing(folders.nativePath(source), folders.nativePath(state.target));
}

std::string resultLine(std::string_view label, long value) {
    char text[96];
    std::snprintf(text, sizeof text, "%.*s%ld (%s)\n", static_cast<int>(label.size()), label.data(), value,
                  value != 0 ? "True" : "False");
    return text;
}

}  // namespace

std::string notSupportedMessage() {
    return "Microsoft Office is not installed or it's version is not supported.\n"
           "Please visit " +
           std::string(kMakerWebAddress) + " for more information.";
}

InstallState runInstallation(InstallEnvironment& env) {
    InstallState state;
    platform::Registry& registry = env.registry;
    const auto& folders = env.folders;

    // 1. The installation folder.
    state.lvrPathExe = readText(registry, RegRoot::LocalMachine, kProductKey, "InstallPath");

    // 2. The Word version.
    for (const auto& version : kVersions) {
        if (registry.openKey(RegRoot::CurrentUser, version.key, platform::RegAccess::Read)) {
            state.wordVersion = version.number;
            state.wordVersionText = version.text;
            break;
        }
    }

    // 3. Word's own start-up folder.
    state.sKey = "Software\\Microsoft\\Office\\" + state.wordVersionText + "\\Word\\Options";
    state.sPath = readText(registry, RegRoot::CurrentUser, state.sKey, state.sVal);
    state.lResult = state.sPath ? "True" : "False";

    // 4. Word 97 without one: the folder beside Office's own, written for Word.
    if (state.wordVersionText == "8.0" && state.lResult == "False") {
        state.lSetStartup = 1;
        const std::string& install = state.lvrPathExe ? *state.lvrPathExe : std::string();
        // Without its last 11 characters; a shorter text leaves nothing.
        const std::string base = install.size() > 11 ? install.substr(0, install.size() - 11) : std::string();
        const std::string folder = platform::joinPath(
            platform::joinPath(platform::joinPath(base, "Microsoft Office"), "Office"), "STARTUP");
        auto key = registry.createKey(RegRoot::CurrentUser, state.sKey, platform::RegAccess::Write);
        if (key && key->setString(state.sVal, folder) == platform::RegStatus::Success) {
            state.lResultCreateStartUp = 1;
            state.sPath = folder;
            state.lResult = "True";
        }
    }

    // 5. Otherwise the start-up folder in the application data folder.
    if (state.lResult == "False") {
        state.lSpecialFolderTxt = folders.applicationData().string();
        const std::string word =
            platform::joinPath(platform::joinPath(*state.lSpecialFolderTxt, "Microsoft"), "Word");
        if (state.wordVersionText == "9.0") {
            const auto startup = readText(registry, RegRoot::CurrentUser,
                                          "Software\\Microsoft\\Office\\9.0\\Common\\General", "Startup");
            state.sPath = platform::joinPath(word, startup ? *startup : "STARTUP");
        } else {
            state.sPath = platform::joinPath(word, "Startup");
        }
    }

    // 7. The version is not supported: say so, then go on.
    if (state.wordVersionText == "99" && env.showError) {
        env.showError(notSupportedMessage());
    }

    // 8. Source and target.
    const std::string source = platform::joinPath(orNull(state.lvrPathExe), state.MkName);
    state.target = platform::joinPath(*state.sPath, state.MkName);

    // 9. Record the folder in the first free "UserPath%d" and copy the template.
    if (state.lvrPathExe) {
        for (int n = 1; n <= kUserPathSlots; ++n) {
            const std::string name = "UserPath" + std::to_string(n);
            auto recorded = readText(registry, RegRoot::LocalMachine, kProductKey, name);
            if (recorded) {
                state.lvPathMacro.push_back(*recorded);
                if (platform::equalsIgnoreCase(*recorded, *state.sPath)) {
                    state.lResultSave = "True(ReWrite)";
                    copyTemplate(state, folders, source);
                    break;
                }
                continue;
            }
            if (writeText(registry, RegRoot::LocalMachine, kProductKey, name, *state.sPath)) {
                state.lResultSave = "True";
                copyTemplate(state, folders, source);
            } else {
                state.lResultSave = "False";
            }
            break;
        }
    }
    return state;
}

std::string installLogRecord(const InstallState& state, const std::tm& t) {
    std::string out = "\n============ Generated by Dotlift v.2.0.0 ============\n";
    char line[128];
    std::snprintf(line, sizeof line, "%d:%d:%d  %d:%d:%d\n\n", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    out += line;
    out += "Word version         = " + std::to_string(state.wordVersion) + "\n";
    out += "Word version in TEXT = " + state.wordVersionText + "\n";
    out += "sKey = " + state.sKey + "\n";
    out += "sVal = " + state.sVal + "\n";
    out += "lResult : " + state.lResult + "\n";
    if (state.lResult == "False") {
        out += "lSpecialFolderTxt = " + std::string(orNull(state.lSpecialFolderTxt)) + "\n";
    }
    out += "Final : sPath = " + std::string(orNull(state.sPath)) + "\n";
    out += "MkName = " + state.MkName + "\n";
    out += "lvrPathExe = " + std::string(orNull(state.lvrPathExe)) + "\n";
    out += "Exist Path's :\n";
    for (const auto& path : state.lvPathMacro) {
        out += "lvPathMacro[numUser] = " + path + "\n";
    }
    out += "Save new path = " + std::string(orNull(state.sPath)) + "\n";
    out += "lResultSave   = " + std::string(orNull(state.lResultSave)) + "\n";
    out += "Save file to : " + state.target + "\n";
    out += resultLine("lResultCrDir = ", state.lResultCrDir);
    out += resultLine("lResultSaveFile = ", state.lResultSaveFile);
    out += resultLine("lSetStartup = ", state.lSetStartup);
    out += resultLine("lResultCreateStartUp = ", state.lResultCreateStartUp);
    return out;
}

std::string toTextMode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

namespace {

bool appendTo(const fs::path& file, const std::string& record) {
    std::FILE* log = std::fopen(file.c_str(), "ab");
    if (log == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(record.data(), 1, record.size(), log) == record.size();
    return std::fclose(log) == 0 && ok;
}

}  // namespace

std::optional<fs::path> appendInstallLog(const InstallState& state, const platform::Registry& registry,
                                         const platform::PlatformFolders& folders, const std::tm& localTime) {
    const std::string record = toTextMode(installLogRecord(state, localTime));
    const fs::path file = folders.nativePath(platform::joinPath(orNull(state.lvrPathExe), "Dotlift.log"));
    if (appendTo(file, record)) {
        return file;
    }
    const fs::path userData = platform::userDataFolder(
        readText(registry, RegRoot::CurrentUser, platform::kShellFoldersKey, platform::kLocalAppDataValue),
        folders);
    std::error_code ec;
    fs::create_directories(userData, ec);
    if (appendTo(userData / "Dotlift.log", record)) {
        return userData / "Dotlift.log";
    }
    return std::nullopt;
}

std::vector<PaintItem> installDebugListing(const InstallState& state, int h) {
    DebugListing list(h);
    list.entry("debug : ", "YES", kBlue);
    list.rule();
    list.entry("Word version         = ", std::to_string(state.wordVersion), kGrey);
    list.entry("Word version in TEXT = ", state.wordVersionText, kGrey);
    list.entry("sKey = ", state.sKey, kGrey);
    list.entry("sVal = ", state.sVal, kGrey);
    list.entry("lResult : ", state.lResult, kGrey);
    if (state.lResult == "False") {
        list.entry("lSpecialFolderTxt = ", orNull(state.lSpecialFolderTxt), kGrey);
    }
    list.rule();
    list.entry("Final : sPath = ", orNull(state.sPath), kBlack);
    list.blank();
    list.entry("MkName = ", state.MkName, kGrey);
    list.entry("lvrPathExe = ", orNull(state.lvrPathExe), kGrey);
    list.rule();
    list.line("Exist Path's :", kBlack);
    for (const auto& path : state.lvPathMacro) {
        list.entry("lvPathMacro[numUser] = ", path, kBlack);
    }
    list.blank();
    list.entry("Save new path = ", orNull(state.sPath), kBlue);
    list.entry("lResultSave   = ", orNull(state.lResultSave), kBlue);
    list.blank();
    list.entry("Save file to : ", state.target, kBlue);
    list.entry("lResultCrDir = ", trueFalse(state.lResultCrDir), kBlue);
    list.entry("lResultSaveFile = ", trueFalse(state.lResultSaveFile), kBlue);
    list.blank();
    list.entry("lSetStartup = ", trueFalse(state.lSetStartup), kRed);
    list.entry("lResultCreateStartUp = ", trueFalse(state.lResultCreateStartUp), kRed);
    return list.take();
}

}  // namespace tools
