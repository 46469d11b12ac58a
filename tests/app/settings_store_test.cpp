#include "app/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/session.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using platform::RegAccess;
using platform::RegRoot;
using platform::RegType;
using platform::RegValue;

class SettingsStoreTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir.path())};
    SettingsStore store{registry};
    Session session;

    void put(RegValue value, RegRoot root = RegRoot::CurrentUser) {
        auto key = registry.createKey(root, kProductKey, RegAccess::Write);
        ASSERT_TRUE(key);
        ASSERT_EQ(key->setValue(std::move(value)), platform::RegStatus::Success);
    }
};

TEST_F(SettingsStoreTest, FreshProfileCreatesTheKeyAndKeepsEveryDefault) {
    ASSERT_TRUE(store.loadSettings(session));
    EXPECT_TRUE(registry.openKey(RegRoot::CurrentUser, kProductKey, RegAccess::Read)) << "key created";
    EXPECT_DOUBLE_EQ(currentResolution(session), 80.0);
    const FormatFlags& f = session.CurrentFormat;
    EXPECT_TRUE(f.JPG_Default && !f.GIF_Default && !f.PNG_Default && !f.BMP_Default && !f.TIF_Default);
    const RenderSettings& r = session.RenderOptions;
    EXPECT_EQ(r.KodAntialias, 3);
    EXPECT_EQ(r.ScaleCur, 100);
    EXPECT_EQ(r.lvCurBkGrColor, 8454016u);
    EXPECT_EQ(r.lvHatchColor, 11025982u);
    EXPECT_EQ(r.lvHatchDepress, 8);
    EXPECT_EQ(r.lvBkGrHathStyle, 100);
    EXPECT_TRUE(r.lvHatchLnHor && r.lvHatchLnVert && !r.lvSharpen && !r.lvIncludeDateTime);
    EXPECT_EQ(session.formatOptions.JPG_Quality, 90);
    EXPECT_EQ(session.formatOptions.GIF_Delay, 100);
    EXPECT_TRUE(session.options.KodIncludeHtml && session.options.SaveFile_Opt &&
                session.options.StartFile_Opt);
    EXPECT_EQ(session.options.KodEmailFormat, 1);
}

// Each stored value and what the in-memory setting becomes.
TEST_F(SettingsStoreTest, LoadConvertsEachValueAsStored) {
    struct Case {
        const char* name;
        std::uint32_t stored;
        std::function<bool(const Session&)> check;
    };
    const std::vector<Case> cases = {
        {"lvSharpen", 2, [](const Session& s) { return !s.RenderOptions.lvSharpen; }},
        {"lvSharpen", 1, [](const Session& s) { return s.RenderOptions.lvSharpen; }},
        {"lvIncludeDateTime", 5, [](const Session& s) { return !s.RenderOptions.lvIncludeDateTime; }},
        {"lvIncludeDateTime", 1, [](const Session& s) { return s.RenderOptions.lvIncludeDateTime; }},
        {"lvHatchLnHor", 2, [](const Session& s) { return s.RenderOptions.lvHatchLnHor; }},
        {"lvHatchLnVert", 0, [](const Session& s) { return !s.RenderOptions.lvHatchLnVert; }},
        {"KodIncludeHtml", 0, [](const Session& s) { return !s.options.KodIncludeHtml; }},
        {"GIF_Dither", 7, [](const Session& s) { return s.formatOptions.GIF_Dither; }},
        {"ResCur", 1234,
         [](const Session& s) {
             return s.resolution.userResolution == 1234 * 0.1 &&
                    s.resolutionDialog.userResolution == 1234 * 0.1;
         }},
        {"ResCur", 0xFFFFFFFFu,
         [](const Session& s) { return s.resolution.userResolution == 4294967295.0 * 0.1; }},
        {"CheckN", 1,
         [](const Session& s) { return s.resolution.CheckN == 1 && s.resolutionDialog.CheckN == 1; }},
        {"ScaleCur", 50,
         [](const Session& s) {
             return s.RenderOptions.ScaleCur == 50 && s.resolutionDialog.ScaleCur == 50;
         }},
        {"lvHatchAngle", 0xFFFFFFD3u, [](const Session& s) { return s.RenderOptions.lvHatchAngle == -45; }},
        {"lvCurBkGrColor", 0x00FF0000u,
         [](const Session& s) { return s.RenderOptions.lvCurBkGrColor == 0xFF0000u; }},
        {"JPG_Quality", 55, [](const Session& s) { return s.formatOptions.JPG_Quality == 55; }},
        {"TIF_Default", 1,
         [](const Session& s) { return s.CurrentFormat.TIF_Default && s.CurrentFormat.JPG_Default; }},
        {"JPG_Default", 0, [](const Session& s) { return !s.CurrentFormat.JPG_Default; }},
        {"lvKodMainWinMax", 1, [](const Session& s) { return s.options.lvKodMainWinMax; }},
        {"KodEmailFormat", 4, [](const Session& s) { return s.options.KodEmailFormat == 4; }},
        {"lvKodPreset", 3, [](const Session& s) { return s.options.lvKodPreset == 3; }},
    };
    for (const auto& c : cases) {
        testing_support::TempDir folder;
        platform::Registry reg(platform::RegistryLocation::inFolder(folder.path()));
        reg.createKey(RegRoot::CurrentUser, kProductKey, RegAccess::Write)->setDword(c.name, c.stored);
        Session fresh;
        SettingsStore(reg).loadSettings(fresh);
        EXPECT_TRUE(c.check(fresh)) << c.name << " stored as " << c.stored;
    }
}

