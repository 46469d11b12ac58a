#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/reg_text.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::string_view kKey = "Software\\Quillo\\Scrivlet";

class RegistryTest : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<std::string> reports;
    Registry registry{RegistryLocation::inFolder(dir.path()),
                      [this](const std::string& message) { reports.push_back(message); }};

    std::vector<fs::path> corruptCopies() const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
                out.push_back(entry.path());
            }
        }
        return out;
    }
};

TEST_F(RegistryTest, OpenDoesNotCreateButCreateDoes) {
    auto opened = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error(), RegStatus::NotFound);
    EXPECT_FALSE(fs::exists(dir / "HKCU.reg")) << "a failed open writes nothing";

    ASSERT_TRUE(registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write));
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, "software\\QUILLO\\scrivlet", RegAccess::Read));
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, "Software\\Quillo", RegAccess::Read))
        << "ancestors are created too";
    EXPECT_FALSE(registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::Read)) << "hives are separate";
}

TEST_F(RegistryTest, ValuesRoundTripThroughTheFileWithTypes) {
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->setDword("ResCur", 1234), RegStatus::Success);
    EXPECT_EQ(key->setString("SavePath", "C:\\Out"), RegStatus::Success);
    EXPECT_EQ(key->setValue({"Raw", RegType::Binary, {std::byte{1}, std::byte{2}}}), RegStatus::Success);

    Registry other(RegistryLocation::inFolder(dir.path()));
    auto again = other.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read);
    ASSERT_TRUE(again);
    auto rescur = again->queryValue("rescur");
    ASSERT_TRUE(rescur);
    EXPECT_EQ(rescur->type, RegType::Dword);
    EXPECT_EQ(rescur->data,
              (std::vector<std::byte>{std::byte{0xD2}, std::byte{4}, std::byte{0}, std::byte{0}}));
    EXPECT_EQ(again->queryValue("SavePath")->type, RegType::Sz);
    EXPECT_EQ(again->queryValue("Raw")->type, RegType::Binary);
    EXPECT_EQ(again->queryValue("Missing").error(), RegStatus::NotFound);
    EXPECT_NE(readFile(dir / "HKCU.reg").find("\"SavePath\"=\"C:\\\\Out\""), std::string::npos);
}

TEST_F(RegistryTest, EnumerationFollowsInsertionOrderAndEndsWithNoMoreItems) {
    auto key = registry.createKey(RegRoot::LocalMachine, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    for (int i = 1; i <= 41; ++i) {
        ASSERT_EQ(key->setString("UserPath" + std::to_string(i), "p"), RegStatus::Success);
    }
    key->setString("UserPath3", "replaced");
    ASSERT_EQ(key->deleteValue("USERPATH2"), RegStatus::Success);
    EXPECT_EQ(key->deleteValue("UserPath2"), RegStatus::NotFound);
    for (std::size_t i = 0; i < 40; ++i) {
        auto value = key->enumValue(i);
        ASSERT_TRUE(value) << i;
        EXPECT_EQ(value->name, "UserPath" + std::to_string(i == 0 ? 1 : i + 2));
    }
    EXPECT_EQ(key->enumValue(40).error(), RegStatus::NoMoreItems);

    registry.createKey(RegRoot::LocalMachine, std::string(kKey) + "\\Sub", RegAccess::Write);
    EXPECT_EQ(key->enumSubKey(0).value(), "Sub");
    EXPECT_EQ(key->enumSubKey(1).error(), RegStatus::NoMoreItems);
}

TEST_F(RegistryTest, RightsOfAHandleAreEnforced) {
    ASSERT_TRUE(registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write));
    auto readOnly = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(readOnly->setDword("x", 1), RegStatus::AccessDenied);
    EXPECT_EQ(readOnly->deleteValue("x"), RegStatus::AccessDenied);
    auto writeOnly = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Write);
    ASSERT_TRUE(writeOnly);
    EXPECT_EQ(writeOnly->setDword("x", 1), RegStatus::Success);
    EXPECT_EQ(writeOnly->queryValue("x").error(), RegStatus::AccessDenied);
}

