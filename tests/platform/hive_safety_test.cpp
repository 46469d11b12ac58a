// Hives that cannot be read, that other users could change, that are not
// regular files, that would grow too large, and hives that root works on for
// a user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry/hive_trust.h"
#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildOutcome;
using testing_support::kOtherUser;
using testing_support::readFile;
using testing_support::runInChild;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::string_view kKey = "Software\\Quillo\\Scrivlet";
constexpr const char* kMachineHive =
    "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quillo\\Scrivlet]\n\"InstallPath\"=\"/opt/scrivlet\"\n";

uid_t ownerOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
}

// Collects the registry's reports and keeps them in a file, so that a child
// process can hand them to the test.
struct ReportFile {
    fs::path file;
    RegistryReporter reporter() const {
        return [file = file](const std::string& message) {
            std::ofstream(file, std::ios::app) << message << "\n";
        };
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
};

// The user a test's child runs as: another account when the tests run as
// root (which reads every file), this one otherwise.
uid_t unprivilegedUser() {
    return ::geteuid() == 0 ? kOtherUser : ::geteuid();
}

void handTo(const fs::path& path, uid_t uid) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), uid, uid), 0) << path;
    }
}

TEST(HiveSafety, UnreadableHiveIsReportedOnceAndNeverTakenAsEmpty) {
    TempDir dir;
    const uid_t user = unprivilegedUser();
    handTo(dir.path(), user);
    writeFile(dir / "HKLM.reg", kMachineHive);
    handTo(dir / "HKLM.reg", user);
    fs::permissions(dir / "HKLM.reg", fs::perms::none);
    const ReportFile reports{dir / "reports.txt"};
    const ChildOutcome outcome = runInChild(
        [&] {
            Registry registry(RegistryLocation::inFolder(dir.path()), reports.reporter());
            for (int attempt = 0; attempt < 3; ++attempt) {
                auto key = registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::Read);
                if (key || key.error() == RegStatus::NotFound)
                    return 1;  // taken as a hive without the key
            }
            return 0;
        },
        user);
    ASSERT_TRUE(outcome.exited && outcome.code == 0) << outcome.code;
    const auto lines = reports.lines();
    ASSERT_EQ(lines.size(), 1u) << "reported once";
    EXPECT_EQ(lines[0], "cannot read " + (dir / "HKLM.reg").string() + ": Permission denied");
}

TEST(HiveSafety, NonRegularFilesInTheHivesPlaceNeverBlock) {
    struct Case {
        const char* label;
        const char* fifo;
    };
    const Case cases[] = {{"hive", "HKCU.reg"}, {"lock file", "HKCU.reg.lock"}};
    for (const auto& c : cases) {
        TempDir dir;
        ASSERT_EQ(::mkfifo((dir / c.fifo).c_str(), 0600), 0);
        const ReportFile reports{dir / "reports.txt"};
        // A blocking open would hang here; the watchdog ends such a child.
        const ChildOutcome outcome = runInChild(
            [&] {
                Registry registry(RegistryLocation::inFolder(dir.path()), reports.reporter());
                auto created = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write);
                return created ? 1 : 0;
            },
            static_cast<uid_t>(-1), 20);
        EXPECT_TRUE(outcome.exited && outcome.code == 0) << c.label << ": " << outcome.code;
        const auto lines = reports.lines();
        ASSERT_EQ(lines.size(), 1u) << c.label;
        EXPECT_NE(lines[0].find("not a regular file"), std::string::npos) << lines[0];
        struct stat info {};
        ASSERT_EQ(::lstat((dir / c.fifo).c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode)) << c.label << ": left where it is";
    }
}

TEST(HiveSafety, LockFileIsNeverFollowedThroughASymbolicLink) {
    TempDir dir;
    fs::create_symlink(dir / "elsewhere", dir / "HKCU.reg.lock");
    std::vector<std::string> reports;
    Registry registry(RegistryLocation::inFolder(dir.path()),
                      [&](const std::string& m) { reports.push_back(m); });
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write);
    ASSERT_FALSE(key);
    EXPECT_EQ(key.error(), RegStatus::AccessDenied);
    EXPECT_FALSE(fs::exists(dir / "elsewhere")) << "nothing is created at the link's target";
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("symbolic link"), std::string::npos) << reports[0];
}

