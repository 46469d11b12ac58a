// The date stamp pixel for pixel: the font it is set in for each factor, and
// at factor 0 the antialiased line made from a four times larger drawing,
// darkening whatever lies below it, in every strip it reaches.

#include "render/date_stamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/metafile/pixel_helpers.h"

namespace render {
namespace {

using namespace metafile::testing;

const std::string kStamp = "08.12.2026 16:30:59";
constexpr std::uint32_t kUnder = 0xFF80C0FF;  // a coloured page below the stamp, alpha kept

metafile::DibSection colouredStrip(int w, int h) {
    auto dib = metafile::DibSection::create(w, h);
    EXPECT_TRUE(dib.has_value());
    dib->fill(kUnder);
    return std::move(*dib);
}

// The stamp's font: italic "Arial" of normal weight, string output
// precision, the given height and quality.
metafile::LogFont arialItalic(int height, std::uint8_t quality) {
    metafile::LogFont font;
    font.faceName = "Arial";
    font.italic = true;
    font.weight = 400;
    font.outPrecision = 1;  // OUT_STRING_PRECIS
    font.quality = quality;
    font.height = height;
    return font;
}

void drawText(metafile::Dc& dc, const metafile::RectL& box, const std::string& text) {
    dc.setBkMode(metafile::gdi::TRANSPARENT);
    dc.drawText(text, box, metafile::gdi::DT_LEFT | metafile::gdi::DT_TOP | metafile::gdi::DT_SINGLELINE);
}

int differing(const metafile::DibSection& a, const metafile::DibSection& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    }
    return n;
}

TEST(DateStamp, WithSupersamplingTheLineIsSetInItsFontAsTheDeviceDrawsText) {
    struct Case {
        int factor;
        int height;  // the font's, in the supersampled rows
    };
    const Case cases[] = {{1, -12}, {2, -22}, {3, -32}, {7, -72}};
    for (const auto& c : cases) {
        const int w = 200 * c.factor, h = 20 * c.factor;
        auto strip = colouredStrip(w, h);
        metafile::Dc dc(strip);
        drawDateStamp(dc, {0, 0, w, 4000}, kStamp, c.factor);

        auto expected = colouredStrip(w, h);
        metafile::Dc reference(expected);
        reference.setFont(arialItalic(c.height, 0));
        drawText(reference, {0, 0, w, 4000}, kStamp);
        EXPECT_EQ(differing(strip, expected), 0) << "factor " << c.factor;
        EXPECT_GT(countColour(strip, kBlack), 10 * c.factor) << "factor " << c.factor;
    }
}

// Factor 0: the line in the 11-unit font drawn four times as large, black on
// white, in a box 16 rows high; each 4 x 4 block's blue sum is the coverage
// that scales the pixel below, channel by channel, truncated.
metafile::DibSection antialiasedReference(int stripW, int h, int left, int w, int top,
                                          const std::string& text) {
    auto large = whiteBitmap(w * 4, 16 * 4);
    metafile::Dc dc(large);
    dc.setFont(arialItalic(-44, 4));  // ANTIALIASED_QUALITY
    drawText(dc, {0, 0, w * 4, 16 * 4}, text);
    auto out = colouredStrip(stripW, h);
    for (int y = std::max(0, top); y < std::min(h, top + 16); ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t sum = 0;
            for (int dy = 0; dy < 4; ++dy) {
                for (int dx = 0; dx < 4; ++dx) sum += large.pixel(x * 4 + dx, (y - top) * 4 + dy) & 0xFF;
            }
            std::uint32_t p = kUnder & 0xFF000000;
            for (int shift : {0, 8, 16}) p |= (((kUnder >> shift) & 0xFF) * sum / (255 * 16)) << shift;
            out.row(y)[left + x] = p;
        }
    }
    return out;
}

TEST(DateStamp, AtFactor0TheLineIsAntialiasedOverThePageInEveryStripItReaches) {
    struct Case {
        int stripW, stripH;
        int left, top;  // the page's corner in the strip
        int pageRight;  // the page's right edge
    };
    const Case cases[] = {
        {200, 30, 0, 0, 200},   // the whole stamp
        {200, 30, 0, -6, 200},  // a strip that starts 6 rows into the page
        {200, 5, 0, 0, 200},    // a strip shorter than the stamp
        {200, 40, 0, 7, 200},   // the page starts lower in the strip
        {60, 20, 0, 0, 60},     // a page narrower than the line cuts it
        {200, 20, 0, 0, 45},    // so does a page narrower than its strip
        {100, 20, 30, 0, 400},  // a page wider than its strip: the strip cuts it
        {200, 20, 30, 2, 100},  // a narrow page right of the strip's edge
    };
    for (const auto& c : cases) {
        auto strip = colouredStrip(c.stripW, c.stripH);
        metafile::Dc dc(strip);
        drawDateStamp(dc, {c.left, c.top, c.pageRight, c.top + 1000}, kStamp, 0);
        const int w = std::min(c.stripW, c.pageRight) - c.left;
        const auto expected = antialiasedReference(c.stripW, c.stripH, c.left, w, c.top, kStamp);
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < c.stripH; ++y) {
            for (int x = 0; x < c.stripW; ++x) {
                if (strip.pixel(x, y) != expected.pixel(x, y) && wrong++ == 0)
                    firstX = x, firstY = y;
            }
        }
        EXPECT_EQ(wrong, 0) << c.stripW << "x" << c.stripH << " at " << c.left << ", " << c.top
                            << ": first at (" << firstX << ", " << firstY << ")";
        EXPECT_GT(c.stripW * c.stripH - countColour(strip, kUnder & 0xFFFFFF), 20) << "top " << c.top;
    }
    // A strip below the stamp, or a page that starts left of the strip, is
    // left alone.
    auto below = colouredStrip(200, 30);
    metafile::Dc dc(below);
    drawDateStamp(dc, {0, -16, 200, 984}, kStamp, 0);
    drawDateStamp(dc, {-1, 0, 200, 1000}, kStamp, 0);
    EXPECT_EQ(countColour(below, kUnder & 0xFFFFFF), 200 * 30);
}

}  // namespace
}  // namespace render
