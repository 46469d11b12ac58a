#include "output/multipage_image.h"

#include <atomic>
#include <list>
#include <thread>

#include "output/mail_commands.h"
#include "output/pdf_export.h"
#include "output/save_command.h"
#include "tests/output/writer_fixture.h"
#include "tests/support/freed_memory.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

std::list<Magick::Image> readFrames(const fs::path& file) {
    std::list<Magick::Image> frames;
    Magick::readImages(&frames, file.string());
    return frames;
}

TEST(MultipageImage, FrameDelayIsTheStoredMillisecondsInHundredths) {
    const std::pair<std::int32_t, std::size_t> cases[] = {{0, 0},    {9, 0},      {10, 1},  {19, 1},
                                                          {250, 25}, {6000, 600}, {-10, 0}, {-1, 0}};
    for (const auto& [ms, hundredths] : cases) EXPECT_EQ(gifFrameDelay(ms), hundredths) << ms;
    EXPECT_STREQ(multipageExtension(kMultipageTif), ".tif");
    EXPECT_STREQ(multipageExtension(kMultipageGif), ".gif");
}

TEST(MultipageImage, NoPagesOrAnUnwritablePlaceLeaveTheOldFile) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    MultipageImageWriter empty(kMultipageGif, 100);
    EXPECT_TRUE(empty.finish(dir / "none.gif").has_value());
    EXPECT_FALSE(fs::exists(dir / "none.gif"));

    testing_support::writeFile(dir / "old.tif", "old");
    MultipageImageWriter writer(kMultipageTif, 0);
    writer.addPage(Magick::Image(Magick::Geometry(8, 8), Magick::Color("white")));
    EXPECT_EQ(writer.pageCount(), 1u);
    const auto failure = writer.finish(dir / "missing" / "a.tif");
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->empty());
    ASSERT_FALSE(writer.finish(dir / "old.tif").has_value());
    EXPECT_EQ(readFrames(dir / "old.tif").size(), 1u) << "replaced whole";
}

// The same pages give the same file, whatever memory the writing reuses:
// pages of odd sizes in every TIF type, so that values and directories fall
// on odd offsets and are aligned with bytes the writer skips.
TEST(MultipageImage, TheSamePagesGiveTheSameFile) {
    Magick::InitializeMagick(nullptr);
    testing_support::TempDir dir;
    const auto write = [&](int mode, const fs::path& file, unsigned char fill) {
        MultipageImageWriter writer(mode, 250);
        for (int type = 0; type < 4; ++type) {
            Magick::Image page(Magick::Geometry(13 + 2 * type, 7), Magick::Color("yellow"));
            page.fillColor("navy");
            page.draw(Magick::DrawableRectangle(0, 0, 5, 3));
            if (mode == kMultipageTif) {
                page.type(type == 0   ? Magick::TrueColorType
                          : type == 1 ? Magick::PaletteType
                          : type == 2 ? Magick::GrayscaleType
                                      : Magick::BilevelType);
                page.compressType(type % 2 ? Magick::LZWCompression : Magick::NoCompression);
            }
            page.density(Magick::Geometry(96 + type, 96 + type));
            testing_support::leaveFreedMemory(fill);
            EXPECT_FALSE(writer.addPage(page));
        }
        EXPECT_FALSE(writer.finish(file));
    };
    for (const int mode : {kMultipageTif, kMultipageGif}) {
        SCOPED_TRACE(mode);
        const fs::path first = dir / ("first" + std::string(multipageExtension(mode)));
        const fs::path second = dir / ("second" + std::string(multipageExtension(mode)));
        write(mode, first, 0x5A);
        write(mode, second, 0xC3);
        EXPECT_EQ(readFrames(first).size(), 4u);
        EXPECT_TRUE(testing_support::readFile(first) == testing_support::readFile(second))
            << "the two files differ";
    }
}

// Stored KodEmailFormat 7 and 8: the e-mail command writes one multipage TIF
// or one animated GIF in the work folder, named by the save rule, and
// attaches that one file.
class MultipageMailTest : public WriterFixture {
protected:
    SaveCommands save{services};
    PdfExport pdf{services};
    MailCommands mail{services, save, pdf};

    void SetUp() override {
        WriterFixture::SetUp();
        fakeProgram("xdg-email");
        session.macroExchange.DocumentName = "Minutes.doc";
    }
    std::string work() const { return folders.workFolder().value().string(); }
    void mailAs(int stored, bool imageOptions = false) {
        store.writeDword(RegRoot::CurrentUser, "KodEmailFormat", static_cast<std::uint32_t>(stored));
        ui.scriptMailDialog(true, stored, imageOptions);
        mail.email();
        thread.wait();
    }
};