TEST_F(SettingsStoreTest, ValuesOfAnotherTypeOrSizeLeaveTheDefault) {
    put(RegValue::string("KodAntialias", "7"));
    put(RegValue{"ScaleCur", RegType::Dword, {std::byte{50}}});
    put(RegValue{"JPG_Quality", RegType::Binary, {std::byte{1}, std::byte{0}, std::byte{0}, std::byte{0}}});
    put(RegValue::dword("kodemailformat", 3));  // names compare without case
    store.loadSettings(session);
    EXPECT_EQ(session.RenderOptions.KodAntialias, 3);
    EXPECT_EQ(session.RenderOptions.ScaleCur, 100);
    EXPECT_EQ(session.formatOptions.JPG_Quality, 90);
    EXPECT_EQ(session.options.KodEmailFormat, 3);
}

TEST_F(SettingsStoreTest, CurrentResolutionFollowsCheckN) {
    session.ScreenDpi = 120;
    session.PrinterDpi = 600;
    session.resolution.userResolution = 123.4;
    struct Case {
        int checkN;
        bool demo;
        double expected;
    };
    const Case cases[] = {{0, false, 120}, {1, false, 600}, {2, false, 123.4}, {2, true, 80.0},
                          {0, true, 120},  {7, false, 100}, {-1, false, 100}};
    for (const auto& c : cases) {
        session.resolution.CheckN = c.checkN;
        session.DemoMode = c.demo;
        EXPECT_DOUBLE_EQ(currentResolution(session), c.expected)
            << "CheckN " << c.checkN << " demo " << c.demo;
    }
}

TEST_F(SettingsStoreTest, CheckNStoredAsSevenGivesOneHundred) {
    store.writeDword(RegRoot::CurrentUser, "CheckN", 7);
    store.loadSettings(session);
    EXPECT_DOUBLE_EQ(currentResolution(session), 100.0);
}

TEST_F(SettingsStoreTest, ReadDwordAnswersMinusOneForEverythingAbsent) {
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "ResCur"), -1) << "no key";
    ASSERT_TRUE(store.writeDword(RegRoot::CurrentUser, "ResCur", 1234));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "ResCur"), 1234);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "Missing"), -1);
    put(RegValue::string("Text", "5"));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "Text"), -1);
    store.writeDword(RegRoot::CurrentUser, "Stored", 0xFFFFFFFFu);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "Stored"), -1);
    EXPECT_EQ(store.readDword(RegRoot::LocalMachine, "ResCur"), -1) << "the other hive";
}

TEST_F(SettingsStoreTest, ReadStringAppliesTheBufferRules) {
    const std::string longest(259, 'a');
    struct Case {
        const char* label;
        RegValue value;
        std::optional<std::string> expected;
    };
    std::vector<std::byte> noNul = {std::byte{'a'}, std::byte{'b'}};
    std::vector<std::byte> innerNul = {std::byte{'a'}, std::byte{0}, std::byte{'b'}, std::byte{0}};
    const std::vector<Case> cases = {
        {"plain", RegValue::string("v", "Report.doc"), "Report.doc"},
        {"259 characters fit", RegValue::string("v", longest), longest},
        {"260 characters do not", RegValue::string("v", longest + "a"), std::nullopt},
        {"expand string", RegValue::string("v", "%TEMP%", RegType::ExpandSz), "%TEMP%"},
        {"no terminating NUL", RegValue{"v", RegType::Sz, noNul}, std::nullopt},
        {"text ends at the first NUL", RegValue{"v", RegType::Sz, innerNul}, "a"},
        {"dword", RegValue::dword("v", 1), std::nullopt},
        {"binary", RegValue{"v", RegType::Binary, {std::byte{'a'}, std::byte{0}}}, std::nullopt},
        {"multi string", RegValue{"v", RegType::MultiSz, {std::byte{'a'}, std::byte{0}}}, std::nullopt},
    };
    for (const auto& c : cases) {
        put(c.value);
        EXPECT_EQ(store.readString(RegRoot::CurrentUser, "v"), c.expected) << c.label;
    }
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "absent"), std::nullopt);
}

