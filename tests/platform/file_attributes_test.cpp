// The Windows attribute bits of files, folders and links on this system.

#include "platform/file_attributes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(FileAttributes, EachKindOfEntryHasItsBits) {
    TempDir dir;
    writeFile(dir / "plain.txt", "x");
    writeFile(dir / ".hidden", "x");
    writeFile(dir / "locked.txt", "x");
    ::chmod((dir / "locked.txt").c_str(), 0444);
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / ".config");
    fs::create_symlink(dir / "folder", dir / "folder-link");
    fs::create_symlink(dir / "plain.txt", dir / "file-link");
    fs::create_symlink(dir / "absent", dir / "dangling");
    struct Case {
        fs::path path;
        std::uint32_t attributes;
    };
    const Case cases[] = {
        {dir / "plain.txt", FILE_ATTRIBUTE_NORMAL},
        {dir / ".hidden", FILE_ATTRIBUTE_HIDDEN},
        {dir / "locked.txt", FILE_ATTRIBUTE_READONLY},  // no write bit: read-only for root too
        {dir / "folder", FILE_ATTRIBUTE_DIRECTORY},
        {dir / "folder" / "", FILE_ATTRIBUTE_DIRECTORY},
        {dir / ".config", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {dir / ".config" / "", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {dir / "folder-link", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT},
        {dir / "file-link", FILE_ATTRIBUTE_REPARSE_POINT},
        {dir / "folder" / ".", FILE_ATTRIBUTE_DIRECTORY},
        {dir / "folder" / "..", FILE_ATTRIBUTE_DIRECTORY},
        {dir / "absent", INVALID_FILE_ATTRIBUTES},
        {fs::path(), INVALID_FILE_ATTRIBUTES},
    };
    for (const auto& c : cases) EXPECT_EQ(fileAttributes(c.path), c.attributes) << c.path;
    // A dangling link cannot be written through.
    EXPECT_EQ(fileAttributes(dir / "dangling"), FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY);
}

TEST(FileAttributes, AFolderSearchFindsItsDotEntry) {
    TempDir dir;
    fs::create_directory(dir / "empty");
    EXPECT_TRUE(folderSearchFindsAnything(dir / "empty"));
    EXPECT_FALSE(folderSearchFindsAnything(dir / "absent"));
    writeFile(dir / "file", "x");
    EXPECT_FALSE(folderSearchFindsAnything(dir / "file"));
}

}  // namespace
}  // namespace platform
