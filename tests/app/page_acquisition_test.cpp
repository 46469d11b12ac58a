#include "app/page_acquisition.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>

#include "app/emf_spool_writer.h"
#include "tests/app/capture_fixture.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::writeFile;

std::string asString(const std::vector<std::byte>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(PageFiles, NamesCarryTheJobAndAFourDigitPage) {
    EXPECT_EQ(pageFileName(12, 3), "120003.emf");
    EXPECT_EQ(pageFileName(7, 10), "70010.emf");
    EXPECT_EQ(pageFileName(7, 99), "70099.emf");
    EXPECT_EQ(pageFileName(7, 100), "70100.emf");
    EXPECT_EQ(pageFileName(7, 999), "70999.emf");
    EXPECT_EQ(pageFileName(7, 1000), "71000.emf");
    EXPECT_EQ(pageFileName(7, 12345), "712345.emf");
    EXPECT_EQ(spoolFileTimeValue(2003, 1, 1, 0, 0, 1), ((31u * 24) * 60) * 60 + 1);
}

TEST_F(CaptureFixture, CutsEveryPageRecordIntoItsPageFile) {
    const std::vector<std::vector<std::byte>> pages = {page(10), page(20), page(30)};
    writeFile(dir / "job.spl", asString(writeEmfSpool(u"Microsoft Word - Report.doc", pages)));
    const auto result = cutEmfPages(dir / "job.spl", 42, work());
    EXPECT_TRUE(result.readToEnd);
    ASSERT_EQ(result.pages.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(result.pages[static_cast<std::size_t>(i)].filename(), pageFileName(42, i + 1));
        EXPECT_EQ(readFile(result.pages[static_cast<std::size_t>(i)]),
                  asString(pages[static_cast<std::size_t>(i)]));
    }
}

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

TEST_F(CaptureFixture, DamagedSpoolFilesKeepThePagesCutSoFar) {
    const std::string good = asString(page(10));
    const std::string header = le32(0x10000) + le32(16) + le32(0) + le32(0);
    const std::string pageRecord = le32(12) + le32(static_cast<std::uint32_t>(good.size())) + good;
    struct Case {
        const char* label;
        std::string bytes;
        std::size_t pages;
        bool readToEnd;
    };
    const Case cases[] = {
        {"wrong header type", le32(0x4034B50) + le32(16) + std::string(8, '\0') + pageRecord, 0, false},
        {"empty file", "", 0, false},
        {"header only, then nothing", header, 0, true},
        {"record claims gigabytes", header + pageRecord + le32(12) + le32(0xFFFFFFF0) + "xx", 1, false},
        {"record runs past the end", header + pageRecord + le32(12) + le32(5000) + good, 1, false},
        {"page that is no metafile is skipped",
         header + le32(12) + le32(8) + "notanemf" + pageRecord + le32(0) + le32(0), 1, true},
        {"other records skipped, bare high types",
         header + le32(13) + le32(4) + "abcd" + le32(0x10000) + le32(77) + pageRecord, 1, true},
        {"cut inside a record head", header + pageRecord + le32(12), 1, false},
    };
    for (const auto& c : cases) {
        const fs::path folder = dir / ("work_" + std::to_string(&c - cases));
        writeFile(dir / "bad.spl", c.bytes);
        const auto result = cutEmfPages(dir / "bad.spl", 5, folder);
        EXPECT_EQ(result.pages.size(), c.pages) << c.label;
        EXPECT_EQ(result.readToEnd, c.readToEnd) << c.label;
        for (const auto& p : result.pages) EXPECT_EQ(readFile(p), good) << c.label;
    }
    EXPECT_FALSE(cutEmfPages(dir / "missing.spl", 5, work()).readToEnd);
}

TEST_F(CaptureFixture, PagesOfAnySizeFollowEachOtherInTheSpoolData) {
    // Page sizes that are no multiple of 4 are padded inside their record.
    std::vector<std::vector<std::byte>> pages;
    for (std::size_t extra : {0u, 1u, 2u, 3u, 0u}) {
        auto bytes = page(10 + static_cast<int>(pages.size()));
        bytes.resize(bytes.size() + extra, std::byte{0x5A});
        pages.push_back(std::move(bytes));
    }
    writeFile(dir / "odd.spl", asString(writeEmfSpool(u"Microsoft Word - odd", pages)));
    const auto result = cutEmfPages(dir / "odd.spl", 3, work());
    EXPECT_TRUE(result.readToEnd);
    ASSERT_EQ(result.pages.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string cut = readFile(result.pages[i]);
        const std::string sent = asString(pages[i]);
        EXPECT_EQ(cut.substr(0, sent.size()), sent) << "page " << i;
        EXPECT_EQ(cut.size(), (sent.size() + 3) / 4 * 4) << "page " << i << ": the record's padding";
    }
}

TEST_F(CaptureFixture, Windows9xSpoolDataNameTheTemporaryPagesInOrder) {
    usePlatform(platform::WindowsPlatform::Win9x);
    addPrinter("Capture");
    session.CapturePrinterName = "Capture";
    const auto temp = folders.systemTempFolder().value();
    const std::vector<std::string> names = {"~EMF00FF.TMP", "~EMF0100.TMP", "~EMFA0B1.TMP"};
    for (std::size_t i = 0; i < names.size(); ++i)
        writeFile(temp / names[i], "page " + std::to_string(i + 1));
    const auto spool = writeWin9xSpool(names);
    const auto job = spooler->submitJob("Capture", "Microsoft Word - R.doc", spool);
    ASSERT_TRUE(acquisition->captureSpoolJobs("Microsoft Word - R.doc"));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(readFile(work() / pageFileName(*job, static_cast<int>(i) + 1)),
                  "page " + std::to_string(i + 1));
    EXPECT_FALSE(fs::exists(work() / pageFileName(*job, 4)));
}

TEST_F(CaptureFixture, TheSpoolFileIsTheFirstAtOrAfterThePrintMoment) {
    addPrinter("Capture");
    session.CapturePrinterName = "Capture";
    const std::vector<std::vector<std::byte>> pages = {page(10)};
    const auto job = spooler->submitJob("Capture", "Microsoft Word - R.doc", writeEmfSpool(u"x", pages));
    ASSERT_TRUE(job);
    const fs::path file = spooler->spoolFileOf(*job);
    // 2024-03-05 06:07:08 UTC, read back in local time as the macro writes it.
    const std::time_t when = 1709618828;
    const auto stamp = fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(when));
    fs::last_write_time(file, stamp);
    std::tm local{};
    localtime_r(&when, &local);
    const int date = (local.tm_year + 1900 - 2000) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    const int time = local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
    struct Case {
        std::string d, t;
        bool found;
    };
    const Case cases[] = {
        {std::to_string(date), std::to_string(time), true},       // at the moment
        {std::to_string(date), std::to_string(time - 1), true},   // after it
        {std::to_string(date), std::to_string(time + 1), false},  // before it
        {std::to_string(date + 1), "0", false},
        {"x12", "", true},  // unparsable: 0
    };
    for (const auto& c : cases) {
        store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo1", c.d);
        store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo2", c.t);
        EXPECT_EQ(acquisition->findSpoolFileByTime(spooler->spoolFolder()), c.found ? file.string() : "_")
            << c.d << " " << c.t;
    }
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo1", std::to_string(date));
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo2", std::to_string(time));
    ASSERT_TRUE(acquisition->captureSpoolJobs("Microsoft Word - R.doc"));
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "LastSplFileTime"),
              static_cast<std::int32_t>(spoolFileTimeValue(2024, 3, 5, 6, 7, 8)));
    EXPECT_EQ(spoolFileTimeValue(2024, 3, 5, 6, 7, 8),
              ((((2024u - 2003) * 360 + 3 * 30 + 5) * 24 + 6) * 60 + 7) * 60 + 8);
}

