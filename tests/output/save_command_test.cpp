#include "output/save_command.h"

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/pdf_export.h"
#include "tests/output/writer_fixture.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using app::MessageAnswer;
using platform::RegRoot;

class SaveTest : public WriterFixture {
protected:
    SaveCommands commands{services};

    void saveAndWait() {
        commands.save();
        thread.wait();
    }
    // Sets AbortRequested once, at the first event the run itself reports.
    void pressEscDuringTheRun() {
        const auto testThread = std::this_thread::get_id();
        auto pressed = std::make_shared<std::atomic<bool>>(false);
        ui.onEvent([this, testThread, pressed](const testing_support::UiEvent&) {
            if (std::this_thread::get_id() != testThread && !pressed->exchange(true))
                session.AbortRequested = true;
        });
    }
};

TEST_F(SaveTest, EveryPageIsWrittenByTheNamingRule) {
    capture({"70001.emf", "70002.emf", "70003.emf"});
    session.macroExchange.DocumentName = "Annual.Report.doc";
    ui.scriptSaveDialog(chosen(dir / "out" / "Report.jpg", 1));
    fs::create_directories(dir / "out");
    saveAndWait();

    const testing_support::SaveDialogShown* shown = nullptr;
    const auto events = ui.events();
    for (const auto& e : events)
        if (!shown)
            shown = std::get_if<testing_support::SaveDialogShown>(&e);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->request.initialName, "Annual") << "the document name up to its first dot";
    EXPECT_EQ(shown->request.types.size(), 5u);
    EXPECT_EQ(shown->request.checkBoxes, 1);
    for (const char* name : {"Report0001.jpg", "Report0002.jpg", "Report0003.jpg"}) {
        ASSERT_TRUE(fs::exists(dir / "out" / name)) << name;
        EXPECT_EQ(readImage(dir / "out" / name).magick(), "JPEG") << name;
    }
    EXPECT_EQ(session.OutputFileList[2], (dir / "out" / "Report0003.jpg").string());
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "SavePath"), (dir / "out").string() + "/");
    EXPECT_EQ(ui.waitCursorDepth(), 0);
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SaveTest, PagesOfTwoJobsBothStartAtOne) {
    capture({"70001.emf", "70002.emf", "90001.emf"});
    fs::create_directories(dir / "out");
    ui.scriptSaveDialog(chosen(dir / "out" / "R", 3));
    saveAndWait();
    EXPECT_TRUE(fs::exists(dir / "out" / "R0001.png"));
    EXPECT_TRUE(fs::exists(dir / "out" / "R0002.png"));
    EXPECT_EQ(session.OutputFileList[0], session.OutputFileList[2])
        << "the second job's page replaces the first";
    EXPECT_EQ(readImage(dir / "out" / "R0001.png").magick(), "PNG");
}

TEST_F(SaveTest, AFullPathOf150IsAcceptedAnd151Refused) {
    capture({"0001.emf"});
    const std::string tail = "/Report0001.jpg";
    for (std::size_t length : {std::size_t{150}, std::size_t{151}}) {
        std::string folder = (dir / "d").string();
        folder += std::string(length - folder.size() - tail.size(), 'x');
        fs::create_directories(folder);
        ui.scriptSaveDialog(chosen(folder + "/Report.jpg", 1));
        const auto before = ui.messages().size();
        saveAndWait();
        ASSERT_EQ((folder + tail).size(), length);
        EXPECT_EQ(fs::exists(folder + tail), length == 150) << length;
        EXPECT_EQ(ui.messages().size() - before, length == 150 ? 0u : 1u) << length;
        if (length == 151) {
            EXPECT_EQ(ui.messages().back().text, kTooLongMessage);
            EXPECT_EQ(ui.messages().back().caption, "Quillo Scrivlet Message");
        }
    }
}

