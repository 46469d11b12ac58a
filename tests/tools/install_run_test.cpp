#include "tools/installer/install_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/tool_fixture.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;

TEST_F(ToolFixture, WordXpWithoutStartupPathUsesTheApplicationDataFolder) {
    officeVersion("10.0");
    wordFolderExists();
    const InstallState state = install();
    EXPECT_EQ(state.wordVersion, 10);
    EXPECT_EQ(state.wordVersionText, "10.0");
    EXPECT_EQ(state.sKey, "Software\\Microsoft\\Office\\10.0\\Word\\Options");
    EXPECT_EQ(state.lResult, "False");
    EXPECT_EQ(state.lSpecialFolderTxt, appData());
    EXPECT_EQ(state.sPath, startup());
    EXPECT_EQ(userPath(1), startup()) << "the first free slot receives the folder";
    EXPECT_EQ(state.lResultSave, "True");
    EXPECT_EQ(state.lResultCrDir, 1);
    EXPECT_EQ(state.lResultSaveFile, 1);
    EXPECT_EQ(readFile(fs::path(startup()) / "sScrivlet2.dot"), kTemplate);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ToolFixture, InstallingTwiceRewritesTheSameFolder) {
    officeVersion("10.0");
    wordFolderExists();
    install();
    testing_support::writeFile(fs::path(startup()) / "sScrivlet2.dot", "old copy");
    const InstallState second = install();
    EXPECT_EQ(second.lResultSave, "True(ReWrite)");
    EXPECT_EQ(second.lResultCrDir, 0) << "the folder exists already";
    EXPECT_EQ(second.lResultSaveFile, 1);
    EXPECT_EQ(readFile(fs::path(startup()) / "sScrivlet2.dot"), kTemplate) << "replaced";
    EXPECT_EQ(second.lvPathMacro, std::vector<std::string>{startup()});
    EXPECT_FALSE(userPath(2)) << "no second slot used";
}

TEST_F(ToolFixture, OnlyOffice11IsNotSupportedButInstallationGoesOn) {
    officeVersion("11.0");
    officeVersion("10.0");  // present too, but 11.0 decides
    wordFolderExists();
    const InstallState state = install();
    EXPECT_EQ(state.wordVersion, 99);
    EXPECT_EQ(state.wordVersionText, "99");
    EXPECT_EQ(state.sKey, "Software\\Microsoft\\Office\\99\\Word\\Options");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].substr(0, 68),
              "Microsoft Office is not installed or it's version is not supported.\n");
    EXPECT_EQ(state.sPath, startup());
    EXPECT_EQ(state.lResultSaveFile, 1);
}

