#include "output/formats.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

using app::FormatCode;
using platform::RegRoot;

class FormatsTest : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir.path());
    app::SettingsStore store{registry};
    app::Session session;
    testing_support::RecordingUi ui;
    FormatService service{session, store, folders, ui};

    void SetUp() override { Magick::InitializeMagick(nullptr); }

    // A colourful 64 x 64 image.
    static Magick::Image sample() {
        Magick::Image img(Magick::Geometry(64, 64), Magick::Color("white"));
        img.modifyImage();
        Magick::PixelPacket* p = img.setPixels(0, 0, 64, 64);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                p[y * 64 + x].red = static_cast<Magick::Quantum>(x * 1000);
                p[y * 64 + x].green = static_cast<Magick::Quantum>(y * 1000);
                p[y * 64 + x].blue = static_cast<Magick::Quantum>((x + y) * 500);
                p[y * 64 + x].opacity = 0;
            }
        }
        img.syncPixels();
        return img;
    }
    void use(FormatCode code) {
        session.CurrentFormat = {code == FormatCode::JPG, code == FormatCode::GIF, code == FormatCode::PNG,
                                 code == FormatCode::BMP, code == FormatCode::TIF};
    }
};

TEST_F(FormatsTest, ListOrderCaptionsAndExtensions) {
    EXPECT_EQ(formats()[0].caption, "JPG (JPEG file interchange format)");
    EXPECT_EQ(formats()[4].extension, ".tif");
    app::FormatFlags none{false, false, false, false, false};
    EXPECT_EQ(extensionOf(none), ".bmp");
    app::FormatFlags two{false, true, false, false, true};
    EXPECT_EQ(extensionOf(two), ".gif") << "GIF is tested before TIF";
}

TEST_F(FormatsTest, EachFormatGetsItsOptionsAndThePreviewItsSize) {
    struct Case {
        FormatCode code;
        std::function<void(app::FormatSettings&)> set;
        std::function<bool(const Magick::Image&)> check;
        const char* label;
    };
    const std::vector<Case> cases = {
        {FormatCode::JPG,
         [](auto& o) {
             o.JPG_Gray = true;
             o.JPG_Quality = 40;
         },
         [](const Magick::Image& i) { return i.quality() == 40 && i.magick() == "JPEG"; },
         "grey JPG at quality 40"},
        {FormatCode::GIF, [](auto& o) { o.GIF_Colors = 16; },
         [](const Magick::Image& i) { return i.totalColors() <= 16; }, "GIF of 16 colours"},
        {FormatCode::PNG,
         [](auto& o) {
             o.PNG_TrueIndexGray = 1;
             o.PNG_Colors = 8;
         },
         [](const Magick::Image& i) { return i.totalColors() <= 8; }, "indexed PNG of 8 colours"},
        {FormatCode::TIF, [](auto& o) { o.TIF_TrueIndexGray = 3; },
         [](const Magick::Image& i) { return i.totalColors() <= 2; }, "black and white TIF"},
        {FormatCode::BMP, [](auto&) {}, [](const Magick::Image& i) { return i.magick() == "BMP"; }, "BMP"},
    };
    for (const auto& c : cases) {
        session.formatOptions = {};
        c.set(session.formatOptions);
        use(c.code);
        session.RenderStatus.encodedSizeKb = -1;
        Magick::Image img = sample();
        service.applyEncodingOptions(img, 150.7);
        EXPECT_TRUE(c.check(img)) << c.label;
        // Read back from the preview, some encoders give the density per centimetre.
        const double density = img.density().width() *
                               (img.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? 2.54 : 1.0);
        EXPECT_NEAR(density, 150, 1) << c.label << ": the resolution, truncated";
        EXPECT_GE(session.RenderStatus.encodedSizeKb, 0) << c.label << ": the preview's size";
        EXPECT_TRUE(std::filesystem::exists(service.previewPath())) << c.label;
        // The page shown is the preview file's picture, whole.
        ASSERT_EQ(img.columns(), 64u) << c.label;
        ASSERT_EQ(img.rows(), 64u) << c.label;
        Magick::Image file(service.previewPath());
        EXPECT_EQ(img.compare(file, Magick::AbsoluteErrorMetric), 0.0) << c.label;
    }
}