TEST_F(SettingsStoreTest, WriteStringStoresTextWithItsNul) {
    ASSERT_TRUE(store.writeString(RegRoot::LocalMachine, "InstallPath", "C:\\Program Files\\Quillo"));
    auto key = registry.openKey(RegRoot::LocalMachine, kProductKey, RegAccess::Read);
    ASSERT_TRUE(key);
    const auto value = key->queryValue("InstallPath");
    EXPECT_EQ(value->type, RegType::Sz);
    EXPECT_EQ(value->data.size(), 24u);
    EXPECT_EQ(value->data.back(), std::byte{0});
    EXPECT_EQ(store.readString(RegRoot::LocalMachine, "InstallPath"), "C:\\Program Files\\Quillo");
}

TEST_F(SettingsStoreTest, WriteUserKeyStringNeedsAnExistingKey) {
    EXPECT_FALSE(store.writeUserKeyString("Control Panel\\Desktop", "Wallpaper", "w.bmp"));
    EXPECT_FALSE(registry.openKey(RegRoot::CurrentUser, "Control Panel\\Desktop", RegAccess::Read))
        << "the key was not created";
    registry.createKey(RegRoot::CurrentUser, "Control Panel\\Desktop", RegAccess::Write);
    EXPECT_TRUE(store.writeUserKeyString("Control Panel\\Desktop", "Wallpaper", "w.bmp"));
    auto key = registry.openKey(RegRoot::CurrentUser, "control panel\\desktop", RegAccess::Read);
    EXPECT_EQ(key->queryValue("Wallpaper")->type, RegType::Sz);
}

TEST_F(SettingsStoreTest, LocalAppDataFolderReadsTheShellFolderValue) {
    EXPECT_EQ(store.localAppDataFolder(), std::nullopt);
    registry.createKey(RegRoot::CurrentUser, platform::kShellFoldersKey, RegAccess::Write)
        ->setString(platform::kLocalAppDataValue, "/home/u/.local/share");
    EXPECT_EQ(store.localAppDataFolder(), "/home/u/.local/share");
}

// A user hive this user cannot read: said once, never taken for a fresh
// profile, never rewritten.
TEST(SettingsStoreUnreadable, UnreadableUserHiveIsReportedOnceAndLeftAlone) {
    testing_support::TempDir dir;
    const uid_t user = ::geteuid() == 0 ? testing_support::kOtherUser : ::geteuid();
    const std::string content =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillo\\Scrivlet]\n\"ResCur\"=dword:000007d0\n";
    testing_support::writeFile(dir / "HKCU.reg", content);
    const std::filesystem::path reports = dir / "reports.txt";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.path().c_str(), user, user), 0);
        ASSERT_EQ(::chown((dir / "HKCU.reg").c_str(), user, user), 0);
    }
    std::filesystem::permissions(dir / "HKCU.reg", std::filesystem::perms::none);
    const auto outcome = testing_support::runInChild(
        [&] {
            platform::Registry registry(
                platform::RegistryLocation::inFolder(dir.path()),
                [&](const std::string& m) { std::ofstream(reports, std::ios::app) << m << "\n"; });
            SettingsStore store(registry);
            Session session;
            store.loadSettings(session);
            store.loadSettings(session);
            if (store.readString(RegRoot::CurrentUser, "SavePath") ||
                store.readDword(RegRoot::CurrentUser, "ResCur") != -1)
                return 1;
            return store.writeDword(RegRoot::CurrentUser, "ResCur", 960) ? 2 : 0;
        },
        user);
    ASSERT_TRUE(outcome.exited && outcome.code == 0) << outcome.code;
    std::vector<std::string> lines;
    std::ifstream in(reports);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty()) << "not said at all";
    EXPECT_EQ(lines[0], "cannot read " + (dir / "HKCU.reg").string() + ": Permission denied");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("cannot read"); }),
              1)
        << "said once";
    std::filesystem::permissions(dir / "HKCU.reg", std::filesystem::perms::owner_read);
    EXPECT_EQ(testing_support::readFile(dir / "HKCU.reg"), content) << "left as it was";
}

}  // namespace
}  // namespace app
