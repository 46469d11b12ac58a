// The encoding options as the written files carry them: each format's
// options read back from the file's own header, the dithering choice seen in
// the pixels, the density truncated, the preview and its size.

#include "output/encoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/image_file.h"
#include "output/jpeg_encoder.h"
#include "output/row_options.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/output/image_headers.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using app::FormatCode;
using namespace testing_support;

// 512 x 32 pixels, every column one colour and 512 colours in all: a colour
// reduction without dithering keeps every column one colour, dithering
// breaks the columns up.
Magick::Image columns() {
    Magick::Image img(Magick::Geometry(512, 32), Magick::Color("white"));
    img.modifyImage();
    Magick::PixelPacket* p = img.setPixels(0, 0, 512, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 512; ++x) {
            auto& q = p[y * 512 + x];
            q.red = static_cast<Magick::Quantum>((x % 256) * 257);
            q.green = static_cast<Magick::Quantum>((x / 2) * 257);
            q.blue = static_cast<Magick::Quantum>((255 - x / 4) * 257);
            q.opacity = 0;
        }
    }
    img.syncPixels();
    return img;
}

// 64 x 64 pixels of 4096 colours, spread so that the library's reduction
// to N colours gives exactly N for the counts used here.
Magick::Image rich() {
    Magick::Image img(Magick::Geometry(64, 64), Magick::Color("white"));
    img.modifyImage();
    Magick::PixelPacket* p = img.setPixels(0, 0, 64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            auto& q = p[y * 64 + x];
            q.red = static_cast<Magick::Quantum>(x * 4 * 257);
            q.green = static_cast<Magick::Quantum>(y * 4 * 257);
            q.blue = static_cast<Magick::Quantum>((((x * 7) ^ (y * 3)) & 63) * 4 * 257);
            q.opacity = 0;
        }
    }
    img.syncPixels();
    return img;
}

std::size_t distinctColours(const Magick::Image& img) {
    std::set<std::tuple<int, int, int>> seen;
    const Magick::PixelPacket* p = img.getConstPixels(0, 0, img.columns(), img.rows());
    for (std::size_t i = 0; i < img.columns() * img.rows(); ++i)
        seen.insert({p[i].red, p[i].green, p[i].blue});
    return seen.size();
}

// Columns whose pixels are not all the colour of their top pixel.
int brokenColumns(const Magick::Image& img) {
    const Magick::PixelPacket* p = img.getConstPixels(0, 0, img.columns(), img.rows());
    int broken = 0;
    for (std::size_t x = 0; x < img.columns(); ++x) {
        for (std::size_t y = 1; y < img.rows(); ++y) {
            const auto& a = p[x];
            const auto& b = p[y * img.columns() + x];
            if (a.red != b.red || a.green != b.green || a.blue != b.blue) {
                ++broken;
                break;
            }
        }
    }
    return broken;
}

bool samePixels(const Magick::Image& a, const Magick::Image& b) {
    if (a.columns() != b.columns() || a.rows() != b.rows())
        return false;
    const Magick::PixelPacket* p = a.getConstPixels(0, 0, a.columns(), a.rows());
    const Magick::PixelPacket* q = b.getConstPixels(0, 0, b.columns(), b.rows());
    for (std::size_t i = 0; i < a.columns() * a.rows(); ++i) {
        if (p[i].red != q[i].red || p[i].green != q[i].green || p[i].blue != q[i].blue)
            return false;
    }
    return true;
}

bool allGrey(const Magick::Image& img) {
    const Magick::PixelPacket* p = img.getConstPixels(0, 0, img.columns(), img.rows());
    for (std::size_t i = 0; i < img.columns() * img.rows(); ++i) {
        if (p[i].red != p[i].green || p[i].green != p[i].blue)
            return false;
    }
    return true;
}

