#include "output/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "output/unfinished_files.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::span<const std::byte> bytes(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

// Only the named files: no temporary file left beside them.
std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesAnExistingFileOnlyAtCommit) {
    TempDir dir;
    const fs::path target = dir / "page.png";
    writeFile(target, "old");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    const ino_t before = st.st_ino;
    auto out = AtomicFile::begin(target);
    ASSERT_TRUE(out) << out.error().message();
    ASSERT_FALSE(out->write(bytes("new ")));
    ASSERT_FALSE(out->write(bytes("contents")));
    EXPECT_EQ(out->written(), 12u);
    EXPECT_EQ(readFile(target), "old") << "the old file stays until the commit";
    EXPECT_EQ(listing(dir.path()).size(), 2u) << "the new file is written beside it";
    ASSERT_FALSE(out->commit());
    EXPECT_EQ(readFile(target), "new contents");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"page.png"});
    ::stat(target.c_str(), &st);
    EXPECT_NE(st.st_ino, before) << "replaced by a rename, not rewritten in place";
    EXPECT_NE(st.st_mode & 0044, 0u) << "readable as a file made with the usual mask";
    const auto again = out->commit();
    ASSERT_TRUE(again) << "a committed file is not committed twice";
    EXPECT_EQ(readFile(target), "new contents");
}

TEST(AtomicFile, AnUncommittedFileLeavesNothing) {
    TempDir dir;
    {
        auto out = AtomicFile::begin(dir / "page.png");
        ASSERT_TRUE(out);
        ASSERT_FALSE(out->write(bytes("half")));
        auto moved = std::move(*out);
        ASSERT_FALSE(moved.write(bytes(" and more")));
        EXPECT_EQ(moved.written(), 13u);
    }
    EXPECT_TRUE(listing(dir.path()).empty());
}

// What a signal handler removes: the temporary files being written, never a
// committed file, a discarded one's name reused, or an unrelated file.
TEST(AtomicFile, ASignalRemovesOnlyTheFilesBeingWritten) {
    TempDir dir;
    writeFile(dir / "kept.png", "an earlier page");
    auto committed = AtomicFile::begin(dir / "done.png");
    ASSERT_TRUE(committed);
    ASSERT_FALSE(committed->write(bytes("whole")));
    ASSERT_FALSE(committed->commit());
    auto first = AtomicFile::begin(dir / "kept.png");
    auto second = AtomicFile::begin(dir / "other.png");
    ASSERT_TRUE(first && second);
    ASSERT_FALSE(first->write(bytes("half")));
    EXPECT_EQ(listing(dir.path()).size(), 4u) << "two temporary files beside the two pages";

    removeUnfinishedFiles();
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"done.png", "kept.png"}));
    EXPECT_EQ(readFile(dir / "kept.png"), "an earlier page");
    EXPECT_EQ(readFile(dir / "done.png"), "whole");
}

TEST(UnfinishedFiles, SlotsRunOutAndComeBackAndLongNamesAreNotNoted) {
    TempDir dir;
    std::vector<int> slots;
    for (int i = 0;; ++i) {
        const std::string name = (dir / ("f" + std::to_string(i))).string();
        writeFile(name, "x");
        const int slot = noteUnfinished(name.c_str());
        if (slot < 0)
            break;
        slots.push_back(slot);
        ASSERT_LT(i, 1000) << "no end to the slots";
    }
    EXPECT_GE(slots.size(), 16u);
    // One slot given back takes the next name; the noted files are removed,
    // the forgotten one and the one no slot took are not.
    forgetUnfinished(slots.front());
    const std::string again = (dir / "again").string();
    writeFile(again, "x");
    EXPECT_EQ(noteUnfinished(again.c_str()), slots.front());
    EXPECT_EQ(noteUnfinished(std::string(5000, 'a').c_str()), -1);
    removeUnfinishedFiles();
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"f0", "f" + std::to_string(slots.size())}));
    for (const int slot : slots) forgetUnfinished(slot);
}