TEST_F(CaptureFixture, PrinterInventoryListsEveryPrinterWithItsFacts) {
    addPrinter("Capture", true, 0, "LPT1:");
    addPrinter("Shared", false, platform::PRINTER_ATTRIBUTE_NETWORK | platform::PRINTER_ATTRIBUTE_RAW_ONLY,
               "\\\\server\\laser");
    const auto inventory = acquisition->collectPrinterInventory();
    ASSERT_EQ(inventory.local.size(), 2u);
    EXPECT_TRUE(inventory.connections.empty());
    EXPECT_EQ(inventory.local[0].name, "Capture");
    EXPECT_EQ(inventory.local[0].port, "LPT1:");
    EXPECT_EQ(inventory.local[0].driver, "Generic");
    EXPECT_EQ(inventory.local[0].dataType, "NT EMF 1.008");
    EXPECT_EQ(inventory.local[1].name, "Shared");
    EXPECT_EQ(inventory.local[1].attributes,
              platform::PRINTER_ATTRIBUTE_NETWORK | platform::PRINTER_ATTRIBUTE_RAW_ONLY);
    EXPECT_TRUE(ui.messages().empty());

    // The user's connections form the second table.
    platform::PrinterInfo shared;
    shared.name = "\\\\server\\ink";
    shared.port = "NE01:";
    shared.driver = "Ink";
    ASSERT_TRUE(spooler->addConnection(shared));
    const auto both = acquisition->collectPrinterInventory();
    EXPECT_EQ(both.local.size(), 2u);
    ASSERT_EQ(both.connections.size(), 1u);
    EXPECT_EQ(both.connections[0].name, "\\\\server\\ink");
    EXPECT_EQ(both.connections[0].port, "NE01:");
    EXPECT_EQ(both.connections[0].driver, "Ink");
    EXPECT_EQ(both.connections[0].dataType, "RAW");
    EXPECT_EQ(both.connections[0].attributes, platform::PRINTER_ATTRIBUTE_NETWORK);
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(CaptureFixture, OnlyTheCapturePrintersQueueIsCleared) {
    addPrinter("Capture");
    addPrinter("Other");
    session.CapturePrinterName = "Capture";
    const std::vector<std::vector<std::byte>> pages = {page(10)};
    spooler->submitJob("Capture", "a", writeEmfSpool(u"a", pages));
    spooler->submitJob("Other", "b", writeEmfSpool(u"b", pages));
    acquisition->deleteQueuedJobs();
    EXPECT_TRUE(spooler->jobs("Capture").empty());
    EXPECT_EQ(spooler->jobs("Other").size(), 1u);
    session.CapturePrinterName = "Nobody";
    EXPECT_FALSE(acquisition->captureSpoolJobs("a"));
    acquisition->deleteQueuedJobs();
    EXPECT_EQ(spooler->jobs("Other").size(), 1u);
}

TEST_F(CaptureFixture, WithoutMacroFileOrDefaultPrinterThereIsNoCapturePrinter) {
    addPrinter("Capture");
    EXPECT_FALSE(acquisition->findCapturePrinter()) << "2000 and later";
    EXPECT_EQ(session.CapturePrinterName, "");
    usePlatform(platform::WindowsPlatform::NT4);
    EXPECT_FALSE(acquisition->findCapturePrinter()) << "NT 4: the profile's \",,,\" names none";
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(CaptureFixture, RealSpoolFilesGiveTheirPagesByteForByte) {
    const fs::path corpus = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "spool";
    if (!fs::exists(corpus))
        GTEST_SKIP() << "no shared corpus";
    std::vector<std::string> expected;
    for (const auto& e : fs::directory_iterator(corpus / "pages")) expected.push_back(readFile(e.path()));
    int matched = 0;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() != ".SPL")
            continue;
        const auto result = cutEmfPages(e.path(), 9, dir.path() / e.path().stem());
        if (e.path().filename().string().find("xps") != std::string::npos) {
            EXPECT_TRUE(result.pages.empty()) << "an XPS spool file is refused";
            continue;
        }
        EXPECT_TRUE(result.readToEnd) << e.path();
        for (const auto& p : result.pages) {
            EXPECT_NE(std::find(expected.begin(), expected.end(), readFile(p)), expected.end()) << p;
            ++matched;
        }
    }
    EXPECT_EQ(matched, static_cast<int>(expected.size()));
}