class EncodingTest : public ::testing::Test {
protected:
    TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir / "home");
    app::SettingsStore store{registry};
    app::Session session;
    RecordingUi ui;
    FormatService service{session, store, folders, ui};

    void SetUp() override { Magick::InitializeMagick(nullptr); }

    void use(FormatCode code) {
        session.CurrentFormat = {code == FormatCode::JPG, code == FormatCode::GIF, code == FormatCode::PNG,
                                 code == FormatCode::BMP, code == FormatCode::TIF};
    }
    // The sample encoded as a page of `code` at 150.7 dpi, written as the
    // writers write it; the file's bytes, and the image as the view shows it.
    std::string encode(FormatCode code, const std::function<void(app::FormatSettings&)>& set,
                       Magick::Image* shown = nullptr, Magick::Image (*sample)() = columns) {
        session.formatOptions = {};
        set(session.formatOptions);
        use(code);
        Magick::Image img = sample();
        service.applyEncodingOptions(img, 150.7);
        const fs::path file = dir / ("page" + std::string(extensionOf(session.CurrentFormat)));
        const auto written = writeImageFile(img, file);
        EXPECT_TRUE(written) << (written ? "" : written.error().message());
        if (shown != nullptr)
            *shown = img;
        return readFile(file);
    }
};

TEST_F(EncodingTest, JpgQualityProgressiveGreyAndDensity) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        bool progressive;
        int components;
        std::size_t quality;
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, true, 3, 90, "defaults: quality 90, progressive, colour"},
        {[](auto& o) { o.JPG_Progress = false; }, false, 3, 90, "baseline"},
        {[](auto& o) { o.JPG_Gray = true; }, true, 1, 90, "grey: one component"},
        {[](auto& o) { o.JPG_Quality = 40; }, true, 3, 40, "quality 40"},
        {[](auto& o) { o.JPG_Quality = 100; }, true, 3, 100, "quality 100"},
        {[](auto& o) { o.JPG_Quality = 0; }, true, 3, 1, "quality 0 is the lowest"},
        {[](auto& o) { o.JPG_Quality = -5; }, true, 3, 1, "a negative quality counts as 0"},
        {[](auto& o) { o.JPG_Quality = 250; }, true, 3, 100, "above 100 counts as 100"},
    };
    for (const auto& c : cases) {
        Magick::Image shown;
        const JpegHeader h = readJpeg(encode(FormatCode::JPG, c.set, &shown));
        EXPECT_EQ(h.progressive, c.progressive) << c.label;
        EXPECT_EQ(h.components, c.components) << c.label;
        EXPECT_EQ(h.densityUnits, 1) << c.label << ": dots per inch";
        EXPECT_EQ(h.xDensity, 150) << c.label << ": 150.7 dpi truncated";
        EXPECT_EQ(h.yDensity, 150) << c.label;
        EXPECT_EQ(shown.quality(), c.quality) << c.label << ": the preview read back";
    }
}

TEST_F(EncodingTest, GifColoursDitherInterlaceAndGrey) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        std::size_t colours;  // at most, read back; exactly for the colour palettes
        bool dithered, interlaced, grey;
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, 64, false, true, false, "defaults: 64 colours, no dithering, interlaced"},
        {[](auto& o) { o.GIF_Dither = true; }, 64, true, true, false, "dithered"},
        {[](auto& o) { o.GIF_Interlace = false; }, 64, false, false, false, "not interlaced"},
        {[](auto& o) { o.GIF_Colors = 2; }, 2, false, true, false, "2 colours"},
        {[](auto& o) { o.GIF_Colors = 1; }, 2, false, true, false, "1 colour is raised to 2"},
        {[](auto& o) { o.GIF_Colors = 200; }, 200, false, true, false, "200 colours"},
        {[](auto& o) { o.GIF_Colors = 3000; }, 256, false, true, false, "3000 colours are cut to 256"},
        {[](auto& o) { o.GIF_IndexGray = 1, o.GIF_Colors = 16; }, 16, false, true, true, "16 grey levels"},
    };
    for (const auto& c : cases) {
        Magick::Image shown;
        const std::string bytes = encode(FormatCode::GIF, c.set, &shown, rich);
        const GifHeader h = readGif(bytes);
        Magick::Image file{Magick::Blob(bytes.data(), bytes.size())};
        if (c.grey) {
            EXPECT_LE(distinctColours(file), c.colours) << c.label;
            EXPECT_GT(distinctColours(file), c.colours / 2) << c.label;
        } else {
            EXPECT_EQ(distinctColours(file), c.colours) << c.label;
        }
        EXPECT_EQ(distinctColours(shown), distinctColours(file))
            << c.label << ": the view shows the encoded page";
        EXPECT_EQ(h.interlaced, c.interlaced) << c.label;
        EXPECT_EQ(allGrey(file), c.grey) << c.label;
        const std::string columnBytes = encode(FormatCode::GIF, c.set);
        Magick::Image columnFile{Magick::Blob(columnBytes.data(), columnBytes.size())};
        EXPECT_EQ(brokenColumns(columnFile) > 0, c.dithered) << c.label << ": " << brokenColumns(columnFile);
    }
}