TEST_F(MultipageMailTest, CodeSevenMailsOneMultipageTif) {
    use(app::FormatCode::JPG);
    capture({"120001.emf", "120002.emf", "120003.emf"}, 60, 80);
    // The third page in landscape: every page keeps its own size.
    session.PageList.record(2).metafile = pageOf(80, 60);
    session.formatOptions.TIF_Lzw = true;
    mailAs(7);
    const std::string file = work() + "/Minutes0001.tif";
    EXPECT_EQ(programLog("xdg-email"), (std::vector<std::string>{"--attach", file, "--end--"}));
    const auto frames = readFrames(file);
    ASSERT_EQ(frames.size(), 3u);
    std::vector<std::pair<std::size_t, std::size_t>> sizes;
    for (const auto& f : frames) {
        EXPECT_EQ(f.magick(), "TIFF");
        EXPECT_EQ(f.compressType(), Magick::LZWCompression);
        EXPECT_EQ(static_cast<int>(f.density().width()), 50);
        sizes.emplace_back(f.columns(), f.rows());
    }
    const auto shown = session.CurrentImage.load();
    EXPECT_EQ(sizes.front(), std::make_pair(shown->columns(), shown->rows()))
        << "the page as the view shows it";
    EXPECT_EQ(sizes.back(), std::make_pair(sizes.front().second, sizes.front().first));
    EXPECT_EQ(session.OutputFileList[0], file);
    EXPECT_EQ(session.MultipageMode, 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodMultipageFormat"), 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodEmailFormat"), 7);
    EXPECT_TRUE(session.CurrentFormat.JPG_Default) << "the format before the mail is current again";
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Default"), 1);
    EXPECT_FALSE(session.MailRoute);
    EXPECT_TRUE(messagesWithText("Wrong Format\nError 000054").empty());

    // Without LZW the pages are stored uncompressed.
    session.formatOptions.TIF_Lzw = false;
    fs::remove(dir / "xdg-email.log");
    mailAs(7);
    for (const auto& f : readFrames(file)) EXPECT_EQ(f.compressType(), Magick::NoCompression);
}

TEST_F(MultipageMailTest, CodeEightMailsOneAnimatedGifWithTheStoredDelay) {
    use(app::FormatCode::PNG);
    capture({"0001.emf", "0002.emf"});
    session.formatOptions.GIF_Delay = 250;
    mailAs(8);
    const std::string file = work() + "/Minutes0001.gif";
    EXPECT_EQ(programLog("xdg-email"), (std::vector<std::string>{"--attach", file, "--end--"}));
    auto frames = readFrames(file);
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& f : frames) {
        EXPECT_EQ(f.magick(), "GIF");
        EXPECT_EQ(f.animationDelay(), 25u) << "250 ms in hundredths of a second";
        EXPECT_EQ(f.animationIterations(), 0u);
    }
    EXPECT_TRUE(session.CurrentFormat.PNG_Default);
    EXPECT_EQ(session.MultipageMode, 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "KodMultipageFormat"), 0);

    // With "Image Options" the animation page comes first, then GIF's sheet.
    fs::remove(dir / "xdg-email.log");
    ui.scriptExtraPage(true, 370, "BMP");
    mailAs(8, true);
    std::vector<std::pair<std::string, int>> sheets;
    for (const auto& e : ui.events())
        if (const auto* sheet = std::get_if<testing_support::SheetShown>(&e); sheet && sheet->sheet != "mail")
            sheets.emplace_back(sheet->sheet, sheet->code);
    EXPECT_EQ(sheets, (std::vector<std::pair<std::string, int>>{{"extra", 1}, {"format", 2}}));
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "GIF_Delay"), 370);
    frames = readFrames(file);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames.front().animationDelay(), 37u);
}

TEST_F(MultipageMailTest, AnAbortedRunWritesAndMailsNothing) {
    capture({"0001.emf", "0002.emf"});
    // Esc at the first event the run itself reports.
    const auto testThread = std::this_thread::get_id();
    auto pressed = std::make_shared<std::atomic<bool>>(false);
    ui.onEvent([this, testThread, pressed](const testing_support::UiEvent&) {
        if (std::this_thread::get_id() != testThread && !pressed->exchange(true))
            session.AbortRequested = true;
    });
    ui.scriptAnswers({app::MessageAnswer::Ok});
    mailAs(8);
    EXPECT_FALSE(fs::exists(work() + "/Minutes0001.gif"));
    EXPECT_TRUE(programLog("xdg-email").empty());
    EXPECT_EQ(messagesWithText("Abort File Generation Process?").size(), 1u);
    EXPECT_EQ(session.MultipageMode, 0);
    EXPECT_FALSE(session.MailRoute);
}

}  // namespace
}  // namespace output