TEST_F(CaptureFixture, CapturePrinterFromTheMacroFileOrTheDefault) {
    addPrinter("Capture Printer");
    addPrinter("Office Laser", false);
    spooler->setDefaultPrinter("Office Laser");
    // No macro file: the default printer.
    ASSERT_TRUE(acquisition->findCapturePrinter());
    EXPECT_EQ(session.CapturePrinterName, "Office Laser");
    writeFile(acquisition->printerMacroFile(), "Capture Printer on Ne00:\r\n");
    ASSERT_TRUE(acquisition->findCapturePrinter());
    EXPECT_EQ(session.CapturePrinterName, "Capture Printer");
}

TEST_F(CaptureFixture, PrinterLineNamesThePrinterOrLeavesItToTheDefault) {
    addPrinter("Capture Printer");
    addPrinter("Print on Demand");
    addPrinter("Office Laser", false);
    spooler->setDefaultPrinter("Office Laser");
    struct Case {
        const char* line;
        const char* printer;
    };
    const Case cases[] = {
        {"Capture Printer on Ne00:", "Capture Printer"},
        {"Print on Demand on LPT1:", "Print on Demand"},
        {"print on demand on LPT1:", "print on demand"},
        {"Unknown on Demand on LPT2:", "Unknown on Demand"},
        {"Capture Printer on Ne00: on x on y", "Capture Printer"},
        // No " on ": the default printer, as the printer-support library takes it.
        {"Capture Printer auf Ne00:", "Office Laser"},
        {"", "Office Laser"},
        {" on LPT1:", "Office Laser"},
        {"\x01\x02garbled", "Office Laser"},
    };
    for (const auto& c : cases) {
        writeFile(acquisition->printerMacroFile(), std::string(c.line) + "\r\n");
        session.CapturePrinterName.clear();
        EXPECT_TRUE(acquisition->findCapturePrinter()) << c.line;
        EXPECT_EQ(session.CapturePrinterName, c.printer) << c.line;
    }
}

