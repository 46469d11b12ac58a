// Pen styles (cosmetic and geometric, caps), exact device coordinates under
// world transforms, and the bitmap records MaskBlt, PlgBlt and
// SetDIBitsToDevice, against what GDI draws. Pages are 100 x 100 pixels with
// one logical unit a pixel.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"
#include "tests/metafile/record_builder.h"

namespace metafile {
namespace {

using namespace metafile::testing;

std::vector<std::byte> words(std::uint32_t type, std::initializer_list<std::int32_t> values) {
    RecordBuilder r(type);
    for (auto v : values) r.i32(v);
    return r.bytes();
}

std::uint32_t floatBits(float f) {
    std::uint32_t u = 0;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

DibSection render(const std::vector<std::vector<std::byte>>& records) {
    auto mf = Metafile::fromBytes(metafileOf(records));
    EXPECT_TRUE(mf);
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    playMetafile(*mf, dc, {0, 0, 100, 100});
    return dib;
}

bool ink(const DibSection& dib, int x, int y) {
    return at(dib, x, y) != kWhite;
}

std::vector<std::byte> extPen(std::uint32_t style, std::uint32_t width) {
    RecordBuilder r(emf::EMR_EXTCREATEPEN);
    r.u32(1).u32(0).u32(0).u32(0).u32(0).u32(style).u32(width).u32(gdi::BS_SOLID).u32(0).u32(0).u32(0);
    return r.bytes();
}

std::vector<std::byte> oldPen(std::uint32_t style, std::int32_t width) {
    return words(emf::EMR_CREATEPEN, {1, static_cast<std::int32_t>(style), width, 0, 0});
}

// --- pen styles --------------------------------------------------------------------

struct StyleCase {
    const char* name;
    std::vector<std::byte> pen;
    std::string pattern;  // one period of row 48 from x = 2 ('#' ink)
    int rows;             // how many rows the line covers
};

class PenStyles : public ::testing::TestWithParam<StyleCase> {};

// A line from (2, 48) to (94, 48) over a transparent background.
TEST_P(PenStyles, DashesRepeatAlongTheLine) {
    const auto& c = GetParam();
    const auto dib = render({words(emf::EMR_SETBKMODE, {gdi::TRANSPARENT}), c.pen,
                             RecordBuilder(emf::EMR_SELECTOBJECT).u32(1).bytes(),
                             words(emf::EMR_MOVETOEX, {2, 48}), words(emf::EMR_LINETO, {94, 48})});
    std::string expected;
    while (expected.size() < 92) expected += c.pattern;
    expected.resize(92);
    EXPECT_EQ(rowText(dib, 48, 2, 94), expected);
    if (c.rows == 1) {
        EXPECT_FALSE(ink(dib, 1, 48));
    }
    EXPECT_EQ(inkBounds(dib).bottom - inkBounds(dib).top, c.rows);
}

const std::string kDash = std::string(18, '#') + std::string(6, '.');
const std::string kDot = "###...";
const std::string kDashDot = std::string(9, '#') + "......###......";
const std::string kDashDotDot = std::string(9, '#') + "...###...###...";

INSTANTIATE_TEST_SUITE_P(
    Table, PenStyles,
    ::testing::Values(
        StyleCase{"CreatePenDash", oldPen(gdi::PS_DASH, 1), kDash, 1},
        StyleCase{"CreatePenDot", oldPen(gdi::PS_DOT, 1), kDot, 1},
        StyleCase{"CreatePenDashDot", oldPen(gdi::PS_DASHDOT, 1), kDashDot, 1},
        StyleCase{"CreatePenDashDotDot", oldPen(gdi::PS_DASHDOTDOT, 1), kDashDotDot, 1},
        // A wide pen made by CreatePen is solid whatever its style.
        StyleCase{"CreatePenWideDashIsSolid", oldPen(gdi::PS_DASH, 3), "#", 3},
        StyleCase{"CosmeticDash", extPen(gdi::PS_COSMETIC | gdi::PS_DASH, 1), kDash, 1},
        StyleCase{"CosmeticDot", extPen(gdi::PS_COSMETIC | gdi::PS_DOT, 1), kDot, 1},
        StyleCase{"CosmeticDashDot", extPen(gdi::PS_COSMETIC | gdi::PS_DASHDOT, 1), kDashDot, 1},
        StyleCase{"CosmeticDashDotDot", extPen(gdi::PS_COSMETIC | gdi::PS_DASHDOTDOT, 1), kDashDotDot, 1},
        StyleCase{"CosmeticAlternate", extPen(gdi::PS_COSMETIC | gdi::PS_ALTERNATE, 1), "#.", 1},
        // Geometric dashes scale with the width: dash 3w, dot and gaps w.
        StyleCase{"GeometricDash", extPen(gdi::PS_GEOMETRIC | gdi::PS_ENDCAP_FLAT | gdi::PS_DASH, 4),
                  "############....", 4},
        StyleCase{"GeometricDot", extPen(gdi::PS_GEOMETRIC | gdi::PS_ENDCAP_FLAT | gdi::PS_DOT, 4),
                  "####....", 4},
        StyleCase{"GeometricDashDot", extPen(gdi::PS_GEOMETRIC | gdi::PS_ENDCAP_FLAT | gdi::PS_DASHDOT, 4),
                  "############....####....", 4},
        StyleCase{"GeometricDashDotDot",
                  extPen(gdi::PS_GEOMETRIC | gdi::PS_ENDCAP_FLAT | gdi::PS_DASHDOTDOT, 4),
                  "############....####....####....", 4}),
    [](const auto& c) { return std::string(c.param.name); });

// End caps of a geometric pen 10 wide on a line from x = 20 to x = 76.
TEST(PenCaps, FlatSquareAndRoundEnds) {
    auto line = [](std::uint32_t cap) {
        return render({extPen(gdi::PS_GEOMETRIC | cap, 10),
                       RecordBuilder(emf::EMR_SELECTOBJECT).u32(1).bytes(),
                       words(emf::EMR_MOVETOEX, {20, 48}), words(emf::EMR_LINETO, {76, 48})});
    };
    const auto flat = line(gdi::PS_ENDCAP_FLAT), square = line(gdi::PS_ENDCAP_SQUARE),
               round = line(gdi::PS_ENDCAP_ROUND);
    EXPECT_EQ(inkBounds(flat), (RectL{20, 43, 76, 53}));
    EXPECT_EQ(inkBounds(square), (RectL{15, 43, 81, 53}));  // half the width beyond each end
    EXPECT_EQ(inkBounds(round), (RectL{15, 43, 81, 53}));
    // Round ends leave the corners of the square ones out.
    EXPECT_TRUE(ink(square, 15, 43));
    EXPECT_FALSE(ink(round, 15, 43));
    EXPECT_TRUE(ink(round, 15, 48));
    EXPECT_FALSE(ink(round, 80, 52));
}

// --- world transforms: exact device coordinates ------------------------------------

struct TransformCase {
    const char* name;
    Matrix m;
    PointL start;  // device pixel of logical (10, 10): drawn
    PointL end;    // device pixel of logical (60, 30): left out
    RectL bounds;  // of the line's ink
};

class Transforms : public ::testing::TestWithParam<TransformCase> {};

std::vector<std::byte> worldTransform(const Matrix& m) {
    RecordBuilder r(emf::EMR_SETWORLDTRANSFORM);
    for (double v : {m.eM11, m.eM12, m.eM21, m.eM22, m.eDx, m.eDy}) r.u32(floatBits(static_cast<float>(v)));
    return r.bytes();
}

TEST_P(Transforms, LineEndsLandOnTheMappedPixels) {
    const auto& c = GetParam();
    const auto dib =
        render({worldTransform(c.m), words(emf::EMR_MOVETOEX, {10, 10}), words(emf::EMR_LINETO, {60, 30})});
    EXPECT_TRUE(ink(dib, c.start.x, c.start.y)) << "start";
    EXPECT_FALSE(ink(dib, c.end.x, c.end.y)) << "end";
    EXPECT_EQ(inkBounds(dib), c.bounds);
}

// x' = x m11 + y m21 + dx, y' = x m12 + y m22 + dy.
INSTANTIATE_TEST_SUITE_P(
    Table, Transforms,
    ::testing::Values(
        TransformCase{"Identity", {1, 0, 0, 1, 0, 0}, {10, 10}, {60, 30}, {10, 10, 60, 31}},
        TransformCase{"Rotate90", {0, 1, -1, 0, 80, 10}, {70, 20}, {50, 70}, {50, 20, 71, 70}},
        TransformCase{"Shear", {1, 0, 0.5, 1, 0, 0}, {15, 10}, {75, 30}, {15, 10, 75, 31}},
        TransformCase{"FlipX", {-1, 0, 0, 1, 90, 0}, {80, 10}, {30, 30}, {31, 10, 81, 31}},
        TransformCase{"FlipY", {1, 0, 0, -1, 0, 90}, {10, 80}, {60, 60}, {10, 60, 60, 81}},
        TransformCase{
            "Rotate30", {0.8660254, 0.5, -0.5, 0.8660254, 40, 0}, {44, 14}, {77, 56}, {44, 14, 77, 56}},
        TransformCase{"ScaleAndShift", {1.5, 0, 0, 0.5, -5, 40}, {10, 45}, {85, 55}, {10, 45, 85, 56}}),
    [](const auto& c) { return std::string(c.param.name); });

// A filled quadrilateral under the same transforms: its corners map exactly.
TEST(Transforms, PolygonCornersMapExactly) {
    auto polygon = [](const Matrix& m) {
        RecordBuilder r(emf::EMR_POLYGON);
        r.i32(0).i32(0).i32(100).i32(100).u32(4);
        for (PointL p : {PointL{10, 10}, {50, 10}, {50, 20}, {20, 30}}) r.i32(p.x).i32(p.y);
        return render({worldTransform(m),
                       RecordBuilder(emf::EMR_SELECTOBJECT)
                           .u32(static_cast<std::uint32_t>(StockObject::NULL_PEN))
                           .bytes(),
                       RecordBuilder(emf::EMR_SELECTOBJECT)
                           .u32(static_cast<std::uint32_t>(StockObject::BLACK_BRUSH))
                           .bytes(),
                       r.bytes()});
    };
    EXPECT_EQ(inkBounds(polygon({-1, 0, 0, 1, 90, 0})), (RectL{40, 10, 80, 30}));
    EXPECT_EQ(inkBounds(polygon({1, 0, 0, -1, 0, 90})), (RectL{11, 61, 50, 80}));
    EXPECT_EQ(inkBounds(polygon({0.8660254, 0.5, -0.5, 0.8660254, 40, 0})), (RectL{42, 15, 78, 42}));
    const auto rotated = polygon({0, 1, -1, 0, 80, 10});
    // (50, 10) -> (70, 60), (20, 30) -> (50, 30): the corners' pixels.
    EXPECT_TRUE(ink(rotated, 69, 59));
    EXPECT_TRUE(ink(rotated, 51, 30));
    EXPECT_FALSE(ink(rotated, 55, 55));
}

// --- bitmaps ----------------------------------------------------------------------------

// A 4 x 4 24-bit picture, top row black, yellow, cyan, magenta, then rows
// of blue, green and red.
struct Picture {
    std::vector<std::byte> info, bits;
};

Picture picture() {
    Picture p;
    p.info = bitmapInfo(4, 4, 24, 0);
    auto pixel = [&](std::uint32_t rgbValue) {
        p.bits.push_back(static_cast<std::byte>(rgbValue & 0xFF));
        p.bits.push_back(static_cast<std::byte>((rgbValue >> 8) & 0xFF));
        p.bits.push_back(static_cast<std::byte>((rgbValue >> 16) & 0xFF));
    };
    // Bottom-up rows.
    for (std::uint32_t c : {0xFF0000u, 0x00FF00u, 0x0000FFu})
        for (int i = 0; i < 4; ++i) pixel(c);
    for (std::uint32_t c : {0x000000u, 0xFFFF00u, 0x00FFFFu, 0xFF00FFu}) pixel(c);
    return p;
}

constexpr std::uint32_t kGreen = 0x00FF00, kYellow = 0xFFFF00, kCyan = 0x00FFFF, kMagenta = 0xFF00FF;

std::vector<std::byte> setDiBitsToDevice(PointL dest, RectL src, std::uint32_t startScan,
                                         std::uint32_t scans) {
    const auto p = picture();
    RecordBuilder r(emf::EMR_SETDIBITSTODEVICE);
    r.i32(0).i32(0).i32(100).i32(100).i32(dest.x).i32(dest.y).i32(src.left).i32(src.top).i32(src.right).i32(
        src.bottom);
    r.u32(76)
        .u32(static_cast<std::uint32_t>(p.info.size()))
        .u32(76 + static_cast<std::uint32_t>(p.info.size()));
    r.u32(static_cast<std::uint32_t>(p.bits.size())).u32(0).u32(startScan).u32(scans);
    r.append(p.info).append(p.bits);
    return r.bytes();
}

TEST(Bitmaps, SetDiBitsToDeviceCopiesPixelForPixel) {
    const auto dib = render({setDiBitsToDevice({10, 20}, {0, 0, 4, 4}, 0, 4)});
    EXPECT_EQ(inkBounds(dib), (RectL{10, 20, 14, 24}));
    const std::uint32_t top[] = {kBlack, kYellow, kCyan, kMagenta};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(at(dib, 10 + x, 20), top[x]) << x;
        EXPECT_EQ(at(dib, 10 + x, 21), kBlue) << x;
        EXPECT_EQ(at(dib, 10 + x, 22), kGreen) << x;
        EXPECT_EQ(at(dib, 10 + x, 23), kRed) << x;
    }
}

// The source rectangle counts rows from the bottom, and only the scan
// lines the record carries (here the bottom two) are drawn.
TEST(Bitmaps, SetDiBitsToDeviceDrawsOnlyItsScanLines) {
    const auto all = render({setDiBitsToDevice({10, 20}, {1, 1, 2, 2}, 0, 4)});
    EXPECT_EQ(inkBounds(all), (RectL{10, 20, 12, 22}));
    EXPECT_EQ(at(all, 10, 20), kBlue);
    EXPECT_EQ(at(all, 11, 21), kGreen);
    const auto two = render({setDiBitsToDevice({10, 20}, {1, 1, 2, 2}, 0, 2)});
    EXPECT_EQ(inkBounds(two), (RectL{10, 21, 12, 22}));
    EXPECT_EQ(at(two, 10, 21), kGreen);
    EXPECT_EQ(at(two, 11, 21), kGreen);
}

std::vector<std::byte> maskBlt(std::uint32_t rop4) {
    const auto p = picture();
    // Mask rows bottom-up: 1010, 0101, 1111, 0000 (each padded to 4 bytes).
    const std::uint32_t monoPalette[2] = {0x000000, 0xFFFFFF};
    const auto maskInfo = bitmapInfo(4, 4, 1, 0, monoPalette);
    std::vector<std::byte> maskBits;
    for (std::uint8_t row : {0xA0, 0x50, 0xF0, 0x00}) {
        maskBits.push_back(std::byte{row});
        maskBits.insert(maskBits.end(), 3, std::byte{0});
    }
    const auto off = 128u, infoSize = static_cast<std::uint32_t>(p.info.size()),
               bitsSize = static_cast<std::uint32_t>(p.bits.size());
    RecordBuilder r(emf::EMR_MASKBLT);
    r.i32(0).i32(0).i32(100).i32(100).i32(10).i32(10).i32(4).i32(4).u32(rop4).i32(0).i32(0);
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) r.u32(floatBits(f));
    r.u32(0xFFFFFF).u32(0).u32(off).u32(infoSize).u32(off + infoSize).u32(bitsSize);
    r.i32(0).i32(0).u32(0).u32(off + infoSize + bitsSize).u32(static_cast<std::uint32_t>(maskInfo.size()));
    r.u32(off + infoSize + bitsSize + static_cast<std::uint32_t>(maskInfo.size()))
        .u32(static_cast<std::uint32_t>(maskBits.size()));
    r.append(p.info).append(p.bits).append(maskInfo).append(maskBits);
    return r.bytes();
}

// Where the mask is 1 the foreground operation applies (SRCCOPY), where it
// is 0 the background one (MAKEROP4): the destination kept, or the brush.
TEST(Bitmaps, MaskBltChoosesTheOperationByTheMask) {
    const auto keep = render({maskBlt(0xAACC0020)});
    EXPECT_EQ(rowText(keep, 10, 10, 14), "....");
    for (int x = 10; x < 14; ++x) EXPECT_EQ(at(keep, x, 11), kBlue) << x;
    EXPECT_EQ(rowText(keep, 12, 10, 14), ".#.#");
    EXPECT_EQ(at(keep, 11, 12), kGreen);
    EXPECT_EQ(rowText(keep, 13, 10, 14), "#.#.");
    EXPECT_EQ(at(keep, 10, 13), kRed);
    const auto brush = render({RecordBuilder(emf::EMR_SELECTOBJECT)
                                   .u32(static_cast<std::uint32_t>(StockObject::BLACK_BRUSH))
                                   .bytes(),
                               maskBlt(0xF0CC0020)});
    EXPECT_EQ(countColour(brush, kBlack), 4 + 2 + 2);
    EXPECT_EQ(rowText(brush, 10, 10, 14), "####");
    EXPECT_EQ(at(brush, 11, 12), kGreen);
    EXPECT_EQ(at(brush, 10, 12), kBlack);
    EXPECT_EQ(at(brush, 10, 13), kRed);
    EXPECT_EQ(at(brush, 11, 13), kBlack);
}

// PlgBlt maps the source rectangle onto the parallelogram of its three
// points: upper-left, upper-right, lower-left.
TEST(Bitmaps, PlgBltFillsTheParallelogram) {
    const auto p = picture();
    const auto off = 140u, infoSize = static_cast<std::uint32_t>(p.info.size());
    RecordBuilder r(emf::EMR_PLGBLT);
    r.i32(0).i32(0).i32(100).i32(100);
    for (PointL pt : {PointL{20, 10}, {60, 20}, {10, 50}}) r.i32(pt.x).i32(pt.y);
    r.i32(0).i32(0).i32(4).i32(4);
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) r.u32(floatBits(f));
    r.u32(0).u32(0).u32(off).u32(infoSize).u32(off + infoSize).u32(static_cast<std::uint32_t>(p.bits.size()));
    for (int i = 0; i < 7; ++i) r.u32(0);
    r.append(p.info).append(p.bits);
    const auto dib = render({r.bytes()});
    EXPECT_EQ(inkBounds(dib), (RectL{10, 10, 60, 60}));
    EXPECT_EQ(at(dib, 21, 11), kBlack);    // near (20, 10): the top-left source pixel
    EXPECT_EQ(at(dib, 56, 21), kMagenta);  // near (60, 20): top-right
    EXPECT_EQ(at(dib, 12, 48), kRed);      // near (10, 50): bottom-left
    EXPECT_EQ(at(dib, 48, 57), kRed);      // near (50, 60), the fourth corner
    EXPECT_FALSE(ink(dib, 12, 12));        // outside the parallelogram
    EXPECT_FALSE(ink(dib, 58, 58));
}

}  // namespace
}  // namespace metafile
