// The main window on a virtual display, driven as a user drives it: command
// ids, keys, clicks and pointer moves posted to the real windows, with the
// state and the pixels read back.

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/accel.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/splash.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <set>

#include "platform/spooler/spooler.h"
#include "render/bitmap.h"
#include "render/magick.h"
#include "render/page_renderer.h"
#include "tests/gui/other_window.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/run_program.h"

extern char** environ;

namespace gui_test {
namespace {

using ui::CommandMap;
namespace cmd = ui::cmd;

class MainWindowTest : public WindowFixture {
protected:
    // Sends key `code` with `flags` as the toolkit does: through the main
    // window's accelerator table to its command map.
    int pressKey(int flags, int code) {
        wxKeyEvent key(wxEVT_KEY_DOWN);
        key.m_keyCode = code;
        key.m_controlDown = (flags & wxACCEL_CTRL) != 0;
        key.m_shiftDown = (flags & wxACCEL_SHIFT) != 0;
        const int wxId = frame()->GetAcceleratorTable()->GetCommand(key);
        if (wxId >= 0) {
            wxCommandEvent command(wxEVT_MENU, wxId);
            command.SetEventObject(frame());
            frame()->ProcessWindowEvent(command);
        }
        pumpFor(0.05);
        return wxId >= 0 ? ui::commandOfWxId(wxId) : -1;
    }
    void click(wxWindow* window, wxPoint at, wxEventType type = wxEVT_LEFT_DOWN) {
        wxMouseEvent event(type);
        event.SetPosition(at);
        event.SetEventObject(window);
        window->ProcessWindowEvent(event);
        if (type == wxEVT_LEFT_DOWN) {
            wxMouseEvent up(wxEVT_LEFT_UP);
            up.SetPosition(at);
            window->ProcessWindowEvent(up);
        }
        pumpFor(0.05);
    }
    void move(wxWindow* window, wxPoint at) { click(window, at, wxEVT_MOTION); }
    // The real pointer (through the display's test extension) moved to
    // client point `at` of `window`, and clicked there when asked.
    void pointer(wxWindow* window, wxPoint at, bool press = false) {
        wxUIActionSimulator sim;
        sim.MouseMove(window->ClientToScreen(at));
        pumpFor(0.1);
        if (press) {
            sim.MouseClick();
            pumpFor(0.1);
        }
    }
    const app::CapturedPage& page(int i) const { return session->PageList.record(i); }
    // The strip's pixel in the red frame around thumbnail `i`.
    bool framed(int i) {
        pumpFor(0.2);
        const wxImage strip = grab(frame()->strip());
        const auto& p = page(i);
        return pixelIs(strip, p.x - 2, p.y - program->view().stripY + p.height / 2, 255, 0, 0);
    }
};

TEST_F(MainWindowTest, DemonstrationPagesArriveAsThumbnailsAndPageOneIsShown) {
    startProgram({"quick"});
    ASSERT_EQ(session->PageList.count(), 3);
    EXPECT_TRUE(session->DemoMode);
    EXPECT_EQ(frame()->GetTitle(), "Quillo Scrivlet");
    for (int i = 1; i < 3; ++i) EXPECT_EQ(page(i).y, page(i - 1).y + page(i - 1).height + 24) << i;
    EXPECT_EQ(page(0).y, 5 + (140 - page(0).height) / 2);
    const int stripWidth = frame()->strip()->GetClientSize().x - ui::FlatScrollBar::kWidth;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(page(i).x, (stripWidth - page(i).width) / 2) << i;
    EXPECT_EQ(session->PageList.currentPage, 0);
    EXPECT_EQ(session->shownPage, 0);
    EXPECT_EQ(session->ViewState, 2);
    EXPECT_EQ(session->PageList.record(0).fileName, "page0001.emf");
    EXPECT_TRUE(fs::exists(install / "emf" / "page0001.emf")) << "sample pages stay";
    // Pixels: the first thumbnail is framed in red, the others are not; the
    // page view shows the image's pixels at its origin.
    EXPECT_TRUE(framed(0));
    EXPECT_FALSE(framed(1));
    const auto image = session->CurrentImage.load();
    ASSERT_TRUE(image);
    const wxImage view = grab(frame()->pageView());
    const wxPoint origin = frame()->pageView()->imageOrigin();
    const auto bitmap = render::imageToBitmap(*image);
    const std::uint32_t first = bitmap.pixels[0];
    EXPECT_TRUE(pixelIs(view, origin.x, origin.y, (first >> 16) & 0xFF, (first >> 8) & 0xFF, first & 0xFF))
        << "the image's top-left pixel on the screen";
    EXPECT_EQ(frame()->infoText().substr(0, 6), "1(3): ");
}

TEST_F(MainWindowTest, PageKeysAndThumbnailClicksChangeThePage) {
    startProgram({"quick"});
    ASSERT_EQ(session->PageList.count(), 3);
    const auto first = session->CurrentImage.load();
    EXPECT_EQ(pressKey(0, WXK_PAGEDOWN), cmd::kNextPage);
    EXPECT_EQ(session->PageList.currentPage, 1);
    EXPECT_EQ(session->shownPage, 1);
    EXPECT_NE(session->CurrentImage.load(), first);
    EXPECT_TRUE(framed(1));
    EXPECT_FALSE(framed(0));
    EXPECT_EQ(frame()->infoText().substr(0, 6), "2(3): ");
    pressKey(0, WXK_PAGEDOWN);
    pressKey(0, WXK_PAGEDOWN);
    EXPECT_EQ(session->PageList.currentPage, 2) << "Page Down on the last page changes nothing";
    pressKey(0, WXK_PAGEUP);
    EXPECT_EQ(session->PageList.currentPage, 1);
    // A click on the first thumbnail, and one between thumbnails.
    const auto& p0 = page(0);
    frame()->Raise();
    pointer(frame()->strip(), wxPoint(p0.x + p0.width / 2, p0.y + p0.height / 2 - program->view().stripY),
            true);
    pointer(frame()->pageView(), wxPoint(300, 300));
    EXPECT_EQ(session->PageList.currentPage, 0);
    EXPECT_EQ(session->shownPage, 0);
    EXPECT_TRUE(framed(0));
    const auto& p2 = page(2);
    click(frame()->strip(), wxPoint(p2.x + 1, p2.y + p2.height - program->view().stripY));
    EXPECT_EQ(session->PageList.currentPage, 2) << "edges included";
    click(frame()->strip(), wxPoint(p2.x, p2.y - 12 - program->view().stripY));
    EXPECT_EQ(session->PageList.currentPage, 2) << "the gap between thumbnails is no page";
}

TEST_F(MainWindowTest, EveryAcceleratorAndPopupEntryReachesItsOperation) {
    // Small pages: the presets render at their own resolutions.
    useSmallPages();
    startProgram({"quick"});
    session->DemoMode = false;
    // A low resolution keeps the re-renders of forty commands light (the
    // presets choose their own).
    auto light = [this] {
        session->resolution.CheckN = 2;
        session->resolution.userResolution = 12;
    };
    // Keys of table 144 through the main window's map.
    for (const ui::Command* c : ui::acceleratorTable()) {
        const ui::WxKey k = ui::wxKeyOf(c->key);
        light();
        routed.clear();
        EXPECT_EQ(pressKey(k.flags, k.code), c->id) << "key of " << c->id;
        ASSERT_EQ(routed.size(), 1u) << c->id;
        EXPECT_EQ(routed[0], std::make_pair(c->id, CommandMap::MainWindow));
    }
    // Popup entries through the window that owns each popup.
    const struct {
        ui::Popup popup;
        wxWindow* owner;
        CommandMap map;
    } popups[] = {
        {ui::Popup::Options, frame()->button(2), CommandMap::StartButton},
        {ui::Popup::Help, frame()->button(3), CommandMap::StartButton},
        {ui::Popup::RClick, frame()->pageView(), CommandMap::PageView},
    };
    std::set<int> reached;
    for (const auto& p : popups) {
        std::vector<int> ids;
        const auto menu = frame()->buildPopup(p.popup);
        for (const wxMenuItem* item : menu->GetMenuItems()) {
            if (item->IsSubMenu()) {
                for (const wxMenuItem* sub : item->GetSubMenu()->GetMenuItems())
                    ids.push_back(ui::commandOfWxId(sub->GetId()));
            } else if (!item->IsSeparator()) {
                ids.push_back(ui::commandOfWxId(item->GetId()));
            }
        }
        for (int id : ids) {
            light();
            routed.clear();
            wxCommandEvent event(wxEVT_MENU, ui::wxIdOf(id));
            event.SetEventObject(p.owner);
            p.owner->ProcessWindowEvent(event);
            pumpFor(0.05);
            ASSERT_EQ(routed.size(), 1u) << id;
            EXPECT_EQ(routed[0], std::make_pair(id, p.map)) << id;
            reached.insert(id);
        }
    }
    for (const ui::Command& c : ui::commandTable()) {
        if (c.menuText == nullptr)
            continue;
        EXPECT_EQ(reached.count(c.id), 1u) << "menu item " << c.id << " in no popup";
    }
    // What reached outside went to the fakes.
    EXPECT_FALSE(programLog("fake-open").empty());
    EXPECT_FALSE(programLog("gsettings").empty());
    EXPECT_TRUE(fs::exists(install / "Report.log"));
}

TEST_F(MainWindowTest, ButtonIsHotExactlyWhileThePointerIsOverIt) {
    startProgram({"quick"});
    frame()->Raise();
    pointer(frame()->pageView(), wxPoint(200, 200));
    EXPECT_EQ(frame()->hotButton(), -1);
    auto faceOf = [this](int button) {
        frame()->button(button)->Update();
        pumpFor(0.1);
        return grab(frame()->button(button));
    };
    pointer(frame()->button(2), wxPoint(20, 16));
    EXPECT_EQ(frame()->hotButton(), 2);
    EXPECT_TRUE(pixelIs(faceOf(2), 3, 16, 255, 244, 214)) << "button 2 drawn hot";
    EXPECT_TRUE(pixelIs(faceOf(3), 3, 16, 224, 224, 248)) << "button 3 drawn normal";
    pointer(frame()->button(3), wxPoint(20, 16));
    EXPECT_EQ(frame()->hotButton(), 3);
    EXPECT_TRUE(pixelIs(faceOf(2), 3, 16, 224, 224, 248)) << "button 2 normal again";
    EXPECT_TRUE(pixelIs(faceOf(3), 3, 16, 255, 244, 214));
    pointer(frame()->pageView(), wxPoint(100, 100));
    EXPECT_EQ(frame()->hotButton(), -1) << "off the column onto the page view";
    EXPECT_TRUE(pixelIs(faceOf(3), 3, 16, 224, 224, 248));
    pointer(frame()->button(5), wxPoint(20, 16));
    EXPECT_EQ(frame()->hotButton(), 5);
    pointer(frame()->strip(), wxPoint(5, 5));
    EXPECT_EQ(frame()->hotButton(), -1) << "onto the strip";
    pointer(frame()->button(0), wxPoint(20, 16));
    EXPECT_EQ(frame()->hotButton(), 0);
    pointer(frame(), wxPoint(20, 30));
    EXPECT_EQ(frame()->hotButton(), -1) << "onto the main window between the buttons";
    // The window appears under a pointer at rest over a button.
    frame()->Hide();
    pumpFor(0.2);
    pointer(frame()->button(1), wxPoint(20, 16));
    frame()->Show();
    frame()->Raise();
    EXPECT_TRUE(pumpUntil([this] { return frame()->hotButton() == 1; }, 3)) << "hot without a move";
}

TEST_F(MainWindowTest, PlacementIsStoredOnCloseAndRestoredAfterARestart) {
    startProgram({"quick"});
    frame()->SetSize(60, 40, 800, 560);
    pumpFor(0.3);
    const wxRect before = frame()->GetRect();
    closeProgram();
    using platform::RegRoot;
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvKodMainWinMax"), 0);
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinLeft"), before.x);
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinTop"), before.y);
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinRight"), before.x + before.width);
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinBottom"), before.y + before.height);
    reopen();
    startProgram({"quick"});
    pumpFor(0.3);
    EXPECT_EQ(frame()->GetRect(), before);
}

// A window manager framing the window makes the toolkit report a client
// area of a pixel or two for a moment: the placement stays. A client area
// the user can give the window below the least size still snaps it.
TEST_F(MainWindowTest, AMomentaryTinyClientAreaLeavesThePlacementAlone) {
    startProgram({"quick"});
    frame()->SetSize(60, 40, 800, 560);
    pumpFor(0.3);
    const wxRect placed = frame()->GetRect();
    const struct {
        wxSize client;
        bool snaps;
    } rows[] = {
        {{2, 1}, false}, {{1, 800}, false}, {{700, 3}, false}, {{150, 500}, true}, {{700, 300}, true}};
    for (const auto& row : rows) {
        frame()->SetSize(placed);
        pumpFor(0.2);
        frame()->layoutChildren(row.client);
        pumpFor(0.2);
        const wxSize size = frame()->GetSize();
        if (row.snaps) {
            EXPECT_TRUE(size.x == ui::kNarrowOuterWidth || size.y == ui::kMinimumOuterHeight)
                << row.client.x << "x" << row.client.y << " gave " << size.x << "x" << size.y;
        } else {
            EXPECT_EQ(frame()->GetRect(), placed) << row.client.x << "x" << row.client.y;
        }
    }
}

// Restored by a window manager to a pixel or two (it restores a window
// started maximised to the size it was first mapped with), the window goes
// back to its last real size, and that is the size stored.
TEST_F(MainWindowTest, AWindowRestoredToAPixelOrTwoTakesItsLastSizeBack) {
    startProgram({"quick"});
    frame()->SetSize(60, 40, 800, 560);
    pumpFor(0.3);
    const wxRect placed = frame()->GetRect();
    frame()->SetClientSize(2, 1);
    pumpFor(0.5);
    EXPECT_EQ(frame()->GetRect(), placed);
    closeProgram();
    using platform::RegRoot;
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinRight"), placed.x + placed.width);
    EXPECT_EQ(store->readDword(RegRoot::CurrentUser, "lvWinBottom"), placed.y + placed.height);
    reopen();
}

// A window stored maximised is made at its stored size and then maximised,
// so that restoring it gives that size (not the screen's, not nothing).
TEST_F(MainWindowTest, AWindowStoredMaximisedIsRestoredToItsStoredSize) {
    using platform::RegRoot;
    store->writeDword(RegRoot::CurrentUser, "lvKodMainWinMax", 1);
    store->writeDword(RegRoot::CurrentUser, "lvWinLeft", 100);
    store->writeDword(RegRoot::CurrentUser, "lvWinTop", 80);
    store->writeDword(RegRoot::CurrentUser, "lvWinRight", 800);
    store->writeDword(RegRoot::CurrentUser, "lvWinBottom", 680);
    startProgram({"quick"});
    pumpFor(0.3);
    frame()->Maximize(false);
    pumpFor(0.3);
    EXPECT_EQ(frame()->GetSize(), wxSize(700, 600));
}

TEST_F(MainWindowTest, NoStoredPlacementGivesTheDefaultSizeCentred) {
    startProgram({"quick"});
    const wxRect work = wxDisplay(0u).GetClientArea();
    const wxSize size = frame()->GetSize();
    EXPECT_EQ(size.x, static_cast<int>(0.85 * work.width));
    EXPECT_EQ(size.y, static_cast<int>(0.8 * work.height));
    const wxPoint at = frame()->GetPosition();
    EXPECT_NEAR(at.x, (work.width - size.x) / 2, 1);
    EXPECT_NEAR(at.y, (work.height - size.y) / 2, 1);
}

TEST_F(MainWindowTest, RightClickOptionsAndHelpPopupsFromTheCommandTable) {
    startProgram({"quick"});
    // Options during the demonstration: the locked items grayed.
    auto options = frame()->buildPopup(ui::Popup::Options);
    const wxMenuItem* d = options->FindItem(ui::wxIdOf(cmd::kResolutionDialog));
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->IsEnabled());
    EXPECT_TRUE(options->FindItem(ui::wxIdOf(cmd::kFormatSheet))->IsEnabled());
    EXPECT_FALSE(options->FindItem(ui::wxIdOf(cmd::kAntialias2))->IsEnabled());
    EXPECT_TRUE(options->FindItem(ui::wxIdOf(cmd::kAntialias7))->IsEnabled());
    EXPECT_EQ(options->FindItem(ui::wxIdOf(cmd::kPresetDemoDefault))->IsChecked(),
              session->options.lvKodPreset == 4);
    session->DemoMode = false;
    session->RenderOptions.KodAntialias = 25;
    options = frame()->buildPopup(ui::Popup::Options);
    EXPECT_TRUE(options->FindItem(ui::wxIdOf(cmd::kResolutionDialog))->IsEnabled());
    EXPECT_TRUE(options->FindItem(ui::wxIdOf(cmd::kAntialias20))->IsChecked());
    EXPECT_FALSE(options->FindItem(ui::wxIdOf(cmd::kAntialiasNone))->IsChecked());
    const auto rclick = frame()->buildPopup(ui::Popup::RClick);
    ASSERT_EQ(rclick->GetMenuItemCount(), 3u);
    EXPECT_EQ(rclick->FindItemByPosition(0)->GetItemLabel(), "Send to...");
}

TEST_F(MainWindowTest, ScrollKeysMoveTheViewAndTheStrip) {
    session->resolution.CheckN = 2;
    startProgram({"quick"});
    session->DemoMode = false;
    // A small window: the page does not fit, bars appear.
    frame()->SetSize(0, 0, 700, 450);
    pumpFor(0.3);
    frame()->pageView()->paintCurrentImage(nullptr, {});
    auto& view = program->view();
    ASSERT_TRUE(view.vBar) << "the page is taller than the view";
    pressKey(wxACCEL_SHIFT, WXK_DOWN);
    EXPECT_EQ(view.viewY, std::min(100, view.vMax));
    pressKey(wxACCEL_SHIFT, WXK_UP);
    EXPECT_EQ(view.viewY, 0);
    pressKey(0, WXK_DOWN);
    EXPECT_EQ(view.stripY, std::max(0, std::min(50, frame()->strip()->scrollMax())));
    // Where both bars meet, the bars' blue (not the page beneath).
    ASSERT_TRUE(view.hBar) << "the page is wider than the view";
    frame()->pageView()->Refresh();
    pumpFor(0.2);
    const wxImage shot = grab(frame()->pageView());
    EXPECT_TRUE(pixelIs(shot, shot.GetWidth() - 6, shot.GetHeight() - 6, 0, 0, 255));
    EXPECT_TRUE(pixelIs(shot, shot.GetWidth() - 1, shot.GetHeight() - 1, 0, 0, 255));
}

// From Word to the window: the Word side prints three corpus pages to the
// paused capture printer; the program started without "quick" cuts them
// from the spool file, lists them in its window, deletes the job and
// resumes the printer.
TEST_F(MainWindowTest, SpoolCaptureArrivesInTheWindowAndThePrinterResumes) {
    const fs::path corpus = fs::path(SCRIVLET_SHARED_DIR) / "corpus" / "emf" / "docpages";
    const char* pages[] = {"lo74_53446_p01.emf", "lo74_drawing_p01.emf", "lo74_Bug46220_p01.emf"};
    for (const char* name : pages) {
        if (!fs::exists(corpus / name))
            GTEST_SKIP() << "no corpus page " << corpus / name;
    }
    const auto setup = testing_support::runProgram({SCRIVLET_SETUP, install.string()}, dir.path());
    ASSERT_EQ(setup.status, 0) << setup.err;
    const auto word = testing_support::runProgram(
        {SCRIVLET_WORD, "spool", "--document", "Report.doc", "--start", (dir / "absent").string(),
         (corpus / pages[0]).string(), (corpus / pages[1]).string(), (corpus / pages[2]).string()},
        dir.path());
    ASSERT_EQ(word.status, 0) << word.err;
    reopen();
    platform::Spooler spooler(*registry, folders->windowsFolder().value(),
                              platform::platformFromEnvironment());
    constexpr const char* kCapture = "Scrivlet Capture";
    ASSERT_EQ(spooler.jobs(kCapture).size(), 1u);
    ASSERT_NE(spooler.printer(kCapture).value().status & platform::PRINTER_STATUS_PAUSED, 0u);

    startProgram({});
    EXPECT_FALSE(session->DemoMode);
    ASSERT_EQ(session->PageList.count(), 3);
    EXPECT_EQ(session->PageList.currentPage, 0);
    EXPECT_EQ(session->ViewState, 2);
    for (int i = 1; i < 3; ++i) EXPECT_EQ(page(i).y, page(i - 1).y + page(i - 1).height + 24) << i;
    EXPECT_TRUE(framed(0));
    EXPECT_TRUE(spooler.jobs(kCapture).empty()) << "the job is gone";
    EXPECT_EQ(spooler.printer(kCapture).value().status & platform::PRINTER_STATUS_PAUSED, 0u)
        << "the printer is resumed";
    // The page files live in memory now; closing empties the work folder.
    closeProgram();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folders->workFolder().value(), ec))
        EXPECT_TRUE(entry.is_directory()) << entry.path();
}

