// The user's own files opened as the document's pages: metafiles copied in
// order, spool files cut into their pages, everything else named and left
// out, the user's files untouched.
#include "app/opened_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/emf_spool_writer.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// A header and an end record; `mark` makes each page's bytes its own.
std::string page(char mark) {
    std::string h = le32(1) + le32(88) + std::string(32, mark) + le32(0x464D4520) + le32(0x10000) + le32(108);
    h.resize(88, '\0');
    return h + le32(14) + le32(20) + std::string(12, '\0');
}

std::vector<std::byte> bytes(const std::string& text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

std::string spool(const std::vector<std::string>& pages) {
    std::vector<std::vector<std::byte>> list;
    for (const auto& p : pages) list.push_back(bytes(p));
    const auto data = writeEmfSpool(u"doc", list);
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

TEST(OpenedFiles, PagesFollowTheFilesInOrderAndTheFilesStayAsTheyWere) {
    TempDir dir;
    const fs::path a = dir / "a.emf", job = dir / "job.SPL", b = dir / "b.EMF", text = dir / "notes.txt",
                   wrongEmf = dir / "c.emf", noPages = dir / "empty.spl";
    writeFile(a, page('a'));
    writeFile(job, spool({page('1'), page('2')}));
    writeFile(b, page('b'));
    writeFile(text, "not a metafile at all, but longer than forty-four bytes of text");
    writeFile(wrongEmf, "short");
    writeFile(noPages, "neither");
    const std::vector<fs::path> files = {a, text, job, dir / "missing.emf", wrongEmf, noPages, b};
    const fs::path work = dir / "work";
    const OpenedFiles opened = openFilesAsPages(files, work, 2000);

    struct Expected {
        const char* name;
        std::string bytes;
    };
    const std::vector<Expected> pages = {
        {"0001.emf", page('a')}, {"0002.emf", page('1')}, {"0003.emf", page('2')}, {"0004.emf", page('b')}};
    ASSERT_EQ(opened.pages.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(opened.pages[i], work / pages[i].name);
        EXPECT_EQ(readFile(opened.pages[i]), pages[i].bytes) << pages[i].name;
    }
    // Each file that gave no page is named once, in order.
    ASSERT_EQ(opened.problems.size(), 4u) << ::testing::PrintToString(opened.problems);
    EXPECT_EQ(opened.problems[0].rfind(text.string() + ": not an enhanced metafile", 0), 0u);
    EXPECT_EQ(opened.problems[1].rfind((dir / "missing.emf").string() + ": ", 0), 0u);
    EXPECT_EQ(opened.problems[2].rfind(wrongEmf.string() + ": not an enhanced metafile", 0), 0u);
    EXPECT_EQ(opened.problems[3].rfind(noPages.string() + ": no enhanced-metafile pages", 0), 0u);
    // Only read: the user's files are all still there, unchanged; nothing is
    // left beside the page files.
    EXPECT_EQ(readFile(a), page('a'));
    EXPECT_EQ(readFile(job), spool({page('1'), page('2')}));
    std::size_t inWork = 0;
    for (const auto& entry : fs::directory_iterator(work)) {
        ++inWork;
        EXPECT_EQ(entry.path().extension(), ".emf") << entry.path();
    }
    EXPECT_EQ(inWork, pages.size());
}

TEST(OpenedFiles, ThePageLimitHoldsAcrossFiles) {
    TempDir dir;
    writeFile(dir / "a.emf", page('a'));
    writeFile(dir / "job.spl", spool({page('1'), page('2'), page('3')}));
    writeFile(dir / "b.emf", page('b'));
    const OpenedFiles opened =
        openFilesAsPages({dir / "a.emf", dir / "job.spl", dir / "b.emf"}, dir / "work", 3);
    ASSERT_EQ(opened.pages.size(), 3u);
    EXPECT_EQ(readFile(opened.pages[2]), page('2'));
    ASSERT_EQ(opened.problems.size(), 2u) << ::testing::PrintToString(opened.problems);
    EXPECT_NE(opened.problems[0].find("job.spl"), std::string::npos) << "the spool file was cut short";
    EXPECT_NE(opened.problems[1].find("3 pages at most"), std::string::npos) << opened.problems[1];
}

TEST(OpenedFiles, AWorkFolderThatCannotBeMadeIsNamed) {
    TempDir dir;
    writeFile(dir / "a.emf", page('a'));
    writeFile(dir / "blocked", "a file where the folder should be");
    const OpenedFiles opened = openFilesAsPages({dir / "a.emf"}, dir / "blocked" / "work", 10);
    EXPECT_TRUE(opened.pages.empty());
    ASSERT_EQ(opened.problems.size(), 1u);
    EXPECT_EQ(opened.problems[0].rfind((dir / "blocked" / "work").string() + ": ", 0), 0u);
}

}  // namespace
}  // namespace app
