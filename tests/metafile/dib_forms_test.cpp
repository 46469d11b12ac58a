// The rarer forms of a device-independent bitmap: core headers, palette
// indices, RLE4, RLE deltas and padded absolute runs, bit fields of every
// width, alpha, V5 headers, wide 1-bit rows, embedded PNG, and the sizes a
// header claims.

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "metafile/dib_decode.h"

namespace metafile {
namespace {

class Bytes {
public:
    Bytes& u8(std::uint8_t v) {
        data.push_back(static_cast<std::byte>(v));
        return *this;
    }
    Bytes& u8s(std::initializer_list<std::uint8_t> vs) {
        for (auto v : vs) u8(v);
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    std::vector<std::byte> data;
};

Bytes infoHeader(std::int32_t w, std::int32_t h, std::uint16_t bpp, std::uint32_t compression = 0,
                 std::uint32_t used = 0, std::uint32_t size = 40) {
    Bytes b;
    b.u32(size).i32(w).i32(h).u16(1).u16(bpp).u32(compression).u32(0).i32(0).i32(0).u32(used).u32(0);
    return b;
}

constexpr std::uint32_t K = 0xFF000000, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF;

struct Case {
    const char* label;
    Bytes info;
    Bytes bits;
    int width;
    int height;
    std::vector<std::uint32_t> expected;  // top-down
    std::uint32_t usage = 0;
    bool hasAlpha = false;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    {  // Core header: 16-bit sizes, three-byte colour table entries.
        Case c{"core header", Bytes().u32(12).u16(2).u16(1).u16(1).u16(8), {}, 2, 1, {G, R}};
        c.info.u8s({0, 0, 255, 0, 255, 0});  // red, green
        c.bits.u8s({1, 0, 0, 0});
        out.push_back(std::move(c));
    }
    {  // DIB_PAL_COLORS: the table holds 16-bit palette indices, shown as greys.
        Case c{"palette indices", infoHeader(2, -1, 8, 0, 2), {}, 2, 1, {0xFF101010, 0xFF808080}, 1};
        c.info.u16(0x0110).u16(0x0080);
        c.bits.u8s({0, 1, 0, 0});
        out.push_back(std::move(c));
    }
    {  // RLE4: a run of alternating nibbles, then an absolute run of three.
        Case c{"RLE4", infoHeader(4, 2, 4, 2, 3), {}, 4, 2, {B, R, B, K, R, B, R, B}};
        c.info.u32(0).u32(0x00FF0000).u32(0x000000FF);  // black, red, blue
        c.bits.u8s({4, 0x12, 0, 0});                    // bottom row: 1 2 1 2, end of line
        c.bits.u8s({0, 3, 0x21, 0x20, 0, 1});           // top row: 2 1 2, end of bitmap
        out.push_back(std::move(c));
    }
    {  // RLE4: an absolute run of five takes three bytes and one pad byte.
        Case c{"RLE4 odd absolute run", infoHeader(6, 1, 4, 2, 3), {}, 6, 1, {R, B, R, B, R, B}};
        c.info.u32(0).u32(0x00FF0000).u32(0x000000FF);  // black, red, blue
        c.bits.u8s({0, 5, 0x12, 0x12, 0x10, 0});        // 1 2 1 2 1, pad
        c.bits.u8s({1, 0x20, 0, 1});                    // one 2, end of bitmap
        out.push_back(std::move(c));
    }
    {  // A larger header (V4): the colour table follows the whole header.
        Case c{"8 bit with a V4 header", infoHeader(2, -1, 8, 0, 2, 108), {}, 2, 1, {G, R}};
        for (int i = 40; i < 108; ++i) c.info.u8(0);
        c.info.u32(0x00FF0000).u32(0x0000FF00);  // red, green
        c.bits.u8s({1, 0, 0, 0});
        out.push_back(std::move(c));
    }
    {  // RLE8: an odd absolute run is padded to 16 bits; a delta moves right.
        Case c{"RLE8 padding and delta", infoHeader(4, 2, 8, 1, 4), {}, 4, 2, {K, K, B, B, R, G, B, R}};
        c.info.u32(0).u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF);
        c.bits.u8s({0, 3, 1, 2, 3, 0});  // absolute: red green blue, one pad byte
        c.bits.u8s({1, 1, 0, 0});        // one red, end of line
        c.bits.u8s({0, 2, 2, 0});        // delta: two right
        c.bits.u8s({2, 3, 0, 1});        // two blue, end of bitmap
        out.push_back(std::move(c));
    }
    {  // RLE8: a delta moves up a row.
        Case c{"RLE8 delta up", infoHeader(2, 2, 8, 1, 2), {}, 2, 2, {K, R, K, K}};
        c.info.u32(0).u32(0x00FF0000);
        c.bits.u8s({0, 2, 1, 1, 1, 1, 0, 1});
        out.push_back(std::move(c));
    }
    {  // RLE8: runs past the right edge are cut there.
        Case c{"RLE8 long run", infoHeader(2, 1, 8, 1, 2), {}, 2, 1, {R, R}};
        c.info.u32(0).u32(0x00FF0000);
        c.bits.u8s({200, 1, 0, 1});
        out.push_back(std::move(c));
    }
    {  // 1 bit across two bytes: the highest bit is the leftmost pixel.
        Case c{"1 bit, ten wide", infoHeader(10, -1, 1, 0, 2), {}, 10, 1, {W, K, W, K, K, K, K, K, K, W}};
        c.info.u32(0).u32(0x00FFFFFF);
        c.bits.u8s({0xA0, 0x40, 0, 0});
        out.push_back(std::move(c));
    }
    {  // Four-bit masks are widened by repeating their bits.
        Case c{"16 bit, 4-bit fields", infoHeader(1, -1, 16, 6), {}, 1, 1, {0xFFFF8844}};
        c.info.u32(0x0F00).u32(0x00F0).u32(0x000F).u32(0xF000);
        c.bits.u16(0x0F84).u16(0);
        out.push_back(std::move(c));
    }
    {  // Two- and one-bit masks too.
        Case c{"16 bit, 2- and 1-bit fields", infoHeader(2, -1, 16, 3), {}, 2, 1, {0xFFAA00FF, 0xFF55FF00}};
        c.info.u32(0x0006).u32(0x0001).u32(0x0008);
        c.bits.u16(0x000C).u16(0x0003);
        out.push_back(std::move(c));
    }
    {  // 32 bit: the byte the colours leave free is alpha.
        Case c{"32 bit alpha", infoHeader(2, -1, 32), {}, 2, 1, {0x80FF0000, 0x00000000}};
        c.hasAlpha = true;
        c.bits.u32(0x80FF0000).u32(0);
        out.push_back(std::move(c));
    }
    {  // 32 bit bit fields in blue-green-red order, no alpha: opaque.
        Case c{"32 bit swapped fields", infoHeader(2, -1, 32, 3), {}, 2, 1, {R, B}};
        c.info.u32(0x000000FF).u32(0x0000FF00).u32(0x00FF0000);
        c.bits.u32(0x000000FF).u32(0x00FF0000);
        out.push_back(std::move(c));
    }
    {  // 32 bit with fields leaving no free byte: no alpha is read.
        Case c{"32 bit wide fields", infoHeader(1, -1, 32, 3), {}, 1, 1, {0xFF00FF00}};
        c.info.u32(0xFFC00000).u32(0x003FF000).u32(0x00000FFF);
        c.bits.u32(0x003FF000);
        out.push_back(std::move(c));
    }
    {  // 32 bit with an alpha mask.
        Case c{"32 bit alpha field", infoHeader(1, -1, 32, 6), {}, 1, 1, {0x40102030}};
        c.hasAlpha = true;
        c.info.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF).u32(0xFF000000);
        c.bits.u32(0x40102030);
        out.push_back(std::move(c));
    }
    {  // A V5 header carries its masks inside; the table would follow it.
        Case c{"V5 header", infoHeader(2, -1, 16, 3, 0, 124), {}, 2, 1, {R, B}};
        c.info.u32(0xF800).u32(0x07E0).u32(0x001F).u32(0);
        while (c.info.data.size() < 124) c.info.u8(0xEE);
        c.bits.u16(0xF800).u16(0x001F);
        out.push_back(std::move(c));
    }
    return out;
}

TEST(DibForms, DecodeToTheirPixels) {
    for (auto& c : cases()) {
        auto img = decodeDib(c.info.data, c.bits.data, c.usage);
        ASSERT_TRUE(img) << c.label << ": " << img.error();
        EXPECT_EQ(img->width, c.width) << c.label;
        EXPECT_EQ(img->height, c.height) << c.label;
        EXPECT_EQ(img->pixels, c.expected) << c.label;
        EXPECT_EQ(img->hasAlpha, c.hasAlpha) << c.label;
    }
}

TEST(DibForms, RefusalsNameTheirReason) {
    struct Bad {
        const char* label;
        Bytes info;
        Bytes bits;
        std::string reason;
    };
    std::vector<Bad> bad;
    bad.push_back({"rows missing", infoHeader(1, 3, 24), Bytes().u32(0),
                   "bitmap bits are missing (4 bytes for 3 rows of 4)"});
    bad.push_back(
        {"RLE8 at 4 bits", infoHeader(2, 2, 4, 1), Bytes().u8s({0, 1}), "RLE with the wrong depth"});
    bad.push_back(
        {"RLE4 at 8 bits", infoHeader(2, 2, 8, 2), Bytes().u8s({0, 1}), "RLE with the wrong depth"});
    bad.push_back({"RLE delta cut", infoHeader(2, 2, 8, 1), Bytes().u8s({0, 2, 1}), "RLE data is damaged"});
    bad.push_back({"RLE run cut", infoHeader(2, 2, 8, 1), Bytes().u8s({0, 4, 1}), "RLE data is damaged"});
    bad.push_back({"header size", Bytes().u32(39).i32(1).i32(1), Bytes(), "unknown bitmap header size 39"});
    bad.push_back({"core cut", Bytes().u32(12).u16(1).u16(1).u16(1), Bytes(), "bitmap header truncated"});
    bad.push_back({"no header", Bytes(), Bytes(), "bitmap header missing"});
    bad.push_back({"height zero", infoHeader(1, 0, 24), Bytes(), "bitmap has no pixels"});
    bad.push_back({"height minimum", infoHeader(1, INT32_MIN, 24), Bytes(), "bitmap has no pixels"});
    bad.push_back({"depth", infoHeader(1, 1, 2), Bytes().u32(0), "unsupported bit depth 2"});
    bad.push_back({"compression", infoHeader(1, 1, 24, 7), Bytes().u32(0), "unsupported compression 7"});
    for (auto& b : bad) {
        auto img = decodeDib(b.info.data, b.bits.data);
        ASSERT_FALSE(img) << b.label;
        EXPECT_EQ(img.error(), b.reason) << b.label;
    }
    // Exactly half the rows (rounded up) is enough.
    const Bytes half = Bytes().u32(0x00FF0000).u32(0x00FF0000);
    auto img = decodeDib(infoHeader(1, 3, 24).data, half.data);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{K, R, R}));
    // The pixel limit is inclusive.
    const Bytes four = Bytes().u32(0).u32(0).u32(0).u32(0);
    EXPECT_TRUE(decodeDib(infoHeader(2, 2, 24).data, four.data, 0, 4));
    EXPECT_EQ(decodeDib(infoHeader(2, 2, 24).data, four.data, 0, 3).error(), "bitmap too large");
}

