// JPEG pages as written through libjpeg: the decoded file holds the page's
// pixels, the frame and JFIF headers carry the options, and every failure
// (of the file system or of libjpeg itself) comes back as an error with no
// file left under the page's name.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <tuple>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/image_file.h"
#include "output/jpeg_encoder.h"
#include "output/jpeg_preview.h"
#include "output/page_file.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tests/output/image_headers.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_dir.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

struct Rgb {
    int r, g, b;
};

// A page in small: white paper, black rules one pixel wide, blocks of
// saturated colour, a grey ramp and a colour gradient. Every channel differs
// from the others somewhere, so swapped or shifted channels show.
Rgb pagePixel(int x, int y) {
    if (y % 23 == 5 && x > 8 && x < 150)
        return {0, 0, 0};
    if (x >= 160 && x < 200 && y >= 10 && y < 50)
        return {220, 30, 40};
    if (x >= 200 && x < 240 && y >= 10 && y < 50)
        return {20, 160, 60};
    if (x >= 160 && x < 240 && y >= 60 && y < 90)
        return {30, 60, 200};
    if (y >= 100 && y < 120)
        return {x, x, x};
    if (y >= 120)
        return {x, (y - 120) * 6, 255 - x};
    return {255, 255, 255};
}

constexpr int kWidth = 256, kHeight = 160;

Magick::Image page() {
    Magick::Image img(Magick::Geometry(kWidth, kHeight), Magick::Color("white"));
    img.modifyImage();
    Magick::PixelPacket* p = img.setPixels(0, 0, kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = pagePixel(x, y);
            auto& q = p[y * kWidth + x];
            q.red = static_cast<Magick::Quantum>(c.r * 257);
            q.green = static_cast<Magick::Quantum>(c.g * 257);
            q.blue = static_cast<Magick::Quantum>(c.b * 257);
            q.opacity = 0;
        }
    }
    img.syncPixels();
    return img;
}

int luma(const Rgb& c) {
    return static_cast<int>(std::lround(0.212656 * c.r + 0.715158 * c.g + 0.072186 * c.b));
}

struct Difference {
    double mean = 0;        // mean absolute difference a sample
    double largeShare = 1;  // share of samples more than 24 away
};

// The file decoded (by the image library's reader) against the page.
Difference compare(const std::string& bytes, bool grey) {
    Magick::Image file{Magick::Blob(bytes.data(), bytes.size())};
    Difference d;
    if (file.columns() != static_cast<std::size_t>(kWidth) ||
        file.rows() != static_cast<std::size_t>(kHeight))
        return d;
    const Magick::PixelPacket* p = file.getConstPixels(0, 0, kWidth, kHeight);
    long long total = 0, large = 0, samples = 0;
    const auto add = [&](int got, int want) {
        const int diff = std::abs(got - want);
        total += diff;
        large += diff > 24;
        ++samples;
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto& q = p[y * kWidth + x];
            const Rgb c = pagePixel(x, y);
            const Rgb got{q.red / 257, q.green / 257, q.blue / 257};
            if (grey) {
                add(got.r, luma(c));
                add(got.g, luma(c));
                add(got.b, luma(c));
            } else {
                add(got.r, c.r);
                add(got.g, c.g);
                add(got.b, c.b);
            }
        }
    }
    d.mean = static_cast<double>(total) / static_cast<double>(samples);
    d.largeShare = static_cast<double>(large) / static_cast<double>(samples);
    return d;
}

class JpegFileTest : public ::testing::Test {
protected:
    TempDir dir;
    platform::Registry registry{platform::RegistryLocation::inFolder(dir / "registry")};
    platform::PlatformFolders folders = platform::PlatformFolders::under(dir / "home");
    app::SettingsStore store{registry};
    app::Session session;
    RecordingUi ui;
    FormatService service{session, store, folders, ui};