// "Scrivlet a.emf b.emf": the two files are the pages; a job waiting on the
// paused capture printer stays where it is.
TEST_F(MainWindowTest, OpenedFilesArriveAsPagesAndLeaveThePrintJobAlone) {
    const auto setup = testing_support::runProgram({SCRIVLET_SETUP, install.string()}, dir.path());
    ASSERT_EQ(setup.status, 0) << setup.err;
    const auto word =
        testing_support::runProgram({SCRIVLET_WORD, "spool", "--document", "Waiting.doc", "--start",
                                     (dir / "absent").string(), (install / "emf" / "page0003.emf").string()},
                                    dir.path());
    ASSERT_EQ(word.status, 0) << word.err;
    reopen();
    platform::Spooler spooler(*registry, folders->windowsFolder().value(),
                              platform::platformFromEnvironment());
    constexpr const char* kCapture = "Scrivlet Capture";
    ASSERT_EQ(spooler.jobs(kCapture).size(), 1u);

    session->OpenedFiles = {install / "emf" / "page0001.emf", install / "emf" / "page0002.emf"};
    startProgram({});
    ASSERT_EQ(session->PageList.count(), 2);
    EXPECT_EQ(page(1).y, page(0).y + page(0).height + 24);
    EXPECT_EQ(session->PageList.currentPage, 0);
    EXPECT_EQ(session->ViewState, 2);
    EXPECT_TRUE(framed(0));
    EXPECT_EQ(frame()->infoText().substr(0, 6), "1(2): ");
    EXPECT_EQ(spooler.jobs(kCapture).size(), 1u) << "the waiting job is not touched";
    EXPECT_NE(spooler.printer(kCapture).value().status & platform::PRINTER_STATUS_PAUSED, 0u)
        << "the printer stays paused";
    EXPECT_TRUE(fs::exists(install / "emf" / "page0001.emf")) << "the user's files stay";
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(MainWindowTest, SaveWritesEveryOpenedPage) {
    session->OpenedFiles = {install / "emf" / "page0001.emf", install / "emf" / "page0003.emf"};
    startProgram({});
    ASSERT_EQ(session->PageList.count(), 2);
    std::vector<app::SaveDialogRequest> asked;
    const fs::path chosen = dir / "out" / "Opened.png";
    program->port().saveDialogHook = [&](const app::SaveDialogRequest& request) {
        asked.push_back(request);
        app::SaveDialogResult answer;
        answer.ok = true;
        answer.path = chosen.string();
        for (size_t i = 0; i < request.types.size(); ++i) {
            if (request.types[i].pattern.find("png") != std::string::npos)
                answer.type = static_cast<int>(i) + 1;
        }
        return answer;
    };
    wxCommandEvent save(wxEVT_MENU, ui::wxIdOf(cmd::kSave));
    save.SetEventObject(frame());
    frame()->ProcessWindowEvent(save);
    const auto written = [&] {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(dir / "out"))
            if (e.path().extension() == ".png")
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    };
    ASSERT_TRUE(pumpUntil([&] { return written().size() == 2 && !session->writerRunning; }))
        << written().size() << " files";
    ASSERT_EQ(asked.size(), 1u);
    // Each file holds its own page: the two opened pages differ, so do their images.
    const auto files = written();
    for (const auto& file : files) EXPECT_EQ(file.filename().string().rfind("Opened", 0), 0u) << file;
    Magick::Image first(files[0].string()), second(files[1].string());
    EXPECT_GT(first.columns(), 0u);
    EXPECT_FALSE(first.compare(second)) << "page 1 and page 3 give different images";
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(MainWindowTest, ACloseRequestUnderARunningDialogEndsTheDialogFirst) {
    // A later instance asks this one to close while Tip of the Day is up:
    // the dialog is cancelled and the window closes after it, not under it.
    startProgram({"quick"});
    bool dialogStillRunning = false;
    dialogActions.push_back([&](wxDialog& dialog) {
        program->requestClose();
        dialogStillRunning = !program->closed();
        EXPECT_FALSE(dialog.IsModal()) << "asked to end its own loop";
    });
    program->commands().tipOfTheDay();
    EXPECT_TRUE(dialogStillRunning);
    EXPECT_FALSE(program->port().modalRunning());
    ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5)) << "closed once the dialog had ended";
}

