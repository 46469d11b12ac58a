// Bitmap operations: stretching, raster operations, alpha and transparency,
// pattern brushes, gradients; and pictures through the writer and player.

#include <gtest/gtest.h>

#include <cstdlib>

#include "metafile/dc.h"
#include "metafile/emf_writer.h"
#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

// 2 x 2: red, green / blue, black.
Image32 checker() {
    Image32 img;
    img.width = img.height = 2;
    img.pixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000};
    return img;
}

ImageDraw draw(const Image32& img, double x, double y, double w, double h) {
    ImageDraw d;
    d.source = &img;
    d.srcW = img.width;
    d.srcH = img.height;
    d.dest0 = {x, y};
    d.destX = {x + w, y};
    d.destY = {x, y + h};
    return d;
}

TEST(Images, StretchCopiesEachSourcePixelToItsBlock) {
    auto dib = whiteBitmap(20, 20);
    Dc dc(dib);
    const Image32 img = checker();
    dc.drawImage(draw(img, 2, 2, 8, 8));
    EXPECT_EQ(inkBounds(dib), (RectL{2, 2, 10, 10}));
    EXPECT_EQ(at(dib, 2, 2), 0xFF0000u);
    EXPECT_EQ(at(dib, 9, 2), 0x00FF00u);
    EXPECT_EQ(at(dib, 2, 9), 0x0000FFu);
    EXPECT_EQ(at(dib, 9, 9), 0x000000u);
    // A negative width mirrors.
    auto mirrored = whiteBitmap(20, 20);
    Dc dc2(mirrored);
    dc2.drawImage(draw(img, 10, 2, -8, 8));
    EXPECT_EQ(at(mirrored, 9, 2), 0xFF0000u);
    EXPECT_EQ(at(mirrored, 2, 2), 0x00FF00u);
}

TEST(Images, RasterOperationsCombineSourceAndDestination) {
    struct Case {
        std::uint32_t rop;
        std::uint32_t expected;  // for source red on a grey (0x808080) destination
    };
    const Case cases[] = {
        {rop::SRCCOPY, 0xFF0000},   {rop::SRCAND, 0x800000},    {rop::SRCPAINT, 0xFF8080},
        {rop::SRCINVERT, 0x7F8080}, {rop::BLACKNESS, 0x000000}, {rop::DSTINVERT, 0x7F7F7F},
    };
    Image32 red;
    red.width = red.height = 1;
    red.pixels = {0xFFFF0000};
    for (const auto& c : cases) {
        auto dib = whiteBitmap(4, 4);
        dib.fill(0x808080);
        Dc dc(dib);
        ImageDraw d = draw(red, 0, 0, 4, 4);
        d.rop3 = c.rop;
        dc.drawImage(d);
        EXPECT_EQ(at(dib, 1, 1), c.expected) << std::hex << c.rop;
    }
}

TEST(Images, AlphaBlendAndTransparentColour) {
    Image32 half;
    half.width = half.height = 1;
    half.pixels = {0xFFFF0000};
    auto dib = whiteBitmap(4, 4);
    dib.fill(0x000000);
    Dc dc(dib);
    ImageDraw d = draw(half, 0, 0, 4, 4);
    d.mode = ImageDraw::Mode::AlphaBlend;
    d.constantAlpha = 128;
    dc.drawImage(d);
    EXPECT_EQ(at(dib, 0, 0), 0x800000u) << "half red over black";

    auto dib2 = whiteBitmap(20, 20);
    Dc dc2(dib2);
    const Image32 img = checker();
    ImageDraw t = draw(img, 0, 0, 20, 20);
    t.mode = ImageDraw::Mode::Transparent;
    t.transparent = 0x00FF00;
    dc2.drawImage(t);
    EXPECT_EQ(at(dib2, 15, 5), kWhite) << "the transparent colour leaves the page as it was";
    EXPECT_EQ(at(dib2, 5, 5), 0xFF0000u);
}

