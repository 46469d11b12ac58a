#include "app/capture_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "app/emf_spool_writer.h"
#include "app/headless_capture.h"
#include "metafile/metafile.h"
#include "platform/clipboard.h"
#include "render/bitmap.h"
#include "render/page_renderer.h"
#include "tests/app/capture_fixture.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using testing_support::writeFile;

class CaptureWorkerTest : public CaptureFixture {
protected:
    platform::FileClipboard clipboard{dir / "clipboard"};
    std::unique_ptr<render::PageRenderer> renderer;
    int refreshes = 0;
    std::vector<std::pair<fs::path, std::string>> started;

    void SetUp() override {
        CaptureFixture::SetUp();
        Magick::InitializeMagick(nullptr);
        renderer = std::make_unique<render::PageRenderer>(session, ui);
        ui.setClientRect(UiWindow::ThumbnailStrip, {0, 0, 160, 600});
        ui.setClientRect(UiWindow::MainWindow, {0, 0, 800, 600});
        store.writeString(platform::RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    }
    int run() {
        CaptureWorker worker({session, store, folders, *spooler, clipboard, ui, *renderer,
                              [this] { return ++refreshes; }, [] { return 120; },
                              [this](const fs::path& program, const std::string& parameter) {
                                  started.emplace_back(program, parameter);
                              }});
        worker.start();
        worker.join();
        return session.PageList.count();
    }
    void writePage(const fs::path& file, int size) {
        const auto bytes = page(size);
        writeFile(file, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
};

TEST_F(CaptureWorkerTest, DemonstrationListsTheSamplesAndKeepsThem) {
    session.DemoMode = true;
    for (int i = 1; i <= 3; ++i)
        writePage(dir / "install" / "emf" / ("page" + std::to_string(i) + ".emf"), 10 * i);
    EXPECT_EQ(run(), 3);
    EXPECT_EQ(session.ScreenDpi.load(), 120);
    for (int i = 0; i < 3; ++i) {
        const auto& p = session.PageList.record(i);
        ASSERT_TRUE(p.thumbnail) << i;
        EXPECT_EQ(p.width, 130) << "the 50-pixel render scaled to fit 130 x 130";
        EXPECT_EQ(p.x, (160 - 130) / 2);
        EXPECT_EQ(p.y, i == 0 ? 5 + (140 - 130) / 2 : session.PageList.record(i - 1).y + 130 + 24);
        EXPECT_EQ(p.fileName, "page" + std::to_string(i + 1) + ".emf");
    }
    EXPECT_TRUE(fs::exists(dir / "install" / "emf" / "page1.emf")) << "samples are never deleted";
    EXPECT_EQ(session.PageList.currentPage.load(), 0);
    EXPECT_EQ(session.shownPage.load(), 0)
        << "the shown image is page 1's, whatever the worker listed after it";
    EXPECT_EQ(session.ViewState.load(), 2);
    ASSERT_TRUE(session.CurrentImage.load());
    EXPECT_EQ(session.CurrentImage.load()->columns(), 80u) << "the first page at 80 dpi";
    EXPECT_EQ(refreshes, 0) << "no printer is touched";
}

TEST_F(CaptureWorkerTest, ClipboardRouteTakesOnePageAndEmptiesTheClipboard) {
    store.writeString(platform::RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
    ASSERT_TRUE(clipboard.open());
    clipboard.setEnhancedMetafile(page(20));
    clipboard.close();
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(session.PageList.record(0).fileName, "0001.emf");
    EXPECT_FALSE(fs::exists(work() / "0001.emf"));
    clipboard.open();
    EXPECT_FALSE(clipboard.enhancedMetafile()) << "the clipboard is empty";
    EXPECT_EQ(session.PageList.currentPage.load(), 0);
}

TEST_F(CaptureWorkerTest, EmptyClipboardSaysSo) {
    store.writeString(platform::RegRoot::CurrentUser, "CurWordKodClipbrd", "TRUE");
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "No data in Clipboard!");
    EXPECT_EQ(ui.messages()[0].caption, "Quillo Scrivlet");
    EXPECT_EQ(session.ViewState.load(), 0);
}

TEST_F(CaptureWorkerTest, SpoolRouteCutsListsAndRestoresThePrinter) {
    addPrinter("Capture");
    spooler->setDefaultPrinter("Capture");
    store.writeString(platform::RegRoot::CurrentUser, "CurDocName", "Report.doc");
    const std::vector<std::vector<std::byte>> pages = {page(10), page(20), page(30)};
    spooler->submitJob("Capture", "Microsoft Word - Report.doc",
                       writeEmfSpool(u"Microsoft Word - Report.doc", pages));
    spooler->submitJob("Capture", "Other job", writeEmfSpool(u"x", pages));
    EXPECT_EQ(run(), 3);
    EXPECT_TRUE(spooler->jobs("Capture").empty());
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(fs::is_empty(work())) << "page files are deleted once listed";
}

// A work folder that cannot be written: said, and the document kept in the
// paused queue rather than deleted with no page captured.
TEST_F(CaptureWorkerTest, PagesThatCannotBeWrittenLeaveTheJobQueued) {
    addPrinter("Capture");
    spooler->setDefaultPrinter("Capture");
    store.writeString(platform::RegRoot::CurrentUser, "CurDocName", "Report.doc");
    const std::vector<std::vector<std::byte>> pages = {page(10), page(20)};
    spooler->submitJob("Capture", "Microsoft Word - Report.doc",
                       writeEmfSpool(u"Microsoft Word - Report.doc", pages));
    fs::remove_all(work());
    testing_support::writeFile(work(), "a file where the folder should be");
    run();
    EXPECT_EQ(session.PageList.count(), 0);
    EXPECT_EQ(spooler->jobs("Capture").size(), 1u) << "the document stays queued";
    EXPECT_EQ(refreshes, 0) << "the printer stays paused";
    const auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("The pages could not be written to the work folder:", 0), 0u)
        << shown[0].text;
    EXPECT_EQ(shown[0].icon, MessageIcon::Error);
}

TEST_F(CaptureWorkerTest, NoSpoolFileOffersTheDemonstrationThroughTheMainProgram) {
    addPrinter("Capture");
    spooler->setDefaultPrinter("Capture");
    store.writeString(platform::RegRoot::CurrentUser, "CurDocName", "Report.doc");
    // A job whose spool file is gone: the time search finds no .spl file.
    const std::vector<std::vector<std::byte>> pages = {page(10)};
    const auto job = spooler->submitJob("Capture", "Microsoft Word - Report.doc", writeEmfSpool(u"x", pages));
    ASSERT_TRUE(job);
    fs::remove(spooler->spoolFileOf(*job));
    ui.scriptAnswers({MessageAnswer::Yes});
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(started.size(), 1u) << "Yes starts the demonstration";
    EXPECT_EQ(started[0].first, dir / "install" / "Scrivlet");
    EXPECT_EQ(started[0].second, "quick");
    EXPECT_EQ(refreshes, 1);
}

TEST_F(CaptureWorkerTest, APrinterLineWithoutOnTakesTheDefaultPrinterAndItsJob) {
    // Another language's Word writes "Capture auf LPT1:"; the printer-support
    // library then prepared the default printer, so the job is found there.
    addPrinter("Capture");
    spooler->setDefaultPrinter("Capture");
    writeFile(acquisition->printerMacroFile(), "Capture auf LPT1:\r\n");
    store.writeString(platform::RegRoot::CurrentUser, "CurDocName", "Report.doc");
    const std::vector<std::vector<std::byte>> pages = {page(10), page(20)};
    spooler->submitJob("Capture", "Microsoft Word - Report.doc", writeEmfSpool(u"x", pages));
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(session.CapturePrinterName, "Capture");
    EXPECT_TRUE(spooler->jobs("Capture").empty());
}

TEST_F(CaptureWorkerTest, NoPrinterStillClearsAndRestores) {
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(session.ViewState.load(), 0);
}

// Files opened with the program: only they are listed, in their order, a
// file that is no page is named in one warning, and the first page is shown.
TEST_F(CaptureWorkerTest, OpenedFilesAreListedAndTheFirstIsShown) {
    writePage(dir / "in" / "b.emf", 20);
    writePage(dir / "in" / "a.emf", 10);
    writePage(dir / "in" / "c.emf", 30);
    writeFile(dir / "in" / "notes.txt", "not a page");
    writePage(work() / "9999.emf", 40);  // left from an earlier run
    session.OpenedFiles = {dir / "in" / "b.emf", dir / "in" / "notes.txt", dir / "in" / "a.emf",
                           dir / "in" / "c.emf"};
    EXPECT_EQ(run(), 3);
    EXPECT_EQ(session.PageList.currentPage.load(), 0);
    EXPECT_EQ(session.shownPage.load(), 0);
    EXPECT_EQ(session.ViewState.load(), 2);
    ASSERT_TRUE(session.CurrentImage.load());
    const auto shown = session.CurrentImage.load();
    ASSERT_TRUE(ui.messages().size() == 1u);
    EXPECT_NE(ui.messages()[0].text.find("notes.txt: not an enhanced metafile"), std::string::npos)
        << ui.messages()[0].text;
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Warning);
    // The pages keep the order of the files: each thumbnail is its own
    // file's, the shown page the first file's.
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(session.PageList.record(i).thumbnail) << i;
    const auto pixels = [](Magick::Image image) {
        Magick::Blob blob;
        image.write(&blob, "RGB", 8);
        return std::string(static_cast<const char*>(blob.data()), blob.length());
    };
    const auto renderedOf = [&](const char* name) {
        auto metafile = metafile::Metafile::fromFile(dir / "in" / name);
        EXPECT_TRUE(metafile) << name;
        return pixels(renderer->renderPage(80, &*metafile));
    };
    EXPECT_TRUE(pixels(*shown) == renderedOf("b.emf")) << "the first opened file is shown";
    EXPECT_FALSE(renderedOf("b.emf") == renderedOf("a.emf"));
    EXPECT_TRUE(fs::exists(dir / "in" / "b.emf")) << "opened files stay where they are";
}

TEST_F(CaptureWorkerTest, TheListHoldsTwoThousandPages) {
    session.DemoMode = true;
    const auto bytes = page(5);
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (int i = 0; i < 2001; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%05d.emf", i);
        writeFile(dir / "install" / "emf" / name, text);
    }
    EXPECT_EQ(run(), 2000);
}

TEST(OutputBaseName, TheDocumentNameUpToItsFirstDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"Report.doc", "Report"},
        {"Report", "Report"},
        {"a.b.c", "a"},
        {"", "Page"},
        {".hidden", "Page"},
        {"dir/x.doc", "dir_x"},
        {"tab\there", "tab_here"},
    };
    for (const auto& [name, base] : cases) EXPECT_EQ(outputBaseName(name), base) << name;
}