TEST_F(SaveTest, ReplaceIsAskedForTheFirstNameOnly) {
    capture({"0001.emf", "0002.emf"});
    fs::create_directories(dir / "out");
    testing_support::writeFile(dir / "out" / "Report0001.gif", "old one");
    testing_support::writeFile(dir / "out" / "Report0002.gif", "old two");
    // No: the dialog again; then Cancel. GIF has become current all the same.
    ui.scriptSaveDialog(chosen(dir / "out" / "Report.gif", 2));
    ui.scriptAnswers({MessageAnswer::No});
    saveAndWait();
    const auto asked = ui.messages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, (dir / "out" / "Report0001.gif").string() + " already exists. Replace?");
    EXPECT_EQ(asked[0].caption, "Save As");
    EXPECT_EQ(asked[0].buttons, app::MessageButtons::YesNo);
    EXPECT_EQ(asked[0].icon, app::MessageIcon::Warning);
    int dialogs = 0;
    for (const auto& e : ui.events())
        dialogs += std::holds_alternative<testing_support::SaveDialogShown>(e) ? 1 : 0;
    EXPECT_EQ(dialogs, 2) << "No shows the dialog again";
    EXPECT_EQ(testing_support::readFile(dir / "out" / "Report0001.gif"), "old one");
    EXPECT_TRUE(session.CurrentFormat.GIF_Default);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "GIF_Default"), 1);

    // Yes: both files replaced, one question only.
    ui.scriptSaveDialog(chosen(dir / "out" / "Report.gif", 2));
    ui.scriptAnswers({MessageAnswer::Yes});
    saveAndWait();
    EXPECT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(readImage(dir / "out" / "Report0002.gif").magick(), "GIF");
}

TEST_F(SaveTest, OptionsSheetWhenInvokedAndNoRunWithoutACurrentPage) {
    capture({"0001.emf"});
    fs::create_directories(dir / "out");
    ui.scriptSaveDialog(chosen(dir / "out" / "Q.jpg", 1, true));
    ui.scriptSheet(true, [](app::FormatSettings& o) { o.JPG_Quality = 33; });
    saveAndWait();
    EXPECT_EQ(session.formatOptions.JPG_Quality, 33);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Quality"), 33);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "SaveFile_Opt"), 1);
    EXPECT_EQ(readImage(dir / "out" / "Q0001.jpg").quality(), 33u) << "the run writes with the new options";

    session.PageList.currentPage = -1;
    ui.scriptSaveDialog(chosen(dir / "out" / "N.jpg", 1, false));
    saveAndWait();
    EXPECT_FALSE(fs::exists(dir / "out" / "N0001.jpg"));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "SaveFile_Opt"), 0)
        << "settings are written all the same";
}

TEST_F(SaveTest, AbortQuestionOkStopsAndCancelGoesOn) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    fs::create_directories(dir / "out");
    for (const MessageAnswer answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        const std::string base = answer == MessageAnswer::Ok ? "A" : "C";
        pressEscDuringTheRun();
        ui.scriptAnswers({answer});
        ui.scriptSaveDialog(chosen(dir / "out" / (base + ".bmp"), 4));
        saveAndWait();
        const auto asked = messagesWithText("Abort File Generation Process?");
        ASSERT_FALSE(asked.empty()) << base;
        EXPECT_EQ(asked.back().buttons, app::MessageButtons::OkCancel);
        EXPECT_EQ(asked.back().icon, app::MessageIcon::Question);
        EXPECT_EQ(fs::exists(dir / "out" / (base + "0003.bmp")), answer == MessageAnswer::Cancel) << base;
        EXPECT_FALSE(session.AbortRequested) << "asking clears the flag";
        EXPECT_EQ(ui.waitCursorDepth(), 0) << base;
    }
}

TEST_F(SaveTest, TheMailRouteMailsEveryFileOnceAndOnlyWhenComplete) {
    fakeProgram("xdg-email");
    capture({"0001.emf", "0002.emf"});
    fs::create_directories(dir / "work");
    services.SaveFolder = (dir / "work").string();
    services.BaseName = std::string(71, 'M');
    session.MailRoute = true;
    ASSERT_TRUE(commands.startImageRun());
    thread.wait();
    const std::string base = (dir / "work").string() + "/" + std::string(49, 'M');
    EXPECT_EQ(programLog("xdg-email"), (std::vector<std::string>{"--attach", base + "0001.jpg", "--attach",
                                                                 base + "0002.jpg", "--end--"}));
    EXPECT_FALSE(session.MailRoute);

    // Aborted on the mail route: no mail, the flag cleared all the same.
    fs::remove(dir / "xdg-email.log");
    pressEscDuringTheRun();
    ui.scriptAnswers({MessageAnswer::Ok});
    session.MailRoute = true;
    ASSERT_TRUE(commands.startImageRun());
    thread.wait();
    EXPECT_TRUE(programLog("xdg-email").empty());
    EXPECT_FALSE(session.MailRoute);
}