// Whether a splash screen is up.
bool splashShown() {
    for (wxWindow* w : wxTopLevelWindows)
        if (dynamic_cast<wxSplashScreen*>(w) != nullptr && w->IsShown())
            return true;
    return false;
}

// Tip of the Day at start, and a later instance asks this one to close
// while it is up: the window closes and the start-up shows nothing more
// (no splash left on its own after the window).
TEST_F(MainWindowTest, ACloseRequestUnderTheStartTipEndsTheStartUp) {
    store->writeDword(platform::RegRoot::CurrentUser, "lvStartHelpCheck", 0);
    int splashes = 0;
    beforeStart = [&splashes](ui::MainProgram& p) {
        p.tipOfTheDay = [&p] { p.commands().tipOfTheDay(); };
        p.splash = [&p, &splashes] {
            ++splashes;
            p.commands().splash();
        };
    };
    bool tipShown = false;
    dialogActions.push_back([&](wxDialog&) {
        tipShown = true;
        program->requestClose();
    });
    startProgram({"quick"});
    EXPECT_TRUE(tipShown);
    ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5));
    EXPECT_EQ(splashes, 0) << "no splash once a close was asked for";
    EXPECT_FALSE(splashShown());
}

// A splash still up when the window closes goes with it: the program does
// not live on for the rest of the splash's time.
TEST_F(MainWindowTest, ASplashStillUpGoesWithTheWindow) {
    startProgram({"quick"});
    program->commands().splash();
    ASSERT_TRUE(splashShown());
    program->requestClose();
    ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5));
    EXPECT_FALSE(splashShown()) << "taken down as the window closed";
}