TEST_F(ToolFixture, NoOfficeAtAllCountsAsNotSupported) {
    const InstallState state = install();
    EXPECT_EQ(state.wordVersion, 99);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(ToolFixture, AllFortyOneSlotsTakenCopiesNothing) {
    officeVersion("10.0");
    wordFolderExists();
    for (int n = 1; n <= 41; ++n) {
        setUserPath(n, "/elsewhere/" + std::to_string(n));
    }
    const InstallState state = install();
    EXPECT_FALSE(state.lResultSave);
    EXPECT_EQ(state.lvPathMacro.size(), 41u);
    EXPECT_EQ(state.lResultSaveFile, 0);
    EXPECT_FALSE(fs::exists(fs::path(startup()) / "sScrivlet2.dot"));
}

TEST_F(ToolFixture, TheFirstFreeSlotAfterOthersIsUsed) {
    officeVersion("10.0");
    wordFolderExists();
    setUserPath(1, "/first");
    setUserPath(2, "/second");
    const InstallState state = install();
    EXPECT_EQ(userPath(3), startup());
    EXPECT_EQ(state.lvPathMacro, (std::vector<std::string>{"/first", "/second"}));
}

TEST_F(ToolFixture, FailedUserPathWriteCopiesNothing) {
    officeVersion("10.0");
    wordFolderExists();
    setUserPath(1, "/first");
    // The machine hive can be read but not written.
    fs::permissions(dir / "registry" / "HKLM.reg", fs::perms::owner_read | fs::perms::group_read);
    const InstallState state = install();
    EXPECT_EQ(state.lResultSave, "False");
    EXPECT_EQ(state.lvPathMacro, (std::vector<std::string>{"/first"}));
    EXPECT_EQ(state.lResultCrDir, 0);
    EXPECT_EQ(state.lResultSaveFile, 0);
    EXPECT_FALSE(fs::exists(fs::path(startup()) / "sScrivlet2.dot"));
    EXPECT_FALSE(userPath(2));
}

TEST_F(ToolFixture, MissingInstallPathWalksNothingAndCopiesNothing) {
    removeInstallPath();
    officeVersion("10.0");
    wordFolderExists();
    const InstallState state = install();
    EXPECT_FALSE(state.lvrPathExe);
    EXPECT_FALSE(state.lResultSave);
    EXPECT_FALSE(userPath(1));
    EXPECT_EQ(state.lResultSaveFile, 0);
    const std::string record = installLogRecord(state, fixedTime());
    EXPECT_NE(record.find("lvrPathExe = (null)\n"), std::string::npos);
    EXPECT_NE(record.find("lResultSave   = (null)\n"), std::string::npos);
}

TEST_F(ToolFixture, Word97WithoutStartupPathGetsOneBesideOffice) {
    officeVersion("8.0");
    const InstallState state = install();
    EXPECT_EQ(state.lSetStartup, 1);
    EXPECT_EQ(state.lResultCreateStartUp, 1);
    EXPECT_EQ(state.lResult, "True");
    // The installation folder without its last 11 characters.
    const std::string base = installDir().substr(0, installDir().size() - 11);
    EXPECT_EQ(state.sPath, base + "/Microsoft Office/Office/STARTUP");
    EXPECT_EQ(readUser("Software\\Microsoft\\Office\\8.0\\Word\\Options", "STARTUP-PATH"), state.sPath);
}

TEST_F(ToolFixture, Word2000TakesItsStartupSubfolderName) {
    officeVersion("9.0");
    const InstallState withDefault = install();
    EXPECT_EQ(withDefault.sPath, appData() + "/Microsoft/Word/STARTUP");
    setUser("Software\\Microsoft\\Office\\9.0\\Common\\General", "Startup", "AutoStart");
    const InstallState named = install();
    EXPECT_EQ(named.sPath, appData() + "/Microsoft/Word/AutoStart");
}

TEST_F(ToolFixture, ConfiguredStartupPathIsUsedAsItIs) {
    officeVersion("10.0");
    const std::string configured = (dir / "WordStartup").string();
    setUser("Software\\Microsoft\\Office\\10.0\\Word\\Options", "STARTUP-PATH", configured);
    const InstallState state = install();
    EXPECT_EQ(state.lResult, "True");
    EXPECT_FALSE(state.lSpecialFolderTxt);
    EXPECT_EQ(state.sPath, configured);
    EXPECT_EQ(state.lResultCrDir, 1);
    EXPECT_TRUE(fs::exists(fs::path(configured) / "sScrivlet2.dot"));
}

TEST_F(ToolFixture, LogRecordMatchesTheExpectedFileByteForByte) {
    officeVersion("10.0");
    wordFolderExists();
    setUserPath(1, "/first");
    const InstallState state = install();
    ASSERT_TRUE(appendInstallLog(state, registry, folders, fixedTime()));
    ASSERT_TRUE(appendInstallLog(state, registry, folders, fixedTime()));
    std::string expected = readFile(fs::path(SCRIVLET_SOURCE_DIR) / "tests/tools/data/dotlift_expected.log");
    ASSERT_FALSE(expected.empty());
    expected = replaceAll(expected, "@ROOT@", dir.path().string());
    EXPECT_EQ(readFile(fs::path(installDir()) / "Dotlift.log"), expected + expected)
        << "one record per run, CR LF line ends";
}

TEST_F(ToolFixture, LogGoesToTheUserDataFolderWhenTheInstallationFolderCannotTakeIt) {
    officeVersion("10.0");
    wordFolderExists();
    const InstallState state = install();
    // An installation folder that cannot hold a file, even for root: a file
    // stands where its folder should be.
    testing_support::writeFile(dir / "blocked", "a file");
    InstallState blocked = state;
    blocked.lvrPathExe = (dir / "blocked" / "inside").string();
    const std::string record = toTextMode(installLogRecord(blocked, fixedTime()));
    struct Case {
        const char* label;
        std::optional<std::string> localAppData;  // the registry's "Local AppData"
        fs::path expected;
    };
    const std::vector<Case> cases = {
        {"default folder", std::nullopt, folders.defaultLocalAppData() / "Scrivlet" / "Dotlift.log"},
        {"registry's folder", (dir / "mine").string(), dir / "mine" / "Scrivlet" / "Dotlift.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.localAppData)
            setUser(std::string(platform::kShellFoldersKey), std::string(platform::kLocalAppDataValue),
                    *c.localAppData);
        const auto written = appendInstallLog(blocked, registry, folders, fixedTime());
        ASSERT_TRUE(written);
        EXPECT_EQ(*written, c.expected);
        EXPECT_EQ(readFile(c.expected), record);
        // The remover takes the user's copy away with the rest.
        remove();
        EXPECT_FALSE(fs::exists(c.expected));
    }
    // A writable installation folder still gets the record itself.
    const auto written = appendInstallLog(state, registry, folders, fixedTime());
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, fs::path(installDir()) / "Dotlift.log");
}

TEST_F(ToolFixture, DebugListingShowsTheStepsInOrderWithTheirColours) {
    officeVersion("10.0");
    wordFolderExists();
    const auto items = installDebugListing(install(), 17);
    std::vector<std::string> texts;
    for (const auto& item : items) {
        if (item.kind == PaintItem::Kind::Text)
            texts.push_back(item.text);
    }
    ASSERT_EQ(texts.size(), 18u);
    EXPECT_EQ(texts[0], "debug : YES;");
    EXPECT_EQ(texts[1], "Word version         = 10;");
    EXPECT_EQ(texts[6], "lSpecialFolderTxt = " + appData() + ";");
    EXPECT_EQ(texts[10], "Exist Path's :");
    EXPECT_EQ(texts.back(), "lResultCreateStartUp = False;");
    EXPECT_EQ(items.front().colour, kBlue);
    EXPECT_EQ(items.back().colour, kRed);
    EXPECT_EQ(items.back().y, 10 + 17 * 21) << "the 22nd line, blank lines included";
    int rules = 0;
    for (const auto& item : items) rules += item.kind == PaintItem::Kind::Rule;
    EXPECT_EQ(rules, 3);
}

}  // namespace
}  // namespace tools