// The three levels that an access test (all, write, read) tells apart.
TEST_F(RegistryTest, AccessFollowsTheHiveFilesPermissions) {
    ASSERT_TRUE(registry.createKey(RegRoot::LocalMachine, kKey, RegAccess::Write));
    const fs::path hklm = dir / "HKLM.reg";
    struct Case {
        fs::perms mode;
        bool all, write, read;
    };
    const Case cases[] = {
        {fs::perms::owner_read | fs::perms::owner_write, true, true, true},
        {fs::perms::owner_read, false, false, true},
    };
    for (const auto& c : cases) {
        fs::permissions(hklm, c.mode);
        EXPECT_EQ(bool(registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::All)), c.all);
        EXPECT_EQ(bool(registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::Write)), c.write);
        EXPECT_EQ(bool(registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::Read)), c.read);
    }
    EXPECT_EQ(registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::All).error(), RegStatus::AccessDenied);

    // A folder without write permission: a hive that does not exist yet can
    // be read (it is empty) but not created.
    TempDir locked;
    fs::permissions(locked.path(), fs::perms::owner_read | fs::perms::owner_exec);
    Registry readOnlyRegistry(RegistryLocation::inFolder(locked.path()));
    EXPECT_EQ(readOnlyRegistry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write).error(),
              RegStatus::AccessDenied);
    EXPECT_EQ(readOnlyRegistry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read).error(),
              RegStatus::NotFound);
}

TEST_F(RegistryTest, NamesThatCannotBeStoredAreRefused) {
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->setString("two\nlines", "x"), RegStatus::InvalidName);
    EXPECT_EQ(key->setString("bad\xFF", "x"), RegStatus::InvalidName);
    EXPECT_EQ(registry.createKey(RegRoot::CurrentUser, "A\\\\B", RegAccess::All).error(),
              RegStatus::InvalidName);
    EXPECT_EQ(key->setString("", "default value"), RegStatus::Success) << "the default value";
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read)) << "the hive still parses";
}

TEST_F(RegistryTest, DeleteKeyTree) {
    registry.createKey(RegRoot::CurrentUser, "Software\\A\\B", RegAccess::Write);
    EXPECT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, "software\\a"), RegStatus::Success);
    EXPECT_FALSE(registry.openKey(RegRoot::CurrentUser, "Software\\A\\B", RegAccess::Read));
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, "Software", RegAccess::Read));
    EXPECT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, "Software\\A"), RegStatus::NotFound);
}

TEST_F(RegistryTest, CorruptHiveIsKeptAsideReportedOnceAndNotOverwritten) {
    const std::string garbage = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:zz\n";
    writeFile(dir / "HKCU.reg", garbage);

    auto key = registry.openKey(RegRoot::CurrentUser, "K", RegAccess::Read);
    EXPECT_FALSE(key) << "the corrupt content is not used";
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("HKCU.reg"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("line 3"), std::string::npos) << reports[0];

    const auto copies = corruptCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFile(copies[0]), garbage) << "the corrupt file is kept byte for byte";
    EXPECT_NE(reports[0].find(copies[0].filename().string()), std::string::npos);

    auto fresh = registry.createKey(RegRoot::CurrentUser, "K", RegAccess::All);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->setDword("a", 1), RegStatus::Success);
    EXPECT_EQ(readFile(copies[0]), garbage);
    EXPECT_EQ(reports.size(), 1u) << "reported once";

    // A second corruption is kept under a name of its own.
    writeFile(dir / "HKCU.reg", "junk");
    Registry second(RegistryLocation::inFolder(dir.path()), [](const std::string&) {});
    EXPECT_FALSE(second.openKey(RegRoot::CurrentUser, "K", RegAccess::Read));
    EXPECT_EQ(corruptCopies().size(), 2u);
}

TEST_F(RegistryTest, OversizedAndBinaryHivesAreRejectedCleanly) {
    struct Case {
        const char* label;
        std::string content;
    };
    std::string huge(kMaxHiveFileBytes + 10, 'x');
    std::string binary = "REGEDIT4\n";
    for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
    const Case cases[] = {{"oversized", huge}, {"binary", binary}};
    for (const auto& c : cases) {
        TempDir folder;
        std::vector<std::string> seen;
        writeFile(folder / "HKLM.reg", c.content);
        Registry reg(RegistryLocation::inFolder(folder.path()),
                     [&](const std::string& m) { seen.push_back(m); });
        EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, kKey, RegAccess::Read).error(), RegStatus::NotFound)
            << c.label;
        EXPECT_EQ(seen.size(), 1u) << c.label;
        EXPECT_FALSE(fs::exists(folder / "HKLM.reg")) << c.label << ": moved aside";
    }
}

TEST_F(RegistryTest, CorruptHiveInAReadOnlyFolderIsLeftAlone) {
    writeFile(dir / "HKCU.reg", "not a hive");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read));
    EXPECT_FALSE(registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("left unchanged"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("cannot write"), std::string::npos) << reports[1];
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(readFile(dir / "HKCU.reg"), "not a hive");
}