TEST_F(EncodingTest, PngTypeDepthColoursDitherAndInterlace) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        int colourType;       // 2 RGB, 3 palette, 0 grey
        std::size_t colours;  // the rich sample's colours read back (at most, for grey)
        bool dithered;
        int interlace;
        const char* label;
    };
    const Case cases[] = {
        {[](auto& o) { o.PNG_Colors = 4; }, 2, 4096, false, 1, "true colour ignores the colour count"},
        {[](auto& o) { o.PNG_Interlace = false; }, 2, 4096, false, 0, "not interlaced"},
        {[](auto& o) { o.PNG_TrueIndexGray = 1, o.PNG_Colors = 8; }, 3, 8, false, 1, "8 indexed colours"},
        {[](auto& o) { o.PNG_TrueIndexGray = 1, o.PNG_Colors = 8, o.PNG_Dither = true; }, 3, 8, true, 1,
         "8 indexed colours, dithered"},
        {[](auto& o) { o.PNG_TrueIndexGray = 1, o.PNG_Colors = 1; }, 3, 2, false, 1,
         "1 colour is raised to 2"},
        {[](auto& o) { o.PNG_TrueIndexGray = 1, o.PNG_Colors = 999; }, 3, 256, false, 1, "999 cut to 256"},
        {[](auto& o) { o.PNG_TrueIndexGray = 2, o.PNG_Colors = 256; }, 0, 256, false, 1, "grey"},
        {[](auto& o) { o.PNG_TrueIndexGray = 2, o.PNG_Colors = 4, o.PNG_Dither = true; }, 0, 4, true, 1,
         "4 grey levels, dithered"},
    };
    for (const auto& c : cases) {
        const std::string bytes = encode(FormatCode::PNG, c.set, nullptr, rich);
        const PngHeader h = readPng(bytes);
        Magick::Image file{Magick::Blob(bytes.data(), bytes.size())};
        EXPECT_EQ(h.colourType, c.colourType) << c.label;
        if (c.colourType == 0) {
            EXPECT_LE(distinctColours(file), c.colours) << c.label;
            EXPECT_GT(distinctColours(file), c.colours / 2) << c.label;
            EXPECT_LE(h.bitDepth, 8) << c.label << ": 8 bits a sample at most";
        } else {
            EXPECT_EQ(distinctColours(file), c.colours) << c.label;
            if (c.colourType == 2) {
                EXPECT_EQ(h.bitDepth, 8) << c.label << ": 8 bits a sample";
            } else {
                EXPECT_LE(h.bitDepth, 8) << c.label << ": the palette's index, 8 bits at most";
            }
        }
        EXPECT_EQ(h.interlace, c.interlace) << c.label;
        EXPECT_EQ(h.pixelsPerMetre, 5905) << c.label << ": 150 dpi";
        const std::string columnBytes = encode(FormatCode::PNG, c.set);
        Magick::Image columnFile{Magick::Blob(columnBytes.data(), columnBytes.size())};
        EXPECT_EQ(brokenColumns(columnFile) > 0, c.dithered) << c.label;
    }
}