// Who may change a hive decides whether it is used.
TEST(HiveSafety, HiveThatOtherUsersCanChangeIsNotUsed) {
    struct Case {
        const char* label;
        fs::perms folder;
        fs::perms parent;
        fs::perms file;
        uid_t fileOwner;  // -1: this user
        bool rootOnly;
        const char* why;  // empty: trusted
    };
    const auto rw = fs::perms::owner_read | fs::perms::owner_write;
    const auto rwr = rw | fs::perms::group_read | fs::perms::others_read;
    const auto dirPrivate = fs::perms::owner_all;
    const auto dirOpen = fs::perms::all;
    const auto dirGroup = fs::perms::owner_all | fs::perms::group_all;
    const auto sticky = fs::perms::all | fs::perms::sticky_bit;
    const uid_t me = static_cast<uid_t>(-1);
    const Case cases[] = {
        {"private folder", dirPrivate, dirPrivate, rwr, me, false, ""},
        {"folder writable by all", dirOpen, dirPrivate, rwr, me, false, "can be written by every user"},
        {"folder writable by its group", dirGroup, dirPrivate, rwr, me, false, "can be written by its group"},
        {"folder above writable by all", dirPrivate, dirOpen, rwr, me, false, "can be written by every user"},
        {"file writable by all", dirPrivate, dirPrivate,
         fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec, me,
         false, "it can be written by every user"},
        {"sticky folder, own file", sticky, dirPrivate, rwr, me, false, ""},
        {"sticky folder, another user's file", sticky, dirPrivate, rwr, 12345, true,
         "belongs to another user"},
    };
    for (const auto& c : cases) {
        if (c.rootOnly && ::geteuid() != 0)
            continue;
        TempDir dir;
        const fs::path parent = dir / "parent";
        const fs::path folder = parent / "registry";
        writeFile(folder / "HKLM.reg", kMachineHive);
        if (c.fileOwner != me) {
            ASSERT_EQ(::chown((folder / "HKLM.reg").c_str(), c.fileOwner, c.fileOwner), 0);
        }
        fs::permissions(folder / "HKLM.reg", c.file);
        fs::permissions(folder, c.folder);
        fs::permissions(parent, c.parent);

        const auto distrust = hiveDistrust(folder / "HKLM.reg", ::geteuid());
        if (*c.why == '\0') {
            EXPECT_FALSE(distrust) << c.label << ": " << distrust.value_or("");
        } else {
            ASSERT_TRUE(distrust) << c.label;
            EXPECT_NE(distrust->find(c.why), std::string::npos) << c.label << ": " << *distrust;
        }
        std::vector<std::string> reports;
        Registry registry(RegistryLocation::inFolder(folder),
                          [&](const std::string& m) { reports.push_back(m); });
        auto key = registry.openKey(RegRoot::LocalMachine, kKey, RegAccess::Read);
        if (*c.why == '\0') {
            EXPECT_TRUE(key) << c.label;
            EXPECT_TRUE(reports.empty()) << c.label;
            continue;
        }
        EXPECT_FALSE(key) << c.label;
        EXPECT_FALSE(registry.createKey(RegRoot::LocalMachine, "Other", RegAccess::Write)) << c.label;
        ASSERT_EQ(reports.size(), 1u) << c.label;
        EXPECT_NE(reports[0].find("is not used"), std::string::npos) << reports[0];
        EXPECT_NE(reports[0].find(c.why), std::string::npos) << reports[0];
        fs::permissions(folder, dirPrivate);
        EXPECT_EQ(readFile(folder / "HKLM.reg"), kMachineHive) << c.label << ": left unchanged";
    }
}

