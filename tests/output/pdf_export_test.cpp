#include "output/pdf_export.h"

#include <cstdio>
#include <regex>
#include <string>

#include "output/pdf_layer.h"
#include "tests/output/writer_fixture.h"
#include "tests/support/pdf_info.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using app::MessageAnswer;
using platform::RegRoot;

using testing_support::commandOutput;
using testing_support::pageSizes;

class PdfTest : public WriterFixture {
protected:
    PdfExport pdf{services};

    void SetUp() override {
        WriterFixture::SetUp();
        if (commandOutput("command -v pdfinfo").empty())
            GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
        fs::create_directories(dir / "out");
        session.options.StartFile_Opt = false;
        useResolution(100);
    }
    void exportAndWait() {
        pdf.exportPdf();
        thread.wait();
    }
    void useResolution(double dpi) { session.resolution.userResolution = dpi; }
};

TEST_F(PdfTest, PageSizesArePixelsTimes72OverTheResolution) {
    struct Case {
        double dpi;
        const char* inside;
    };
    const Case cases[] = {{150, "BMP"}, {150, "JPG"}, {100, "PNG"}, {300, "TIF"}};
    for (const auto& c : cases) {
        session.PageList.clear();
        useResolution(c.dpi);
        // An A4 page, then a landscape one of 100 x 50 mm.
        capture({"0001.emf", "0002.emf"}, 210, 297);
        session.PageList.record(1).metafile = pageOf(100, 50);
        store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", c.inside);
        const std::string name = std::string("doc") + c.inside + std::to_string(static_cast<int>(c.dpi));
        ui.scriptSaveDialog(chosen(dir / "out" / (name + ".pdf"), 1, false, false));
        exportAndWait();
        const auto sizes = pageSizes(dir / "out" / (name + ".pdf"));
        ASSERT_EQ(sizes.size(), 2u) << name;
        const double a4w = static_cast<double>(session.CurrentImage.load()->columns()) * 72 / c.dpi;
        EXPECT_NEAR(sizes[0].first, 595.3, 1.0) << name;
        EXPECT_NEAR(sizes[0].second, 841.9, 1.0) << name;
        EXPECT_NEAR(sizes[0].first, a4w, 0.75) << name;
        EXPECT_NEAR(sizes[1].first, 283.5, 1.0) << name << ": 100 mm";
        EXPECT_NEAR(sizes[1].second, 141.7, 1.0) << name << ": 50 mm";
        EXPECT_EQ(session.MultipageMode, 0) << name;
        EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodMultipageFormat"), 0) << name;
    }
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(PdfTest, A4At150DpiIs595By842Points) {
    useResolution(150);
    capture({"0001.emf"}, 210, 297);
    const auto columns = static_cast<double>(session.CurrentImage.load()->columns());
    const auto rows = static_cast<double>(session.CurrentImage.load()->rows());
    ASSERT_NEAR(columns, 1240, 1);
    ASSERT_NEAR(rows, 1754, 1);
    ui.scriptSaveDialog(chosen(dir / "out" / "a4.pdf", 1));
    exportAndWait();
    const auto sizes = pageSizes(dir / "out" / "a4.pdf");
    ASSERT_EQ(sizes.size(), 1u) << commandOutput("pdfinfo '" + (dir / "out" / "a4.pdf").string() + "' 2>&1")
                                << (ui.messages().empty() ? "" : ui.messages()[0].text);
    EXPECT_NEAR(sizes[0].first, columns * 72 / 150.0, 0.1) << "BMP keeps the resolution per metre";
    EXPECT_NEAR(sizes[0].second, rows * 72 / 150.0, 0.1);
}

TEST_F(PdfTest, JpegPagesAreEmbeddedAsTheyAre) {
    if (commandOutput("command -v pdfimages").empty())
        GTEST_SKIP() << "pdfimages is not installed";
    useResolution(100);
    capture({"0001.emf", "0002.emf"});
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "JPG");
    ui.scriptSaveDialog(chosen(dir / "out" / "j.pdf", 1));
    exportAndWait();
    commandOutput("pdfimages -all '" + (dir / "out" / "j.pdf").string() + "' '" + (dir / "img").string() +
                  "'");
    const auto work = folders.workFolder().value();
    EXPECT_EQ(session.OutputFileList[1], (work / "0002.JPG").string());
    for (const char* pair : {"0001.JPG=img-000.jpg", "0002.JPG=img-001.jpg"}) {
        const std::string text(pair);
        const auto page = text.substr(0, text.find('='));
        const auto extracted = text.substr(text.find('=') + 1);
        const std::string original = testing_support::readFile(work / page);
        ASSERT_FALSE(original.empty()) << page;
        EXPECT_EQ(testing_support::readFile(dir / extracted), original) << page << " byte for byte";
    }
}

