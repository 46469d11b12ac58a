#include "output/mail.h"

#include <functional>
#include <thread>
#include <variant>

#include "output/mail_commands.h"
#include "output/pdf_export.h"
#include "output/save_command.h"
#include "output/wallpaper.h"
#include "tests/output/writer_fixture.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

class MailTest : public WriterFixture {
protected:
    SaveCommands save{services};
    PdfExport pdf{services};
    MailCommands mail{services, save, pdf};

    void SetUp() override {
        WriterFixture::SetUp();
        fakeProgram("xdg-email");
    }
    void emailAndWait() {
        mail.email();
        thread.wait();
    }
    std::string work() const { return folders.workFolder().value().string(); }
    // Only the test's own programs on PATH.
    void onlyFakePrograms() { ::setenv("PATH", (dir / "bin").c_str(), 1); }
};

TEST_F(MailTest, TwoPagesAsJpgAreAttachedInPageOrder) {
    session.macroExchange.DocumentName = "Minutes.doc";
    capture({"0001.emf", "0002.emf"});
    store.writeDword(RegRoot::CurrentUser, "KodEmailFormat", 3);
    ui.scriptMailDialog(true, 1, false);
    emailAndWait();
    EXPECT_EQ(programLog("xdg-email"),
              (std::vector<std::string>{"--attach", work() + "/Minutes0001.jpg", "--attach",
                                        work() + "/Minutes0002.jpg", "--end--"}));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodEmailFormat"), 1);
    EXPECT_FALSE(session.MailRoute);
    const auto events = ui.events();
    for (const auto& e : events) {
        if (const auto* sheet = std::get_if<testing_support::SheetShown>(&e);
            sheet && sheet->sheet == "mail") {
            EXPECT_EQ(sheet->code, 3) << "the stored format is preselected";
        }
    }
}

TEST_F(MailTest, StoredFormatZeroOrMissingPreselectsJpg) {
    capture({"0001.emf"});
    for (const std::int32_t stored : {-2, 0}) {
        if (stored == 0)
            store.writeDword(RegRoot::CurrentUser, "KodEmailFormat", 0);
        ui.scriptMailDialog(false, 0, false);
        mail.email();
    }
    int shown = 0;
    for (const auto& e : ui.events())
        if (const auto* sheet = std::get_if<testing_support::SheetShown>(&e);
            sheet && sheet->sheet == "mail") {
            EXPECT_EQ(sheet->code, 1);
            ++shown;
        }
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(programLog("xdg-email").empty()) << "Cancel sends nothing";
}

TEST_F(MailTest, APdfIsAttachedAsDocPdf) {
    session.macroExchange.DocumentName = "Minutes.doc";
    use(app::FormatCode::GIF);
    capture({"0001.emf", "0002.emf"});
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "PNG");
    ui.scriptMailDialog(true, 6, false);
    emailAndWait();
    EXPECT_EQ(programLog("xdg-email"),
              (std::vector<std::string>{"--attach", work() + "/doc.pdf", "--end--"}));
    EXPECT_TRUE(fs::exists(work() + "/0002.PNG"));
    EXPECT_EQ(session.MultipageMode, 0);
    EXPECT_TRUE(session.CurrentFormat.GIF_Default) << "the format before the mail is current again";
}

// The mailed PDF's pages are drawn in its inside format: that format is
// current while the run lasts, the one before it afterwards.
TEST_F(MailTest, APdfIsDrawnInItsInsideFormatWhileItsRunLasts) {
    struct Case {
        const char* inside;
        std::function<bool(const app::FormatFlags&)> current;
    };
    const Case cases[] = {
        {"JPG", [](const app::FormatFlags& f) { return f.JPG_Default; }},
        {"PNG", [](const app::FormatFlags& f) { return f.PNG_Default; }},
        {"BMP", [](const app::FormatFlags& f) { return f.BMP_Default; }},
        {"TIF", [](const app::FormatFlags& f) { return f.TIF_Default; }},
    };
    capture({"0001.emf"});
    for (const Case& c : cases) {
        use(app::FormatCode::GIF);
        store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", c.inside);
        ui.scriptMailDialog(true, 6, false);
        app::FormatFlags duringRun;
        const auto testThread = std::this_thread::get_id();
        ui.onEvent([&, testThread](const testing_support::UiEvent& e) {
            const auto* cursor = std::get_if<testing_support::WaitCursor>(&e);
            if (std::this_thread::get_id() != testThread && cursor && cursor->begin)
                duringRun = session.CurrentFormat;
        });
        emailAndWait();
        ui.onEvent({});
        EXPECT_TRUE(c.current(duringRun)) << c.inside << " is current for the run";
        EXPECT_TRUE(session.CurrentFormat.GIF_Default) << c.inside << ": the format before the mail again";
    }
}

