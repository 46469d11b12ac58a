#include "output/tiff_pages.h"

#include <gtest/gtest.h>

#include <list>

#include "output/encoding.h"
#include "render/magick.h"

namespace output {
namespace {

// A page of `w` x `h` in the TIF option set `type` (0 true colour, 1
// palette, 2 grey, 3 black and white), encoded as a single-page TIFF.
std::vector<std::byte> tiffPage(std::size_t w, std::size_t h, int type, bool lzw, double dpi) {
    Magick::Image image(Magick::Geometry(w, h), Magick::Color("yellow"));
    image.fillColor("navy");
    image.draw(Magick::DrawableRectangle(0, 0, static_cast<double>(w) / 2, static_cast<double>(h) / 3));
    app::FormatSettings options;
    options.TIF_TrueIndexGray = type;
    options.TIF_Lzw = lzw;
    applyOptionSet(image, OptionSet::TIF, options);
    applyDensity(image, dpi);
    Magick::Blob blob;
    image.write(&blob, "TIFF");
    const auto* data = static_cast<const std::byte*>(blob.data());
    return {data, data + blob.length()};
}

std::list<Magick::Image> readAll(std::span<const std::byte> bytes) {
    std::list<Magick::Image> pages;
    Magick::readImages(&pages, Magick::Blob(bytes.data(), bytes.size()));
    return pages;
}

std::vector<unsigned char> rgb(Magick::Image image) {
    std::vector<unsigned char> out(image.columns() * image.rows() * 3);
    image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, out.data());
    return out;
}

TEST(TiffPageJoiner, EveryPageKeepsItsPixelsCompressionAndResolution) {
    Magick::InitializeMagick(nullptr);
    struct Page {
        std::size_t w, h;
        int type;
        bool lzw;
        double dpi;
    };
    const std::vector<Page> pages = {{40, 60, 0, true, 150},
                                     {61, 23, 1, false, 96},
                                     {33, 33, 2, true, 300},
                                     {50, 20, 3, false, 72},
                                     {17, 45, 0, false, 100}};
    TiffPageJoiner joiner;
    std::vector<std::vector<std::byte>> sources;
    for (const auto& p : pages) {
        sources.push_back(tiffPage(p.w, p.h, p.type, p.lzw, p.dpi));
        ASSERT_FALSE(joiner.addPage(sources.back()));
    }
    EXPECT_EQ(joiner.pageCount(), pages.size());
    const auto joined = readAll(joiner.bytes());
    ASSERT_EQ(joined.size(), pages.size());
    std::size_t i = 0;
    for (const auto& page : joined) {
        const Magick::Image single = readAll(sources[i]).front();
        EXPECT_EQ(page.columns(), pages[i].w) << i;
        EXPECT_EQ(page.rows(), pages[i].h) << i;
        EXPECT_EQ(page.compressType(), pages[i].lzw ? Magick::LZWCompression : Magick::NoCompression) << i;
        EXPECT_EQ(page.compressType(), single.compressType()) << i;
        EXPECT_EQ(page.type(), single.type()) << i;
        EXPECT_DOUBLE_EQ(page.xResolution(), single.xResolution()) << i;
        EXPECT_EQ(rgb(page), rgb(single)) << "page " << i << " decodes as its own file";
        ++i;
    }
}

// The smallest page: 1 x 1 grey pixel of `grey`, its directory last in
// the file with every value inline; StripOffsets as a SHORT of `offsetType`.
std::vector<std::byte> tinyPage(std::uint8_t grey, std::uint16_t offsetType = 3) {
    std::vector<std::byte> b;
    const auto put16 = [&](std::uint16_t v) {
        b.push_back(static_cast<std::byte>(v & 0xFF));
        b.push_back(static_cast<std::byte>(v >> 8));
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(static_cast<std::uint16_t>(v & 0xFFFF));
        put16(static_cast<std::uint16_t>(v >> 16));
    };
    for (const char c : {'I', 'I', '*', '\0'}) b.push_back(static_cast<std::byte>(c));
    put32(10);                                  // the directory
    b.push_back(static_cast<std::byte>(grey));  // the pixel, at 8
    b.push_back(std::byte{0});
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> fields = {
        {256, 1}, {257, 1}, {258, 8}, {259, 1}, {262, 1}, {273, 8}, {278, 1}, {279, 1}};
    put16(static_cast<std::uint16_t>(fields.size()));
    for (const auto& [tag, value] : fields) {
        put16(tag);
        put16(tag == 273 ? offsetType : 3);
        put32(1);
        put32(value);
    }
    put32(0);  // no next directory: the file ends here
    return b;
}

TEST(TiffPageJoiner, ADirectoryAtTheVeryEndAndShortOffsetsAreMoved) {
    Magick::InitializeMagick(nullptr);
    TiffPageJoiner joiner;
    ASSERT_FALSE(joiner.addPage(tiffPage(31, 7, 0, true, 100)));
    ASSERT_FALSE(joiner.addPage(tinyPage(0x80)));
    ASSERT_FALSE(joiner.addPage(tinyPage(0x20)));
    const auto pages = readAll(joiner.bytes());
    ASSERT_EQ(pages.size(), 3u);
    const std::vector<unsigned char> grey80 = {0x80, 0x80, 0x80}, grey20 = {0x20, 0x20, 0x20};
    EXPECT_EQ(rgb(*std::next(pages.begin())), grey80);
    EXPECT_EQ(rgb(pages.back()), grey20);
    // Offsets held in a type that is no SHORT or LONG cannot be moved.
    EXPECT_TRUE(joiner.addPage(tinyPage(0x80, 5)).has_value()) << "RATIONAL";
    EXPECT_TRUE(joiner.addPage(tinyPage(0x80, 1)).has_value()) << "BYTE";
    EXPECT_EQ(joiner.pageCount(), 3u);
}

TEST(TiffPageJoiner, PagesItCannotMoveAreRefusedAndLeaveTheFileAsItWas) {
    Magick::InitializeMagick(nullptr);
    const auto good = tiffPage(10, 10, 0, true, 100);
    TiffPageJoiner joiner;
    ASSERT_FALSE(joiner.addPage(good));
    const std::vector<std::byte> before = joiner.bytes();

    std::vector<std::vector<std::byte>> bad;
    bad.push_back({});
    bad.push_back({good.begin(), good.begin() + 6});
    auto bigEndian = good;
    bigEndian[0] = bigEndian[1] = std::byte{'M'};
    bad.push_back(bigEndian);
    auto farDirectory = good;
    farDirectory[7] = std::byte{0x7F};  // the directory far past the end
    bad.push_back(farDirectory);
    // The directory cut short.
    const std::size_t ifd = std::to_integer<std::size_t>(good[4]) |
                            std::to_integer<std::size_t>(good[5]) << 8 |
                            std::to_integer<std::size_t>(good[6]) << 16;
    bad.push_back({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(ifd + 8)});
    // A field that points at a sub-directory, and one of an unknown type.
    auto subDirectory = good;
    subDirectory[ifd + 2] = std::byte{0x4A};  // first tag 330 (0x014A)
    subDirectory[ifd + 3] = std::byte{0x01};
    bad.push_back(subDirectory);
    auto unknownType = good;
    unknownType[ifd + 4] = std::byte{0x63};
    bad.push_back(unknownType);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_TRUE(joiner.addPage(bad[i]).has_value()) << i;
        EXPECT_EQ(joiner.pageCount(), 1u) << i;
        EXPECT_EQ(joiner.bytes(), before) << i;
    }
    ASSERT_FALSE(joiner.addPage(good));
    EXPECT_EQ(readAll(joiner.bytes()).size(), 2u);
}

}  // namespace
}  // namespace output
