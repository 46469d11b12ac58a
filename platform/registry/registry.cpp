#include "platform/registry/registry.h"

#include <cstdlib>

#include "platform/registry/hive.h"
#include "platform/text_util.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

fs::path userConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr && *home != '\0' ? home : "/") / ".config";
}

// Value names end up in the text of the hive file, which has no escape for
// line breaks: control characters and broken UTF-8 are refused.
bool validValueName(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return isValidUtf8(name);
}

}  // namespace

RegistryLocation RegistryLocation::inFolder(const fs::path& folder) {
    return {folder / "HKCU.reg", folder / "HKLM.reg"};
}

RegistryLocation RegistryLocation::fromEnvironment() {
    if (const char* folder = std::getenv("SCRIVLET_REGISTRY"); folder != nullptr && *folder != '\0') {
        return inFolder(folder);
    }
    return {userConfigFolder() / "scrivlet" / "registry" / "HKCU.reg",
            fs::path("/var/lib/scrivlet/registry/HKLM.reg")};
}

RegKey::RegKey(std::shared_ptr<HiveFile> hive, std::string path, RegAccess access)
    : m_hive(std::move(hive)), m_path(std::move(path)), m_access(access) {}

Expected<RegValue, RegStatus> RegKey::queryValue(std::string_view name) const {
    if (!hasRight(m_access, RegAccess::Read)) {
        return unexpected(RegStatus::AccessDenied);
    }
    auto hive = m_hive->load();
    if (!hive) {
        return unexpected(hive.error());
    }
    const auto* key = hive->findKey(m_path);
    if (key == nullptr) {
        return unexpected(RegStatus::KeyDeleted);
    }
    const auto* value = key->find(name);
    if (value == nullptr) {
        return unexpected(RegStatus::NotFound);
    }
    return *value;
}

RegStatus RegKey::setValue(RegValue value) {
    if (!hasRight(m_access, RegAccess::Write)) {
        return RegStatus::AccessDenied;
    }
    if (!validValueName(value.name)) {
        return RegStatus::InvalidName;
    }
    return m_hive->update([&](Hive& hive) {
        auto* key = hive.findKey(m_path);
        if (key == nullptr) {
            return RegStatus::KeyDeleted;
        }
        key->set(std::move(value));
        return RegStatus::Success;
    });
}

RegStatus RegKey::setDword(std::string_view name, std::uint32_t value) {
    return setValue(RegValue::dword(std::string(name), value));
}

RegStatus RegKey::setString(std::string_view name, std::string_view text) {
    return setValue(RegValue::string(std::string(name), text));
}

RegStatus RegKey::deleteValue(std::string_view name) {
    if (!hasRight(m_access, RegAccess::Write)) {
        return RegStatus::AccessDenied;
    }
    return m_hive->update([&](Hive& hive) {
        auto* key = hive.findKey(m_path);
        if (key == nullptr) {
            return RegStatus::KeyDeleted;
        }
        return key->erase(name) ? RegStatus::Success : RegStatus::NotFound;
    });
}

Expected<RegValue, RegStatus> RegKey::enumValue(std::size_t index) const {
    if (!hasRight(m_access, RegAccess::Read)) {
        return unexpected(RegStatus::AccessDenied);
    }
    auto hive = m_hive->load();
    if (!hive) {
        return unexpected(hive.error());
    }
    const auto* key = hive->findKey(m_path);
    if (key == nullptr) {
        return unexpected(RegStatus::KeyDeleted);
    }
    if (index >= key->values().size()) {
        return unexpected(RegStatus::NoMoreItems);
    }
    return key->values()[index];
}

Expected<std::vector<RegValue>, RegStatus> RegKey::allValues() const {
    if (!hasRight(m_access, RegAccess::Read)) {
        return unexpected(RegStatus::AccessDenied);
    }
    auto hive = m_hive->load();
    if (!hive) {
        return unexpected(hive.error());
    }
    const auto* key = hive->findKey(m_path);
    if (key == nullptr) {
        return unexpected(RegStatus::KeyDeleted);
    }
    return key->values();
}