TEST_F(MailTest, ALongDocumentNameIsCutAndAClipboardPageHasNone) {
    session.macroExchange.DocumentName = std::string(71, 'L') + ".doc";
    capture({"0001.emf"});
    ui.scriptMailDialog(true, 2, false);
    emailAndWait();
    EXPECT_EQ(programLog("xdg-email")[1], work() + "/" + std::string(49, 'L') + "0001.gif");
    fs::remove(dir / "xdg-email.log");
    session.macroExchange.DocumentName.clear();
    ui.scriptMailDialog(true, 2, false);
    emailAndWait();
    EXPECT_EQ(programLog("xdg-email")[1], work() + "/0001.gif");
}

TEST_F(MailTest, NoMailProgramOrAFailingOneIsReported) {
    fs::create_directories(dir / "files");
    Mailer missing(ui, "scrivlet-no-such-mailer");
    EXPECT_FALSE(missing.sendDocuments({(dir / "files" / "a.jpg").string()}));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_NE(ui.messages()[0].text.find("not found"), std::string::npos) << ui.messages()[0].text;
    EXPECT_NE(ui.messages()[0].text.find((dir / "files").string()), std::string::npos)
        << "where the files are";
    fakeProgram("failing-mailer", 3);
    Mailer failing(ui, "failing-mailer");
    EXPECT_FALSE(failing.sendDocuments({(dir / "files" / "a.jpg").string()}));
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_NE(ui.messages()[1].text.find("code 3"), std::string::npos) << ui.messages()[1].text;
    EXPECT_TRUE(mailer.sendDocuments({(dir / "files" / "a.jpg").string()}));
    EXPECT_EQ(ui.messages().size(), 2u);
}

TEST_F(MailTest, AListLongerThan130000CharactersArrivesWhole) {
    std::vector<std::string> files;
    std::size_t joined = 0;
    for (int i = 0; joined <= 130000; ++i) {
        files.push_back((dir / "files").string() + "/" + std::string(230, 'p') + std::to_string(i) + ".jpg");
        joined += files.back().size() + 1;
    }
    ASSERT_TRUE(mailer.sendDocuments(files));
    std::vector<std::string> attached;
    const auto log = programLog("xdg-email");
    for (std::size_t i = 0; i + 1 < log.size(); ++i)
        if (log[i] == "--attach")
            attached.push_back(log[i + 1]);
    EXPECT_EQ(attached, files);
}

TEST_F(MailTest, TheEmergencyReportsMail) {
    const std::string report = (dir / "install" / "Report.log").string();
    ASSERT_TRUE(mailer.sendReport(report));
    EXPECT_EQ(programLog("xdg-email"),
              (std::vector<std::string>{"--subject", "Quillo Scrivlet Emergency Report", "--body",
                                        "Describe the problems in detail, please:\r", "", "--attach", report,
                                        "support@quillo.example", "--end--"}));
    fakeProgram("failing-mailer", 1);
    Mailer failing(ui, "failing-mailer");
    EXPECT_FALSE(failing.sendReport(report));
    Mailer missing(ui, "scrivlet-no-such-mailer");
    EXPECT_FALSE(missing.sendReport(report));
    const auto messages = ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text,
              "Sorry, Scrivlet cannot send Emergency Report automatically.\nPlease send the report file "
              "manually to "
              "'support@quillo.example'.\n" +
                  report + "\n\nError 000876");
    EXPECT_EQ(messages[1].text,
              "Sorry, Scrivlet cannot send Emergency Report automatically.\nPlease send the report file "
              "manually.\n" +
                  report + "\n\nError 000878");
    EXPECT_EQ(messages[1].caption, "Quillo Scrivlet Mailer Message");
    EXPECT_EQ(messages[1].icon, app::MessageIcon::Error);
}

