// Hostile spool files: records that claim more than the file holds or than a
// page may hold, damaged ends, more pages than the page list takes, and the
// memory that cutting a large page needs.
#include "app/spool_cutter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/page_acquisition.h"
#include "tests/support/child_process.h"
#include "tests/support/sanitizers.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runInChild;
using testing_support::TempDir;
using testing_support::writeFile;

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// The smallest enhanced metafile: a header record and an end record, with
// `filler` bytes of 8-byte records between them.
std::string emfHead(std::uint32_t total) {
    std::string h =
        le32(1) + le32(88) + std::string(32, '\0') + le32(0x464D4520) + le32(0x10000) + le32(total);
    h.resize(88, '\0');
    return h;
}
const std::string kEndRecord = le32(14) + le32(20) + std::string(12, '\0');
std::string tinyPage() {
    return emfHead(108) + kEndRecord;
}

const std::string kHeader = le32(0x10000) + le32(16) + le32(0) + le32(0);
std::string pageRecord(const std::string& page) {
    return le32(12) + le32(static_cast<std::uint32_t>(page.size())) + page;
}

// Peak resident memory of this process, in bytes.
long peakMemory() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

TEST(SpoolCutter, DamageIsReportedAndNeverTakenForAnEnd) {
    TempDir dir;
    const std::string good = pageRecord(tinyPage());
    struct Case {
        const char* label;
        std::string bytes;
        std::size_t pages;
        const char* problem;  // a part of the reason
    };
    const Case cases[] = {
        {"header runs past the end", le32(0x10000) + le32(400) + std::string(8, '\0'), 0,
         "header claims 400 bytes"},
        {"skipped record runs past the end", kHeader + good + le32(13) + le32(1000) + "abc", 1,
         "claims 1000 bytes"},
        {"page runs past the end", kHeader + good + le32(12) + le32(5000) + tinyPage(), 1,
         "but only 108 bytes"},
        {"cut inside a record head", kHeader + good + le32(12), 1, "ends inside the record"},
        {"page claims gigabytes", kHeader + good + le32(12) + le32(0xFFFFFFF0) + "xx", 1,
         "claims 4294967280"},
        {"clean end record", kHeader + good + le32(0) + le32(0), 1, ""},
        {"clean end of file", kHeader + good + good, 2, ""},
    };
    for (const auto& c : cases) {
        const fs::path work = dir / ("work" + std::to_string(&c - cases));
        writeFile(dir / "job.spl", c.bytes);
        const CutResult result = cutEmfPages(dir / "job.spl", 3, work);
        EXPECT_EQ(result.pages.size(), c.pages) << c.label;
        EXPECT_EQ(result.readToEnd, *c.problem == '\0') << c.label;
        if (*c.problem == '\0') {
            EXPECT_TRUE(result.problem.empty()) << c.label << ": " << result.problem;
        } else {
            EXPECT_NE(result.problem.find(c.problem), std::string::npos) << c.label << ": " << result.problem;
        }
        for (const auto& page : result.pages) EXPECT_EQ(readFile(page), tinyPage()) << c.label;
    }
}

TEST(SpoolCutter, SparsePageClaimingGigabytesEndsTheFileWithoutAllocating) {
    TempDir dir;
    const fs::path spool = dir / "sparse.spl";
    writeFile(spool, kHeader + le32(12) + le32(0xF0000000u) + emfHead(0xF0000000u));
    // The file really is that long (sparse), so the bytes are "there".
    fs::resize_file(spool, 0xF0000000ull + 64);
    const auto outcome = runInChild([&] {
#ifndef SCRIVLET_SANITIZED
        // Far below what the record claims: an allocation of its size fails.
        const rlimit limit{1ull << 31, 1ull << 31};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        const CutResult result = cutEmfPages(spool, 4, dir / "work");
        if (!result.pages.empty() || result.readToEnd)
            return 1;
        return result.problem.find("more than a page may hold") != std::string::npos ? 0 : 2;
    });
    EXPECT_TRUE(outcome.exited) << "ended by signal " << outcome.code;
    EXPECT_EQ(outcome.code, 0);
    EXPECT_FALSE(fs::exists(dir / "work" / pageFileName(4, 1)));
}