TEST_F(PdfTest, TheResolutionQuestion) {
    capture({"0001.emf"});
    useResolution(96);
    // Cancel ends the command.
    ui.scriptAnswers({MessageAnswer::Cancel});
    exportAndWait();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "Current resolution 96 dpi is too small for PDF.\nRecommended resolution is 100 to 300 dpi.\n"
              "Continue with current resolution?");
    EXPECT_EQ(ui.messages()[0].buttons, app::MessageButtons::YesNoCancel);
    EXPECT_EQ(ui.messages()[0].icon, app::MessageIcon::Question);
    // No opens the resolution dialog; a resolution still below 100 asks again.
    int dialogs = 0;
    pdf.resolutionDialog = [&] { useResolution(++dialogs == 1 ? 99.5 : 100); };
    ui.scriptAnswers({MessageAnswer::No, MessageAnswer::No});
    ui.scriptSaveDialog(chosen(dir / "out" / "r.pdf", 1));
    exportAndWait();
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(ui.messages().size(), 3u) << "asked twice, not at exactly 100";
    EXPECT_EQ(ui.messages()[2].text.substr(0, 23), "Current resolution 99 d") << "truncated";
    EXPECT_TRUE(fs::exists(dir / "out" / "r.pdf"));
    // Yes goes on at 96.
    useResolution(96);
    ui.scriptAnswers({MessageAnswer::Yes});
    ui.scriptSaveDialog(chosen(dir / "out" / "y.pdf", 1));
    exportAndWait();
    const auto sizes = pageSizes(dir / "out" / "y.pdf");
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_NEAR(sizes[0].first, 60 / 25.4 * 72, 0.8);
}

TEST_F(PdfTest, AnAbortedRunLeavesNoUnfinishedFile) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    const auto testThread = std::this_thread::get_id();
    ui.onEvent([this, testThread](const testing_support::UiEvent&) {
        if (std::this_thread::get_id() != testThread)
            session.AbortRequested = true;
    });
    ui.scriptAnswers({MessageAnswer::Ok});
    ui.scriptSaveDialog(chosen(dir / "out" / "ab.pdf", 1));
    exportAndWait();
    EXPECT_FALSE(fs::exists(dir / "out" / "ab.pdf"));
    EXPECT_TRUE(fs::is_empty(dir / "out")) << "no temporary file either";
    EXPECT_EQ(session.MultipageMode, 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodMultipageFormat"), 0);
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

// A page file that cannot be written stops the run where it is, named with
// its reason: the pages before stay in the work folder, no document is left.
// A page between and the last page.
TEST_F(PdfTest, APageFileThatCannotBeWrittenStopsTheRun) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "JPG");
    const fs::path work = folders.workFolder().value();
    const auto file = [&](int page) { return work / ("000" + std::to_string(page) + ".JPG"); };
    for (const int failing : {2, 3}) {
        SCOPED_TRACE(failing);
        for (int page = 1; page <= 3; ++page) fs::remove_all(file(page));
        fs::create_directories(file(failing));  // a folder where the page's file goes
        session.OutputFileList.assign(session.OutputFileList.size(), "");
        ui.clear();
        const fs::path pdfPath = dir / "out" / ("f" + std::to_string(failing) + ".pdf");
        ui.scriptSaveDialog(chosen(pdfPath, 1));
        exportAndWait();
        const auto messages = ui.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find(file(failing).string()), std::string::npos) << messages[0].text;
        EXPECT_NE(messages[0].text.find("Is a directory"), std::string::npos) << messages[0].text;
        EXPECT_FALSE(fs::exists(pdfPath)) << "an unfinished document leaves no file";
        for (int page = 1; page <= 3; ++page) {
            const bool written = page < failing;
            EXPECT_EQ(fs::is_regular_file(file(page)), written) << page;
            EXPECT_EQ(session.OutputFileList.at(static_cast<std::size_t>(page - 1)),
                      written ? file(page).string() : std::string())
                << page;
        }
        EXPECT_EQ(session.MultipageMode, 0);
        EXPECT_EQ(ui.waitCursorDepth(), 0);
    }
}

