#include "tools/remover/removal_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/tool_fixture.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> productValue(const platform::Registry& registry, std::string_view name) {
    return readText(registry, platform::RegRoot::LocalMachine, "Software\\Quillo\\Scrivlet", name);
}

TEST_F(ToolFixture, RemovalAfterOneInstallation) {
    officeVersion("10.0");
    wordFolderExists();
    const InstallState installed = install();
    ASSERT_TRUE(appendInstallLog(installed, registry, folders, fixedTime()));
    testing_support::writeFile(fs::path(startup()) / "~$crivlet2.dot", "owner");
    auto key = registry.openKey(platform::RegRoot::LocalMachine, kProductKey, platform::RegAccess::Write);
    key->setString("SavePath", "/saved");
    key->setString("Version", "2.0.0");

    const RemovalState state = remove();
    EXPECT_EQ(state.lvrPathExe, installDir());
    ASSERT_EQ(state.folders.size(), 1u);
    const RemovedFolder& folder = state.folders[0];
    EXPECT_EQ(folder.lvPathMacro, startup());
    EXPECT_EQ(folder.lResultDelVal, "True");
    // Template and owner file go at the first try; the second and third fail.
    EXPECT_EQ(folder.fileResults, (std::array<long, 6>{1, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(fs::exists(fs::path(startup()) / "sScrivlet2.dot"));
    EXPECT_EQ(state.lResDelInstallPath, 0);
    EXPECT_EQ(state.lResDelSavePath, 0);
    EXPECT_EQ(state.lResDelVersion, 0);
    EXPECT_EQ(state.lResDelDotsweep[0], 1) << "Dotlift.log deleted";
    EXPECT_EQ(state.lResDelDotsweep[1], 0) << "there was no Dotsweep.log";
    EXPECT_FALSE(productValue(registry, "UserPath1"));
    EXPECT_FALSE(productValue(registry, "InstallPath"));
    EXPECT_TRUE(fs::exists(fs::path(installDir()) / "sScrivlet2.dot"))
        << "the installation folder's copy stays";
}

TEST_F(ToolFixture, RemovalWithoutRecordedFoldersDeletesOnlyTheProductTraces) {
    testing_support::writeFile(fs::path(installDir()) / "Dotsweep.log", "x");
    const RemovalState state = remove();
    EXPECT_TRUE(state.folders.empty());
    EXPECT_EQ(state.lResDelInstallPath, 0);
    EXPECT_EQ(state.lResDelSavePath, 2) << "absent: ERROR_FILE_NOT_FOUND";
    EXPECT_EQ(state.lResDelVersion, 2);
    EXPECT_EQ(state.lResDelDotsweep[0], 0);
    EXPECT_EQ(state.lResDelDotsweep[1], 1);
}

TEST_F(ToolFixture, WalkStopsAtTheFirstMissingValue) {
    setUserPath(1, (dir / "a").string());
    setUserPath(3, (dir / "c").string());
    const RemovalState state = remove();
    ASSERT_EQ(state.folders.size(), 1u);
    EXPECT_TRUE(productValue(registry, "UserPath3")) << "beyond the gap, left alone";
}

TEST_F(ToolFixture, WithoutTheProductKeyDeletionsReportTen) {
    registry.deleteKeyTree(platform::RegRoot::LocalMachine, "Software\\Quillo");
    const RemovalState state = remove();
    EXPECT_FALSE(state.lvrPathExe);
    EXPECT_EQ(state.lResDelInstallPath, 10);
    EXPECT_EQ(state.lResDelSavePath, 10);
    EXPECT_EQ(state.lResDelVersion, 10);
    EXPECT_EQ(state.lResDelDotsweep[0], 0) << "\"(null)\" folder: nothing deleted";
}

TEST_F(ToolFixture, RemovalDebugListingLinesPerFolder) {
    setUserPath(1, (dir / "a").string());
    setUserPath(2, (dir / "b").string());
    const auto items = removalDebugListing(remove(), 17);
    std::vector<std::string> texts;
    for (const auto& item : items) {
        if (item.kind == PaintItem::Kind::Text)
            texts.push_back(item.text);
    }
    ASSERT_EQ(texts.size(), 3u + 2u * 8u + 5u);
    EXPECT_EQ(texts[2], "Exist Path's :");
    EXPECT_EQ(texts[3], "lvPathMacro[numUser] = " + (dir / "a").string() + ";");
    EXPECT_EQ(texts[4], "lResultDelVal[numUser] = True;");
    EXPECT_EQ(texts[5], "lResultDelFile97[numUser]  = 0;");
    EXPECT_EQ(texts.back(), "lResDelDotsweep[1]  = 0;");
}

TEST(ToolMode, CommandWordsIgnoreCaseAndNeedTheWholeText) {
    struct Case {
        const char* text;
        const char* quiet;
        ToolMode mode;
    };
    const Case cases[] = {
        {"debug", "pause", ToolMode::Debug},      {"DEBUG", "pause", ToolMode::Debug},
        {"Pause", "pause", ToolMode::Quiet},      {"MaxPause", "maxpause", ToolMode::Quiet},
        {"pause", "maxpause", ToolMode::Banner},  {"", "pause", ToolMode::Banner},
        {"debug now", "pause", ToolMode::Banner},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseToolMode(c.text, c.quiet), c.mode) << c.text;
    }
}

TEST(ToolMode, WindowPlacementByMode) {
    // w = 10, h = 17 on a 1280 x 1024 screen.
    EXPECT_EQ(placeWindow(ToolMode::Debug, 10, 17, 1280, 1024, 31), (WindowPlacement{90, 282, 1100, 527}));
    EXPECT_EQ(placeWindow(ToolMode::Debug, 10, 17, 1280, 1024, 35), (WindowPlacement{90, 282, 1100, 595}));
    EXPECT_EQ(placeWindow(ToolMode::Quiet, 10, 17, 1280, 1024, 31), (WindowPlacement{390, 401, 500, 221}));
    EXPECT_EQ(placeWindow(ToolMode::Banner, 10, 17, 1280, 1024, 31), (WindowPlacement{390, 418, 500, 187}));
    // Halves truncate.
    EXPECT_EQ(placeWindow(ToolMode::Banner, 9, 17, 1281, 1025, 31).left, (1281 - 450) / 2);
}

TEST(ToolMode, BannerLinesAndSpacing) {
    const auto quiet = bannerItems("Dotlift\u2122 v2.0.0", "Install information in <Dotlift.log>.", true, 17);
    ASSERT_EQ(quiet.size(), 5u);
    EXPECT_EQ(quiet[0].text, "Install information in <Dotlift.log>.");
    EXPECT_EQ(quiet[1].y, 30 + 34);
    EXPECT_EQ(quiet[1].colour, kRed);
    EXPECT_EQ(quiet[2].y, 30 + 68);
    EXPECT_EQ(quiet[2].colour, kBlue);
    EXPECT_EQ(quiet[3].y, 30 + 85);
    EXPECT_EQ(quiet[4].y, 30 + 119);
    const auto banner = bannerItems("Dotsweep\u2122 v2.0.0", "", false, 17);
    ASSERT_EQ(banner.size(), 4u);
    EXPECT_EQ(banner[0].y, 30);
    for (const auto& item : quiet) EXPECT_EQ(item.x, 20) << item.text;
    for (const auto& item : banner) EXPECT_EQ(item.x, 20) << item.text;
}

// The template is deleted first, then Word's owner file, three times over.
TEST_F(ToolFixture, RemovalDeletesTheTemplateBeforeTheOwnerFile) {
    officeVersion("10.0");
    wordFolderExists();
    install();
    const RemovalState state = remove();
    ASSERT_EQ(state.folders.size(), 1u);
    EXPECT_EQ(state.folders[0].fileResults, (std::array<long, 6>{1, 0, 0, 0, 0, 0})) << "no owner file";
}

}  // namespace
}  // namespace tools