// A page of `bytes` bytes made of many small records, written in pieces so
// that the test itself never holds it.
void writeLargePageSpool(const fs::path& file, std::uint32_t bytes, bool nt) {
    std::ofstream out(file, std::ios::binary);
    if (nt)
        out << kHeader << le32(12) << le32(bytes);
    out << emfHead(bytes);
    std::string records;
    for (int i = 0; i < 8192; ++i) records += le32(33) + le32(8);  // SaveDC
    std::uint32_t left = bytes - 88 - 20;
    while (left > 0) {
        const auto n = std::min<std::size_t>(left, records.size());
        out.write(records.data(), static_cast<std::streamsize>(n));
        left -= static_cast<std::uint32_t>(n);
    }
    out << kEndRecord;
}

TEST(SpoolCutter, MemoryForAPageStaysSmallWhateverItsSize) {
    TempDir dir;
    constexpr std::uint32_t kPage = 48u << 20;
    constexpr long kAllowance = 16L << 20;
    struct Case {
        const char* label;
        bool nt;
    };
    for (const Case c : {Case{"NT page record", true}, Case{"95/98/Me spool file", false}}) {
        writeLargePageSpool(dir / "big.spl", kPage, c.nt);
        writeFile(dir / "temp" / "~EMF0000ABCD", tinyPage());
        if (!c.nt) {
            // The 95/98/Me spool file names its one page at its very end.
            std::ofstream(dir / "big.spl", std::ios::app) << "~EMF0000ABCD";
        }
        const auto outcome = runInChild([&] {
            const long before = peakMemory();
            const CutResult result = c.nt
                                         ? cutEmfPages(dir / "big.spl", 5, dir / "work")
                                         : copyTemporaryPages(dir / "big.spl", dir / "temp", 5, dir / "work");
            const long grown = peakMemory() - before;
            if (result.pages.size() != 1 || !result.readToEnd)
                return 1;
            return grown < kAllowance ? 0 : 2;
        });
        EXPECT_TRUE(outcome.exited && outcome.code == 0) << c.label << ": " << outcome.code;
        if (c.nt) {
            EXPECT_EQ(fs::file_size(dir / "work" / pageFileName(5, 1)), kPage) << c.label;
        } else {
            EXPECT_EQ(readFile(dir / "work" / pageFileName(5, 1)), tinyPage()) << c.label;
        }
        fs::remove_all(dir / "work");
    }
}

TEST(SpoolCutter, NoMorePagesThanThePageListHoldsAreCut) {
    TempDir dir;
    const int kOver = kMaxCutPages + 50;
    std::string nt = kHeader;
    std::string win9x = "x";
    for (int i = 0; i < kOver; ++i) {
        nt += pageRecord(tinyPage());
        char name[16];
        std::snprintf(name, sizeof name, "%08X", i);
        writeFile(dir / "temp" / (std::string("~EMF") + name), tinyPage());
        // Padding that moves the names across the reader's pieces.
        win9x += std::string(static_cast<std::size_t>(i % 7), '~') + "~EMF" + name;
    }
    writeFile(dir / "nt.spl", nt);
    writeFile(dir / "9x.spl", win9x);
    const CutResult results[] = {cutEmfPages(dir / "nt.spl", 6, dir / "nt"),
                                 copyTemporaryPages(dir / "9x.spl", dir / "temp", 6, dir / "9x")};
    for (const auto& result : results) {
        EXPECT_EQ(result.pages.size(), static_cast<std::size_t>(kMaxCutPages));
        EXPECT_FALSE(result.readToEnd);
        EXPECT_NE(result.problem.find("more than 2000 pages"), std::string::npos) << result.problem;
        ASSERT_FALSE(result.pages.empty());
        EXPECT_EQ(result.pages.back().filename(), pageFileName(6, kMaxCutPages));
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "nt")) ++files;
    EXPECT_EQ(files, static_cast<std::size_t>(kMaxCutPages)) << "no page file past the limit";
}