TEST(HiveSafety, RootKeepsTheUsersOwnershipOfTheUsersHive) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempDir dir;
    const uid_t user = kOtherUser;
    const fs::path home = dir / "home";
    fs::create_directories(home);
    handTo(dir.path(), user);
    handTo(home, user);
    writeFile(home / "registry" / "HKCU.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n");
    handTo(home / "registry", user);
    handTo(home / "registry" / "HKCU.reg", user);
    fs::permissions(home / "registry" / "HKCU.reg", fs::perms::owner_read | fs::perms::owner_write);

    {
        // Root writes the user's existing hive and creates the machine hive
        // in a folder it makes inside the user's.
        Registry asRoot({home / "registry" / "HKCU.reg", home / "machine" / "HKLM.reg"});
        ASSERT_EQ(asRoot.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write)->setDword("ByRoot", 1),
                  RegStatus::Success);
        ASSERT_EQ(asRoot.createKey(RegRoot::LocalMachine, kKey, RegAccess::Write)->setDword("ByRoot", 1),
                  RegStatus::Success);
    }
    for (const fs::path& made :
         {home / "registry" / "HKCU.reg", home / "registry" / "HKCU.reg.lock", home / "machine",
          home / "machine" / "HKLM.reg", home / "machine" / "HKLM.reg.lock"})
        EXPECT_EQ(ownerOf(made), user) << made;
    EXPECT_EQ(fs::status(home / "registry" / "HKCU.reg").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    // The user's own writes still work afterwards.
    const ChildOutcome outcome = runInChild(
        [&] {
            Registry asUser({home / "registry" / "HKCU.reg", home / "machine" / "HKLM.reg"});
            for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
                auto key = asUser.createKey(root, kKey, RegAccess::All);
                if (!key || key->setDword("ByUser", 2) != RegStatus::Success || !key->queryValue("ByRoot"))
                    return 1;
            }
            return 0;
        },
        user);
    EXPECT_TRUE(outcome.exited && outcome.code == 0) << outcome.code;
}

TEST(HiveSafety, RefusedWriteIsReportedOnce) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to leave a file the user cannot write";
    TempDir dir;
    handTo(dir.path(), kOtherUser);
    writeFile(dir / "HKCU.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillo\\Scrivlet]\n");
    fs::permissions(dir / "HKCU.reg",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    const ReportFile reports{dir / "reports.txt"};
    handTo(reports.file.parent_path(), kOtherUser);
    const ChildOutcome outcome = runInChild(
        [&] {
            Registry registry(RegistryLocation::inFolder(dir.path()), reports.reporter());
            for (int attempt = 0; attempt < 2; ++attempt) {
                if (registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write))
                    return 1;
            }
            return registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read) ? 0 : 2;
        },
        kOtherUser);
    ASSERT_TRUE(outcome.exited && outcome.code == 0) << outcome.code;
    const auto lines = reports.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "cannot write " + (dir / "HKCU.reg").string() + ": the file is not writable for this user");
}

TEST(HiveSafety, WriteThatWouldOutgrowTheLimitIsRefusedAndTheHiveKept) {
    TempDir dir;
    std::vector<std::string> reports;
    Registry registry(RegistryLocation::inFolder(dir.path()),
                      [&](const std::string& m) { reports.push_back(m); });
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    const std::string big(kMaxHiveFileBytes / 3, 'a');
    ASSERT_EQ(key->setString("One", big), RegStatus::Success);
    ASSERT_EQ(key->setString("Two", big), RegStatus::Success);
    EXPECT_EQ(key->setString("Three", big + big), RegStatus::TooLarge);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("16 MiB"), std::string::npos) << reports[0];

    Registry again(RegistryLocation::inFolder(dir.path()),
                   [&](const std::string& m) { reports.push_back(m); });
    auto kept = again.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read);
    ASSERT_TRUE(kept) << "the hive was not set aside";
    EXPECT_TRUE(kept->queryValue("Two"));
    EXPECT_FALSE(kept->queryValue("Three"));
    EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace platform
