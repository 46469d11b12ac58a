// Crafted files that once crashed the player or drove it past any sane
// memory or time: each plays here, and its cost is checked on a counter of
// the page's work budget or on the process's peak memory, never on a clock.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "metafile/dib_decode.h"
#include "metafile/emf_writer.h"
#include "metafile/font_fallback.h"
#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"
#include "tests/metafile/record_builder.h"

// clang-format off
#include <jpeglib.h>
#include <zlib.h>
// clang-format on

namespace metafile {
namespace {

using namespace metafile::testing;

constexpr std::uint32_t BI_RLE8 = 1, BI_JPEG = 4, BI_PNG = 5;

// Growth of the process's peak resident memory while `run` runs, in MiB.
// (Each test runs in a process of its own under ctest, so the earlier peak
// is the start-up's.)
template <class Run>
long peakGrowthMiB(Run run) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    run();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    return (after.ru_maxrss - before.ru_maxrss) / 1024;
}

struct Played {
    DibSection dib;
    PlaybackReport report;
    WorkBudget budget;
};

// With SCRIVLET_HOSTILE_DIR set, each file played is also written there
// (named after the test), to seed the fuzzer's corpus.
void keepForFuzzing(const std::vector<std::byte>& bytes) {
    const char* dir = std::getenv("SCRIVLET_HOSTILE_DIR");
    if (dir == nullptr)
        return;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string path = std::string(dir) + "/hostile-" + test->name() + ".emf";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

Played play(const std::vector<std::byte>& bytes, int w = 100, int h = 100) {
    keepForFuzzing(bytes);
    auto mf = Metafile::fromBytes(bytes);
    EXPECT_TRUE(mf) << (mf ? "" : mf.error().message);
    Played p{whiteBitmap(w, h), {}, {}};
    if (!mf)
        return p;
    Dc dc(p.dib);
    p.report = playMetafile(*mf, dc, {0, 0, w, h});
    p.budget = dc.budget();
    return p;
}

std::vector<std::byte> selectRecord(std::uint32_t index) {
    return RecordBuilder(emf::EMR_SELECTOBJECT).u32(index).bytes();
}

// --- RLE ------------------------------------------------------------------------

// 17 MB of RLE8 runs of 255 pixels: the column passes 2^31 on the way, which
// once wrapped to a negative index and wrote before the image's buffer.
TEST(HostileFiles, RleRunsPastTwoGigapixelsStayInTheImage) {
    const std::uint32_t palette[2] = {0x0000FF, 0xFF0000};
    const auto info = bitmapInfo(2, 1, 8, BI_RLE8, palette);
    const std::size_t runs = 8'500'000;  // 255 * runs > 2^31
    std::vector<std::byte> bits;
    bits.reserve(2 * runs + 2);
    for (std::size_t i = 0; i < runs; ++i) {
        bits.push_back(std::byte{255});
        bits.push_back(std::byte{1});
    }
    bits.push_back(std::byte{0});
    bits.push_back(std::byte{1});  // end of bitmap
    ASSERT_GT(bits.size(), std::size_t{16} << 20);
    const auto file = metafileOf({stretchDiBitsRecord(info, bits, 2, 1, {10, 10, 30, 20})});
    const auto p = play(file);
    EXPECT_EQ(p.report.malformed.size(), 0u);
    // Palette entry 1 is red; the whole destination takes it.
    EXPECT_EQ(at(p.dib, 10, 10), kRed);
    EXPECT_EQ(at(p.dib, 29, 19), kRed);
    EXPECT_EQ(at(p.dib, 30, 10), kWhite);
}

// Deltas and absolute runs that reach past the right edge are cut there.
TEST(HostileFiles, RleDeltasAndRunsPastTheEdgeAreCut) {
    const std::uint32_t palette[3] = {0x000000, 0xFF0000, 0x0000FF};
    const auto info = bitmapInfo(4, 2, 8, BI_RLE8, palette);
    const std::uint8_t stream[] = {0, 2, 250, 0,  // delta far right of the bottom row: nothing lands
                                   3, 2,          // a run past the edge: nothing lands
                                   0, 0,          // end of line
                                   0, 5, 1,   1, 1, 1, 1, 0,  // an absolute run of 5 in a row of 4
                                   2, 2,                      // and a run after it, past the edge
                                   0, 1};
    std::vector<std::byte> bits;
    for (auto b : stream) bits.push_back(std::byte{b});
    auto image = decodeDib(info, bits);
    ASSERT_TRUE(image) << image.error();
    // Top row (stored second) red; bottom row untouched (index 0, black).
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image->at(x, 0) & 0xFFFFFF, 0xFF0000u) << x;
        EXPECT_EQ(image->at(x, 1) & 0xFFFFFF, 0x000000u) << x;
    }
}