Expected<std::string, RegStatus> RegKey::enumSubKey(std::size_t index) const {
    if (!hasRight(m_access, RegAccess::Read)) {
        return unexpected(RegStatus::AccessDenied);
    }
    auto hive = m_hive->load();
    if (!hive) {
        return unexpected(hive.error());
    }
    if (hive->findKey(m_path) == nullptr) {
        return unexpected(RegStatus::KeyDeleted);
    }
    auto names = hive->subKeyNames(m_path);
    if (index >= names.size()) {
        return unexpected(RegStatus::NoMoreItems);
    }
    return std::move(names[index]);
}

Registry::Registry(const RegistryLocation& location, RegistryReporter reporter)
    : m_currentUser(std::make_shared<HiveFile>(RegRoot::CurrentUser, location.currentUserFile, reporter)),
      m_localMachine(std::make_shared<HiveFile>(RegRoot::LocalMachine, location.localMachineFile, reporter)) {
}

std::shared_ptr<HiveFile> Registry::hiveFile(RegRoot root) const {
    return root == RegRoot::CurrentUser ? m_currentUser : m_localMachine;
}

const HiveFile& Registry::hive(RegRoot root) const {
    return *hiveFile(root);
}

Expected<RegKey, RegStatus> Registry::openKey(RegRoot root, std::string_view path, RegAccess access) const {
    auto normalised = normaliseKeyPath(path);
    if (!normalised) {
        return unexpected(RegStatus::InvalidName);
    }
    auto file = hiveFile(root);
    if (!hasRight(file->grantedAccess(), access)) {
        if (hasRight(access, RegAccess::Write))
            file->reportWriteRefused();
        return unexpected(RegStatus::AccessDenied);
    }
    auto hive = file->load();
    if (!hive) {
        return unexpected(hive.error());
    }
    const auto* key = hive->findKey(*normalised);
    if (key == nullptr && !normalised->empty()) {
        return unexpected(RegStatus::NotFound);
    }
    // Open with the stored spelling, as the key was created.
    return RegKey(std::move(file), key != nullptr ? key->path() : std::string(), access);
}

Expected<RegKey, RegStatus> Registry::createKey(RegRoot root, std::string_view path, RegAccess access) {
    auto normalised = normaliseKeyPath(path);
    if (!normalised) {
        return unexpected(RegStatus::InvalidName);
    }
    auto file = hiveFile(root);
    const RegAccess granted = file->grantedAccess();
    if (!hasRight(granted, access)) {
        if (hasRight(access, RegAccess::Write))
            file->reportWriteRefused();
        return unexpected(RegStatus::AccessDenied);
    }
    // An existing key only needs the rights asked for; a new one needs write.
    if (auto existing = openKey(root, *normalised, access)) {
        return existing;
    }
    if (!hasRight(granted, RegAccess::Write)) {
        file->reportWriteRefused();
        return unexpected(RegStatus::AccessDenied);
    }
    std::string stored;
    const RegStatus status = file->update([&](Hive& hive) {
        stored = hive.createKey(*normalised).path();
        return RegStatus::Success;
    });
    if (status != RegStatus::Success) {
        return unexpected(status);
    }
    return RegKey(std::move(file), std::move(stored), access);
}

RegStatus Registry::deleteKeyTree(RegRoot root, std::string_view path) {
    auto normalised = normaliseKeyPath(path);
    if (!normalised || normalised->empty()) {
        return RegStatus::InvalidName;
    }
    auto file = hiveFile(root);
    if (!hasRight(file->grantedAccess(), RegAccess::Write)) {
        file->reportWriteRefused();
        return RegStatus::AccessDenied;
    }
    return file->update([&](Hive& hive) {
        return hive.deleteKeyTree(*normalised) ? RegStatus::Success : RegStatus::NotFound;
    });
}

}  // namespace platform