TEST_F(CaptureWorkerTest, EachPageIsInvalidatedAndTheFirstShownWithItsInformationLine) {
    session.DemoMode = true;
    writePage(dir / "install" / "emf" / "page1.emf", 10);
    writePage(dir / "install" / "emf" / "page2.emf", 20);
    // 2021-06-07 08:09:10.5 UTC.
    const auto moment = std::chrono::system_clock::from_time_t(1623053350) + std::chrono::milliseconds(500);
    fs::last_write_time(dir / "install" / "emf" / "page1.emf", fs::file_time_type::clock::from_sys(moment));
    ASSERT_EQ(run(), 2);
    const FileTime& t = session.PageList.record(0).fileTime;
    EXPECT_EQ(t.year, 2021);
    EXPECT_EQ(t.month, 6);
    EXPECT_EQ(t.dayOfWeek, 1) << "a Monday";
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.hour, 8);
    EXPECT_EQ(t.minute, 9);
    EXPECT_EQ(t.second, 10);
    EXPECT_EQ(t.milliseconds, 500);
    std::vector<testing_support::Invalidated> invalidated;
    for (const auto& e : ui.events()) {
        // The renders' own progress area of the main window aside.
        const auto* i = std::get_if<testing_support::Invalidated>(&e);
        if (i != nullptr && (i->window != UiWindow::MainWindow || i->erase))
            invalidated.push_back(*i);
    }
    const auto& p0 = session.PageList.record(0);
    const auto& p1 = session.PageList.record(1);
    ASSERT_EQ(invalidated.size(), 5u);
    const std::pair<UiWindow, std::optional<UiRect>> expected[] = {
        {UiWindow::ThumbnailStrip, UiRect{p0.x, p0.y, p0.x + p0.width, p0.y + p0.height + 24}},
        {UiWindow::ThumbnailStrip, std::nullopt},
        {UiWindow::PageView, std::nullopt},
        {UiWindow::MainWindow, UiRect{50, 600 - 25, 800 - 200, 600 - 4}},
        {UiWindow::ThumbnailStrip, UiRect{p1.x, p1.y, p1.x + p1.width, p1.y + p1.height + 24}},
    };
    const bool erase[] = {true, false, false, true, true};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(invalidated[i].window, expected[i].first) << i;
        EXPECT_EQ(invalidated[i].area, expected[i].second) << i;
        EXPECT_EQ(invalidated[i].erase, erase[i]) << i;
    }
}