// --- SaveDC ---------------------------------------------------------------------

// A clip of a thousand rectangles saved 6000 times: saved states share the
// region, and the stack stops at its depth.
TEST(HostileFiles, SaveDcSharesTheClipAndStopsAtItsDepth) {
    EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
    std::vector<RectL> rects;  // a band each
    for (int i = 0; i < 1000; ++i) rects.push_back({(i % 50) * 2, i * 2, (i % 50) * 2 + 1, i * 2 + 1});
    w.selectClipRegion(rects, gdi::RGN_COPY);
    for (int i = 0; i < 6000; ++i) w.saveDc();
    w.selectStockObject(StockObject::BLACK_BRUSH);
    w.selectStockObject(StockObject::NULL_PEN);
    w.rectangle({0, 0, 100, 100});
    const auto bytes = w.finish();
    Played p{whiteBitmap(1, 1), {}, {}};
    const long growth = peakGrowthMiB([&] { p = play(bytes); });
    EXPECT_LT(growth, 64) << "saved states copied the clip region";
    EXPECT_EQ(p.report.malformed.count(emf::EMR_SAVEDC), 1u);
    EXPECT_GT(p.report.malformed.at(emf::EMR_SAVEDC), 1000);
    // The clip still holds: (0, 0) is in it, (1, 0) is not.
    EXPECT_EQ(at(p.dib, 0, 0), kBlack);
    EXPECT_EQ(at(p.dib, 1, 0), kWhite);
}

// --- pictures whose size is checked before they are decoded -------------------

// A zlib stream of `count` zero bytes, deflated a chunk at a time.
std::vector<std::byte> compressedZeros(std::size_t count) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, Z_BEST_SPEED), Z_OK);
    std::vector<unsigned char> zeros(1 << 16, 0), chunkOut(1 << 16);
    std::vector<std::byte> out;
    std::size_t left = count;
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t n = std::min(left, zeros.size());
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = zeros.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = chunkOut.data();
            z.avail_out = static_cast<uInt>(chunkOut.size());
            deflate(&z, flush);
            const std::size_t have = chunkOut.size() - z.avail_out;
            for (std::size_t i = 0; i < have; ++i) out.push_back(std::byte{chunkOut[i]});
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return out;
}

void chunk(std::vector<std::byte>& png, const char* type, const std::vector<std::byte>& data) {
    auto be32 = [&](std::uint32_t v) {
        for (int i = 3; i >= 0; --i) png.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
    };
    be32(static_cast<std::uint32_t>(data.size()));
    std::vector<std::byte> body;
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::byte>(type[i]));
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    be32(static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// A complete, valid grey PNG of side x side black pixels.
std::vector<std::byte> blackPng(std::uint32_t side) {
    std::vector<std::byte> png;
    for (int c : {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) png.push_back(static_cast<std::byte>(c));
    std::vector<std::byte> ihdr;
    for (std::uint32_t v : {side, side})
        for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
    for (int c : {8, 0, 0, 0, 0}) ihdr.push_back(static_cast<std::byte>(c));  // 8-bit grey
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", compressedZeros(static_cast<std::size_t>(side) * (side + 1)));
    chunk(png, "IEND", {});
    return png;
}

TEST(HostileFiles, PngSizeIsCheckedBeforeDecoding) {
    // 12000^2 pixels: above the image limit, 576 MB once decoded.
    const auto png = blackPng(12000);
    const auto info = bitmapInfo(1, 1, 0, BI_PNG);
    std::string error;
    const long growth = peakGrowthMiB([&] {
        auto image = decodeDib(info, png);
        error = image ? "" : image.error();
    });
    EXPECT_EQ(error, "embedded PNG too large");
    EXPECT_LT(growth, 64) << "the PNG was decoded before its size was checked";
    const auto played = play(metafileOf({stretchDiBitsRecord(info, png, 1, 1, {0, 0, 50, 50})}));
    EXPECT_EQ(played.report.malformed.count(emf::EMR_STRETCHDIBITS), 1u);
    // A small one decodes.
    auto small = decodeDib(info, blackPng(3));
    ASSERT_TRUE(small) << small.error();
    EXPECT_EQ(small->width, 3);
    EXPECT_EQ(small->at(2, 2) & 0xFFFFFF, 0u);
}

// A progressive JPEG of 8 x 8 pixels whose frame header is then made to
// claim side x side: libjpeg would read it into a buffer of the whole image.
std::vector<std::byte> progressiveJpegClaiming(std::uint16_t side) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = 8;
    c.image_height = 8;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(24, 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<std::byte> bytes(size);
    std::memcpy(bytes.data(), out, size);
    std::free(out);
    // SOF2 (FF C2): length (2), precision (1), height (2), width (2).
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == std::byte{0xFF} && bytes[i + 1] == std::byte{0xC2}) {
            for (std::size_t at : {i + 5, i + 7}) {
                bytes[at] = static_cast<std::byte>(side >> 8);
                bytes[at + 1] = static_cast<std::byte>(side & 0xFF);
            }
            return bytes;
        }
    }
    ADD_FAILURE() << "no progressive frame header";
    return bytes;
}

