#include "cli/atomic_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::span<const unsigned char> bytes(const std::string& text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// Only the named files: no temporary file left beside them.
std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicOutput, ReplacesAnExistingFileOnlyAtCommit) {
    TempDir dir;
    const fs::path target = dir / "page.png";
    writeFile(target, "old");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    const ino_t before = st.st_ino;
    auto out = AtomicOutput::begin(target);
    ASSERT_TRUE(out) << out.error();
    ASSERT_FALSE(out->write(bytes("new contents")));
    EXPECT_EQ(readFile(target), "old") << "the old file stays until the commit";
    EXPECT_EQ(listing(dir.path()).size(), 2u) << "the new file is written beside it";
    ASSERT_FALSE(out->commit());
    EXPECT_EQ(readFile(target), "new contents");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"page.png"});
    ::stat(target.c_str(), &st);
    EXPECT_NE(st.st_ino, before) << "replaced by a rename, not rewritten in place";
    EXPECT_NE(st.st_mode & 0044, 0u) << "readable as a file made with the usual mask";
}

TEST(AtomicOutput, AnUncommittedFileLeavesNothing) {
    TempDir dir;
    {
        auto out = AtomicOutput::begin(dir / "page.png");
        ASSERT_TRUE(out);
        ASSERT_FALSE(out->write(bytes("half")));
    }
    EXPECT_TRUE(listing(dir.path()).empty());
}

TEST(AtomicOutput, RefusesLinksAndFoldersAndLeavesTheirTargets) {
    TempDir dir;
    writeFile(dir / "victim.txt", "precious");
    fs::create_symlink(dir / "victim.txt", dir / "link.png");
    fs::create_symlink(dir / "nowhere", dir / "dangling.png");
    fs::create_directory(dir / "folder.png");
    for (const char* name : {"link.png", "dangling.png", "folder.png"}) {
        const auto out = AtomicOutput::begin(dir / name);
        ASSERT_FALSE(out) << name;
        EXPECT_FALSE(replaceRefusal(dir / name)->empty()) << name;
    }
    EXPECT_NE(replaceRefusal(dir / "link.png")->find("symbolic link"), std::string::npos);
    EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_FALSE(replaceRefusal(dir / "new.png")) << "a new name may be written";
}

TEST(AtomicOutput, ALinkMadeBeforeTheCommitIsNotWrittenThrough) {
    TempDir dir;
    writeFile(dir / "victim.txt", "precious");
    auto out = AtomicOutput::begin(dir / "page.png");
    ASSERT_TRUE(out);
    ASSERT_FALSE(out->write(bytes("image")));
    fs::create_symlink(dir / "victim.txt", dir / "page.png");
    const auto error = out->commit();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("symbolic link"), std::string::npos) << *error;
    EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir / "page.png"));
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"page.png", "victim.txt"}));
}

TEST(AtomicOutput, AFolderThatCannotBeWrittenIsAnError) {
    TempDir dir;
    const auto out = AtomicOutput::begin(dir / "missing" / "page.png");
    ASSERT_FALSE(out);
    EXPECT_NE(out.error().find("cannot write in"), std::string::npos) << out.error();
}

}  // namespace
}  // namespace cli