// Aborted after a page was written: the run is not complete, so nothing is
// mailed, not even the page that is there.
TEST_F(SaveTest, TheMailRouteAbortedAfterAPageMailsNothing) {
    fakeProgram("xdg-email");
    capture({"0001.emf", "0002.emf", "0003.emf"});
    fs::create_directories(dir / "work");
    services.SaveFolder = (dir / "work").string();
    services.BaseName = "M";
    const fs::path first = dir / "work" / "M0001.jpg";
    const auto testThread = std::this_thread::get_id();
    auto pressed = std::make_shared<std::atomic<bool>>(false);
    ui.onEvent([this, testThread, pressed, first](const testing_support::UiEvent&) {
        if (std::this_thread::get_id() != testThread && fs::exists(first) && !pressed->exchange(true))
            session.AbortRequested = true;
    });
    ui.scriptAnswers({MessageAnswer::Ok});
    session.MailRoute = true;
    ASSERT_TRUE(commands.startImageRun());
    thread.wait();
    ASSERT_TRUE(pressed->load()) << "the run went on after its first page";
    EXPECT_TRUE(fs::exists(first));
    EXPECT_FALSE(fs::exists(dir / "work" / "M0003.jpg")) << "the abort stopped the run";
    EXPECT_TRUE(programLog("xdg-email").empty());
    EXPECT_FALSE(session.MailRoute);
}

// A failed write stops the run where it is, whichever page it is: the page
// on show (written without a render), one between, the last.
TEST_F(SaveTest, AFailedWriteStopsTheRunNamingFileAndReason) {
    fakeProgram("xdg-email");
    capture({"0001.emf", "0002.emf", "0003.emf"});
    for (const int failing : {1, 2, 3}) {
        SCOPED_TRACE(failing);
        const fs::path out = dir / ("out" + std::to_string(failing));
        const auto file = [&](int page) { return out / ("F000" + std::to_string(page) + ".jpg"); };
        fs::create_directories(file(failing));  // a folder where the file should go
        services.SaveFolder = out.string();
        services.BaseName = "F";
        session.MailRoute = true;
        session.OutputFileList.assign(session.OutputFileList.size(), "");
        ui.clear();
        ASSERT_TRUE(commands.startImageRun());
        thread.wait();
        const auto messages = ui.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find(file(failing).string()), std::string::npos) << messages[0].text;
        EXPECT_NE(messages[0].text.find("Is a directory"), std::string::npos) << messages[0].text;
        for (int page = 1; page <= 3; ++page) {
            if (page < failing) {
                EXPECT_TRUE(fs::is_regular_file(file(page))) << "files written before stay: " << page;
                EXPECT_EQ(session.OutputFileList.at(static_cast<std::size_t>(page - 1)), file(page).string())
                    << "and are counted";
            } else {
                EXPECT_EQ(session.OutputFileList.at(static_cast<std::size_t>(page - 1)), "") << page;
                if (page > failing) {
                    EXPECT_FALSE(fs::exists(file(page))) << "the run stops at the failed page: " << page;
                }
            }
        }
        EXPECT_TRUE(programLog("xdg-email").empty()) << "no mail after a failed run";
        EXPECT_FALSE(session.MailRoute);
        EXPECT_EQ(ui.waitCursorDepth(), 0);
    }
}

TEST_F(SaveTest, AWriteThatFailsHalfwayLeavesTheOldFile) {
    // A file size limit makes the write fail after its first bytes.
    const auto old = "an older page that must survive";
    testing_support::writeFile(dir / "keep.bmp", old);
    Magick::Image big(Magick::Geometry(400, 400), Magick::Color("red"));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto failure = writePageFile(big, dir / "keep.bmp");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(testing_support::readFile(dir / "keep.bmp"), old);
    int leftovers = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        leftovers += entry.path().filename() != "keep.bmp" && entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(leftovers, 0) << "the temporary file is removed";
}

TEST_F(SaveTest, ASecondRunIsRefusedWhileOneIsActive) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(thread.start([released] { released.wait(); }));
    EXPECT_FALSE(thread.start([] { ADD_FAILURE() << "a second run ran"; }));
    capture({"0001.emf"});
    commands.save();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, kRunActiveMessage);
    for (const auto& e : ui.events())
        EXPECT_FALSE(std::holds_alternative<testing_support::SaveDialogShown>(e))
            << "no dialog while a run is active";
    release.set_value();
    thread.wait();
    EXPECT_TRUE(thread.start([] {}));
}