TEST_F(FormatsTest, MultipageModesChooseTheirSetAndWriteNoPreview) {
    use(FormatCode::JPG);
    session.MultipageMode = 1;
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "PNG");
    EXPECT_EQ(service.previewPath(), (folders.workFolder().value() / "~CurImg.PNG").string());
    session.RenderStatus.encodedSizeKb = 77;
    Magick::Image img = sample();
    service.applyEncodingOptions(img, 96);
    EXPECT_EQ(session.RenderStatus.encodedSizeKb, 77) << "the shown size is not updated";
    EXPECT_FALSE(std::filesystem::exists(service.previewPath()));
    session.MultipageMode = 2;
    EXPECT_EQ(std::filesystem::path(service.previewPath()).filename(), "~CurImg.tif");
    store.writeString(RegRoot::CurrentUser, "PDF_Bitmp_Format", "");
    EXPECT_EQ(service.pdfInsideFormat(), "BMP");
}

TEST_F(FormatsTest, SelectFormatWritesTheFlagsAndRendersACurrentPage) {
    int renders = 0;
    service.selectFormat(1, [&] { ++renders; });
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Default"), -1)
        << "already the format: nothing happens";
    service.selectFormat(3, [&] { ++renders; });
    EXPECT_TRUE(session.CurrentFormat.PNG_Default);
    EXPECT_FALSE(session.CurrentFormat.JPG_Default);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "PNG_Default"), 1);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Default"), 0);
    EXPECT_EQ(renders, 0) << "no current page";
    EXPECT_EQ(session.PageList.currentPage.load(), -1);
    session.PageList.publish(1);
    session.PageList.currentPage = 0;
    service.selectFormat(5, [&] { ++renders; });
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(ui.waitCursorDepth(), 0);
    service.selectFormat(9, [&] { ++renders; });
    EXPECT_TRUE(session.CurrentFormat.TIF_Default) << "an unknown code does nothing";
}

TEST_F(FormatsTest, SheetCommitsWriteTheirValues) {
    app::FormatSettings v;
    v.GIF_Colors = 32;
    v.GIF_Delay = 250;
    v.JPG_Quality = 55;
    service.commitFormatPage(FormatCode::GIF, v);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "GIF_Colors"), 32);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "GIF_Delay"), 250);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Quality"), -1) << "only that format's options";
    service.commitExtraPage(2, 0, "TIF");
    EXPECT_EQ(service.pdfInsideFormat(), "TIF");
    session.options.lvKodPreset = 2;
    service.commitFullSheet(v, "JPG");
    EXPECT_EQ(session.options.lvKodPreset, 0);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Quality"), 55);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "JPG_Default"), 1);
    EXPECT_EQ(service.pdfInsideFormat(), "JPG");
}

TEST_F(FormatsTest, CurrentFormatByTheFlagOrder) {
    struct Case {
        app::FormatFlags flags;
        FormatCode code;
        const char* extension;
    };
    const Case cases[] = {
        {{true, true, true, true, true}, FormatCode::JPG, ".jpg"},
        {{false, true, true, true, true}, FormatCode::GIF, ".gif"},
        {{false, false, true, true, true}, FormatCode::PNG, ".png"},
        {{false, false, false, true, true}, FormatCode::TIF, ".tif"},
        {{false, false, false, true, false}, FormatCode::BMP, ".bmp"},
        {{false, false, false, false, false}, FormatCode::BMP, ".bmp"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(currentFormatCode(c.flags), c.code) << c.extension;
        EXPECT_EQ(extensionOf(c.flags), c.extension);
    }
    const char* captions[] = {"JPG (JPEG file interchange format)", "GIF (Graphics Interchange Format)",
                              "PNG (Portable Network Graphics)", "BMP (Windows Bitmap)",
                              "TIF (TIFF Tagged Image File Format)"};
    const char* filters[] = {"*.jpg", "*.gif", "*.png", "*.bmp", "*.tif"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<int>(formats()[static_cast<std::size_t>(i)].code), i + 1);
        EXPECT_EQ(formats()[static_cast<std::size_t>(i)].caption, captions[i]);
        EXPECT_EQ(formats()[static_cast<std::size_t>(i)].filter, filters[i]);
    }
}

