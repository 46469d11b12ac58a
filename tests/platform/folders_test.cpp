#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(Folders, TemporaryFolderIsCreatedPrivate) {
    TempDir dir;
    const auto folders = PlatformFolders::under(dir.path());
    auto temp = folders.systemTempFolder();
    ASSERT_TRUE(temp) << temp.error().message;
    EXPECT_EQ(modeOf(*temp), 0700u);
    EXPECT_EQ(folders.workFolder().value(), *temp / "Scrivlet");

    fs::permissions(*temp, fs::perms::all);  // loosened by someone: tightened again
    ASSERT_TRUE(folders.systemTempFolder());
    EXPECT_EQ(modeOf(*temp), 0700u);
}

TEST(Folders, TemporaryFolderRefusesLinksFilesAndForeignOwners) {
    TempDir dir;
    TempDir elsewhere;
    fs::create_directory_symlink(elsewhere.path(), dir / "link");
    testing_support::writeFile(dir / "file", "x");
    EXPECT_FALSE(ensurePrivateFolder(dir / "link"));
    EXPECT_FALSE(ensurePrivateFolder(dir / "file"));
    if (::geteuid() == 0) {
        fs::create_directory(dir / "foreign");
        ASSERT_EQ(::chown((dir / "foreign").c_str(), 65534, 65534), 0);
        auto refused = ensurePrivateFolder(dir / "foreign");
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().message.find("another user"), std::string::npos);
    }
}

TEST(Folders, WindowsPathsMapOntoTheDriveFolders) {
    const PlatformFolders folders({"/w", "/x/drive_c", "/t", "/l", "/a"});
    struct Case {
        const char* windows;
        const char* native;
    };
    const Case cases[] = {
        {"c:\\lvSLMacro.ini", "/x/drive_c/lvSLMacro.ini"},
        {"C:/Docs\\a.txt", "/x/drive_c/Docs/a.txt"},
        {"c:\\..\\..\\etc\\passwd", "/x/drive_c/etc/passwd"},
        {"D:\\data", "/x/drive_d/data"},
        {"/home/u/file", "/home/u/file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(folders.nativePath(c.windows), fs::path(c.native)) << c.windows;
    }
}

TEST(Folders, LocalAppDataIsWrittenOnFirstUseOnly) {
    TempDir dir;
    Registry registry(RegistryLocation::inFolder(dir / "reg"));
    const auto folders = PlatformFolders::under(dir.path());
    ensureLocalAppDataValue(registry, folders);
    auto key = registry.openKey(RegRoot::CurrentUser, kShellFoldersKey, RegAccess::All);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->queryValue(kLocalAppDataValue)->data.size(),
              folders.defaultLocalAppData().string().size() + 1);
    EXPECT_TRUE(fs::is_directory(folders.defaultLocalAppData()));

    key->setString(kLocalAppDataValue, "C:\\Mine");
    ensureLocalAppDataValue(registry, folders);
    EXPECT_EQ(key->queryValue(kLocalAppDataValue)->data.size(), 8u) << "a present value is kept";
}

}  // namespace
}  // namespace platform