TEST(SpoolCutter, TemporaryPageNamesAcrossTheReadersPiecesAreAllFound) {
    TempDir dir;
    std::string spool = "x";
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%08d", i);
        names.push_back(std::string("~EMF") + name);
        writeFile(dir / "temp" / names.back(), "page " + std::to_string(i));
        // Every name straddles the next 2048-byte boundary by a different amount.
        const std::size_t boundary = (spool.size() / 2048 + 1) * 2048;
        spool.resize(boundary - static_cast<std::size_t>(i % 12) - 1, '.');
        spool += names.back();
    }
    spool += "~EMF/../../x ~EMF0000";  // a name that leaves the folder, one cut short
    writeFile(dir / "9x.spl", spool);
    const CutResult result = copyTemporaryPages(dir / "9x.spl", dir / "temp", 7, dir / "work");
    EXPECT_TRUE(result.readToEnd) << result.problem;
    ASSERT_EQ(result.pages.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(readFile(result.pages[i]), "page " + std::to_string(i)) << i;
}

TEST(SpoolCutter, TheFirstByteOfWindows9xDataNeverStartsAName) {
    TempDir dir;
    for (const char* name : {"~EMF00000001", "~EMF00000002"}) writeFile(dir / "temp" / name, name);
    struct Case {
        std::string spool;
        std::vector<std::string> pages;  // the contents of the page files, in order
    };
    const Case cases[] = {
        {"~EMF00000001", {}},                            // at byte 0: skipped
        {"x~EMF00000001", {"~EMF00000001"}},             // at byte 1: the first page
        {"~EMF00000001~EMF00000002", {"~EMF00000002"}},  // the first name cut by the skip
        {std::string("\0~EMF00000002~EMF00000001", 25), {"~EMF00000002", "~EMF00000001"}},
    };
    int job = 1;
    for (const auto& c : cases) {
        writeFile(dir / "9x.spl", c.spool);
        const CutResult result = copyTemporaryPages(dir / "9x.spl", dir / "temp", job, dir / "work");
        EXPECT_TRUE(result.readToEnd) << c.spool;
        ASSERT_EQ(result.pages.size(), c.pages.size()) << c.spool;
        for (std::size_t i = 0; i < c.pages.size(); ++i) {
            EXPECT_EQ(result.pages[i].filename(), pageFileName(static_cast<std::uint32_t>(job), int(i) + 1));
            EXPECT_EQ(readFile(result.pages[i]), c.pages[i]) << c.spool;
        }
        ++job;
    }
}

TEST(SpoolCutter, PageRecordsThatAreNoEnhancedMetafileAreCountedAndPassedOver) {
    TempDir dir;
    const std::string good = pageRecord(tinyPage());
    auto changed = [](std::size_t at, const std::string& bytes) {
        std::string page = tinyPage();
        page.replace(at, bytes.size(), bytes);
        return page;
    };
    struct Case {
        const char* label;
        std::string page;
        int rejected;
    };
    const Case cases[] = {
        {"another signature", changed(40, "XEMF"), 1},
        {"another first record", changed(0, le32(2)), 1},
        {"a header record shorter than a header", changed(4, le32(87)), 1},
        {"a header record longer than its page", changed(4, le32(109)), 1},
        {"a page shorter than a header", "abcdefghijklmnopqrst", 1},
        {"a header as long as its page", changed(4, le32(108)), 0},
        {"a header record of exactly 88 bytes alone", emfHead(88), 0},
    };
    for (const auto& c : cases) {
        const fs::path work = dir / ("work" + std::to_string(&c - cases));
        writeFile(dir / "job.spl", kHeader + good + pageRecord(c.page) + pageRecord(c.page) + good);
        const CutResult result = cutEmfPages(dir / "job.spl", 4, work);
        EXPECT_EQ(result.rejectedPages, 2 * c.rejected) << c.label;
        EXPECT_EQ(result.pages.size(), static_cast<std::size_t>(4 - 2 * c.rejected)) << c.label;
        EXPECT_TRUE(result.readToEnd) << c.label << ": " << result.problem;
        ASSERT_FALSE(result.pages.empty()) << c.label;
        EXPECT_EQ(readFile(result.pages.back()), tinyPage()) << c.label << ": the page after them";
    }
}

}  // namespace
}  // namespace app