// A temporary file is noted before it is made, so that a signal arriving
// as it is made removes it too: a file that could not be made gives its note
// back, and after more failures than there are notes a new file is still
// noted (and removed by a signal).
TEST(AtomicFile, AFileThatCannotBeMadeKeepsNoNote) {
    TempDir dir;
    for (int i = 0; i < 200; ++i) EXPECT_FALSE(AtomicFile::begin(dir / "missing" / "page.png"));
    auto out = AtomicFile::begin(dir / "page.png");
    ASSERT_TRUE(out);
    EXPECT_EQ(listing(dir.path()).size(), 1u);
    removeUnfinishedFiles();
    EXPECT_TRUE(listing(dir.path()).empty()) << "the temporary file was not noted";
}

// A link, a dangling link and a folder at the final name: refused and left as
// they are, or (the default) replaced by the new file without writing
// through the link.
TEST(AtomicFile, LinksAndFoldersAreRefusedOrReplacedButNeverWrittenThrough) {
    struct Case {
        const char* name;
        AtLink links;
        const char* refusal;  // empty: replaced
    };
    const Case cases[] = {
        {"link.png", AtLink::Refuse, "symbolic link"},
        {"dangling.png", AtLink::Refuse, "symbolic link"},
        {"folder.png", AtLink::Refuse, "not a regular file"},
        {"link.png", AtLink::Replace, ""},
        {"dangling.png", AtLink::Replace, ""},
        {"new.png", AtLink::Refuse, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.links == AtLink::Refuse ? ", refused" : ", replaced"));
        TempDir dir;
        writeFile(dir / "victim.txt", "precious");
        fs::create_symlink(dir / "victim.txt", dir / "link.png");
        fs::create_symlink(dir / "nowhere", dir / "dangling.png");
        fs::create_directory(dir / "folder.png");
        const auto written = replaceFile(dir / c.name, bytes("image"), c.links);
        if (*c.refusal) {
            ASSERT_FALSE(written);
            EXPECT_NE(written.error().reason.find(c.refusal), std::string::npos) << written.error().reason;
            EXPECT_EQ(written.error().path, (dir / c.name).string());
            EXPECT_TRUE(replaceRefusal(dir / c.name));
            EXPECT_EQ(fs::symlink_status(dir / c.name).type(), c.name == std::string("folder.png")
                                                                   ? fs::file_type::directory
                                                                   : fs::file_type::symlink);
        } else {
            ASSERT_TRUE(written) << written.error().message();
            EXPECT_EQ(*written, 5u);
            EXPECT_EQ(fs::symlink_status(dir / c.name).type(), fs::file_type::regular);
            EXPECT_EQ(readFile(dir / c.name), "image");
        }
        EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
        EXPECT_FALSE(fs::exists(dir / "nowhere"));
        EXPECT_EQ(listing(dir.path()).size(), c.name == std::string("new.png") ? 5u : 4u)
            << "no temporary file left";
    }
}

TEST(AtomicFile, ALinkMadeBeforeTheCommitIsNotWrittenThrough) {
    TempDir dir;
    writeFile(dir / "victim.txt", "precious");
    auto out = AtomicFile::begin(dir / "page.png", AtLink::Refuse);
    ASSERT_TRUE(out);
    ASSERT_FALSE(out->write(bytes("image")));
    fs::create_symlink(dir / "victim.txt", dir / "page.png");
    const auto error = out->commit();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message().find("symbolic link"), std::string::npos) << error->message();
    EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir / "page.png"));
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"page.png", "victim.txt"}));
}

TEST(AtomicFile, AFolderThatCannotBeWrittenIsAnErrorWithThePathAndReason) {
    TempDir dir;
    writeFile(dir / "plain", "a file");
    struct Case {
        fs::path target;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "missing" / "page.png", "No such file or directory"},
        {dir / "plain" / "page.png", "Not a directory"},
        {dir / "", "no file name"},
    };
    for (const Case& c : cases) {
        const auto out = AtomicFile::begin(c.target);
        ASSERT_FALSE(out) << c.target;
        EXPECT_EQ(out.error().message(), "cannot write " + c.target.string() + ": " + c.reason);
    }
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"plain"});
}

}  // namespace
}  // namespace output
