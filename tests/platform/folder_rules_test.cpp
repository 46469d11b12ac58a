// Where the stand-in folders lie for each environment, the texts of refused
// temporary folders, and Windows paths at the edges of the drive rule.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "platform/folders.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Sets the folder variables for one test and puts the old values back.
class FolderEnvironment : public ::testing::Test {
protected:
    static constexpr const char* kNames[] = {"SCRIVLET_HOME",   "HOME",           "XDG_DATA_HOME",
                                             "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"};
    std::map<std::string, std::optional<std::string>> saved;
    TempDir dir;

    void SetUp() override {
        for (const char* name : kNames) {
            const char* v = std::getenv(name);
            saved[name] = v ? std::optional<std::string>(v) : std::nullopt;
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    static void set(const char* name, const fs::path& value) { ::setenv(name, value.c_str(), 1); }
};

TEST_F(FolderEnvironment, ScrivletHomeHoldsEveryFolder) {
    set("SCRIVLET_HOME", dir / "home");
    set("XDG_DATA_HOME", dir / "data");
    const auto f = PlatformFolders::fromEnvironment();
    EXPECT_EQ(f.windowsFolder().value(), dir / "home" / "windows");
    EXPECT_EQ(f.driveC(), dir / "home" / "drive_c");
    EXPECT_EQ(f.systemTempFolder().value(), dir / "home" / "temp");
    EXPECT_EQ(f.defaultLocalAppData(), dir / "home" / "local_appdata");
    EXPECT_EQ(f.applicationData(), dir / "home" / "appdata");
}

TEST_F(FolderEnvironment, XdgFoldersAreUsedWhenAbsolute) {
    fs::create_directories(dir / "run");
    set("HOME", dir / "user");
    set("XDG_DATA_HOME", dir / "data");
    set("XDG_RUNTIME_DIR", dir / "run");
    set("XDG_CONFIG_HOME", dir / "config");
    set("SCRIVLET_HOME", "relative/home");  // not absolute: ignored
    const auto f = PlatformFolders::fromEnvironment();
    EXPECT_EQ(f.driveC(), dir / "data" / "scrivlet" / "drive_c");
    EXPECT_EQ(f.windowsFolder().value(), dir / "data" / "scrivlet" / "windows");
    EXPECT_EQ(f.systemTempFolder().value(), dir / "run" / "scrivlet");
    EXPECT_EQ(f.defaultLocalAppData(), dir / "data");
    EXPECT_EQ(f.applicationData(), dir / "config");
}

TEST_F(FolderEnvironment, HomeFoldersStandInForMissingOrRelativeXdgFolders) {
    set("HOME", dir / "user");
    set("XDG_DATA_HOME", "data");            // relative: ignored
    set("XDG_RUNTIME_DIR", dir / "absent");  // not a folder: the cache is used
    set("XDG_CONFIG_HOME", "config");
    auto f = PlatformFolders::fromEnvironment();
    EXPECT_EQ(f.driveC(), dir / "user" / ".local" / "share" / "scrivlet" / "drive_c");
    EXPECT_EQ(f.defaultLocalAppData(), dir / "user" / ".local" / "share");
    EXPECT_EQ(f.systemTempFolder().value(), dir / "user" / ".cache" / "scrivlet" / "temp");
    EXPECT_EQ(f.applicationData(), dir / "user" / ".config");

    set("XDG_CACHE_HOME", dir / "cache");
    f = PlatformFolders::fromEnvironment();
    EXPECT_EQ(f.systemTempFolder().value(), dir / "cache" / "scrivlet" / "temp");
}

TEST_F(FolderEnvironment, NoHomeMeansTheRootFolder) {
    set("HOME", "nowhere");  // not absolute
    const auto f = PlatformFolders::fromEnvironment();
    EXPECT_EQ(f.defaultLocalAppData(), fs::path("/") / ".local" / "share");
    EXPECT_EQ(f.applicationData(), fs::path("/") / ".config");
}

TEST(FolderRules, RefusedTemporaryFoldersSayWhy) {
    TempDir dir;
    TempDir elsewhere;
    fs::create_directory_symlink(elsewhere.path(), dir / "link");
    testing_support::writeFile(dir / "file", "x");
    struct Case {
        fs::path folder;
        std::string message;
    };
    const Case cases[] = {
        {dir / "link",
         "The temporary folder " + (dir / "link").string() + " is a symbolic link or not a folder."},
        {dir / "file",
         "The temporary folder " + (dir / "file").string() + " is a symbolic link or not a folder."},
    };
    for (const auto& c : cases) {
        auto refused = ensurePrivateFolder(c.folder);
        ASSERT_FALSE(refused) << c.folder;
        EXPECT_EQ(refused.error().message, c.message);
    }
    if (::geteuid() != 0) {
        fs::create_directories(dir / "locked");
        ::chmod((dir / "locked").c_str(), 0500);
        auto refused = ensurePrivateFolder(dir / "locked" / "temp");
        ::chmod((dir / "locked").c_str(), 0700);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().message, "The temporary folder " + (dir / "locked" / "temp").string() +
                                               " cannot be created: Permission denied.");
    }
    auto made = ensurePrivateFolder(dir / "a" / "b" / "temp");
    ASSERT_TRUE(made) << made.error().message;
    EXPECT_EQ(*made, dir / "a" / "b" / "temp");
}

TEST(FolderRules, WindowsFolderIsCreatedOrRefusedWithItsName) {
    TempDir dir;
    const auto folders = PlatformFolders::under(dir.path());
    EXPECT_EQ(folders.windowsFolder().value(), dir / "windows");
    EXPECT_TRUE(fs::is_directory(dir / "windows"));
    EXPECT_EQ(folders.workFolder().value(), dir / "temp" / "Scrivlet");
    EXPECT_FALSE(fs::exists(dir / "temp" / "Scrivlet")) << "the work folder is not created";

    TempDir blocked;
    testing_support::writeFile(blocked / "windows", "x");
    testing_support::writeFile(blocked / "temp", "x");
    const auto refused = PlatformFolders::under(blocked.path());
    ASSERT_FALSE(refused.windowsFolder());
    EXPECT_EQ(refused.windowsFolder().error().message,
              "The Windows folder " + (blocked / "windows").string() + " cannot be created.");
    ASSERT_FALSE(refused.workFolder());
    EXPECT_NE(refused.workFolder().error().message.find("not a folder"), std::string::npos);
}

TEST(FolderRules, OnlyLettersBeforeAColonAreDrives) {
    const PlatformFolders folders({"/w", "/x/drive_c", "/t", "/l", "/a"});
    struct Case {
        const char* windows;
        const char* native;
    };
    const Case cases[] = {
        {"a:\\f", "/x/drive_a/f"},
        {"z:\\f", "/x/drive_z/f"},
        {"A:\\f", "/x/drive_a/f"},
        {"Z:\\f", "/x/drive_z/f"},
        {"@:\\f", "@:\\f"},
        {"[:\\f", "[:\\f"},
        {"`:\\f", "`:\\f"},
        {"{:\\f", "{:\\f"},
        {"c", "c"},
        {"c:", "/x/drive_c"},
        {"c:\\.\\a\\", "/x/drive_c/a"},
        {"cd\\f", "cd\\f"},
    };
    for (const auto& c : cases) EXPECT_EQ(folders.nativePath(c.windows), fs::path(c.native)) << c.windows;
    EXPECT_EQ(joinPath("C:\\Temp", "page.emf"), "C:\\Temp/page.emf");
    EXPECT_EQ(joinPath("", "x"), "/x");
}

}  // namespace
}  // namespace platform