    void SetUp() override {
        Magick::InitializeMagick(nullptr);
        session.CurrentFormat = {true, false, false, false, false};
        service.encodedPreview = false;
    }

    // The page with the JPG options `set` at 150.7 dpi.
    Magick::Image prepared(const std::function<void(app::FormatSettings&)>& set) {
        session.formatOptions = {};
        set(session.formatOptions);
        Magick::Image img = page();
        service.applyEncodingOptions(img, 150.7);
        return img;
    }

    // The page written as the writers write it; the file's bytes.
    std::string written(const std::function<void(app::FormatSettings&)>& set) {
        const fs::path file = dir / "page.jpg";
        const auto failure = writePageFile(prepared(set), file);
        EXPECT_FALSE(failure) << *failure;
        return readFile(file);
    }
};

TEST_F(JpegFileTest, TheDecodedFileHoldsThePagesPixels) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        bool grey;
        double mean;        // at most
        double largeShare;  // at most
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, false, 1.0, 0.002, "quality 90, progressive"},
        {[](auto& o) { o.JPG_Progress = false; }, false, 1.0, 0.002, "quality 90, baseline"},
        {[](auto& o) { o.JPG_Gray = true; }, true, 1.0, 0.002, "quality 90, grey: the luma"},
        {[](auto& o) { o.JPG_Quality = 100; }, false, 0.5, 0.001, "quality 100"},
        {[](auto& o) { o.JPG_Quality = 50; }, false, 4.0, 0.03, "quality 50, chroma halved"},
    };
    for (const auto& c : cases) {
        const Difference d = compare(written(c.set), c.grey);
        EXPECT_LE(d.mean, c.mean) << c.label;
        EXPECT_LE(d.largeShare, c.largeShare) << c.label;
    }
}

// A page in another colour space is written as its sRGB colours: the file
// decodes to the page as closely as an sRGB page's does.
TEST_F(JpegFileTest, APageInAnotherColourSpaceIsWrittenAsItsSrgbColours) {
    const std::pair<Magick::ColorspaceType, const char*> spaces[] = {
        {Magick::CMYKColorspace, "CMYK"},
        {Magick::HSLColorspace, "HSL"},
        {Magick::YCbCrColorspace, "YCbCr"},
        {Magick::LabColorspace, "Lab"},
    };
    for (const auto& [space, label] : spaces) {
        Magick::Image img = page();
        img.colorSpace(space);
        ASSERT_EQ(img.colorSpace(), space) << label;
        const auto encoded = encodeJpeg(img);
        ASSERT_TRUE(encoded) << label << ": " << encoded.error();
        const Difference d =
            compare(std::string(static_cast<const char*>(encoded->data()), encoded->length()), false);
        EXPECT_LE(d.mean, 1.0) << label;
        EXPECT_LE(d.largeShare, 0.002) << label;
    }
}

// A progressive file sends the same coefficients as the baseline file in
// several scans (the DC first, then bands of frequencies): it decodes to
// exactly the baseline file's pixels.
TEST_F(JpegFileTest, AProgressiveFileDecodesToTheBaselineFilesPixels) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        int scans;
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, 6, "colour, full chroma"},
        {[](auto& o) { o.JPG_Quality = 50; }, 6, "colour, chroma halved"},
        {[](auto& o) { o.JPG_Gray = true; }, 4, "grey"},
    };
    const auto scansOf = [](const std::string& file) {
        int scans = 0;  // a marker's FF is never followed by DA inside coded data
        for (std::size_t i = 0; i + 1 < file.size(); ++i) scans += file[i] == '\xFF' && file[i + 1] == '\xDA';
        return scans;
    };
    const auto pixelsOf = [](const std::string& file) {
        Magick::Image image{Magick::Blob(file.data(), file.size())};
        std::vector<unsigned char> rgb(image.columns() * image.rows() * 3);
        image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, rgb.data());
        return rgb;
    };
    for (const auto& c : cases) {
        const std::string progressive = written(c.set);
        const std::string baseline = written([&](app::FormatSettings& o) {
            c.set(o);
            o.JPG_Progress = false;
        });
        EXPECT_TRUE(readJpeg(progressive).progressive) << c.label;
        EXPECT_EQ(scansOf(progressive), c.scans) << c.label;
        EXPECT_EQ(scansOf(baseline), 1) << c.label;
        EXPECT_TRUE(pixelsOf(progressive) == pixelsOf(baseline)) << c.label;
    }
}