TEST_F(CaptureFixture, DefaultPrinterByPlatform) {
    usePlatform(platform::WindowsPlatform::Win9x);
    EXPECT_FALSE(acquisition->findCapturePrinter());
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "dwNeeded == 0");
    addPrinter("Old Printer");
    spooler->setDefaultPrinter("Old Printer");
    ASSERT_TRUE(acquisition->findCapturePrinter());
    EXPECT_EQ(session.PrinterDpi, 600) << "95/98/Me read the printer's resolution";
    usePlatform(platform::WindowsPlatform::NT4);
    session.PrinterDpi = 300;
    ASSERT_TRUE(acquisition->findCapturePrinter());
    EXPECT_EQ(session.CapturePrinterName, "Old Printer");
    EXPECT_EQ(session.PrinterDpi, 300);
}

TEST_F(CaptureFixture, SpoolRouteCutsTheMatchingJobAndClearsTheQueue) {
    addPrinter("Capture");
    session.CapturePrinterName = "Capture";
    const std::vector<std::vector<std::byte>> pages = {page(10), page(20)};
    const auto other = spooler->submitJob("Capture", "Notepad - notes.txt", writeEmfSpool(u"n", pages));
    const auto mine = spooler->submitJob("Capture", "Microsoft Word - Report.doc",
                                         writeEmfSpool(u"Microsoft Word - Report.doc", pages));
    ASSERT_TRUE(other && mine);
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo1", "0");
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo2", "0");
    ASSERT_TRUE(acquisition->captureSpoolJobs("Microsoft Word - Report.doc"));
    // The time search picks the first spool file at or after the moment: the
    // other job's here, as the rule says.
    EXPECT_TRUE(fs::exists(work() / pageFileName(*mine, 1)));
    EXPECT_TRUE(fs::exists(work() / pageFileName(*mine, 2)));
    EXPECT_NE(store.readDword(platform::RegRoot::CurrentUser, "LastSplFileTime"), -1);
    EXPECT_EQ(spooler->jobs("Capture").size(), 2u);
    acquisition->deleteQueuedJobs();
    EXPECT_TRUE(spooler->jobs("Capture").empty()) << "every job of the queue goes";
}