// The info line reads the page count when it is painted. Each page's
// repaint of it must come once the page is counted: a repaint asked for
// before (the thumbnail render's own) can be carried out before the count
// grows, and the line then keeps an old count ("1(2)" with three pages).
TEST_F(CaptureWorkerTest, TheInfoLineIsRepaintedOnceEachPageIsCounted) {
    session.DemoMode = true;
    for (int i = 1; i <= 3; ++i)
        writePage(dir / "install" / "emf" / ("page" + std::to_string(i) + ".emf"), 10 * i);
    // The page count at each repaint of the place the count is drawn (the
    // line starts 15 pixels right of the buttons, 21 pixels above the
    // bottom), as the worker asks for it.
    std::vector<int> countsRepainted;
    ui.onEvent([&](const testing_support::UiEvent& e) {
        const auto* i = std::get_if<testing_support::Invalidated>(&e);
        if (i == nullptr || i->window != UiWindow::MainWindow)
            return;
        const int x = 15 + 43;
        const int y = 600 - 21;
        if (!i->area ||
            (i->area->left <= x && x < i->area->right && i->area->top <= y && y < i->area->bottom))
            countsRepainted.push_back(session.PageList.count());
    });
    ASSERT_EQ(run(), 3);
    ASSERT_FALSE(countsRepainted.empty());
    EXPECT_EQ(countsRepainted.back(), 3) << "the last repaint shows every page";
    for (const int pages : {1, 2, 3})
        EXPECT_NE(std::find(countsRepainted.begin(), countsRepainted.end(), pages), countsRepainted.end())
            << "a repaint once " << pages << " pages are counted";
}

