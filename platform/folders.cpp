#include "platform/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/registry/registry.h"
#include "platform/text_util.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

fs::path envFolder(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value == '/' ? fs::path(value) : fs::path();
}

fs::path homeFolder() {
    fs::path home = envFolder("HOME");
    return home.empty() ? fs::path("/") : home;
}

fs::path dataHome() {
    fs::path data = envFolder("XDG_DATA_HOME");
    return data.empty() ? homeFolder() / ".local" / "share" : data;
}

}  // namespace

PlatformFolders::PlatformFolders(FolderSet set) : m_set(std::move(set)) {}

PlatformFolders PlatformFolders::under(const fs::path& home) {
    return PlatformFolders(
        {home / "windows", home / "drive_c", home / "temp", home / "local_appdata", home / "appdata"});
}

PlatformFolders PlatformFolders::fromEnvironment() {
    if (fs::path home = envFolder("SCRIVLET_HOME"); !home.empty()) {
        return under(home);
    }
    const fs::path data = dataHome() / "scrivlet";
    fs::path temp = envFolder("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (temp.empty() || !fs::is_directory(temp, ec)) {
        fs::path cache = envFolder("XDG_CACHE_HOME");
        temp = (cache.empty() ? homeFolder() / ".cache" : cache) / "scrivlet" / "temp";
    } else {
        temp /= "scrivlet";
    }
    fs::path config = envFolder("XDG_CONFIG_HOME");
    if (config.empty()) {
        config = homeFolder() / ".config";
    }
    return PlatformFolders({data / "windows", data / "drive_c", temp, dataHome(), config});
}

Expected<fs::path, FolderError> PlatformFolders::windowsFolder() const {
    std::error_code ec;
    fs::create_directories(m_set.windows, ec);
    if (!fs::is_directory(m_set.windows, ec)) {
        return unexpected(
            FolderError{"The Windows folder " + m_set.windows.string() + " cannot be created."});
    }
    return m_set.windows;
}

Expected<fs::path, FolderError> PlatformFolders::systemTempFolder() const {
    return ensurePrivateFolder(m_set.temp);
}

Expected<fs::path, FolderError> PlatformFolders::workFolder() const {
    auto temp = systemTempFolder();
    if (!temp) {
        return temp;
    }
    return *temp / "Scrivlet";
}

fs::path PlatformFolders::nativePath(std::string_view path) const {
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
    if (!hasDrive) {
        return fs::path(std::string(path));
    }
    const char letter = asciiLower(path[0]);
    fs::path out =
        letter == 'c' ? m_set.driveC : m_set.driveC.parent_path() / (std::string("drive_") + letter);
    std::string_view rest = path.substr(2);
    std::string component;
    auto flush = [&] {
        // "." and ".." are kept out so that a Windows path never leaves its drive.
        if (!component.empty() && component != "." && component != "..") {
            out /= component;
        }
        component.clear();
    };
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            component.push_back(c);
        }
    }
    flush();
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    out.push_back(kPathSeparator);
    out += name;
    return out;
}

Expected<fs::path, FolderError> ensurePrivateFolder(const fs::path& folder) {
    auto fail = [&](const std::string& why) {
        return unexpected(FolderError{"The temporary folder " + folder.string() + " " + why + "."});
    };
    std::error_code ec;
    if (!folder.parent_path().empty()) {
        fs::create_directories(folder.parent_path(), ec);
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(std::string("cannot be created: ") + std::strerror(errno));
    }
    // Open without following a symbolic link and check what was opened, so
    // that a link or foreign folder swapped in cannot be used.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR) {
            return fail("is a symbolic link or not a folder");
        }
        return fail(std::string("cannot be opened: ") + std::strerror(errno));
    }
    struct stat info {};
    const bool statOk = ::fstat(fd, &info) == 0;
    bool modeOk = statOk && (info.st_mode & 077) == 0;
    if (statOk && info.st_uid == ::geteuid() && !modeOk) {
        modeOk = ::fchmod(fd, 0700) == 0;
    }
    ::close(fd);
    if (!statOk) {
        return fail("cannot be examined");
    }
    if (info.st_uid != ::geteuid()) {
        return fail("belongs to another user");
    }
    if (!modeOk) {
        return fail("cannot be made private");
    }
    return folder;
}

void ensureLocalAppDataValue(Registry& registry, const PlatformFolders& folders) {
    auto key = registry.createKey(RegRoot::CurrentUser, kShellFoldersKey, RegAccess::All);
    if (!key) {
        return;
    }
    if (key->queryValue(kLocalAppDataValue)) {
        return;
    }
    std::error_code ec;
    fs::create_directories(folders.defaultLocalAppData(), ec);
    key->setString(kLocalAppDataValue, folders.defaultLocalAppData().string());
}

std::filesystem::path userDataFolder(const std::optional<std::string>& localAppData,
                                     const PlatformFolders& folders) {
    const fs::path base = localAppData && !localAppData->empty() ? folders.nativePath(*localAppData)
                                                                 : folders.defaultLocalAppData();
    return base / "Scrivlet";
}

}  // namespace platform