TEST_F(JpegFileTest, HeadersCarryProgressionQualityComponentsSamplingAndDensity) {
    struct Case {
        std::function<void(app::FormatSettings&)> set;
        int frameMarker;
        std::vector<int> sampling;
        int quantiser;  // the standard table's 16 scaled by the quality
        const char* label;
    };
    const Case cases[] = {
        {[](auto&) {}, 0xC2, {0x11, 0x11, 0x11}, 3, "progressive (SOF2), full chroma from quality 90"},
        {[](auto& o) { o.JPG_Progress = false; }, 0xC0, {0x11, 0x11, 0x11}, 3, "baseline (SOF0)"},
        {[](auto& o) { o.JPG_Gray = true; }, 0xC2, {0x11}, 3, "grey: one component"},
        {[](auto& o) { o.JPG_Gray = true, o.JPG_Progress = false; }, 0xC0, {0x11}, 3, "grey baseline"},
        {[](auto& o) { o.JPG_Quality = 89; }, 0xC2, {0x22, 0x11, 0x11}, 4, "below 90 the chroma is halved"},
        {[](auto& o) { o.JPG_Quality = 50; }, 0xC2, {0x22, 0x11, 0x11}, 16, "quality 50: the table itself"},
        {[](auto& o) { o.JPG_Quality = 20; }, 0xC2, {0x22, 0x11, 0x11}, 40, "quality 20"},
        {[](auto& o) { o.JPG_Quality = 100; }, 0xC2, {0x11, 0x11, 0x11}, 1, "quality 100"},
        {[](auto& o) { o.JPG_Quality = 0, o.JPG_Progress = false; },
         0xC0,
         {0x22, 0x11, 0x11},
         255,
         "quality 0: the lowest, 8-bit tables"},
    };
    for (const auto& c : cases) {
        const JpegHeader h = readJpeg(written(c.set));
        EXPECT_EQ(h.frameMarker, c.frameMarker) << c.label;
        EXPECT_EQ(h.firstLumaQuantiser, c.quantiser) << c.label;
        EXPECT_EQ(h.components, static_cast<int>(c.sampling.size())) << c.label;
        EXPECT_EQ(h.sampling, c.sampling) << c.label;
        EXPECT_EQ(h.densityUnits, 1) << c.label << ": dots per inch";
        EXPECT_EQ(h.xDensity, 150) << c.label << ": 150.7 dpi truncated";
        EXPECT_EQ(h.yDensity, 150) << c.label;
    }
}

TEST_F(JpegFileTest, SettingsFollowTheImagesOwnState) {
    // An image no format option touched: the library's defaults (quality
    // 92), colour because its pixels are coloured, its own density.
    Magick::Image plain = page();
    plain.resolutionUnits(Magick::PixelsPerCentimeterResolution);
    plain.density(Magick::Geometry(40, 30));
    JpegSettings s = jpegSettingsOf(plain);
    EXPECT_EQ(s.quality, 92);
    EXPECT_FALSE(s.progressive);
    EXPECT_FALSE(s.grey);
    EXPECT_EQ(s.densityUnit, 2);
    EXPECT_EQ(s.xDensity, 40);
    EXPECT_EQ(s.yDensity, 30);
    // Grey pixels with no type asked for make a one-component file; true
    // colour asked for keeps three.
    Magick::Image grey(Magick::Geometry(16, 16), Magick::Color("gray40"));
    EXPECT_TRUE(jpegSettingsOf(grey).grey);
    grey.type(Magick::TrueColorType);
    EXPECT_FALSE(jpegSettingsOf(grey).grey);
    Magick::Image none(Magick::Geometry(16, 16), Magick::Color("white"));
    none.density(Magick::Geometry(0, 0));
    s = jpegSettingsOf(none);
    EXPECT_EQ(s.densityUnit, 0) << "no resolution: the aspect ratio 1:1";
    EXPECT_EQ(s.xDensity, 1);
}

