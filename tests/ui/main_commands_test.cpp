// The operations behind the command table, without windows: every command
// bound, page changes, button clicks, leaving the demonstration, exit, and
// the commands that reach outside the program (against fakes on PATH).

#include "ui/main_commands.h"

#include <gtest/gtest.h>

#include <variant>

#include "platform/spooler/spooler.h"
#include "render/option_commands.h"
#include "tests/output/writer_fixture.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;
using testing_support::Invalidated;
using testing_support::ScrollRequested;

class MainCommandsTest : public output::WriterFixture {
protected:
    platform::Spooler spooler{registry, dir / "windows", platform::WindowsPlatform::Win2000};
    ViewModel view;
    int closed = 0;
    std::vector<std::string> activated;
    bool capturing = false;
    std::unique_ptr<MainCommands> commands;

    void SetUp() override {
        WriterFixture::SetUp();
        commands = std::make_unique<MainCommands>(MainCommandsContext{
            session, store, folders, spooler, ui, renderer, formats, view, [this] { ++closed; },
            [this](const std::string& title) {
                activated.push_back(title);
                return true;
            },
            [this] { return capturing; }});
        commands->setOpener("fake-open");
    }
    void TearDown() override {
        commands->waitForWriter();
        WriterFixture::TearDown();
    }

    template <class Event>
    std::vector<Event> eventsOf() const {
        std::vector<Event> out;
        for (const auto& e : ui.events())
            if (const auto* p = std::get_if<Event>(&e))
                out.push_back(*p);
        return out;
    }
    std::shared_ptr<const Magick::Image> shown() const { return session.CurrentImage.load(); }
};

TEST_F(MainCommandsTest, EveryCommandOfTheTableIsBound) {
    for (const Command& c : commandTable())
        EXPECT_TRUE(commands->router().isBound(c.action)) << "command " << c.id << " has no operation";
}

TEST_F(MainCommandsTest, NextAndPreviousPage) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    for (int i = 0; i < 3; ++i) {
        auto& r = session.PageList.record(i);
        r.width = 90 + i;
        r.height = 120 + i;
    }
    auto& router = commands->router();
    const auto first = shown();
    view.viewX = 500;
    view.viewY = 20;
    EXPECT_EQ(router.dispatch(cmd::kNextPage, CommandMap::MainWindow), RouteResult::Done);
    EXPECT_EQ(session.PageList.currentPage, 1);
    EXPECT_EQ(session.shownPage, 1);
    EXPECT_EQ(session.ViewState, 2);
    EXPECT_NE(shown(), first) << "page 2 rendered into the shown image";
    EXPECT_EQ(view.viewX, 91) << "limited by the new page's thumbnail width";
    EXPECT_EQ(view.viewY, 20);
    router.dispatch(cmd::kNextPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, 2);
    // On the last page nothing changes: no render, no invalidation.
    const auto last = shown();
    const std::size_t events = ui.events().size();
    router.dispatch(cmd::kNextPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, 2);
    EXPECT_EQ(shown(), last);
    EXPECT_EQ(ui.events().size(), events);
    router.dispatch(cmd::kPreviousPage, CommandMap::MainWindow);
    router.dispatch(cmd::kPreviousPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, 0);
    EXPECT_EQ(session.shownPage, 0);
    const auto top = shown();
    router.dispatch(cmd::kPreviousPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, 0);
    EXPECT_EQ(shown(), top);
    // A thumbnail click.
    EXPECT_TRUE(commands->navigator().selectPage(2));
    EXPECT_EQ(session.PageList.currentPage, 2);
    EXPECT_FALSE(commands->navigator().selectPage(3));
    EXPECT_FALSE(commands->navigator().selectPage(-1));
    EXPECT_EQ(session.PageList.currentPage, 2);
}