TEST(DibForms, ClaimedPixelsComeFromEitherHeader) {
    struct Claim {
        Bytes info;
        std::int64_t pixels;
    };
    const Claim claims[] = {
        {infoHeader(3, 5, 24), 15},
        {infoHeader(3, -5, 24), 15},
        {infoHeader(0, 5, 24), 0},
        {infoHeader(-3, 5, 24), 0},
        {Bytes().u32(12).u16(7).u16(9), 63},
        {Bytes().u32(12).u16(7), 0},
        {Bytes(), 0},
        {infoHeader(65536, 65536, 24), std::int64_t{1} << 32},
    };
    for (const auto& c : claims) EXPECT_EQ(dibClaimedPixels(c.info.data), c.pixels);
}

std::vector<std::byte> pngOf(cairo_surface_t* surface) {
    std::vector<std::byte> out;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* bytes = static_cast<std::vector<std::byte>*>(closure);
            for (unsigned i = 0; i < length; ++i) bytes->push_back(static_cast<std::byte>(data[i]));
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    return out;
}

TEST(DibForms, EmbeddedPngIsUnpremultipliedAndSizeChecked) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 1);
    cairo_surface_flush(s);
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s));
    row[0] = 0x80400000;  // half-covered red at a quarter: unpremultiplied 0x80 red
    row[1] = 0xFF00FF00;
    row[2] = 0x00000000;
    row[3] = 0x80402010;  // half-covered: the PNG holds the straight colour 0x804020
    cairo_surface_mark_dirty(s);
    const auto png = pngOf(s);
    cairo_surface_destroy(s);
    const Bytes info = infoHeader(4, 1, 0, 5);
    auto img = decodeDib(info.data, png);
    ASSERT_TRUE(img) << img.error();
    EXPECT_EQ(img->width, 4);
    EXPECT_EQ(img->height, 1);
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{0x80800000, 0xFF00FF00, 0x00000000, 0x80804020}));
    EXPECT_TRUE(img->hasAlpha);
    // The PNG's own header is checked too, whatever the bitmap header says.
    EXPECT_EQ(decodeDib(infoHeader(1, 1, 0, 5).data, png, 0, 3).error(), "embedded PNG too large");
    EXPECT_TRUE(decodeDib(infoHeader(1, 1, 0, 5).data, png, 0, 4));

    cairo_surface_t* opaque = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_surface_flush(opaque);
    *reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(opaque)) = 0x00123456;
    cairo_surface_mark_dirty(opaque);
    const auto rgb = pngOf(opaque);
    cairo_surface_destroy(opaque);
    img = decodeDib(infoHeader(1, 1, 0, 5).data, rgb);
    ASSERT_TRUE(img) << img.error();
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{0xFF123456}));
    EXPECT_FALSE(img->hasAlpha);

    auto cut = png;
    cut.resize(cut.size() / 2);
    EXPECT_EQ(decodeDib(info.data, cut).error(), "embedded PNG cannot be decoded");
    auto notPng = png;
    notPng[1] = std::byte{'X'};
    EXPECT_EQ(decodeDib(info.data, notPng).error(), "embedded PNG cannot be decoded");
}

}  // namespace
}  // namespace metafile