TEST_F(FormatsTest, SelectFormatWritesAllFiveFlags) {
    for (int code = 1; code <= 5; ++code) {
        use(code == 1 ? FormatCode::BMP : FormatCode::JPG);
        int renders = 0;
        session.PageList.publish(1);
        session.PageList.currentPage = 0;
        service.selectFormat(code, [&] { ++renders; });
        const char* names[] = {"JPG_Default", "GIF_Default", "PNG_Default", "BMP_Default", "TIF_Default"};
        for (int i = 1; i <= 5; ++i) {
            EXPECT_EQ(store.readDword(RegRoot::CurrentUser, names[i - 1]), i == code ? 1 : 0) << code;
            EXPECT_EQ(currentFormatCode(session.CurrentFormat), static_cast<FormatCode>(code));
        }
        EXPECT_EQ(renders, 1) << code;
        // The same again: nothing.
        store.writeDword(RegRoot::CurrentUser, names[code - 1], 7);
        service.selectFormat(code, [&] { ++renders; });
        EXPECT_EQ(renders, 1) << code;
        EXPECT_EQ(store.readDword(RegRoot::CurrentUser, names[code - 1]), 7) << code;
    }
    for (int bad : {0, 6, -1}) {
        service.selectFormat(bad, nullptr);
        EXPECT_TRUE(session.CurrentFormat.TIF_Default) << bad;
    }
    // A current page beyond the list is no page.
    session.PageList.currentPage = 1;
    int renders = 0;
    service.selectFormat(1, [&] { ++renders; });
    EXPECT_EQ(renders, 0);
    EXPECT_EQ(session.PageList.currentPage.load(), -1);
    const auto events = ui.events();
    EXPECT_EQ(ui.waitCursorDepth(), 0);
}