TEST_F(PdfTest, InsideFormatIsCurrentDuringTheRunAndTheOldFormatAfter) {
    use(app::FormatCode::BMP);
    capture({"0001.emf"});
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "BMP");
    ui.scriptSaveDialog(chosen(dir / "out" / "o.pdf", 1, true, true));
    ui.scriptExtraPage(true, 100, "JPG");
    ui.scriptSheet(true, [](app::FormatSettings& o) { o.JPG_Quality = 42; });
    fakeProgram("fake-open");
    app::FormatFlags duringRun;
    const auto testThread = std::this_thread::get_id();
    ui.onEvent([&, testThread](const testing_support::UiEvent& e) {
        const auto* cursor = std::get_if<testing_support::WaitCursor>(&e);
        if (std::this_thread::get_id() != testThread && cursor && cursor->begin)
            duringRun = session.CurrentFormat;
    });
    exportAndWait();
    EXPECT_TRUE(duringRun.JPG_Default) << "JPG is current for the run";
    EXPECT_TRUE(session.CurrentFormat.BMP_Default) << "BMP again after the run";
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "BMP_Default"), 1);
    EXPECT_EQ(store.readString(RegRoot::CurrentUser, "PDF_Bitmp_Format"), "JPG");
    EXPECT_EQ(readImage(folders.workFolder().value() / "0001.JPG").quality(), 42u);
    EXPECT_EQ(programLog("fake-open"),
              (std::vector<std::string>{(dir / "out" / "o.pdf").string(), "--end--"}));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "StartFile_Opt"), 1);
}

TEST_F(PdfTest, DocumentsThatCannotBeBegun) {
    capture({"0001.emf"});
    ui.scriptSaveDialog(chosen(dir / "missing" / "m.pdf", 1));
    exportAndWait();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Error 000079");
    std::string folder = (dir / "missing").string() + std::string(150, 'x');
    ui.scriptSaveDialog(chosen(folder + "/m.pdf", 1));
    exportAndWait();
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1].text, "The name you entered is too long.\nEnter a shorter name.");
    EXPECT_EQ(session.MultipageMode, 0);
}

TEST_F(PdfTest, TheMailRouteSendsTheOneDocument) {
    fakeProgram("xdg-email");
    capture({"0001.emf", "0002.emf"});
    services.SaveFolder = (dir / "out").string();
    services.BaseName = "doc";
    session.MailRoute = true;
    session.MultipageMode = 1;
    ASSERT_TRUE(pdf.startPdfRun({}));
    thread.wait();
    const std::string path = (dir / "out" / "doc.pdf").string();
    EXPECT_EQ(programLog("xdg-email"), (std::vector<std::string>{"--attach", path, "--end--"}));
    EXPECT_EQ(session.OutputFileList[0], path);
    EXPECT_FALSE(session.MailRoute);
    EXPECT_EQ(pageSizes(path).size(), 2u);
}

TEST(PdfLayer, UnreadableImagesAndUnfinishedDocuments) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "bad.bmp", "not an image");
    PDF* p = PDF_new();
    ASSERT_EQ(PDF_begin_document(p, (dir / "x.pdf").c_str(), 0, ""), 1);
    PDF_set_parameter(p, "SearchPath", dir.path().c_str());
    EXPECT_EQ(PDF_load_image(p, "auto", "bad.bmp", 0, ""), -1);
    EXPECT_EQ(PDF_load_image(p, "auto", "none.bmp", 0, ""), -1);
    PDF_delete(p);
    EXPECT_FALSE(fs::exists(dir / "x.pdf")) << "an unfinished document leaves no file";
}

}  // namespace
}  // namespace output