TEST_F(MainCommandsTest, PageKeysWithoutPagesKeepNone) {
    commands->router().dispatch(cmd::kPreviousPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, -1);
    commands->router().dispatch(cmd::kNextPage, CommandMap::MainWindow);
    EXPECT_EQ(session.PageList.currentPage, -1);
    EXPECT_EQ(session.ViewState, 0);
}

TEST_F(MainCommandsTest, ScrollKeysAndEscape) {
    using app::ScrollBar;
    using app::ScrollRequest;
    using app::UiWindow;
    const struct {
        int id;
        UiWindow window;
        ScrollBar bar;
        ScrollRequest request;
    } cases[] = {
        {cmd::kStripLineDown, UiWindow::ThumbnailStrip, ScrollBar::Vertical, ScrollRequest::LineDown},
        {cmd::kStripLineUp, UiWindow::ThumbnailStrip, ScrollBar::Vertical, ScrollRequest::LineUp},
        {cmd::kViewLineDown, UiWindow::PageView, ScrollBar::Vertical, ScrollRequest::LineDown},
        {cmd::kViewLineUp, UiWindow::PageView, ScrollBar::Vertical, ScrollRequest::LineUp},
        {cmd::kViewLineRight, UiWindow::PageView, ScrollBar::Horizontal, ScrollRequest::LineDown},
        {cmd::kViewLineLeft, UiWindow::PageView, ScrollBar::Horizontal, ScrollRequest::LineUp},
    };
    for (const auto& c : cases) {
        ui.clear();
        commands->router().dispatch(c.id, CommandMap::MainWindow);
        const auto scrolls = eventsOf<ScrollRequested>();
        ASSERT_EQ(scrolls.size(), 1u) << c.id;
        EXPECT_EQ(scrolls[0].window, c.window) << c.id;
        EXPECT_EQ(scrolls[0].bar, c.bar) << c.id;
        EXPECT_EQ(scrolls[0].request, c.request) << c.id;
    }
    EXPECT_FALSE(session.AbortRequested);
    commands->router().dispatch(cmd::kAbort, CommandMap::MainWindow);
    EXPECT_TRUE(session.AbortRequested);
}

TEST_F(MainCommandsTest, EmailOnlyWithACurrentPage) {
    commands->clickButton(0);
    commands->router().dispatch(cmd::kEmail, CommandMap::MainWindow);
    EXPECT_TRUE(ui.events().empty()) << "no page: nothing at all";
    capture({"0001.emf"});
    ui.clear();
    ui.scriptMailDialog(false, 1, false);
    commands->clickButton(0);
    ASSERT_FALSE(ui.events().empty());
    const auto sheets = eventsOf<testing_support::SheetShown>();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].sheet, "mail");
}

TEST_F(MainCommandsTest, ButtonsRunTheirCommands) {
    capture({"0001.emf"});
    // Save, PDF and HTML open their save dialogs (cancelled here).
    for (int button : {1, 5, 6}) {
        ui.clear();
        session.resolution.userResolution = 150;  // no PDF resolution question
        commands->clickButton(button);
        EXPECT_EQ(eventsOf<testing_support::SaveDialogShown>().size(), 1u) << "button " << button;
    }
    ui.clear();
    commands->clickButton(2);
    commands->clickButton(3);
    EXPECT_TRUE(ui.events().empty()) << "buttons 2 and 3 open popups in the window";
}