// The file the image library's own JPEG writer makes of the same page with
// the same options: the same headers, and pixels that decode the same within
// a level or two.
TEST_F(JpegFileTest, ComparableToTheImageLibrarysOwnFile) {
    const std::function<void(app::FormatSettings&)> sets[] = {
        [](auto&) {},
        [](auto& o) { o.JPG_Progress = false; },
        [](auto& o) { o.JPG_Gray = true; },
        [](auto& o) { o.JPG_Quality = 100; },
        [](auto& o) { o.JPG_Quality = 50; },
        [](auto& o) { o.JPG_Quality = 0; },
    };
    for (std::size_t i = 0; i < std::size(sets); ++i) {
        const Magick::Image img = prepared(sets[i]);
        Magick::Image theirs = img;
        Magick::Blob blob;
        theirs.write(&blob, "JPEG");
        const auto ours = encodeJpeg(img);
        ASSERT_TRUE(ours) << i << ": " << ours.error();
        const std::string a(static_cast<const char*>(ours->data()), ours->length());
        const std::string b(static_cast<const char*>(blob.data()), blob.length());
        const JpegHeader x = readJpeg(a), y = readJpeg(b);
        EXPECT_EQ(x.frameMarker, y.frameMarker) << i;
        EXPECT_EQ(x.sampling, y.sampling) << i;
        EXPECT_EQ(x.firstLumaQuantiser, y.firstLumaQuantiser) << i;
        EXPECT_EQ(std::tie(x.densityUnits, x.xDensity, x.yDensity),
                  std::tie(y.densityUnits, y.xDensity, y.yDensity))
            << i;
        Magick::Image p{Magick::Blob(a.data(), a.size())}, q{Magick::Blob(b.data(), b.size())};
        ASSERT_EQ(p.columns(), q.columns());
        ASSERT_EQ(p.rows(), q.rows());
        const Magick::PixelPacket* u = p.getConstPixels(0, 0, p.columns(), p.rows());
        const Magick::PixelPacket* v = q.getConstPixels(0, 0, q.columns(), q.rows());
        int largest = 0;
        for (std::size_t k = 0; k < p.columns() * p.rows(); ++k) {
            for (const auto& [m, n] :
                 {std::pair{u[k].red, v[k].red}, {u[k].green, v[k].green}, {u[k].blue, v[k].blue}})
                largest = std::max(largest, std::abs(m / 257 - n / 257));
        }
        EXPECT_LE(largest, 2) << i;
    }
}