// A run that cannot start because another holds the writer says so once
// and forgets the e-mail route it was started for; the PDF run also puts the
// multipage mode back.
TEST_F(SaveTest, ARunThatCannotStartIsRefusedAndDropsItsRoute) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(thread.start([released] { released.wait(); }));
    capture({"0001.emf"});
    PdfExport pdf{services};
    struct Starter {
        const char* name;
        std::function<bool()> start;
    };
    const Starter starters[] = {
        {"image run", [&] { return commands.startImageRun(); }},
        {"PDF run", [&] { return pdf.startPdfRun({}); }},
    };
    for (const Starter& s : starters) {
        const std::size_t before = ui.messages().size();
        session.MailRoute = true;
        session.MultipageMode = 1;
        EXPECT_FALSE(s.start()) << s.name;
        ASSERT_EQ(ui.messages().size(), before + 1) << s.name;
        EXPECT_EQ(ui.messages().back().text, kRunActiveMessage) << s.name;
        EXPECT_FALSE(session.MailRoute) << s.name;
    }
    EXPECT_EQ(session.MultipageMode, 0) << "the PDF run's mode is put back";
    release.set_value();
    thread.wait();
}

TEST_F(SaveTest, TheRunKeepsTheFormatItStartedWith) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    fs::create_directories(dir / "out");
    // The user picks PNG while the run is at its first page.
    const auto testThread = std::this_thread::get_id();
    ui.onEvent([this, testThread](const testing_support::UiEvent& event) {
        // The run's wait cursor begins before its first render.
        const auto* cursor = std::get_if<testing_support::WaitCursor>(&event);
        if (std::this_thread::get_id() != testThread && cursor && cursor->begin) {
            std::lock_guard lock(session.renderLock);
            use(app::FormatCode::PNG);
        }
    });
    services.SaveFolder = (dir / "out").string();
    services.BaseName = "S";
    ASSERT_TRUE(commands.startImageRun());
    thread.wait();
    for (const char* name : {"S0001.jpg", "S0002.jpg", "S0003.jpg"})
        EXPECT_EQ(readImage(dir / "out" / name).magick(), "JPEG") << name;
}

TEST_F(SaveTest, SaveToWritesTheCurrentPageInTheChosenFormat) {
    use(app::FormatCode::TIF);
    capture({"0001.emf"});
    fs::create_directories(dir / "out");
    ui.scriptSaveDialog(chosen(dir / "out" / "one", 3));
    commands.saveTo();
    EXPECT_EQ(readImage(dir / "out" / "one.png").magick(), "PNG");
    EXPECT_TRUE(session.CurrentFormat.PNG_Default) << "current in memory";
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "PNG_Default"), -1) << "the flags are not written";
}

// Save to... with a name typed without its extension: the file that name
// becomes is asked about before it is replaced (the dialog only saw the
// name as typed); No shows the dialog again and leaves the file alone.
TEST_F(SaveTest, SaveToAsksBeforeReplacingTheFileANameBecomes) {
    use(app::FormatCode::JPG);
    capture({"0001.emf"});
    fs::create_directories(dir / "out");
    const fs::path existing = dir / "out" / "Report0001.jpg";
    testing_support::writeFile(existing, "old");
    const struct {
        const char* typed;
        MessageAnswer answer;
        bool asked, replaced;
    } rows[] = {
        {"Report0001", MessageAnswer::No, true, false},
        {"Report0001", MessageAnswer::Yes, true, true},
        {"Report0001.jpg", MessageAnswer::No, false, true},  // the dialog asked about this one
        {"Other", MessageAnswer::No, false, false},          // nothing there yet
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        testing_support::writeFile(existing, "old");
        ui.clear();
        ui.scriptSaveDialog(chosen(dir / "out" / row.typed, 1));
        if (row.asked) {
            ui.scriptAnswers({row.answer});
            if (row.answer == MessageAnswer::No)
                ui.scriptSaveDialog(app::SaveDialogResult{});  // then Cancel
        }
        commands.saveTo();
        const auto asked = ui.messages();
        ASSERT_EQ(asked.size(), row.asked ? 1u : 0u);
        if (row.asked) {
            EXPECT_EQ(asked[0].text, existing.string() + " already exists. Replace?");
        }
        EXPECT_EQ(testing_support::readFile(existing) != "old", row.replaced);
    }
}

}  // namespace
}  // namespace output