// A message box over Tip of the Day (an error found at start-up): the
// close request ends both, the inner one first, and the window closes.
TEST_F(MainWindowTest, ACloseRequestEndsNestedModalWindowsOneAfterTheOther) {
    startProgram({"quick"});
    program->port().answerHook = nullptr;  // the real box
    app::MessageAnswer answer = app::MessageAnswer::Yes;
    bool boxShown = false;
    dialogActions.push_back([&](wxDialog&) {
        boxShown = true;
        wxTheApp->CallAfter([] { ui::MainProgram::signalCloseRequest(); });
        answer =
            program->port().showMessage("Some files could not be opened as pages", "Quillo Scrivlet Message",
                                        app::MessageButtons::Ok, app::MessageIcon::Error);
    });
    program->commands().tipOfTheDay();
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(answer, app::MessageAnswer::Ok) << "a closed window's answer";
    EXPECT_FALSE(program->port().modalRunning());
    ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5)) << "closed after both";
}

TEST_F(MainWindowTest, ACloseRequestBySignalIsCarriedOutWhileTheWindowIsIdle) {
    startProgram({"quick"});
    ui::MainProgram::signalCloseRequest();
    // No event but the program's own timer: the request is still seen.
    ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5));
    EXPECT_GT(store->readDword(platform::RegRoot::CurrentUser, "lvWinRight"), 0)
        << "an orderly close stores the placement";
}

