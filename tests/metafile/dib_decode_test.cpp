#include "metafile/dib_decode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace metafile {
namespace {

class Bytes {
public:
    Bytes& u8(std::uint8_t v) {
        data.push_back(static_cast<std::byte>(v));
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    std::vector<std::byte> data;
};

Bytes infoHeader(std::int32_t w, std::int32_t h, std::uint16_t bpp, std::uint32_t compression = 0,
                 std::uint32_t used = 0) {
    Bytes b;
    b.u32(40).i32(w).i32(h).u16(1).u16(bpp).u32(compression).u32(0).i32(0).i32(0).u32(used).u32(0);
    return b;
}

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000,
                        kWhite = 0xFFFFFFFF;

struct Case {
    const char* label;
    Bytes info;
    Bytes bits;
    std::vector<std::uint32_t> expected;  // top-down, 2 x 2 unless said
    int width = 2;
    int height = 2;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    {  // 1 bit, bottom-up: the first stored row is the bottom one
        Case c{"1 bit, palette", infoHeader(2, 2, 1, 0, 2), {}, {kRed, kWhite, kWhite, kRed}};
        c.info.u32(0x00FFFFFF).u32(0x00FF0000);  // index 0 white, 1 red (B, G, R, 0)
        c.bits.u8(0x40).u8(0).u8(0).u8(0).u8(0x80).u8(0).u8(0).u8(0);
        out.push_back(std::move(c));
    }
    {  // 4 bit, top-down
        Case c{"4 bit, top-down", infoHeader(2, -2, 4, 0, 3), {}, {kBlue, kGreen, kRed, kBlue}};
        c.info.u32(0x000000FF).u32(0x0000FF00).u32(0x00FF0000);  // blue, green, red
        c.bits.u8(0x01).u8(0).u8(0).u8(0).u8(0x20).u8(0).u8(0).u8(0);
        out.push_back(std::move(c));
    }
    {  // 8 bit
        Case c{"8 bit", infoHeader(2, 2, 8, 0, 2), {}, {kBlack, kRed, kRed, kBlack}};
        c.info.u32(0).u32(0x00FF0000);
        c.bits.u8(1).u8(0).u8(0).u8(0).u8(0).u8(1).u8(0).u8(0);
        out.push_back(std::move(c));
    }
    {  // 16 bit 555
        Case c{"16 bit 555", infoHeader(2, -2, 16), {}, {kRed, kGreen, kBlue, kWhite}};
        c.bits.u16(0x7C00).u16(0x03E0).u16(0x001F).u16(0x7FFF);
        out.push_back(std::move(c));
    }
    {  // 16 bit 565 through bit fields
        Case c{"16 bit 565 bit fields", infoHeader(2, -2, 16, 3), {}, {kRed, kGreen, kBlue, kWhite}};
        c.info.u32(0xF800).u32(0x07E0).u32(0x001F);
        c.bits.u16(0xF800).u16(0x07E0).u16(0x001F).u16(0xFFFF);
        out.push_back(std::move(c));
    }
    {  // 24 bit, rows padded to 4 bytes
        Case c{"24 bit", infoHeader(2, -2, 24), {}, {kRed, kGreen, kBlue, kBlack}};
        c.bits.u8(0).u8(0).u8(255).u8(0).u8(255).u8(0).u8(0).u8(0);
        c.bits.u8(255).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
        out.push_back(std::move(c));
    }
    {  // 32 bit without alpha: opaque
        Case c{"32 bit", infoHeader(2, -2, 32), {}, {kRed, kGreen, kBlue, kWhite}};
        c.bits.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF).u32(0x00FFFFFF);
        out.push_back(std::move(c));
    }
    {  // RLE8: a run, end of line, an absolute pair, end of bitmap
        Case c{"RLE8", infoHeader(2, 2, 8, 1, 2), {}, {kRed, kBlack, kBlack, kBlack}};
        c.info.u32(0).u32(0x00FF0000);
        c.bits.u8(2).u8(0).u8(0).u8(0);  // bottom row: two of index 0, end of line
        c.bits.u8(1).u8(1).u8(0).u8(1);  // one of index 1, end of bitmap
        out.push_back(std::move(c));
    }
    {  // Rows missing at the end stay black.
        Case c{"truncated bits", infoHeader(2, -2, 24), {}, {kRed, kRed, kBlack, kBlack}};
        c.bits.u8(0).u8(0).u8(255).u8(0).u8(0).u8(255).u8(0).u8(0);
        out.push_back(std::move(c));
    }
    return out;
}

TEST(DibDecode, DepthsAndLayouts) {
    for (auto& c : cases()) {
        auto img = decodeDib(c.info.data, c.bits.data);
        ASSERT_TRUE(img) << c.label << ": " << img.error();
        EXPECT_EQ(img->width, c.width) << c.label;
        EXPECT_EQ(img->height, c.height) << c.label;
        EXPECT_EQ(img->pixels, c.expected) << c.label;
    }
}

TEST(DibDecode, RefusesWhatItCannotRead) {
    struct Bad {
        const char* label;
        Bytes info;
    };
    std::vector<Bad> bad;
    bad.push_back({"header too small", Bytes().u32(20).i32(2).i32(2)});
    bad.push_back({"header cut short", Bytes().u32(40).i32(2)});
    bad.push_back({"zero width", infoHeader(0, 2, 24)});
    bad.push_back({"huge", infoHeader(1 << 20, 1 << 20, 24)});
    bad.push_back({"odd depth", infoHeader(2, 2, 7)});
    bad.push_back({"unknown compression", infoHeader(2, 2, 24, 9)});
    bad.push_back({"broken PNG", infoHeader(2, 2, 0, 5)});
    bad.push_back({"broken JPEG", infoHeader(2, 2, 0, 4)});
    for (auto& b : bad) {
        const Bytes bits = Bytes().u32(0).u32(0);
        EXPECT_FALSE(decodeDib(b.info.data, bits.data)) << b.label;
    }
}

TEST(DibDecode, MonochromeKeepsItsBitsForBrushes) {
    Bytes info = infoHeader(2, -1, 1, 0, 2);
    info.u32(0).u32(0x00FFFFFF);
    const Bytes bits = Bytes().u8(0x40).u8(0).u8(0).u8(0);
    auto img = decodeDib(info.data, bits.data);
    ASSERT_TRUE(img);
    EXPECT_TRUE(img->monochrome);
    EXPECT_EQ(img->bits, (std::vector<std::uint8_t>{0, 1}));
    EXPECT_FALSE(img->bottomUp);
}

}  // namespace
}  // namespace metafile