TEST_F(CaptureFixture, NoNewerSpoolFileFallsBackToTheJobsOwnFile) {
    addPrinter("Capture");
    session.CapturePrinterName = "Capture";
    const std::vector<std::vector<std::byte>> pages = {page(10)};
    const auto job = spooler->submitJob("Capture", "Microsoft Word - A very long document name.doc",
                                        writeEmfSpool(u"x", pages));
    ASSERT_TRUE(job);
    // A moment far in the future: no spool file qualifies.
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo1", "991231");
    store.writeString(platform::RegRoot::CurrentUser, "CurSPLTimeInfo2", "235959");
    EXPECT_EQ(acquisition->findSpoolFileByTime(spooler->spoolFolder()), "_");
    // Titles agree in their first 30 characters only.
    ASSERT_TRUE(acquisition->captureSpoolJobs("Microsoft Word - A very long dXXXX"));
    EXPECT_TRUE(fs::exists(work() / pageFileName(*job, 1)));
    EXPECT_EQ(*expectedSpoolFile(*spooler, 7), spooler->spoolFolder() / "00007.SPL");
    EXPECT_FALSE(expectedSpoolFile(*spooler, 100000));
}

TEST_F(CaptureFixture, NoSpoolFilesOffersTheDemonstration) {
    store.writeString(platform::RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    fs::path started;
    std::string parameter;
    acquisition->startProgram = [&](const fs::path& program, const std::string& p) {
        started = program;
        parameter = p;
    };
    ui.scriptAnswers({MessageAnswer::Yes, MessageAnswer::No});
    fs::create_directories(dir / "empty");
    EXPECT_EQ(acquisition->findSpoolFileByTime(dir / "empty"), "_");
    EXPECT_EQ(started, dir / "install" / "Scrivlet");
    EXPECT_EQ(parameter, "quick");
    started.clear();
    EXPECT_EQ(acquisition->findSpoolFileByTime(dir / "empty"), "_");
    EXPECT_TRUE(started.empty()) << "No starts nothing";
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Error SPL-file access! (0001)\nRun 'Quick Start Reference'?");
    EXPECT_EQ(messages[0].caption, "Quillo Scrivlet Message");
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages[0].icon, MessageIcon::Question);
}

TEST_F(CaptureFixture, Windows9xCopiesTheTemporaryPageFiles) {
    usePlatform(platform::WindowsPlatform::Win9x);
    addPrinter("Capture");
    session.CapturePrinterName = "Capture";
    const auto temp = folders.systemTempFolder().value();
    writeFile(temp / "~EMF0001.TMP", "page one");
    writeFile(temp / "~EMF0002.TMP", "page two");
    const std::string spool = "x...~EMF0001.TMP....~EMF0002.TMP..";
    const auto job = spooler->submitJob("Capture", "Microsoft Word - R.doc",
                                        std::as_bytes(std::span(spool.data(), spool.size())));
    ASSERT_TRUE(acquisition->captureSpoolJobs("Microsoft Word - R.doc"));
    EXPECT_EQ(readFile(work() / pageFileName(*job, 1)), "page one");
    EXPECT_EQ(readFile(work() / pageFileName(*job, 2)), "page two");
}

}  // namespace
}  // namespace app
