// The dialogs' commands without windows: each opened through the dialog port
// by its command, driven through its model, and what OK and Cancel leave in
// the settings store, the session and the written files.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <variant>

#include "platform/spooler/spooler.h"
#include "tests/output/image_headers.h"
#include "tests/output/writer_fixture.h"
#include "ui/dialog_port.h"
#include "ui/hatch_dialog_model.h"
#include "ui/help_book.h"
#include "ui/main_commands.h"
#include "ui/resolution_dialog_model.h"
#include "ui/tip_of_the_day.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

class FakeDialogs : public DialogPort {
public:
    std::function<bool(ResolutionDialogModel&)> resolution;
    std::function<bool(HatchDialogModel&)> hatch;
    std::function<bool(app::FormatCode, app::FormatSettings&, std::string&)> sheet;
    int opened = 0;
    std::vector<std::string> helpTopics;

    bool runResolutionDialog(ResolutionDialogModel& m) override {
        return ++opened, resolution && resolution(m);
    }
    bool runHatchDialog(HatchDialogModel& m) override { return ++opened, hatch && hatch(m); }
    bool runFullFormatSheet(app::FormatCode code, app::FormatSettings& v, std::string& inside) override {
        return ++opened, sheet && sheet(code, v, inside);
    }
    void runTipOfTheDay(TipCycle& tips) override {
        ++opened;
        tips.close(true);
    }
    void showSplash() override { ++opened; }
    bool showHelp(const fs::path& book, const std::string& topicName) override {
        helpTopics.push_back(book.filename().string() + ":" + topicName);
        return true;
    }
};

class DialogCommandsTest : public output::WriterFixture {
protected:
    platform::Spooler spooler{registry, dir / "windows", platform::WindowsPlatform::Win2000};
    ViewModel view;
    FakeDialogs dialogs;
    std::unique_ptr<MainCommands> commands;

    void SetUp() override {
        WriterFixture::SetUp();
        commands = std::make_unique<MainCommands>(
            MainCommandsContext{session, store, folders, spooler, ui, renderer, formats, view, [] {},
                                [](const std::string&) { return true; }, [] { return false; }});
        commands->setOpener("fake-open");
        commands->setDialogs(&dialogs);
    }
    void TearDown() override {
        commands->waitForWriter();
        WriterFixture::TearDown();
    }
    // Through the start buttons' popups (every dialog has its item there).
    RouteResult run(int id) { return commands->router().dispatch(id, CommandMap::StartButton); }
    int dword(const char* name) const { return store.readDword(RegRoot::CurrentUser, name); }
    template <class Event>
    int count() const {
        int n = 0;
        for (const auto& e : ui.events()) n += std::holds_alternative<Event>(e);
        return n;
    }
};

TEST_F(DialogCommandsTest, ResolutionDialogOkAndCancel) {
    capture({"0001.emf", "0002.emf"});  // 60 x 80 mm
    session.resolution.CheckN = session.resolutionDialog.CheckN = 0;
    session.options.lvKodPreset = 3;
    const auto before = session.CurrentImage.load();

    // Cancel: nothing stored, nothing rendered.
    dialogs.resolution = [](ResolutionDialogModel& m) {
        m.radio(res::kPrinter);
        return false;
    };
    EXPECT_EQ(run(cmd::kResolutionDialog), RouteResult::Done);
    EXPECT_EQ(dialogs.opened, 1);
    EXPECT_EQ(dword("CheckN"), -1);
    EXPECT_EQ(dword("ResCur"), -1);
    EXPECT_EQ(session.CurrentImage.load(), before);

    // The width-pixel arrow with the screen chosen: user-defined at the
    // resolution the pixels imply (228 px over 60 mm: 96.52 ppi).
    dialogs.resolution = [](ResolutionDialogModel& m) {
        EXPECT_EQ(m.field(res::kWidthMmField), 60);
        EXPECT_EQ(m.field(res::kWidthPxField), 227);
        m.stepSpin(res::kWidthPxSpin, 1);
        return true;
    };
    ui.clear();
    run(cmd::kResolutionDialog);
    EXPECT_EQ(dword("CheckN"), 2);
    EXPECT_EQ(dword("ResCur"), 965);
    EXPECT_EQ(dword("ScaleCur"), 100);
    EXPECT_EQ(dword("lvKodPreset"), 0);
    EXPECT_EQ(session.options.lvKodPreset, 0);
    EXPECT_EQ(session.resolution.CheckN, 2);
    EXPECT_NEAR(app::currentResolution(session), 96.52, 0.01);
    EXPECT_NE(session.CurrentImage.load(), before) << "the page rendered again";
    EXPECT_EQ(session.ViewState, 2);
    EXPECT_EQ(count<testing_support::ScrollRequested>(), 2) << "page up and page left";
    EXPECT_EQ(ui.waitCursorDepth(), 0);

    // The next opening shows the committed values.
    dialogs.resolution = [](ResolutionDialogModel& m) {
        EXPECT_EQ(m.checkedRadio(), res::kUserDefined);
        EXPECT_EQ(m.field(res::kResolutionField), 96);
        return true;
    };
    run(cmd::kResolutionDialog);
    EXPECT_EQ(dword("ResCur"), 965) << "OK untouched stores the same value";
}