TEST_F(EncodingTest, TifTypeBitsAndCompression) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        std::vector<std::uint32_t> bits;
        int photometric;  // 2 RGB, 3 palette, 1 grey; black and white either way round
        int compression;  // 5 LZW, 1 none
        std::size_t colours;
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, {8, 8, 8}, 2, 5, 512, "defaults: true colour, 8 bits, LZW"},
        {[](auto& o) { o.TIF_Lzw = false; }, {8, 8, 8}, 2, 1, 512, "uncompressed"},
        {[](auto& o) { o.TIF_TrueIndexGray = 1, o.TIF_Colors = 16; }, {4}, 3, 5, 16, "16 indexed colours"},
        {[](auto& o) { o.TIF_TrueIndexGray = 1, o.TIF_Colors = 1; }, {1}, 3, 5, 2, "1 colour is raised to 2"},
        {[](auto& o) { o.TIF_TrueIndexGray = 1, o.TIF_Colors = 300; }, {8}, 3, 5, 256, "300 cut to 256"},
        {[](auto& o) { o.TIF_TrueIndexGray = 2, o.TIF_Colors = 8; }, {8}, 1, 5, 8, "8 grey levels"},
        {[](auto& o) { o.TIF_TrueIndexGray = 3, o.TIF_Colors = 16; }, {1}, -1, 5, 2, "black and white"},
        {[](auto& o) { o.TIF_TrueIndexGray = 3, o.TIF_Lzw = false; },
         {1},
         -1,
         1,
         2,
         "black and white, plain"},
    };
    for (const auto& c : cases) {
        const std::string bytes = encode(FormatCode::TIF, c.set, nullptr, rich);
        const TiffTags t = readTiff(bytes);
        Magick::Image file{Magick::Blob(bytes.data(), bytes.size())};
        EXPECT_EQ(t.values.count(kBitsPerSample) ? t.values.at(kBitsPerSample) : std::vector<std::uint32_t>{},
                  c.bits)
            << c.label;
        if (c.photometric >= 0) {
            EXPECT_EQ(t.get(kPhotometric), c.photometric) << c.label;
        } else {
            EXPECT_LE(t.get(kPhotometric), 1) << c.label;
        }
        EXPECT_EQ(t.get(kCompression), c.compression) << c.label;
        if (c.photometric == 1) {
            EXPECT_LE(distinctColours(file), c.colours) << c.label;
            EXPECT_GT(distinctColours(file), c.colours / 2) << c.label;
        } else {
            EXPECT_EQ(distinctColours(file), c.photometric == 2 ? 4096u : c.colours) << c.label;
        }
        ASSERT_TRUE(t.rationals.count(kXResolution)) << c.label;
        EXPECT_EQ(t.rationals.at(kXResolution), 150.0) << c.label;
        EXPECT_EQ(t.get(kResolutionUnit), 2) << c.label << ": inches";
        const std::string columnBytes = encode(FormatCode::TIF, c.set);
        Magick::Image columnFile{Magick::Blob(columnBytes.data(), columnBytes.size())};
        EXPECT_EQ(brokenColumns(columnFile), 0) << c.label << ": never dithered";
    }
}

TEST_F(EncodingTest, BmpIsTrueColourWithTheDensity) {
    const BmpHeader h = readBmp(encode(FormatCode::BMP, [](auto&) {}));
    EXPECT_EQ(h.bitsPerPixel, 24);
    EXPECT_EQ(h.xPixelsPerMetre, 5905) << "150 dpi";
}

TEST_F(EncodingTest, SharpeningIsTheLibrarysWithRadius2AndSigma09) {
    use(FormatCode::BMP);
    session.ThumbnailMode = true;  // no preview: the pixels as prepared
    Magick::Image plain = columns();
    service.applyEncodingOptions(plain, 96);
    session.RenderOptions.lvSharpen = true;
    Magick::Image sharp = columns();
    service.applyEncodingOptions(sharp, 96);
    Magick::Image expected = columns();
    expected.depth(8);
    expected.type(Magick::TrueColorType);
    expected.sharpen(2.0, 0.9);
    EXPECT_TRUE(samePixels(plain, columns())) << "unsharpened pixels stay";
    EXPECT_TRUE(samePixels(sharp, expected)) << "sharpened as the library does with 2.0 / 0.9";
    EXPECT_FALSE(samePixels(sharp, plain));
}