// The file system's failures as the other formats give them: the path, the
// system's reason, no file under the name and no temporary beside it; an
// older file of the name survives a write that fails halfway.
TEST_F(JpegFileTest, FailedWritesNameThePathAndLeaveNoFile) {
    writeFile(dir / "plain", "a regular file");
    fs::create_directories(dir / "taken.jpg");
    writeFile(dir / "out" / "old.jpg", "an older page");
    struct Case {
        fs::path file;
        const char* reason;
        long sizeLimit;  // 0: none
    };
    const Case cases[] = {
        {dir / "missing" / "page.jpg", "No such file or directory", 0},
        {dir / "plain" / "page.jpg", "Not a directory", 0},
        {dir / "taken.jpg", "Is a directory", 0},
        {dir / "out" / "old.jpg", "File too large", 2048},  // as a full disk: the write stops halfway
    };
    const Magick::Image img = prepared([](auto&) {});
    for (const auto& c : cases) {
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        if (c.sizeLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = static_cast<rlim_t>(c.sizeLimit);
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        Magick::Image copy(img);
        const auto result = writeImageFile(copy, c.file);
        const auto failure = writePageFile(img, c.file);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ASSERT_FALSE(result) << c.file;
        EXPECT_EQ(result.error().message(), "cannot write " + c.file.string() + ": " + c.reason);
        ASSERT_TRUE(failure) << c.file;
        EXPECT_EQ(writeFailureMessage(c.file.string(), *failure), "Cannot write the file\n" +
                                                                      c.file.string() + "\n" + c.reason +
                                                                      "\nFiles written before it are kept.");
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(c.file.parent_path(), ec))
            EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u) << "a temporary is left: " << e.path();
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(fs::is_directory(dir / "taken.jpg"));
    EXPECT_EQ(readFile(dir / "out" / "old.jpg"), "an older page");
}

// libjpeg's own errors end the encoding, not the process, and come back as
// its reason; the encoder then refuses to go on.
// The preview is read back into the page itself: the pixels must be those
// the image library's own reader gives for the same bytes, for every kind
// of file the options make.
TEST_F(JpegFileTest, ThePreviewReadIntoThePageIsWhatTheLibrarysReaderGives) {
    const std::pair<std::function<void(app::FormatSettings&)>, const char*> cases[] = {
        {[](auto&) {}, "quality 90, progressive"},
        {[](auto& o) { o.JPG_Progress = false; }, "baseline"},
        {[](auto& o) { o.JPG_Quality = 40; }, "quality 40, chroma halved"},
        {[](auto& o) { o.JPG_Gray = true; }, "grey"},
    };
    for (const auto& [set, label] : cases) {
        const Magick::Image prepared = this->prepared(set);
        auto encoded = encodeJpeg(prepared);
        ASSERT_TRUE(encoded) << label;
        const Magick::Image expected(*encoded);
        Magick::Image target = page();
        const auto reason = readJpegInto(
            target, std::span(static_cast<const std::byte*>(encoded->data()), encoded->length()));
        ASSERT_FALSE(reason) << label << ": " << *reason;
        const Magick::PixelPacket* want = expected.getConstPixels(0, 0, kWidth, kHeight);
        const Magick::PixelPacket* got = target.getConstPixels(0, 0, kWidth, kHeight);
        int differing = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) {
            differing += got[i].red != want[i].red || got[i].green != want[i].green ||
                         got[i].blue != want[i].blue || got[i].opacity != 0;
        }
        EXPECT_EQ(differing, 0) << label;
    }
}

TEST(JpegPreview, AFileOfAnotherSizeOrDamagedIsRefused) {
    Magick::InitializeMagick(nullptr);
    const Magick::Image source = page();
    auto encoded = encodeJpeg(source);
    ASSERT_TRUE(encoded);
    const auto* bytes = static_cast<const std::byte*>(encoded->data());
    const std::span<const std::byte> whole(bytes, encoded->length());

    // Another size: refused before a row is touched.
    Magick::Image smaller(Magick::Geometry(kWidth, kHeight - 1), Magick::Color("red"));
    const auto other = readJpegInto(smaller, whole);
    ASSERT_TRUE(other);
    EXPECT_NE(other->find("size"), std::string::npos) << *other;
    const Magick::PixelPacket* p = smaller.getConstPixels(0, 0, 1, 1);
    EXPECT_EQ(p->red, 65535) << "the image is untouched";
    EXPECT_EQ(p->green, 0);

    // Not a JPEG at all, and nothing: libjpeg's reason, no crash.
    Magick::Image target = page();
    const std::string junk(200, 'x');
    EXPECT_TRUE(readJpegInto(target, std::as_bytes(std::span(junk))));
    EXPECT_TRUE(readJpegInto(target, {}));
}