// Exit and back to Word: the window titled exactly as the stored Word
// title gets the focus; the main window closes in every case.
TEST_F(MainWindowTest, ExitBringsTheWordWindowForwardByItsExactTitle) {
    const std::string wordTitle = "Report 7.doc - Word processor";
    const struct {
        const char* stored;  // CurWordWinName; none when null
        bool forward;
    } rows[] = {
        {nullptr, false},  // no title read (first: nothing stored yet)
        {"Report 7.doc - Word processor", true},
        {"Report 7.doc", false},                   // a prefix is not the title
        {"report 7.doc - word processor", false},  // nor another case
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored ? row.stored : "(none)");
        OtherWindow word(wordTitle);
        if (row.stored != nullptr)
            store->writeString(platform::RegRoot::CurrentUser, "CurWordWinName", row.stored);
        startProgram({"quick"});
        ASSERT_FALSE(word.hasFocus());
        click(frame()->button(4), wxPoint(20, 16));  // "Exit and back to Word"
        ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5)) << "the window closes all the same";
        EXPECT_EQ(word.hasFocus(), row.forward);
        EXPECT_EQ(session->PageList.count(), 0) << "the pages are let go";
        closeProgram();
        reopen();
    }
}

// The info line is drawn only on a client area wider than 630 pixels.
TEST_F(MainWindowTest, InfoLineNeedsAClientWiderThan630Pixels) {
    startProgram({"quick"});
    // Pixels of the info line's box that are none of its three fills: the
    // text's.
    auto inked = [this](int clientWidth) {
        frame()->SetClientSize(clientWidth, 500);
        pumpFor(0.3);
        frame()->Refresh();
        frame()->Update();
        pumpFor(0.2);
        const wxImage shot = grab(frame());
        const int bottom = shot.GetHeight();
        int count = 0;
        for (int y = bottom - 21; y < bottom - 5; ++y) {
            for (int x = 15 + ui::kButtonWidth; x < 15 + ui::kButtonWidth + 300; ++x) {
                if (!pixelIs(shot, x, y, 224, 224, 248) && !pixelIs(shot, x, y, 215, 215, 247) &&
                    !pixelIs(shot, x, y, 207, 207, 245))
                    ++count;
            }
        }
        return count;
    };
    const struct {
        int width;
        bool text;
    } rows[] = {{700, true}, {631, true}, {630, false}, {600, false}, {631, true}};
    for (const auto& row : rows) {
        const int count = inked(row.width);
        ASSERT_EQ(frame()->GetClientSize().x, row.width);
        if (row.text)
            EXPECT_GT(count, 50) << row.width;
        else
            EXPECT_EQ(count, 0) << row.width;
    }
}

