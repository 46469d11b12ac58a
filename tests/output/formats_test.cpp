#include "output/formats.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace output
