#pragma once
// The registry of the platform layer: the current user's and the local
// machine's hive, each a text file (see hive_file.h). Keys are opened for a
// set of rights and every call on a key reads or rewrites the hive file, so
// no state is held between calls and other processes see each write at once.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/reg_types.h"

namespace platform {

// Where the two hive files live.
struct RegistryLocation {
    std::filesystem::path currentUserFile;
    std::filesystem::path localMachineFile;

    // Both hives in one folder: <folder>/HKCU.reg and <folder>/HKLM.reg.
    static RegistryLocation inFolder(const std::filesystem::path& folder);
    // $SCRIVLET_REGISTRY (a folder) when set; otherwise the user's
    // configuration folder ($XDG_CONFIG_HOME or ~/.config, subfolder
    // scrivlet/registry) for HKCU and /var/lib/scrivlet/registry for HKLM.
    static RegistryLocation fromEnvironment();
};

class RegKey {
public:
    RegKey(std::shared_ptr<HiveFile> hive, std::string path, RegAccess access);

    const std::string& path() const { return m_path; }
    RegAccess access() const { return m_access; }

    Expected<RegValue, RegStatus> queryValue(std::string_view name) const;
    RegStatus setValue(RegValue value);
    RegStatus setDword(std::string_view name, std::uint32_t value);
    RegStatus setString(std::string_view name, std::string_view text);
    RegStatus deleteValue(std::string_view name);
    // The value at `index` in insertion order; NoMoreItems past the end.
    Expected<RegValue, RegStatus> enumValue(std::size_t index) const;
    Expected<std::string, RegStatus> enumSubKey(std::size_t index) const;
    // Every value in insertion order, from one reading of the hive.
    Expected<std::vector<RegValue>, RegStatus> allValues() const;

private:
    std::shared_ptr<HiveFile> m_hive;
    std::string m_path;
    RegAccess m_access;
};

class Registry {
public:
    explicit Registry(const RegistryLocation& location, RegistryReporter reporter = {});

    // Opens an existing key; NotFound when it does not exist.
    Expected<RegKey, RegStatus> openKey(RegRoot root, std::string_view path, RegAccess access) const;
    // Opens the key, creating it and its missing ancestors first.
    Expected<RegKey, RegStatus> createKey(RegRoot root, std::string_view path, RegAccess access);
    // Deletes a key with everything below it.
    RegStatus deleteKeyTree(RegRoot root, std::string_view path);

    const HiveFile& hive(RegRoot root) const;

private:
    std::shared_ptr<HiveFile> hiveFile(RegRoot root) const;

    std::shared_ptr<HiveFile> m_currentUser;
    std::shared_ptr<HiveFile> m_localMachine;
};

}  // namespace platform