// Writes `count` values named <prefix><n> into the hive, one locked write each.
void writeValues(const fs::path& folder, const std::string& prefix, int count) {
    Registry reg(RegistryLocation::inFolder(folder));
    auto key = reg.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write);
    if (!key) {
        _exit(2);
    }
    for (int i = 0; i < count; ++i) {
        if (key->setDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) != RegStatus::Success) {
            _exit(3);
        }
    }
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    // Each write reads the whole hive and writes it back: without the lock,
    // writes of the two processes that overlap drop each other's values.
    // Both writers wait on a pipe so that they start together.
    constexpr int kEach = 200;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            char go = 0;
            if (read(start[0], &go, 1) != 1) {
                _exit(4);
            }
            writeValues(dir.path(), prefix, kEach);
            _exit(0);
        }
        children.push_back(pid);
    }
    close(start[0]);
    ASSERT_EQ(write(start[1], "gg", 2), 2);
    close(start[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
    }
    auto key = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read);
    ASSERT_TRUE(key);
    auto values = key->allValues();
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), 2u * kEach);
    for (const char* prefix : {"first", "second"}) {
        for (int i = 0; i < kEach; i += 37) {
            auto value = key->queryValue(prefix + std::to_string(i));
            ASSERT_TRUE(value) << prefix << i;
            EXPECT_EQ(value->data[0], static_cast<std::byte>(i & 0xFF));
        }
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(RegistryTest, WriterKilledMidRunLeavesAHiveThatParses) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        writeValues(dir.path(), "v", 1'000'000);
        _exit(0);
    }
    // Let it get going, then kill it wherever it is.
    for (int i = 0; i < 200 && !fs::exists(dir / "HKCU.reg"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto key = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    const auto values = key->allValues();
    ASSERT_TRUE(values);
    EXPECT_GT(values->size(), 0u);
    EXPECT_TRUE(reports.empty()) << reports.front();
    // The next writer sweeps away a temporary file that the killed one left.
    writeFile(dir / "HKCU.reg.tmp.ABCDEF", "partial");
    Registry next(RegistryLocation::inFolder(dir.path()));
    ASSERT_EQ(next.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write)->setDword("after", 1),
              RegStatus::Success);
    EXPECT_FALSE(fs::exists(dir / "HKCU.reg.tmp.ABCDEF"));
}

TEST(RegistryLocationTest, EnvironmentFolderHoldsBothHives) {
    ::setenv("SCRIVLET_REGISTRY", "/some/where", 1);
    const auto location = RegistryLocation::fromEnvironment();
    ::unsetenv("SCRIVLET_REGISTRY");
    EXPECT_EQ(location.currentUserFile, fs::path("/some/where/HKCU.reg"));
    EXPECT_EQ(location.localMachineFile, fs::path("/some/where/HKLM.reg"));

    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    const auto fallback = RegistryLocation::fromEnvironment();
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(fallback.currentUserFile, fs::path("/cfg/scrivlet/registry/HKCU.reg"));
    EXPECT_EQ(fallback.localMachineFile, fs::path("/var/lib/scrivlet/registry/HKLM.reg"));
}

TEST(RegistryLocationTest, WithoutAnAbsoluteConfigFolderTheHomeFolderHoldsTheUserHive) {
    struct Case {
        const char* xdg;  // nullptr: not set
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "/home/u", "/home/u/.config/scrivlet/registry/HKCU.reg"},
        {"relative/cfg", "/home/u", "/home/u/.config/scrivlet/registry/HKCU.reg"},
        {"", "/home/u", "/home/u/.config/scrivlet/registry/HKCU.reg"},
        {nullptr, "", "/.config/scrivlet/registry/HKCU.reg"},
        {nullptr, nullptr, "/.config/scrivlet/registry/HKCU.reg"},
    };
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome != nullptr ? savedHome : "";
    ::unsetenv("SCRIVLET_REGISTRY");
    for (const auto& c : cases) {
        c.xdg != nullptr ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
        c.home != nullptr ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(RegistryLocation::fromEnvironment().currentUserFile, fs::path(c.expected))
            << (c.xdg ? c.xdg : "(no XDG_CONFIG_HOME)") << ", " << (c.home ? c.home : "(no HOME)");
    }
    ::unsetenv("XDG_CONFIG_HOME");
    savedHome != nullptr ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace platform
