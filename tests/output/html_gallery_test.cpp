#include "output/html_gallery.h"

#include <regex>
#include <string>

#include "output/gallery_html.h"
#include "tests/output/writer_fixture.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using app::MessageAnswer;

// The gallery's HTML as the pieces give it, for a plain base name.
const std::string kAuthor = "    <META NAME=Author CONTENT='Quillo Scrivlet 2 - http://www.quillo.example'>";

std::string expectedFrameset(const std::string& b, const std::string& x) {
    return "<HTML>" + (" <HEAD> <TITLE>" + b + "</TITLE>") + kAuthor + "  </HEAD>" +
           "  <FRAMESET ROWS='24,*' FRAMEBORDER=yes BORDER=1 FRAMESPACING=0>" + "    <FRAME SRC='" + b +
           "_files/header.html' NAME=head SCROLLING=NO>" +
           "    <FRAMESET COLS='167,*' FRAMEBORDER=yes BORDER=1 FRAMESPACING=0>" + "    <FRAME SRC='" + b +
           "_files/bottoms.html' NAME=bottoms>" + "    <FRAME SRC='" + b + "_files/0001" + x + "'" +
           " NAME=win_right>" + "    </FRAMESET>" + "  </FRAMESET>" + "</HTML>";
}

std::string expectedHeader(const std::string& b) {
    return "<HTML>" + (" <HEAD> <TITLE>" + b + "</TITLE>") + kAuthor + " <STYLE TYPE='text/css'>" +
           " body {background:#E0E0F8;margin:0px 0px;padding:3px 50px;vertical-align:bottom;}" +
           " p.hd {font-family:Arial,Tahoma,Helvetica;font-size:10pt;font-style:italic;font-weight:bold;"
           "color:#0000A0;text-align:right;}" +
           " </STYLE>" + "  </HEAD>" + " <p class=hd>" + b + "</p>" + "  </body>" + "</HTML>";
}

std::string expectedBottoms(const std::string& b, const std::vector<std::string>& pages, const std::string& x,
                            bool closed = true) {
    std::string html =
        "<HTML>" + (" <HEAD> <TITLE>" + b + "</TITLE>") + kAuthor + " <STYLE TYPE='text/css'>" +
        " body {background:#E0E0F8;margin:10px 2px;padding:0;vertical-align:top;line-height:80%;}" +
        " a:link,a:visited,a:hover {font-family:Arial,Tahoma,Helvetica;font-size:8pt;font-style:"
        "normal;font-weight:bold;text-decoration:none;}" +
        " a:link {color:#0000FF;} a:visited {color:#6666BB;} a:hover {color:#F00000;}" +
        " img {margin:10px 0 0 0;}" + " </STYLE>" + "  </HEAD>" + "  <BODY><CENTER>";
    for (const auto& n : pages)
        html += " <A HREF='" + n + x + "' TARGET=win_right><IMG SRC='" + n + "_" + x +
                "' VSPACE=2 BORDER=1><BR>" + n + "</A><BR>";
    if (closed)
        html += "  </CENTER></BODY></HTML>";
    return html;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GalleryTest : public WriterFixture {
protected:
    HtmlGallery gallery{services};

    void SetUp() override {
        WriterFixture::SetUp();
        fs::create_directories(dir / "Out");
        session.options.StartFile_Opt = false;
    }
    void exportAndWait() {
        gallery.exportGallery();
        thread.wait();
    }
};

TEST_F(GalleryTest, ThreeJpgPagesGiveTheFilesByteForByte) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    session.PageList.record(2).metafile = pageOf(80, 60);  // a landscape page
    ui.scriptSaveDialog(chosen(dir / "Out" / "Report", 1, false, false));
    exportAndWait();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(namesIn(dir / "Out"), (std::vector<std::string>{"Report.html", "Report_files"}));
    EXPECT_EQ(namesIn(dir / "Out" / "Report_files"),
              (std::vector<std::string>{"0001.jpg", "0001_.jpg", "0002.jpg", "0002_.jpg", "0003.jpg",
                                        "0003_.jpg", "bottoms.html", "header.html"}));
    EXPECT_EQ(testing_support::readFile(dir / "Out" / "Report.html"), expectedFrameset("Report", ".jpg"));
    EXPECT_EQ(testing_support::readFile(dir / "Out" / "Report_files" / "header.html"),
              expectedHeader("Report"));
    EXPECT_EQ(testing_support::readFile(dir / "Out" / "Report_files" / "bottoms.html"),
              expectedBottoms("Report", {"0001", "0002", "0003"}, ".jpg"));
    const auto portrait = readImage(dir / "Out" / "Report_files" / "0001_.jpg");
    EXPECT_EQ(portrait.rows(), 130u);
    EXPECT_LT(portrait.columns(), 130u);
    const auto landscape = readImage(dir / "Out" / "Report_files" / "0003_.jpg");
    EXPECT_EQ(landscape.columns(), 130u);
    EXPECT_LT(landscape.rows(), 130u);
    EXPECT_EQ(readImage(dir / "Out" / "Report_files" / "0002.jpg").columns(),
              session.CurrentImage.load()->columns())
        << "the page at the current resolution";
}