TEST_F(DialogCommandsTest, ResolutionDialogWithoutPagesLeavesNoCurrentPage) {
    session.PageList.currentPage = 0;
    dialogs.resolution = [](ResolutionDialogModel& m) {
        EXPECT_TRUE(m.noPage());
        m.stepSpin(res::kScaleSpin, -1);
        return true;
    };
    run(cmd::kResolutionDialog);
    EXPECT_EQ(dword("ScaleCur"), 99);
    EXPECT_EQ(session.PageList.currentPage, -1);
    EXPECT_EQ(session.ViewState, 1);
}

TEST_F(DialogCommandsTest, HatchDialogWritesWhatChanged) {
    capture({"0001.emf"});
    // No stored style: the background shows, and stays on after Cancel.
    session.RenderOptions.lvBkGrHathStyle = 100;
    dialogs.hatch = [](HatchDialogModel& m) {
        EXPECT_TRUE(m.backgroundShown());
        return false;
    };
    EXPECT_EQ(commands->router().dispatch(cmd::kHatchKey, CommandMap::MainWindow), RouteResult::Done);
    EXPECT_EQ(session.RenderOptions.lvBkGrHathStyle, 4);
    EXPECT_EQ(dword("lvBkGrHathStyle"), -1) << "Cancel writes nothing";

    // Only the hatch colour changed: only lvHatchColor (and the preset).
    session.options.lvKodPreset = 2;
    dialogs.hatch = [](HatchDialogModel& m) {
        Swatch which;
        EXPECT_TRUE(m.press(20, 40, which));
        m.colourChosen(which, 0x0000FF);
        return true;
    };
    ui.clear();
    run(cmd::kHatchMenu);
    EXPECT_EQ(dword("lvHatchColor"), 0xFF);
    EXPECT_EQ(session.RenderOptions.lvHatchColor, 0xFFu);
    for (const char* name : {"lvBkGrHathStyle", "lvCurBkGrColor", "lvHatchWidth", "lvHatchDepress",
                             "lvHatchAngle", "lvHatchLnHor", "lvHatchLnVert"})
        EXPECT_EQ(dword(name), -1) << name;
    EXPECT_EQ(dword("lvKodPreset"), 0);
    EXPECT_EQ(session.options.lvKodPreset, 0);
    EXPECT_GE(count<testing_support::Invalidated>(), 2) << "the view and the thumbnails";
    bool viewErased = false;
    for (const auto& e : ui.events())
        if (const auto* i = std::get_if<testing_support::Invalidated>(&e))
            viewErased |= i->window == app::UiWindow::PageView && !i->area && i->erase;
    EXPECT_TRUE(viewErased) << "the whole page view, erased";
    // The page shows the new hatch: a pure red line somewhere in it.
    const auto image = session.CurrentImage.load();
    bool red = false;
    for (unsigned x = 0; x < image->columns() && !red; ++x) {
        const Magick::ColorRGB c = image->pixelColor(x, 5);
        red = c.red() > 0.99 && c.green() < 0.01 && c.blue() < 0.01;
    }
    EXPECT_TRUE(red);

    // Off and OK: 100; on again and OK: 4.
    dialogs.hatch = [](HatchDialogModel& m) {
        m.toggleBackground();
        return true;
    };
    run(cmd::kHatchMenu);
    EXPECT_EQ(dword("lvBkGrHathStyle"), 100);
    run(cmd::kHatchMenu);
    EXPECT_EQ(dword("lvBkGrHathStyle"), 4);
}