// The wheel through the display server, as a mouse sends it: over the
// strip 50 pixels down and 100 up per message, over the page view the
// view's line of 100.
TEST_F(MainWindowTest, TheWheelScrollsWhatIsUnderThePointer) {
    if (std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is missing (scripts/packages.txt)";
    startProgram({"quick"});
    session->DemoMode = false;
    frame()->SetSize(0, 0, 700, 450);
    frame()->Raise();
    pumpFor(0.3);
    auto& view = program->view();
    auto wheel = [](int button) {
        ASSERT_EQ(std::system(("xdotool click " + std::to_string(button)).c_str()), 0);
        pumpFor(0.2);
    };
    const int stripMax = frame()->strip()->scrollMax();
    ASSERT_GT(stripMax, 0) << "three pages overflow the strip";
    pointer(frame()->strip(), wxPoint(60, 100));
    wheel(5);
    EXPECT_EQ(view.stripY, std::min(50, stripMax));
    wheel(5);
    EXPECT_EQ(view.stripY, std::min(100, stripMax));
    wheel(4);
    EXPECT_EQ(view.stripY, 0);
    EXPECT_EQ(view.viewY, 0) << "the strip's wheel leaves the page alone";
    ASSERT_TRUE(view.vBar) << "the page is taller than the view";
    pointer(frame()->pageView(), wxPoint(100, 100));
    wheel(5);
    EXPECT_EQ(view.viewY, std::min(100, view.vMax));
    EXPECT_EQ(view.stripY, 0);
    wheel(4);
    EXPECT_EQ(view.viewY, 0);
}

// The strip's thumb follows the real pointer while the button is held and
// stays where it was let go.
TEST_F(MainWindowTest, DraggingTheStripsThumbScrollsTheThumbnails) {
    startProgram({"quick"});
    frame()->SetSize(0, 0, 700, 450);
    frame()->Raise();
    pumpFor(0.3);
    auto* strip = frame()->strip();
    ASSERT_GT(strip->scrollMax(), 0);
    ASSERT_TRUE(strip->bar().shown());
    const wxSize client = strip->GetClientSize();
    const wxRect thumb = strip->bar().thumbRect(client, false);
    const wxPoint grip(thumb.x + thumb.width / 2, thumb.y + 3);
    wxUIActionSimulator sim;
    sim.MouseMove(strip->ClientToScreen(grip));
    pumpFor(0.1);
    sim.MouseDown();
    pumpFor(0.1);
    const struct { int by; } steps[] = {{20}, {60}, {30}, {400}};
    int last = -1;
    for (const auto& step : steps) {
        sim.MouseMove(strip->ClientToScreen(grip + wxPoint(0, step.by)));
        pumpFor(0.15);
        const int y = program->view().stripY;
        const int start = strip->bar().thumbStart(client, false);
        if (step.by == 400) {
            EXPECT_EQ(y, strip->scrollMax()) << "dragged past the end: the last position";
        } else {
            EXPECT_NEAR(start, thumb.y + step.by, 2) << "the thumb under the pointer";
            EXPECT_GT(y, 0);
        }
        if (step.by == 30) {
            EXPECT_LT(y, last) << "back up with the pointer";
        }
        last = y;
    }
    sim.MouseUp();
    pumpFor(0.1);
    const int released = program->view().stripY;
    sim.MouseMove(strip->ClientToScreen(grip));
    pumpFor(0.15);
    EXPECT_EQ(program->view().stripY, released) << "a move after letting go does not scroll";
}

// A later instance's close request reaches a window whose message box or
// popup menu is open: the box ends with a closed window's answer, the menu
// with no choice, and the window closes after them (not never, not under
// them).
TEST_F(MainWindowTest, ACloseRequestEndsAnOpenMessageBoxOrPopupMenu) {
    const struct {
        const char* what;
        bool box;  // else the Help popup
    } rows[] = {{"message box", true}, {"Help popup", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        startProgram({"quick"});
        program->port().answerHook = nullptr;  // the real box
        bool requested = false;
        wxTheApp->CallAfter([&] {
            requested = true;
            ui::MainProgram::signalCloseRequest();
        });
        if (row.box) {
            const auto answer =
                program->port().showMessage("Proceed?", "Quillo Scrivlet Message", app::MessageButtons::YesNo,
                                            app::MessageIcon::Question);
            EXPECT_EQ(answer, app::MessageAnswer::No) << "a closed window's answer";
        } else {
            frame()->clickButton(3, frame()->button(3), wxPoint(20, 16));  // returns once it has ended
        }
        EXPECT_TRUE(requested) << "asked while it was open";
        ASSERT_TRUE(pumpUntil([this] { return program->closed(); }, 5)) << "closed after it";
        closeProgram();
        reopen();
    }
}

// An earlier instance that stays past the bound still owns the work folder
// (it empties it as it ends): the new one says so and captures nothing.
TEST_F(MainWindowTest, AnEarlierInstanceThatStaysIsNotCapturedOver) {
    const auto temp = folders->systemTempFolder();
    ASSERT_TRUE(temp);
    const fs::path file = *temp / "Scrivlet.instance";
    const std::string script = "trap '' TERM; exec flock -o '" + file.string() + "' sleep 30";
    std::string sh = "/bin/sh", c = "-c", body = script;
    char* argv[] = {sh.data(), c.data(), body.data(), nullptr};
    pid_t holder = -1;
    ASSERT_EQ(::posix_spawn(&holder, "/bin/sh", nullptr, nullptr, argv, environ), 0);
    // Until the holder has the lock (a busy machine starts it late).
    const auto held = [&file] {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);  // also lets go of a lock this test took
        return taken;
    };
    ASSERT_TRUE(pumpUntil(held, 20)) << "the holder never took the lock";
    std::ofstream(file) << holder << "\n";
    program = std::make_unique<ui::MainProgram>(
        ui::WindowedStart{*session, *store, *registry, *folders, [] { return fnSLPrnRefresh(); },
                          [](const fs::path&, const std::string&) {}});
    program->instanceBound = std::chrono::milliseconds(400);
    program->port().answerHook = [this](const std::string& text, const std::string&, app::MessageButtons,
                                        app::MessageIcon) {
        messages.push_back(text);
        return app::MessageAnswer::Ok;
    };
    EXPECT_FALSE(program->start({"quick"}));
    EXPECT_EQ(messages, std::vector<std::string>{ui::kEarlierStaysMessage});
    EXPECT_EQ(program->frame(), nullptr) << "no window";
    program.reset();
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
}

}  // namespace
}  // namespace gui_test