TEST_F(GalleryTest, HostileNamesAreEscapedAndEncoded) {
    capture({"0001.emf"});
    const std::string hostile = "R&D <x>'s \"a\"";
    ui.scriptSaveDialog(chosen(dir / "Out" / hostile, 3, false, false));
    exportAndWait();
    const std::string frameset = testing_support::readFile(dir / "Out" / (hostile + ".html"));
    EXPECT_NE(frameset.find("<TITLE>R&amp;D &lt;x&gt;&#39;s &quot;a&quot;</TITLE>"), std::string::npos);
    EXPECT_NE(frameset.find("SRC='R%26D%20%3Cx%3E%27s%20%22a%22_files/0001.png'"), std::string::npos)
        << frameset;
    // Every quoted attribute value is closed where it should be: no stray quote.
    const std::regex attribute("(SRC|CONTENT|ROWS|COLS)='[^'<>]*'");
    const std::string stripped = std::regex_replace(frameset, attribute, "");
    EXPECT_EQ(stripped.find('\''), std::string::npos) << stripped;
    const std::string header = testing_support::readFile(dir / "Out" / (hostile + "_files") / "header.html");
    EXPECT_NE(header.find("<p class=hd>R&amp;D &lt;x&gt;&#39;s &quot;a&quot;</p>"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "Out" / (hostile + "_files") / "0001_.png"));
    EXPECT_EQ(escapeHtml("Plain-Name_1.x"), "Plain-Name_1.x");
    EXPECT_EQ(percentEncode("Plain-Name_1.x~"), "Plain-Name_1.x~");
}

TEST_F(GalleryTest, RewritingRemovesOnlyTheGallerysOwnFiles) {
    capture({"0001.emf"});
    const fs::path folder = dir / "Out" / "G_files";
    testing_support::writeFile(folder / "notes.txt", "mine");
    testing_support::writeFile(folder / "0007.jpg", "old page");
    testing_support::writeFile(folder / "0007_.gif", "old thumbnail");
    testing_support::writeFile(folder / "sub" / "keep.txt", "mine too");
    ui.scriptSaveDialog(chosen(dir / "Out" / "G", 2, false, false));
    exportAndWait();
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"0001.gif", "0001_.gif", "bottoms.html",
                                                         "header.html", "notes.txt", "sub"}));
    // A file where the folder should be: the folder can be neither created nor reused.
    testing_support::writeFile(dir / "Out" / "F_files", "a file");
    ui.scriptSaveDialog(chosen(dir / "Out" / "F", 1, false, false));
    exportAndWait();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "Error 0009836");
    EXPECT_EQ(ui.messages()[0].caption, "Quillo Scrivlet message");
    EXPECT_FALSE(fs::exists(dir / "Out" / "F.html")) << "nothing is written";
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