TEST(HostileFiles, JpegSizeIsCheckedBeforeItsScansAreRead) {
    const auto jpeg = progressiveJpegClaiming(16000);
    const auto info = bitmapInfo(1, 1, 0, BI_JPEG);
    std::string error;
    const long growth = peakGrowthMiB([&] {
        auto image = decodeDib(info, jpeg);
        error = image ? "" : image.error();
    });
    EXPECT_EQ(error, "embedded JPEG too large");
    EXPECT_LT(growth, 64) << "the JPEG's scans were read before its size was checked";
    const auto played = play(metafileOf({stretchDiBitsRecord(info, jpeg, 1, 1, {0, 0, 50, 50})}));
    EXPECT_EQ(played.report.malformed.count(emf::EMR_STRETCHDIBITS), 1u);
    auto small = decodeDib(info, progressiveJpegClaiming(8));
    ASSERT_TRUE(small) << small.error();
    EXPECT_EQ(small->width, 8);
}

// A header that claims 8192 x 8192 pixels over a handful of bytes is not a
// picture: nothing is allocated for it, nothing drawn.
TEST(HostileFiles, BitmapHeaderWithoutItsPixelsIsRefused) {
    const auto info = bitmapInfo(8192, 8192, 24, 0);
    const std::vector<std::byte> bits(64, std::byte{0});
    Played p{whiteBitmap(1, 1), {}, {}};
    const long growth = peakGrowthMiB([&] {
        p = play(metafileOf({stretchDiBitsRecord(info, bits, 8192, 8192, {0, 0, 100, 100})}));
    });
    EXPECT_LT(growth, 64);
    EXPECT_EQ(p.report.malformed.count(emf::EMR_STRETCHDIBITS), 1u);
    EXPECT_EQ(countColour(p.dib, kWhite), 100 * 100);
}

// RLE pictures may leave most pixels out, so each is allowed; their total
// per page is not: the page is cut with a note once the budget is spent.
TEST(HostileFiles, PageOfHugeRlePicturesIsCut) {
    const std::uint32_t palette[2] = {0x000000, 0xFFFFFF};
    const auto info = bitmapInfo(8192, 8192, 8, BI_RLE8, palette);
    const std::vector<std::byte> bits = {std::byte{0}, std::byte{1}};  // end of bitmap at once
    std::vector<std::vector<std::byte>> records;
    for (int i = 0; i < 10; ++i)
        records.push_back(stretchDiBitsRecord(info, bits, 8192, 8192, {i, 0, i + 1, 1}));
    const auto p = play(metafileOf(records));
    EXPECT_NE(p.report.cut.find("bitmaps"), std::string::npos) << p.report.cut;
    EXPECT_LE(p.budget.used(WorkBudget::Kind::ImagePixels), p.budget.limits().imagePixels + 8192LL * 8192);
    EXPECT_LT(p.report.recordsPlayed, 10);
    ASSERT_FALSE(p.report.notes.empty());
    EXPECT_EQ(p.report.notes.back(), p.report.cut);
}

// --- curves ---------------------------------------------------------------------

TEST(HostileFiles, BezierFlatteningHasAPointCap) {
    std::vector<PointD> out;
    // A loop reaching 10^8 pixels out.
    flattenBezier({0, 0}, {1e8, 1e8}, {-1e8, 1e8}, {10, 0}, 0.25, out);
    EXPECT_LE(out.size(), 1024u);
    EXPECT_GE(out.size(), 512u);  // still a curve, not a chord
    EXPECT_EQ(out.back(), (PointD{10, 0}));
}

std::vector<std::byte> farBezierRecord(int segments) {
    RecordBuilder r(emf::EMR_POLYBEZIER);
    r.i32(0).i32(0).i32(100).i32(100).u32(static_cast<std::uint32_t>(1 + 3 * segments));
    r.i32(10).i32(10);
    for (int i = 0; i < segments; ++i)
        r.i32(100'000'000).i32(100'000'000).i32(-100'000'000).i32(100'000'000).i32(20).i32(10 + i % 50);
    return r.bytes();
}