TEST(OptionSets, ChosenByModeFlagsAndInsideFormat) {
    const app::FormatFlags jpg{true, false, false, false, false}, gif{false, true, false, false, false},
        png{false, false, true, false, false}, bmp{false, false, false, true, false},
        tif{false, false, false, false, true}, none{false, false, false, false, false},
        all{true, true, true, true, true}, gifTif{false, true, false, false, true},
        pngTif{false, false, true, false, true}, bmpTif{false, false, false, true, true};
    struct Case {
        int mode;
        app::FormatFlags flags;
        const char* inside;
        OptionSet set;
    };
    const Case cases[] = {
        {0, jpg, "", OptionSet::JPG},     {0, gif, "", OptionSet::GIF},     {0, png, "", OptionSet::PNG},
        {0, bmp, "", OptionSet::BMP},     {0, tif, "", OptionSet::TIF},     {0, none, "", OptionSet::None},
        {0, all, "", OptionSet::JPG},     {0, gifTif, "", OptionSet::GIF},  {0, pngTif, "", OptionSet::PNG},
        {0, bmpTif, "", OptionSet::TIF},  {-1, png, "JPG", OptionSet::PNG}, {1, png, "JPG", OptionSet::JPG},
        {1, jpg, "GIF", OptionSet::GIF},  {1, jpg, "PNG", OptionSet::PNG},  {1, jpg, "TIF", OptionSet::TIF},
        {1, jpg, "BMP", OptionSet::None}, {1, jpg, "", OptionSet::None},    {2, jpg, "PNG", OptionSet::TIF},
        {3, jpg, "PNG", OptionSet::GIF},  {4, jpg, "PNG", OptionSet::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseOptionSet(c.mode, c.flags, c.inside), c.set)
            << "mode " << c.mode << " inside " << c.inside;
    }
}

TEST_F(EncodingTest, MultipageModesApplyTheirSetWithoutAPreview) {
    use(FormatCode::BMP);
    store.writeString(platform::RegRoot::CurrentUser, "PDF_Bitmp_Format", "JPG");
    session.formatOptions.JPG_Quality = 33;
    session.formatOptions.GIF_Colors = 5;
    session.RenderStatus.encodedSizeKb = 77;
    struct Case {
        int mode;
        std::function<bool(const Magick::Image&)> check;
        const char* label;
    };
    const Case cases[] = {
        {1, [](const Magick::Image& i) { return i.quality() == 33; }, "PDF inside JPG: its quality"},
        {2, [](const Magick::Image& i) { return i.compressType() == Magick::LZWCompression; }, "TIF: LZW"},
        {3, [](const Magick::Image& i) { return distinctColours(i) == 5; }, "GIF: its palette"},
        {4, [](const Magick::Image& i) { return distinctColours(i) == 4096 && i.quality() != 33; }, "none"},
    };
    for (const auto& c : cases) {
        session.MultipageMode = c.mode;
        Magick::Image img = rich();
        service.applyEncodingOptions(img, 96);
        EXPECT_TRUE(c.check(img)) << c.label;
        EXPECT_EQ(session.RenderStatus.encodedSizeKb, 77) << c.label;
        EXPECT_FALSE(fs::exists(service.previewPath())) << c.label;
    }
}

TEST_F(EncodingTest, ThePreviewHoldsTheEncodedPageAndGivesItsSize) {
    use(FormatCode::BMP);
    Magick::Image img = columns();
    service.applyEncodingOptions(img, 96);
    const fs::path preview = service.previewPath();
    ASSERT_TRUE(fs::exists(preview));
    const auto size = fs::file_size(preview);
    EXPECT_GT(size, 2048u);
    EXPECT_EQ(session.RenderStatus.encodedSizeKb, static_cast<std::int32_t>(size >> 10));
    EXPECT_EQ(readBmp(readFile(preview)).bitsPerPixel, 24);
    EXPECT_TRUE(ui.messages().empty());
    // Thumbnails stop before the preview: the size stays.
    fs::remove(preview);
    session.RenderStatus.encodedSizeKb = 3;
    session.ThumbnailMode = true;
    img = columns();
    service.applyEncodingOptions(img, 96);
    EXPECT_FALSE(fs::exists(preview));
    EXPECT_EQ(session.RenderStatus.encodedSizeKb, 3);
}

