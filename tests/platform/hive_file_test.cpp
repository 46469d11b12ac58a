// The hive file's statuses and reports: a lock file that cannot be made,
// calls on a key deleted behind its handle, and the text written for values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/reg_text.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::string_view kKey = "Software\\Quillo\\Scrivlet";

TEST(HiveFile, ALockFileThatCannotBeMadeIsAnInputOutputError) {
    TempDir dir;
    // The hive's own name fits a folder entry; with ".lock" it does not.
    const fs::path hive = dir / (std::string(250, 'h') + ".reg");
    std::vector<std::string> reports;
    Registry registry({hive, dir / "HKLM.reg"}, [&](const std::string& m) { reports.push_back(m); });
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::Write);
    ASSERT_FALSE(key);
    EXPECT_EQ(key.error(), RegStatus::IoError) << "not a question of rights";
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "cannot write " + hive.string() + ": its lock file " + hive.string() +
                              ".lock cannot be opened (File name too long)");
    EXPECT_FALSE(fs::exists(hive));
}

TEST(HiveFile, AKeyDeletedBehindItsHandleSaysSo) {
    TempDir dir;
    Registry registry(RegistryLocation::inFolder(dir.path()));
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->setDword("Kept", 1), RegStatus::Success);
    ASSERT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, "Software\\Quillo"), RegStatus::Success);
    EXPECT_EQ(key->queryValue("Kept").error(), RegStatus::KeyDeleted);
    EXPECT_EQ(key->enumValue(0).error(), RegStatus::KeyDeleted);
    EXPECT_EQ(key->allValues().error(), RegStatus::KeyDeleted);
    EXPECT_EQ(key->enumSubKey(0).error(), RegStatus::KeyDeleted);
    EXPECT_EQ(key->setDword("New", 2), RegStatus::KeyDeleted);
    EXPECT_EQ(key->deleteValue("Kept"), RegStatus::KeyDeleted);
    EXPECT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, "Software\\Quillo"), RegStatus::NotFound);
    EXPECT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, ""), RegStatus::InvalidName) << "never the root";
    EXPECT_EQ(registry.deleteKeyTree(RegRoot::CurrentUser, "a\\\\b"), RegStatus::InvalidName);
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, "Software", RegAccess::Read));
}

TEST(HiveFile, HandlesWithoutTheRightRefuseEveryCall) {
    TempDir dir;
    Registry registry(RegistryLocation::inFolder(dir.path()));
    ASSERT_EQ(registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All)->setDword("A", 1),
              RegStatus::Success);
    auto readOnly = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Read).value();
    EXPECT_EQ(readOnly.setDword("A", 2), RegStatus::AccessDenied);
    EXPECT_EQ(readOnly.deleteValue("A"), RegStatus::AccessDenied);
    auto writeOnly = registry.openKey(RegRoot::CurrentUser, kKey, RegAccess::Write).value();
    EXPECT_EQ(writeOnly.queryValue("A").error(), RegStatus::AccessDenied);
    EXPECT_EQ(writeOnly.enumValue(0).error(), RegStatus::AccessDenied);
    EXPECT_EQ(writeOnly.allValues().error(), RegStatus::AccessDenied);
    EXPECT_EQ(writeOnly.enumSubKey(0).error(), RegStatus::AccessDenied);
    EXPECT_EQ(writeOnly.deleteValue("Absent"), RegStatus::NotFound);
    EXPECT_EQ(writeOnly.deleteValue("A"), RegStatus::Success);
    EXPECT_EQ(readOnly.allValues()->size(), 0u);
}

TEST(HiveFile, AHiveDamagedUnderAnOpenHandleIsSetAsideByTheNextWrite) {
    TempDir dir;
    std::vector<std::string> reports;
    Registry registry(RegistryLocation::inFolder(dir.path()),
                      [&](const std::string& m) { reports.push_back(m); });
    auto key = registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All);
    ASSERT_TRUE(key);
    writeFile(dir / "HKCU.reg", "not a hive");
    EXPECT_EQ(key->setDword("Lost", 1), RegStatus::KeyDeleted) << "the fresh hive has no such key";
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename().string().starts_with("HKCU.reg.corrupt-"))
            copies.push_back(entry.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFile(copies[0]), "not a hive");
    EXPECT_FALSE(fs::exists(dir / "HKCU.reg"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("It was kept as " + copies[0].string()), std::string::npos) << reports[0];
    EXPECT_TRUE(registry.createKey(RegRoot::CurrentUser, kKey, RegAccess::All)) << "the hive works again";
}

}  // namespace
}  // namespace platform