TEST_F(MailTest, SendToWritesABmpForTif) {
    session.macroExchange.DocumentName = "Minutes.doc";
    use(app::FormatCode::TIF);
    capture({"70001.emf", "70002.emf"});
    session.PageList.currentPage = 1;
    mail.sendTo();
    const std::string path = work() + "/Minutes0002.bmp";
    EXPECT_EQ(programLog("xdg-email"), (std::vector<std::string>{"--attach", path, "--end--"}));
    EXPECT_EQ(readImage(path).magick(), "BMP");
    EXPECT_EQ(session.OutputFileList[0], path);
}

TEST_F(MailTest, WallpaperRegistryValuesAndTheDesktopSetting) {
    fakeProgram("gsettings");
    capture({"0001.emf"});
    Wallpaper wallpaper(services);
    // No keys: no values, no keys created; the desktop still gets the file.
    const std::string path = wallpaper.setToWallpaper();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(readImage(path).magick(), "BMP");
    EXPECT_EQ(fs::path(path).filename(), "QuilloWallpaper.bmp");
    EXPECT_EQ(fs::path(path).parent_path(), folders.systemTempFolder().value());
    EXPECT_FALSE(registry.openKey(RegRoot::CurrentUser, "Control Panel\\Desktop", platform::RegAccess::Read));
    const std::string uri = fileUri(path);
    EXPECT_EQ(
        programLog("gsettings"),
        (std::vector<std::string>{"set", "org.gnome.desktop.background", "picture-uri", uri, "--end--", "set",
                                  "org.gnome.desktop.background", "picture-uri-dark", uri, "--end--"}));
    EXPECT_FALSE(wallpaper.noActiveDesktop()) << "the second key is tried only after the first";

    // The desktop key alone: Wallpaper is set, no Active Desktop.
    ASSERT_TRUE(registry.createKey(RegRoot::CurrentUser, "Control Panel\\Desktop", platform::RegAccess::All));
    wallpaper.setToWallpaper();
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "Wallpaper"), std::nullopt)
        << "not under the product key";
    const auto desktop =
        registry.openKey(RegRoot::CurrentUser, "Control Panel\\Desktop", platform::RegAccess::Read);
    ASSERT_TRUE(desktop);
    const auto value = desktop->queryValue("Wallpaper");
    ASSERT_TRUE(value);
    EXPECT_EQ(app::textOfValue(*value), path);
    EXPECT_TRUE(wallpaper.noActiveDesktop());
    EXPECT_FALSE(registry.openKey(RegRoot::CurrentUser,
                                  "SOFTWARE\\Microsoft\\Internet Explorer\\Desktop\\General",
                                  platform::RegAccess::Read));

    // Both keys.
    ASSERT_TRUE(registry.createKey(RegRoot::CurrentUser,
                                   "SOFTWARE\\Microsoft\\Internet Explorer\\Desktop\\General",
                                   platform::RegAccess::All));
    Wallpaper second(services);
    second.setToWallpaper();
    const auto general =
        registry.openKey(RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Internet Explorer\\Desktop\\General",
                         platform::RegAccess::Read);
    ASSERT_TRUE(general);
    const auto backup = general->queryValue("BackupWallpaper");
    ASSERT_TRUE(backup);
    EXPECT_EQ(app::textOfValue(*backup), path);
    EXPECT_FALSE(second.noActiveDesktop());
    EXPECT_EQ(fileUri("/a b/c%.bmp"), "file:///a%20b/c%25.bmp");
}

}  // namespace
}  // namespace output
