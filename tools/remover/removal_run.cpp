#include "tools/remover/removal_run.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tools/common/registry_text.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

constexpr std::string_view kProductKey = "Software\\Quillo\\Scrivlet";
constexpr int kUserPathSlots = 41;

// Deletes values of the product key, remembering the last result: when the
// key cannot be opened a deletion reports the previous result, and 10 (not
// deleted) before any deletion was made.
class ValueDeleter {
public:
    explicit ValueDeleter(platform::Registry& registry) : m_registry(registry) {}

    long remove(std::string_view name) {
        auto key = m_registry.openKey(RegRoot::LocalMachine, kProductKey, platform::RegAccess::Write);
        if (!key) {
            return m_last;
        }
        m_last = platform::windowsErrorCode(key->deleteValue(name));
        return m_last;
    }

private:
    platform::Registry& m_registry;
    long m_last = 10;
};

// DeleteFile: non-zero when the file was deleted.
long deleteFile(const platform::PlatformFolders& folders, const std::string& path) {
    return ::unlink(folders.nativePath(path).c_str()) == 0 ? 1 : 0;
}

}  // namespace

RemovalState runRemoval(RemovalEnvironment& env) {
    RemovalState state;
    ValueDeleter deleter(env.registry);

    state.lvrPathExe = readText(env.registry, RegRoot::LocalMachine, kProductKey, "InstallPath");

    for (int n = 1; n <= kUserPathSlots; ++n) {
        const std::string name = "UserPath" + std::to_string(n);
        auto folder = readText(env.registry, RegRoot::LocalMachine, kProductKey, name);
        if (!folder) {
            break;
        }
        RemovedFolder removed;
        removed.lvPathMacro = *folder;
        if (deleter.remove(name) == 0) {
            removed.lResultDelVal = "True";
            const std::string dot = platform::joinPath(*folder, "sScrivlet2.dot");
            const std::string owner = platform::joinPath(*folder, "~$crivlet2.dot");
            for (std::size_t i = 0; i < removed.fileResults.size(); ++i) {
                removed.fileResults[i] = deleteFile(env.folders, i % 2 == 0 ? dot : owner);
            }
        }
        state.folders.push_back(std::move(removed));
    }

    state.lResDelInstallPath = deleter.remove("InstallPath");
    state.lResDelSavePath = deleter.remove("SavePath");
    state.lResDelVersion = deleter.remove("Version");

    const std::string install(orNull(state.lvrPathExe));
    state.lResDelDotsweep[0] = deleteFile(env.folders, platform::joinPath(install, "Dotlift.log"));
    state.lResDelDotsweep[1] = deleteFile(env.folders, platform::joinPath(install, "Dotsweep.log"));
    // The installer's log in the user's data folder, where it goes when the
    // installation folder was not writable.
    std::error_code ec;
    fs::remove(platform::userDataFolder(readText(env.registry, RegRoot::CurrentUser,
                                                 platform::kShellFoldersKey, platform::kLocalAppDataValue),
                                        env.folders) /
                   "Dotlift.log",
               ec);
    return state;
}

std::vector<PaintItem> removalDebugListing(const RemovalState& state, int h) {
    static constexpr std::string_view kFileLabels[] = {
        "lResultDelFile97[numUser]  = ", "lResultDel972[numUser] = ",     "lResultDelFile2k[numUser]  = ",
        "lResultDel2k2[numUser] = ",     "lResultDelFileXP[numUser]  = ", "lResultDelXP2[numUser] = ",
    };
    DebugListing list(h);
    list.entry("debug : ", "YES", kBlue);
    list.blank();
    list.entry("lvrPathExe = ", orNull(state.lvrPathExe), kGrey);
    list.rule();
    list.blank();
    list.line("Exist Path's :", kBlack);
    for (const auto& folder : state.folders) {
        list.entry("lvPathMacro[numUser] = ", folder.lvPathMacro, kBlack);
        list.entry("lResultDelVal[numUser] = ", orNull(folder.lResultDelVal), kBlack);
        for (std::size_t i = 0; i < folder.fileResults.size(); ++i) {
            list.entry(kFileLabels[i], std::to_string(folder.fileResults[i]), kBlack);
        }
    }
    list.rule();
    list.blank();
    list.entry("lResDelInstallPath = ", std::to_string(state.lResDelInstallPath), kBlue);
    list.entry("lResDelSavePath    = ", std::to_string(state.lResDelSavePath), kBlue);
    list.entry("lResDelVersion     = ", std::to_string(state.lResDelVersion), kBlue);
    list.rule();
    list.blank();
    list.entry("lResDelDotsweep[0]  = ", std::to_string(state.lResDelDotsweep[0]), kBlack);
    list.entry("lResDelDotsweep[1]  = ", std::to_string(state.lResDelDotsweep[1]), kBlack);
    return list.take();
}

}  // namespace tools