TEST(JpegEncoder, LibjpegErrorsComeBackAsTheReason) {
    const unsigned char row[6] = {1, 2, 3, 4, 5, 6};
    JpegEncoder wide;
    EXPECT_FALSE(wide.start(70000, 1, JpegSettings{}, JpegLayout::Rgb)) << "wider than a JPEG file can be";
    EXPECT_NE(wide.error().find("65500"), std::string::npos) << wide.error();
    EXPECT_FALSE(wide.writeRows(row, 1));
    EXPECT_FALSE(wide.finish());
    JpegEncoder early;
    ASSERT_TRUE(early.start(2, 2, JpegSettings{}, JpegLayout::Rgb));
    ASSERT_TRUE(early.writeRows(row, 1));
    EXPECT_FALSE(early.finish()) << "a row short";
    EXPECT_NE(early.error().find("too few scanlines"), std::string::npos) << early.error();
    EXPECT_FALSE(early.writeRows(row, 1)) << "nothing after a failure";
    JpegEncoder extra;
    ASSERT_TRUE(extra.start(1, 1, JpegSettings{}, JpegLayout::Rgb));
    EXPECT_FALSE(extra.writeRows(row, 2));
    EXPECT_EQ(extra.error(), "more rows than the image has");
    JpegEncoder twice;
    ASSERT_TRUE(twice.start(1, 1, JpegSettings{}, JpegLayout::Rgb));
    EXPECT_FALSE(twice.start(1, 1, JpegSettings{}, JpegLayout::Rgb));
    JpegEncoder done;
    ASSERT_TRUE(done.start(2, 1, JpegSettings{}, JpegLayout::Rgb));
    ASSERT_TRUE(done.writeRows(row, 1));
    ASSERT_TRUE(done.finish());
    const auto& bytes = done.bytes();
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9) << "the file ends with its end marker";
    JpegSettings grey;
    grey.grey = true;
    JpegEncoder mismatch;
    EXPECT_FALSE(mismatch.start(1, 1, grey, JpegLayout::Rgb)) << "grey settings need grey rows";
    EXPECT_FALSE(mismatch.finish());
}

// The four layouts of the same pixels make the same file.
TEST(JpegEncoder, EveryLayoutGivesTheSameFile) {
    constexpr std::uint32_t w = 19, h = 11;  // not whole blocks
    std::vector<unsigned char> rgb, rgbx, bgrx, grey;
    for (std::uint32_t i = 0; i < w * h; ++i) {
        const auto r = static_cast<unsigned char>(i * 7), g = static_cast<unsigned char>(i * 13 + 40),
                   b = static_cast<unsigned char>(255 - i * 3);
        rgb.insert(rgb.end(), {r, g, b});
        rgbx.insert(rgbx.end(), {r, g, b, 0x5A});
        bgrx.insert(bgrx.end(), {b, g, r, 0xA5});
    }
    const auto encode = [](const std::vector<unsigned char>& rows, JpegLayout layout) {
        JpegSettings settings;
        settings.progressive = true;
        JpegEncoder encoder;
        EXPECT_TRUE(encoder.start(w, h, settings, layout));
        EXPECT_TRUE(encoder.writeRows(rows.data(), 4));
        EXPECT_TRUE(encoder.writeRows(rows.data() + rows.size() / h * 4, h - 4));
        EXPECT_TRUE(encoder.finish()) << encoder.error();
        return encoder.bytes();
    };
    const auto expected = encode(rgb, JpegLayout::Rgb);
    EXPECT_GT(expected.size(), 100u);
    EXPECT_EQ(encode(rgbx, JpegLayout::Rgbx), expected);
    EXPECT_EQ(encode(bgrx, JpegLayout::Bgrx), expected);
    EXPECT_NE(encode(bgrx, JpegLayout::Rgbx), expected) << "the order matters";
}

}  // namespace
}  // namespace output