TEST_F(MainCommandsTest, LeavingTheDemonstrationForTheOptionsPopup) {
    capture({"0001.emf", "0002.emf"});
    session.DemoMode = true;
    ui.scriptAnswers({app::MessageAnswer::No});
    EXPECT_FALSE(commands->leaveDemonstrationForOptions());
    EXPECT_TRUE(session.DemoMode);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Demo-mode settings will be discarded. Proceed?");
    EXPECT_EQ(ui.messages()[0].caption, "Quillo Scrivlet Message");
    EXPECT_EQ(ui.messages()[0].buttons, app::MessageButtons::YesNo);
    EXPECT_EQ(ui.messages()[0].icon, app::MessageIcon::Question);

    ui.clear();
    session.PageList.currentPage = 5;  // beyond the last page
    const auto before = shown();
    ui.scriptAnswers({app::MessageAnswer::Yes});
    EXPECT_TRUE(commands->leaveDemonstrationForOptions());
    EXPECT_FALSE(session.DemoMode);
    EXPECT_EQ(session.PageList.currentPage, 1);
    EXPECT_EQ(session.shownPage, 1);
    EXPECT_NE(shown(), before);
    const auto scrolls = eventsOf<ScrollRequested>();
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(scrolls[0].request, app::ScrollRequest::PageUp);
    EXPECT_EQ(scrolls[1].bar, app::ScrollBar::Horizontal);
    // Outside the demonstration there is no question.
    ui.clear();
    EXPECT_FALSE(commands->leaveDemonstrationForOptions());
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(MainCommandsTest, ExitBringsWordForwardAndCloses) {
    capture({"0001.emf", "0002.emf"});
    store.writeString(RegRoot::CurrentUser, "CurWordWinName", "Report.doc - Microsoft Word");
    commands->clickButton(4);
    EXPECT_EQ(session.PageList.count(), 0);
    EXPECT_EQ(session.PageList.currentPage, -1);
    EXPECT_EQ(activated, std::vector<std::string>{"Report.doc - Microsoft Word"});
    EXPECT_EQ(closed, 1);
}

TEST_F(MainCommandsTest, ExitWithoutWordsTitleClosesAllTheSame) {
    capture({"0001.emf"});
    capturing = true;  // the worker still lists pages: the list stays for it
    commands->router().dispatch(cmd::kExit, CommandMap::StartButton);
    EXPECT_TRUE(activated.empty());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(session.PageList.count(), 1);
}

TEST_F(MainCommandsTest, CommandsThatReachOutside) {
    capture({"0001.emf"});
    fakeProgram("fake-open");
    fakeProgram("xdg-email");
    fakeProgram("gsettings");
    fs::create_directories(dir / "install");
    store.writeString(RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    auto& r = commands->router();

    r.dispatch(cmd::kOnline, CommandMap::StartButton);
    r.dispatch(cmd::kSupport, CommandMap::StartButton);
    EXPECT_EQ(programLog("fake-open"),
              (std::vector<std::string>{kOnlineAddress, "--end--", kSupportMailLink, "--end--"}));
    // Help without the help book: a message, and no program started.
    ui.clear();
    r.dispatch(cmd::kHelp, CommandMap::MainWindow);
    EXPECT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(programLog("fake-open").size(), 4u);

    r.dispatch(cmd::kWallpaper, CommandMap::PageView);
    EXPECT_FALSE(programLog("gsettings").empty()) << "the desktop's wallpaper set";

    ui.clear();
    ui.scriptAnswers({app::MessageAnswer::Yes});
    r.dispatch(cmd::kEmergencyReport, CommandMap::StartButton);
    EXPECT_TRUE(fs::exists(dir / "install" / "Report.log"));
    EXPECT_FALSE(programLog("xdg-email").empty()) << "the report offered for mailing";
}

TEST_F(MainCommandsTest, OptionCommandsChangeTheSettings) {
    capture({"0001.emf"});
    auto& r = commands->router();
    r.dispatch(cmd::kAntialias5, CommandMap::MainWindow);
    EXPECT_EQ(session.RenderOptions.KodAntialias, 5);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodAntialias"), 5);
    r.dispatch(cmd::kSharpen, CommandMap::StartButton);
    EXPECT_TRUE(session.RenderOptions.lvSharpen);
    r.dispatch(cmd::kDateStamp, CommandMap::StartButton);
    EXPECT_TRUE(session.RenderOptions.lvIncludeDateTime);
    r.dispatch(cmd::kPresetProfessional, CommandMap::MainWindow);
    EXPECT_EQ(session.options.lvKodPreset, 2);
}

}  // namespace
}  // namespace ui