TEST_F(CaptureWorkerTest, DestructionStoresThePlacementAndEmptiesTheWorkFolder) {
    fs::create_directories(work() / "sub");
    writeFile(work() / "~CurImg.jpg", "x");
    // Every page's metafile is let go, the first one too.
    session.DemoMode = true;
    writePage(dir / "install" / "emf" / "page1.emf", 10);
    writePage(dir / "install" / "emf" / "page2.emf", 20);
    ASSERT_EQ(run(), 2);
    const std::weak_ptr first = session.PageList.record(0).metafile;
    const std::weak_ptr second = session.PageList.record(1).metafile;
    ASSERT_FALSE(first.expired());
    mainWindowDestroyed(session, store, folders, {false, 10, 20, 810, 620});
    EXPECT_TRUE(first.expired());
    EXPECT_TRUE(second.expired());
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvKodMainWinMax"), 0);
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvWinLeft"), 10);
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvWinTop"), 20);
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvWinRight"), 810);
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvWinBottom"), 620);
    EXPECT_FALSE(fs::exists(work() / "~CurImg.jpg"));
    EXPECT_TRUE(fs::exists(work() / "sub"));
    mainWindowDestroyed(session, store, folders, {true, 0, 0, 0, 0});
    EXPECT_EQ(store.readDword(platform::RegRoot::CurrentUser, "lvKodMainWinMax"), 1);
}

TEST_F(CaptureWorkerTest, ThumbnailsAreCentredInTheStripsClientArea) {
    // A client area that does not start at 0: x = (right - width - left) / 2,
    // the first y = top + 5 + (140 - height) / 2, each next 24 below the last.
    ui.setClientRect(UiWindow::ThumbnailStrip, {10, 20, 170, 620});
    session.DemoMode = true;
    writePage(dir / "install" / "emf" / "page1.emf", 10);
    writePage(dir / "install" / "emf" / "page2.emf", 20);
    ASSERT_EQ(run(), 2);
    const auto& p0 = session.PageList.record(0);
    const auto& p1 = session.PageList.record(1);
    ASSERT_EQ(p0.width, 130);
    ASSERT_EQ(p0.height, 130);
    EXPECT_EQ(p0.x, 15);
    EXPECT_EQ(p0.y, 30);
    EXPECT_EQ(p1.x, 15);
    EXPECT_EQ(p1.y, 30 + 130 + 24);
    // The strip's scroll range grows by ten with each page.
    std::vector<int> maxima;
    for (const auto& e : ui.events()) {
        const auto* r = std::get_if<testing_support::ScrollRangeSet>(&e);
        if (r != nullptr && r->window == UiWindow::ThumbnailStrip)
            maxima.push_back(r->maximum);
    }
    EXPECT_EQ(maxima, (std::vector<int>{10, 20}));
}

}  // namespace
}  // namespace app