TEST(Images, PatternBrushesTileFromTheBrushOrigin) {
    auto pattern = std::make_shared<BrushPattern>();
    pattern->width = pattern->height = 2;
    pattern->pixels = {0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000};
    Brush brush;
    brush.style = gdi::BS_DIBPATTERNPT;
    brush.pattern = pattern;
    auto dib = whiteBitmap(6, 6);
    Dc dc(dib);
    dc.fillRect({0, 0, 6, 6}, brush);
    EXPECT_EQ(at(dib, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(dib, 1, 0), 0x0000FFu);
    EXPECT_EQ(at(dib, 4, 4), 0xFF0000u);
    EXPECT_EQ(at(dib, 5, 4), 0x0000FFu);
}

TEST(Images, GradientRectangleRunsFromColourToColour) {
    auto dib = whiteBitmap(101, 10);
    Dc dc(dib);
    const Dc::GradientVertex v[] = {{{0, 0}, 0, 0, 0}, {{100, 10}, 0xFF00, 0xFF00, 0xFF00}};
    const std::uint32_t mesh[] = {0, 1};
    dc.gradientFill(v, mesh, 0);
    EXPECT_EQ(at(dib, 0, 5), 0x000000u);
    EXPECT_NEAR(static_cast<int>(at(dib, 50, 5) & 0xFF), 127, 2);
    EXPECT_GE(static_cast<int>(at(dib, 99, 5) & 0xFF), 250);
}

TEST(Images, PicturesAndTextSurviveTheWriter) {
    EmfWriter w({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
    const Image32 img = checker();
    w.stretchDiBits({10, 10, 30, 30}, img);
    LogFont font;
    font.height = -20;
    font.faceName = "Arial";
    w.selectObject(w.createFont(font));
    w.setBkMode(gdi::TRANSPARENT);
    const std::int32_t dx[] = {12, 12, 12};
    w.extTextOut({40, 60}, u"abc", dx);
    auto mf = w.toMetafile();
    ASSERT_TRUE(mf) << mf.error().message;
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    const auto report = playMetafile(*mf, dc, {0, 0, 100, 100});
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_TRUE(report.malformed.empty());
    EXPECT_EQ(at(dib, 12, 12), 0xFF0000u);
    EXPECT_EQ(at(dib, 28, 28), 0x000000u);
    EXPECT_EQ(at(dib, 28, 12), 0x00FF00u);
    int textInk = 0;
    for (int y = 55; y < 90; ++y) {
        for (int x = 38; x < 90; ++x) textInk += at(dib, x, y) != kWhite;
    }
    EXPECT_GT(textInk, 30) << "the text was drawn";
    EXPECT_EQ(report.fonts.at("Arial"), 1);
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(Images, HalftoneAveragesWhenReducing) {
    Image32 stripes;
    stripes.width = 4;
    stripes.height = 4;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) stripes.pixels.push_back(x % 2 == 0 ? 0xFF000000u : 0xFFFFFFFFu);
    }
    for (int mode : {3, 4}) {  // COLORONCOLOR, HALFTONE
        auto dib = whiteBitmap(2, 2);
        Dc dc(dib);
        dc.setStretchBltMode(mode);
        ImageDraw d;
        d.source = &stripes;
        d.srcW = d.srcH = 4;
        d.dest0 = {0, 0};
        d.destX = {2, 0};
        d.destY = {0, 2};
        dc.drawImage(d);
        const int grey = static_cast<int>(at(dib, 0, 0) & 0xFF);
        if (mode == 4) {
            EXPECT_NEAR(grey, 127, 1) << "black and white stripes average to grey";
        } else {
            EXPECT_TRUE(grey == 0 || grey == 255) << "nearest pixel";
        }
    }
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

using namespace metafile::testing;

// A picture whose neighbouring rows and columns differ a lot in every channel,
// so a footprint one row or column too large or too small shows in the mean.
Image32 busyPicture(int width, int height) {
    Image32 img;
    img.width = width;
    img.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto r = static_cast<std::uint32_t>((x * 53 + y * 97) % 256);
            const auto g = static_cast<std::uint32_t>((x * x * 7 + y * 31) % 256);
            const auto b = static_cast<std::uint32_t>((x * y * 13 + y * 59 + x * 3) % 256);
            img.pixels.push_back(0xFF000000u | r << 16 | g << 8 | b);
        }
    }
    return img;
}

TEST(Images, HalftoneReductionThroughTheWriterIsTheMeanOfEachBlock) {
    // A 24 x 24 picture reduced by whole factors, in one axis or both: each
    // page pixel is the mean of the fx x fy block of the picture under it.
    struct Case {
        int fx, fy;
    };
    const Image32 picture = busyPicture(24, 24);
    for (const Case c : {Case{3, 4}, Case{4, 3}, Case{1, 4}, Case{3, 1}, Case{2, 2}}) {
        SCOPED_TRACE(::testing::Message() << "reduced " << c.fx << " x " << c.fy);
        const int w = 24 / c.fx, h = 24 / c.fy, left = 10, top = 20;
        EmfWriter writer({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        writer.setStretchBltMode(4);  // HALFTONE
        writer.stretchDiBits({left, top, left + w, top + h}, picture);
        auto mf = writer.toMetafile();
        ASSERT_TRUE(mf) << mf.error().message;
        auto dib = whiteBitmap(100, 100);
        Dc dc(dib);
        const auto report = playMetafile(*mf, dc, {0, 0, 100, 100});
        EXPECT_TRUE(report.skipped.empty());
        int wrong = 0;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                for (int shift : {16, 8, 0}) {
                    int sum = 0;
                    for (int y = j * c.fy; y < (j + 1) * c.fy; ++y) {
                        for (int x = i * c.fx; x < (i + 1) * c.fx; ++x)
                            sum += static_cast<int>((picture.at(x, y) >> shift) & 0xFF);
                    }
                    const double mean = double(sum) / (c.fx * c.fy);
                    const int got = static_cast<int>((at(dib, left + i, top + j) >> shift) & 0xFF);
                    if (std::abs(got - mean) > 1 && ++wrong <= 3)
                        ADD_FAILURE() << "pixel " << i << ", " << j << " channel at bit " << shift << ": "
                                      << got << ", the block's mean is " << mean;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(at(dib, left - 1, top), kWhite) << "nothing left of the picture";
        EXPECT_EQ(at(dib, left + w, top + h - 1), kWhite) << "nothing right of the picture";
        EXPECT_EQ(at(dib, left, top + h), kWhite) << "nothing below the picture";
    }
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(Images, HalftoneKeepsTheLineUnderEachPixelInTheAxisThatIsEnlarged) {
    // Reduced 3 times in one axis and enlarged 2 times in the other: along the
    // enlarged axis each page pixel takes the picture line under its centre,
    // as the plain stretch modes do; along the other it averages three.
    const Image32 picture = busyPicture(24, 24);
    for (const bool enlargedRows : {true, false}) {
        SCOPED_TRACE(enlargedRows ? "rows enlarged" : "columns enlarged");
        const int w = enlargedRows ? 8 : 48, h = enlargedRows ? 48 : 8, left = 10, top = 20;
        EmfWriter writer({0, 0, 2540, 2540}, {1000, 1000}, {254, 254});
        writer.setStretchBltMode(4);  // HALFTONE
        writer.stretchDiBits({left, top, left + w, top + h}, picture);
        auto mf = writer.toMetafile();
        ASSERT_TRUE(mf) << mf.error().message;
        auto dib = whiteBitmap(100, 100);
        Dc dc(dib);
        playMetafile(*mf, dc, {0, 0, 100, 100});
        int wrong = 0;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const int line = (enlargedRows ? j : i) / 2;  // the centre (k + 0.5) / 2 lies in line k / 2
                const int across = enlargedRows ? i : j;
                for (int shift : {16, 8, 0}) {
                    int sum = 0;
                    for (int k = 3 * across; k < 3 * across + 3; ++k) {
                        const std::uint32_t p = enlargedRows ? picture.at(k, line) : picture.at(line, k);
                        sum += static_cast<int>((p >> shift) & 0xFF);
                    }
                    const double mean = sum / 3.0;
                    const int got = static_cast<int>((at(dib, left + i, top + j) >> shift) & 0xFF);
                    if (std::abs(got - mean) > 1 && ++wrong <= 3)
                        ADD_FAILURE() << "pixel " << i << ", " << j << " channel at bit " << shift << ": "
                                      << got << ", expected " << mean;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace metafile
