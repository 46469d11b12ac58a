#pragma once
// A machine for the installer and remover tests: a registry, the platform
// folders and an installation folder with the template, all in a TempDir.

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"
#include "tools/common/registry_text.h"
#include "tools/installer/install_run.h"
#include "tools/remover/removal_run.h"

namespace tools {

class ToolFixture : public ::testing::Test {
protected:
    static constexpr const char* kTemplate = "template bytes\r\n";
    static constexpr std::string_view kProductKey = "Software\\Quillo\\Scrivlet";

    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir.path());
    std::vector<std::string> errors;

    void SetUp() override {
        testing_support::writeFile(std::filesystem::path(installDir()) / "sScrivlet2.dot", kTemplate);
        registry.createKey(platform::RegRoot::LocalMachine, kProductKey, platform::RegAccess::Write)
            ->setString("InstallPath", installDir());
    }

    // A folder name long enough for the Word 97 rule to cut 11 characters.
    std::string installDir() const { return (dir / "Program Files" / "Quillo Scrivlet").string(); }
    std::string appData() const { return folders.applicationData().string(); }
    std::string startup() const { return appData() + "/Microsoft/Word/Startup"; }

    void officeVersion(const std::string& version) {
        registry.createKey(platform::RegRoot::CurrentUser, "Software\\Microsoft\\Office\\" + version,
                           platform::RegAccess::Write);
    }
    // Word creates its own folder in the application data folder.
    void wordFolderExists() {
        std::filesystem::create_directories(std::filesystem::path(appData()) / "Microsoft/Word");
    }
    void setUserPath(int n, const std::string& folder) {
        registry.openKey(platform::RegRoot::LocalMachine, kProductKey, platform::RegAccess::Write)
            ->setString("UserPath" + std::to_string(n), folder);
    }
    std::optional<std::string> userPath(int n) const {
        return readText(registry, platform::RegRoot::LocalMachine, kProductKey,
                        "UserPath" + std::to_string(n));
    }
    void removeInstallPath() {
        registry.openKey(platform::RegRoot::LocalMachine, kProductKey, platform::RegAccess::Write)
            ->deleteValue("InstallPath");
    }
    void setUser(const std::string& key, const std::string& name, const std::string& text) {
        registry.createKey(platform::RegRoot::CurrentUser, key, platform::RegAccess::Write)
            ->setString(name, text);
    }
    std::optional<std::string> readUser(const std::string& key, const std::string& name) const {
        return readText(registry, platform::RegRoot::CurrentUser, key, name);
    }

    InstallState install() {
        InstallEnvironment env{registry, folders,
                               [this](const std::string& text) { errors.push_back(text); }};
        return runInstallation(env);
    }
    RemovalState remove() {
        RemovalEnvironment env{registry, folders};
        return runRemoval(env);
    }

    static std::tm fixedTime() {
        std::tm t{};
        t.tm_year = 2026 - 1900;
        t.tm_mon = 11;
        t.tm_mday = 8;
        t.tm_hour = 9;
        t.tm_min = 5;
        t.tm_sec = 7;
        return t;
    }

    static std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
        for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size())) {
            text.replace(pos, from.size(), to);
        }
        return text;
    }
};

}  // namespace tools