TEST_F(FormatsTest, EachSheetPageCommitsItsOwnValues) {
    app::FormatSettings v;
    v.JPG_Gray = true, v.JPG_Progress = false, v.JPG_Quality = 41;
    v.GIF_Colors = 17, v.GIF_IndexGray = 1, v.GIF_Delay = 333, v.GIF_Dither = true, v.GIF_Interlace = false;
    v.PNG_TrueIndexGray = 2, v.PNG_Colors = 19, v.PNG_Interlace = false, v.PNG_Dither = true;
    v.TIF_TrueIndexGray = 3, v.TIF_Colors = 23, v.TIF_Lzw = false;
    struct Case {
        FormatCode code;
        std::vector<std::pair<const char*, int>> written;
    };
    const Case cases[] = {
        {FormatCode::JPG, {{"JPG_Gray", 1}, {"JPG_Progress", 0}, {"JPG_Quality", 41}}},
        {FormatCode::GIF,
         {{"GIF_Colors", 17},
          {"GIF_IndexGray", 1},
          {"GIF_Delay", 333},
          {"GIF_Dither", 1},
          {"GIF_Interlace", 0}}},
        {FormatCode::PNG,
         {{"PNG_TrueIndexGray", 2}, {"PNG_Colors", 19}, {"PNG_Interlace", 0}, {"PNG_Dither", 1}}},
        {FormatCode::TIF, {{"TIF_TrueIndexGray", 3}, {"TIF_Colors", 23}, {"TIF_Lzw", 0}}},
        {FormatCode::BMP, {}},
    };
    const char* all[] = {"JPG_Gray",          "JPG_Progress", "JPG_Quality",   "GIF_Colors",
                         "GIF_IndexGray",     "GIF_Delay",    "GIF_Dither",    "GIF_Interlace",
                         "PNG_TrueIndexGray", "PNG_Colors",   "PNG_Interlace", "PNG_Dither",
                         "TIF_TrueIndexGray", "TIF_Colors",   "TIF_Lzw"};
    for (const auto& c : cases) {
        testing_support::TempDir fresh;
        platform::Registry freshRegistry{platform::RegistryLocation::inFolder(fresh.path())};
        app::SettingsStore freshStore{freshRegistry};
        app::Session s;
        FormatService freshService{s, freshStore, folders, ui};
        freshService.commitFormatPage(c.code, v);
        for (const char* name : all) {
            int expected = -1;
            for (const auto& [n, value] : c.written) {
                if (std::string(n) == name)
                    expected = value;
            }
            EXPECT_EQ(freshStore.readDword(RegRoot::CurrentUser, name), expected)
                << static_cast<int>(c.code) << " " << name;
        }
        app::Session loaded;
        freshStore.loadSettings(loaded);
        const app::FormatSettings& m = s.formatOptions;
        const app::FormatSettings& l = loaded.formatOptions;
        EXPECT_TRUE(m.JPG_Gray == l.JPG_Gray && m.JPG_Progress == l.JPG_Progress &&
                    m.JPG_Quality == l.JPG_Quality && m.GIF_Colors == l.GIF_Colors &&
                    m.GIF_IndexGray == l.GIF_IndexGray && m.GIF_Delay == l.GIF_Delay &&
                    m.GIF_Dither == l.GIF_Dither && m.GIF_Interlace == l.GIF_Interlace &&
                    m.PNG_TrueIndexGray == l.PNG_TrueIndexGray && m.PNG_Colors == l.PNG_Colors &&
                    m.PNG_Interlace == l.PNG_Interlace && m.PNG_Dither == l.PNG_Dither &&
                    m.TIF_TrueIndexGray == l.TIF_TrueIndexGray && m.TIF_Colors == l.TIF_Colors &&
                    m.TIF_Lzw == l.TIF_Lzw)
            << static_cast<int>(c.code) << ": memory holds what the store holds";
    }
    service.commitExtraPage(1, 4321, "TIF");
    EXPECT_EQ(session.formatOptions.GIF_Delay, 4321);
    EXPECT_EQ(store.readDword(RegRoot::CurrentUser, "GIF_Delay"), 4321);
    EXPECT_EQ(service.pdfInsideFormat(), "BMP") << "kind 1 leaves the inside format";
    service.commitExtraPage(2, 99, "PNG");
    EXPECT_EQ(session.formatOptions.GIF_Delay, 4321) << "kind 2 leaves the delay";
    EXPECT_EQ(service.pdfInsideFormat(), "PNG");
    service.commitExtraPage(3, 98, "JPG");
    EXPECT_EQ(session.formatOptions.GIF_Delay, 4321);
    EXPECT_EQ(service.pdfInsideFormat(), "PNG");
    use(FormatCode::GIF);
    service.commitFullSheet(v, "TIF");
    for (const auto& [name, value] : {std::pair{"GIF_Default", 1},
                                      {"JPG_Default", 0},
                                      {"PNG_Default", 0},
                                      {"BMP_Default", 0},
                                      {"TIF_Default", 0},
                                      {"TIF_Colors", 23},
                                      {"PNG_Colors", 19},
                                      {"JPG_Quality", 41},
                                      {"GIF_Colors", 17}})
        EXPECT_EQ(store.readDword(RegRoot::CurrentUser, name), value) << name;
}

// A writer run renders (and encodes) on its own thread while the sheets
// commit their options: the commits take the render lock.
TEST_F(FormatsTest, CommitsChangeTheOptionsUnderTheRenderLock) {
    std::atomic<bool> done{false};
    std::atomic<int> renders{0};
    session.ThumbnailMode = true;  // no preview file: the options alone
    std::thread writer([&] {
        while (!done || renders == 0) {
            std::lock_guard lock(session.renderLock);
            Magick::Image img = sample();
            service.applyEncodingOptions(img, 96);
            ++renders;
        }
    });
    app::FormatSettings v;
    for (int i = 0; i < 4; ++i) {
        v.GIF_Colors = 8 + i, v.PNG_Colors = 16 + i, v.TIF_Colors = 32 + i, v.JPG_Quality = 50 + i;
        service.commitFullSheet(v, "PNG");
        service.commitExtraPage(1, 10 * i, "");
        service.selectFormat(1 + i % 5, nullptr);
    }
    done = true;
    writer.join();
    EXPECT_GT(renders.load(), 0);
    EXPECT_EQ(session.formatOptions.GIF_Colors, 11);
    EXPECT_EQ(session.formatOptions.GIF_Delay, 30);
    EXPECT_TRUE(session.CurrentFormat.BMP_Default);
}

}  // namespace
}  // namespace output