TEST_F(GalleryTest, AbortAfterTheFirstPageLeavesBottomsOpenAndNothingOpened) {
    fakeProgram("fake-open");
    capture({"0001.emf", "0002.emf"});
    const auto testThread = std::this_thread::get_id();
    // Esc while the first page's thumbnail renders (its image is written).
    ui.onEvent([&, testThread](const testing_support::UiEvent&) {
        if (std::this_thread::get_id() != testThread && fs::exists(dir / "Out" / "A_files" / "0001.jpg"))
            session.AbortRequested = true;
    });
    ui.scriptAnswers({MessageAnswer::Ok});
    ui.scriptSaveDialog(chosen(dir / "Out" / "A", 1, false, true));
    exportAndWait();
    EXPECT_EQ(testing_support::readFile(dir / "Out" / "A_files" / "bottoms.html"),
              expectedBottoms("A", {"0001"}, ".jpg", false));
    EXPECT_TRUE(programLog("fake-open").empty());
    // Not aborted: the frameset is opened.
    ui.onEvent({});
    ui.scriptSaveDialog(chosen(dir / "Out" / "B", 1, false, true));
    exportAndWait();
    EXPECT_EQ(programLog("fake-open"),
              (std::vector<std::string>{(dir / "Out" / "B.html").string(), "--end--"}));
}

// A page or a thumbnail that cannot be written stops the gallery where it
// is, named with its reason: the pages before keep their files and links, a
// page whose thumbnail failed is written but not linked. A page between, the
// last page and a thumbnail.
TEST_F(GalleryTest, AFileThatCannotBeWrittenStopsTheGalleryWhereItIs) {
    capture({"0001.emf", "0002.emf", "0003.emf"});
    struct Case {
        const char* blocked;  // a folder where this file goes
        std::vector<std::string> linked;
        int pagesWritten;
    };
    const Case cases[] = {
        {"0002.jpg", {"0001"}, 1},
        {"0003.jpg", {"0001", "0002"}, 2},
        {"0002_.jpg", {"0001"}, 2},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        const std::string base = "G" + std::to_string(++run);
        const fs::path folder = dir / "Out" / (base + "_files");
        fs::create_directories(folder / c.blocked);
        session.OutputFileList.assign(session.OutputFileList.size(), "");
        ui.clear();
        ui.scriptSaveDialog(chosen(dir / "Out" / base, 1, false, false));
        exportAndWait();
        const auto messages = ui.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find((folder / c.blocked).string()), std::string::npos)
            << messages[0].text;
        EXPECT_NE(messages[0].text.find("Is a directory"), std::string::npos) << messages[0].text;
        for (int page = 1; page <= 3; ++page) {
            const fs::path file = folder / ("000" + std::to_string(page) + ".jpg");
            const bool written = page <= c.pagesWritten;
            EXPECT_EQ(fs::is_regular_file(file), written) << page;
            EXPECT_EQ(session.OutputFileList.at(static_cast<std::size_t>(page - 1)),
                      written ? file.string() : std::string())
                << page;
        }
        EXPECT_EQ(testing_support::readFile(folder / "bottoms.html"),
                  expectedBottoms(base, c.linked, ".jpg", false));
        EXPECT_EQ(ui.waitCursorDepth(), 0);
    }
}

TEST_F(GalleryTest, TifCurrentOpensOnJpgAndTheReplaceQuestion) {
    use(app::FormatCode::TIF);
    capture({"0001.emf"});
    testing_support::writeFile(dir / "Out" / "T.html", "old");
    ui.scriptSaveDialog(chosen(dir / "Out" / "T", 1, false, false));
    ui.scriptAnswers({MessageAnswer::No});
    exportAndWait();
    const auto events = ui.events();
    const testing_support::SaveDialogShown* shown = nullptr;
    for (const auto& e : events)
        if (!shown)
            shown = std::get_if<testing_support::SaveDialogShown>(&e);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->request.initialType, 1);
    EXPECT_EQ(shown->request.types.size(), 4u);
    EXPECT_EQ(shown->request.checkBoxes, 2);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, (dir / "Out" / "T.html").string() + " already exists. Replace?");
    EXPECT_EQ(testing_support::readFile(dir / "Out" / "T.html"), "old");
}

}  // namespace
}  // namespace output