TEST(HostileFiles, PageOfFarCurvesIsCutAtItsPointBudget) {
    std::vector<std::vector<std::byte>> records;
    for (int i = 0; i < 400; ++i) records.push_back(farBezierRecord(100));
    const auto p = play(metafileOf(records));
    EXPECT_NE(p.report.cut.find("curves"), std::string::npos) << p.report.cut;
    EXPECT_LE(p.budget.used(WorkBudget::Kind::CurvePoints), p.budget.limits().curvePoints + 1024);
    EXPECT_LT(p.report.recordsPlayed, 400);
}

// --- regions --------------------------------------------------------------------

// 20,000 rectangles, a row each: merged one at a time the union grows by a
// band per step (n^2 / 2 spans visited); merged in halves, n log n.
TEST(HostileFiles, RegionOfManyRectanglesIsBuiltInNLogN) {
    std::vector<RectL> rects;
    const int n = 20000;
    for (int i = 0; i < n; ++i) rects.push_back({i % 90, i, i % 90 + 5, i + 1});
    const auto p =
        play(metafileOf({fillRgnRecord(rects, static_cast<std::uint32_t>(StockObject::BLACK_BRUSH))}));
    const auto used = p.budget.used(WorkBudget::Kind::RegionSpans);
    EXPECT_GT(used, n);
    EXPECT_LE(used, 20LL * n) << "region built by one union per rectangle";
    const Region region = Region::fromRects(rects);
    EXPECT_EQ(region.spanCount(), static_cast<std::size_t>(n));
    EXPECT_EQ(region.bounds(), (RectL{0, 0, 94, n}));
    for (int y : {0, 37, 99}) {
        EXPECT_EQ(rowText(p.dib, y, 0, 100), std::string(static_cast<std::size_t>(y % 90), '.') + "#####" +
                                                 std::string(static_cast<std::size_t>(95 - y % 90), '.'))
            << y;
    }
}

// --- dashes ---------------------------------------------------------------------

std::vector<std::byte> extPenRecord(std::uint32_t index, std::uint32_t style, std::uint32_t width,
                                    const std::vector<std::uint32_t>& entries) {
    RecordBuilder r(emf::EMR_EXTCREATEPEN);
    r.u32(index).u32(0).u32(0).u32(0).u32(0);
    r.u32(style).u32(width).u32(gdi::BS_SOLID).u32(0).u32(0).u32(static_cast<std::uint32_t>(entries.size()));
    for (auto e : entries) r.u32(e);
    return r.bytes();
}

// ExtCreatePen takes at most 16 style entries; a pen of 200,000 is not made
// and the line keeps the pen selected before.
TEST(HostileFiles, PenOfTwoHundredThousandDashesIsNotMade) {
    const std::vector<std::uint32_t> entries(200'000, 1);
    const auto p = play(metafileOf({
        extPenRecord(1, gdi::PS_COSMETIC | gdi::PS_USERSTYLE, 1, entries),
        selectRecord(1),
        RecordBuilder(emf::EMR_MOVETOEX).i32(0).i32(50).bytes(),
        RecordBuilder(emf::EMR_LINETO).i32(100).i32(50).bytes(),
    }));
    EXPECT_EQ(p.report.malformed.count(emf::EMR_EXTCREATEPEN), 1u);
    EXPECT_EQ(rowText(p.dib, 50, 0, 100), std::string(100, '#'));
}

// A long pattern costs one search per segment, not a walk per pixel.
TEST(HostileFiles, LongDashPatternIsNotWalkedPerPixel) {
    auto dib = whiteBitmap(600, 4);
    WorkBudget budget;
    Canvas canvas(dib, &budget);
    ThinDash dash;
    dash.pattern.assign(200'000, 1);
    dash.pattern.front() = 2;
    const PointL line[] = {{0, 1}, {599, 1}};
    canvas.thinLines(line, false, Paint::solid(0), dash, nullptr, gdi::R2_COPYPEN);
    EXPECT_LE(budget.used(WorkBudget::Kind::DashSteps), 599 + 64);
    EXPECT_EQ(rowText(dib, 1, 0, 8), "##.#.#.#");
}

// --- fonts ----------------------------------------------------------------------

TEST(HostileFiles, FallbackFontsAreSortedOncePerProcess) {
    // 300 characters of a private-use plane (no font has them), each a
    // surrogate pair in the record.
    std::u16string text;
    for (std::uint32_t c = 0xF0000; c < 0xF0000 + 300; ++c) {
        text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
    EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
    LogFont font;
    font.height = -12;
    font.faceName = "Arial";
    w.selectObject(w.createFont(font));
    w.extTextOut({5, 20}, text);
    const auto p = play(w.finish());
    EXPECT_EQ(p.report.missingGlyphs, 300);
    for (std::uint32_t c = 0xF0000; c < 0xF0000 + 300; ++c) EXPECT_EQ(fallbackFamilyFor(c), "");
    EXPECT_LE(fallbackFontMatches(), 1u);
}

}  // namespace
}  // namespace metafile