TEST_F(EncodingTest, PreviewPathPerMode) {
    const fs::path work = folders.workFolder().value();
    struct Case {
        int mode;
        FormatCode format;
        const char* inside;
        const char* name;
    };
    const Case cases[] = {
        {0, FormatCode::TIF, "", "~CurImg.tif"},    {0, FormatCode::GIF, "", "~CurImg.gif"},
        {1, FormatCode::JPG, "PNG", "~CurImg.PNG"}, {1, FormatCode::JPG, "", "~CurImg.bmp"},
        {2, FormatCode::JPG, "PNG", "~CurImg.tif"}, {3, FormatCode::JPG, "", "~CurImg.gif"},
        {4, FormatCode::JPG, "PNG", "~CurImg.bmp"}, {-1, FormatCode::PNG, "", "~CurImg.bmp"}};
    for (const auto& c : cases) {
        session.MultipageMode = c.mode;
        use(c.format);
        store.writeString(platform::RegRoot::CurrentUser, "PDF_Bitmp_Format", c.inside);
        EXPECT_EQ(service.previewPath(), (work / c.name).string()) << c.mode << " " << c.inside;
    }
}

}  // namespace
}  // namespace output

namespace output {
namespace {

// What the row writers take from the options must be what the encoding step
// gives a whole page: read here off a page of one pixel that took the step.
TEST_F(EncodingTest, RowOptionsAreWhatTheEncodingStepGivesAPage) {
    service.encodedPreview = false;
    struct Case {
        FormatCode code;
        double dpi;
        std::function<void(app::FormatSettings&)> set;
    };
    const Case cases[] = {
        {FormatCode::PNG, 96.0, [](app::FormatSettings&) {}},
        {FormatCode::PNG, 150.7, [](app::FormatSettings& o) { o.PNG_Interlace = false; }},
        {FormatCode::TIF, 300.0, [](app::FormatSettings&) {}},
        {FormatCode::TIF, 72.9, [](app::FormatSettings& o) { o.TIF_Lzw = false; }},
        {FormatCode::JPG, 96.0, [](app::FormatSettings&) {}},
        {FormatCode::JPG, 150.7, [](app::FormatSettings& o) { o.JPG_Progress = false, o.JPG_Quality = 0; }},
        {FormatCode::JPG, 2400.0, [](app::FormatSettings& o) { o.JPG_Quality = 100, o.JPG_Gray = true; }},
        {FormatCode::JPG, 1.9, [](app::FormatSettings& o) { o.JPG_Quality = 37; }},
        {FormatCode::BMP, 80.2, [](app::FormatSettings&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.code) << " at " << c.dpi);
        use(c.code);
        session.formatOptions = {};
        c.set(session.formatOptions);
        const unsigned char white[3] = {255, 255, 255};
        Magick::Image probe(1, 1, "RGB", Magick::CharPixel, white);
        service.applyEncodingOptions(probe, c.dpi);

        const RowOptions options = rowOptionsOf(c.code, session.formatOptions, c.dpi);
        EXPECT_EQ(options.density, probe.density().width());
        if (c.code == FormatCode::PNG) {
            EXPECT_EQ(options.interlace, probe.interlaceType() != Magick::NoInterlace);
        }
        if (c.code == FormatCode::TIF) {
            EXPECT_EQ(options.lzw, probe.compressType() == Magick::LZWCompression);
        }
        if (c.code == FormatCode::JPG) {
            const JpegSettings expected = jpegSettingsOf(probe);
            EXPECT_EQ(options.jpeg.quality, expected.quality);
            EXPECT_EQ(options.jpeg.progressive, expected.progressive);
            EXPECT_EQ(options.jpeg.grey, expected.grey);
            EXPECT_EQ(options.jpeg.densityUnit, expected.densityUnit);
            EXPECT_EQ(options.jpeg.xDensity, expected.xDensity);
            EXPECT_EQ(options.jpeg.yDensity, expected.yDensity);
            EXPECT_EQ(options.jpeg.optimizeCoding, expected.optimizeCoding);
        }
    }
}

}  // namespace
}  // namespace output