TEST_F(DialogCommandsTest, HatchDialogBeyondTheLastPage) {
    capture({"0001.emf", "0002.emf"});
    session.PageList.currentPage = 5;
    dialogs.hatch = [](HatchDialogModel& m) {
        m.typed(hatch::kSpacingField, "0");
        return true;
    };
    run(cmd::kHatchMenu);
    EXPECT_EQ(session.PageList.currentPage, 1);
    EXPECT_EQ(session.shownPage, 1);
    EXPECT_EQ(dword("lvHatchDepress"), 0);
}

TEST_F(DialogCommandsTest, HatchDialogWithPagesButNoCurrentPage) {
    capture({"0001.emf", "0002.emf"});
    session.PageList.currentPage = -1;
    const auto before = session.CurrentImage.load();
    dialogs.hatch = [](HatchDialogModel& m) {
        m.toggleVertical();
        return true;
    };
    run(cmd::kHatchMenu);
    EXPECT_EQ(dword("lvHatchLnVert"), 0);
    EXPECT_EQ(session.PageList.currentPage, -1);
    EXPECT_EQ(session.CurrentImage.load(), before) << "no page -1 rendered";
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

// The full sheet's options reach the bytes of the file the Save command
// writes next.
TEST_F(DialogCommandsTest, FullSheetOptionsReachTheWrittenFile) {
    struct Case {
        const char* name;
        app::FormatCode format;
        std::function<void(app::FormatSettings&)> edit;
        const char* extension;
        std::function<void(const std::string& bytes)> check;
    };
    const Case cases[] = {
        {"JPG grey", app::FormatCode::JPG, [](auto& v) { v.JPG_Gray = true, v.JPG_Progress = false; }, ".jpg",
         [](const std::string& b) {
             const auto h = testing_support::readJpeg(b);
             EXPECT_EQ(h.components, 1);
             EXPECT_FALSE(h.progressive);
         }},
        {"PNG grey, not interlaced", app::FormatCode::PNG,
         [](auto& v) { v.PNG_TrueIndexGray = 2, v.PNG_Interlace = false; }, ".png",
         [](const std::string& b) {
             const auto h = testing_support::readPng(b);
             EXPECT_EQ(h.colourType, 0);
             EXPECT_EQ(h.interlace, 0);
         }},
        {"TIF without LZW", app::FormatCode::TIF, [](auto& v) { v.TIF_Lzw = false; }, ".tif",
         [](const std::string& b) { EXPECT_EQ(testing_support::readTiff(b).get(259), 1); }},
        {"GIF of 4 colours", app::FormatCode::GIF, [](auto& v) { v.GIF_Colors = 4; }, ".gif",
         [](const std::string& b) { EXPECT_LE(testing_support::readGif(b).globalColourTableSize, 4); }},
    };
    capture({"0001.emf"});
    for (const auto& c : cases) {
        use(c.format);
        dialogs.sheet = [&](app::FormatCode code, app::FormatSettings& v, std::string& inside) {
            EXPECT_EQ(code, c.format) << c.name;
            c.edit(v);
            inside = "PNG";
            return true;
        };
        run(cmd::kFormatSheet);
        EXPECT_EQ(store.readString(RegRoot::CurrentUser, "PDF_Bitmp_Format"), "PNG") << c.name;
        const fs::path base = dir / "out" / (std::string("Sheet") + c.extension);
        fs::create_directories(dir / "out");
        ui.scriptSaveDialog(chosen(base, static_cast<int>(c.format)));
        run(cmd::kSave);
        commands->waitForWriter();
        std::ifstream in(dir / "out" / (std::string("Sheet0001") + c.extension), std::ios::binary);
        ASSERT_TRUE(in) << c.name;
        std::stringstream bytes;
        bytes << in.rdbuf();
        c.check(bytes.str());
    }
    EXPECT_EQ(dword("JPG_Gray"), 1);
    EXPECT_EQ(dword("PNG_TrueIndexGray"), 2);
    EXPECT_EQ(dword("TIF_Lzw"), 0);
    EXPECT_EQ(dword("GIF_Colors"), 4);
}

TEST_F(DialogCommandsTest, FullSheetCancelChangesNothing) {
    capture({"0001.emf"});
    const auto before = session.CurrentImage.load();
    dialogs.sheet = [](app::FormatCode, app::FormatSettings& v, std::string&) {
        v.JPG_Quality = 5;
        return false;
    };
    run(cmd::kFormatSheet);
    EXPECT_EQ(session.formatOptions.JPG_Quality, 90);
    EXPECT_EQ(dword("JPG_Quality"), -1);
    EXPECT_EQ(session.CurrentImage.load(), before);
}

TEST_F(DialogCommandsTest, HelpBookAtItsTopicsOrAMessage) {
    fs::create_directories(dir / "install");
    store.writeString(RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    run(cmd::kHelp);
    ASSERT_EQ(ui.messages().size(), 1u) << "a missing help book is reported";
    EXPECT_NE(ui.messages()[0].text.find("sScrivlet.hhp"), std::string::npos);
    EXPECT_TRUE(dialogs.helpTopics.empty());

    fs::create_directories(dir / "install" / "help");
    std::ofstream(dir / "install" / "help" / "sScrivlet.hhp") << "[OPTIONS]\n";
    ui.clear();
    run(cmd::kHelp);
    commands->help(topic::kResolution);
    commands->help(topic::kHatch);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(dialogs.helpTopics, (std::vector<std::string>{"sScrivlet.hhp:", "sScrivlet.hhp:dim.htm",
                                                            "sScrivlet.hhp:hatch.htm"}));
}

TEST_F(DialogCommandsTest, AboutLibraryCalledOnceOrNothing) {
    fs::create_directories(dir / "install");
    store.writeString(RegRoot::LocalMachine, "InstallPath", (dir / "install").string());
    const fs::path log = dir / "about.log";
    ::setenv("SCRIVLET_ABOUT_PROBE_LOG", log.c_str(), 1);

    // Missing library: nothing happens, nothing is reported.
    EXPECT_EQ(run(cmd::kAbout), RouteResult::Done);
    EXPECT_TRUE(ui.events().empty());
    EXPECT_FALSE(fs::exists(log));
    // A library without the export: the same.
    fs::copy_file(SCRIVLET_NO_ABOUT_EXPORT, dir / "install" / kAboutLibrary);
    run(cmd::kAbout);
    EXPECT_TRUE(ui.events().empty());
    EXPECT_FALSE(fs::exists(log));
    // With it: called once per command with its five arguments.
    fs::copy_file(SCRIVLET_ABOUT_PROBE, dir / "install" / kAboutLibrary,
                  fs::copy_options::overwrite_existing);
    run(cmd::kAbout);
    run(cmd::kAbout);
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"2 1 0 2026 0", "2 1 0 2026 0"}));
    EXPECT_FALSE(callAboutLibrary(kAboutLibrary)) << "never by a bare name";
    ::unsetenv("SCRIVLET_ABOUT_PROBE_LOG");
}

TEST_F(DialogCommandsTest, TipsAndSplashThroughThePort) {
    commands->tipOfTheDay();
    commands->splash();
    EXPECT_EQ(dialogs.opened, 2);
    EXPECT_EQ(dword("lvNumTipOfTheDay"), 1);
    EXPECT_EQ(dword("lvStartHelpCheck"), 0);
    commands->setDialogs(nullptr);
    commands->tipOfTheDay();
    EXPECT_EQ(run(cmd::kResolutionDialog), RouteResult::Done) << "no windows: nothing opens";
    EXPECT_EQ(dialogs.opened, 2);
}

}  // namespace
}  // namespace ui
