// ExtTextOut: positions from the spacing array, alignment, background,
// clipping, rotation and fallback glyphs.

#include <gtest/gtest.h>

#include "metafile/dc.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

LogFont arial(int height, int escapement = 0) {
    LogFont f;
    f.height = height;
    f.weight = 400;
    f.escapement = escapement;
    f.orientation = escapement;
    f.faceName = "Arial";
    return f;
}

// Columns that hold ink.
std::vector<int> inkColumns(const DibSection& dib) {
    std::vector<int> cols;
    for (int x = 0; x < dib.width(); ++x) {
        for (int y = 0; y < dib.height(); ++y) {
            if (at(dib, x, y) != kWhite) {
                cols.push_back(x);
                break;
            }
        }
    }
    return cols;
}

Dc::TextOut textOut(std::u32string_view s, std::vector<double> dx = {}) {
    Dc::TextOut t;
    t.characters.assign(s.begin(), s.end());
    t.dx = std::move(dx);
    return t;
}

TEST(ExtTextOut, SpacingArrayPlacesEachCharacter) {
    auto dib = whiteBitmap(200, 50);
    Dc dc(dib);
    dc.setFont(arial(-30));
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"ll", {120, 10});
    t.reference = {20, 5};
    dc.extTextOut(t);
    const auto cols = inkColumns(dib);
    ASSERT_FALSE(cols.empty());
    EXPECT_NEAR(cols.front(), 22, 3) << "first l at the reference";
    EXPECT_NEAR(cols.back(), 142, 4) << "second l 120 units on, whatever the font says";
    int gaps = 0;
    for (std::size_t i = 1; i < cols.size(); ++i) gaps += cols[i] - cols[i - 1] > 50;
    EXPECT_EQ(gaps, 1);
}

TEST(ExtTextOut, AlignmentMovesTheRunAroundTheReference) {
    struct Case {
        std::uint32_t align;
        bool rightOf, leftOf, above;
    };
    const Case cases[] = {
        {0, true, false, false},                // left, top: below and right
        {gdi::TA_RIGHT, false, true, false},    // ends at the reference
        {gdi::TA_CENTER, true, true, false},    // around it
        {gdi::TA_BASELINE, true, false, true},  // glyphs above the reference
        {gdi::TA_BOTTOM | gdi::TA_CENTER, true, true, true},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(300, 100);
        Dc dc(dib);
        dc.setFont(arial(-24));
        dc.setBkMode(gdi::TRANSPARENT);
        dc.setTextAlign(c.align);
        auto t = textOut(U"Hello");
        t.reference = {150, 50};
        dc.extTextOut(t);
        const RectL ink = inkBounds(dib);
        EXPECT_EQ(ink.right > 155, c.rightOf) << "align " << c.align;
        EXPECT_EQ(ink.left < 145, c.leftOf) << "align " << c.align;
        EXPECT_EQ(ink.bottom <= 51, c.above) << "align " << c.align;
    }
}

TEST(ExtTextOut, OpaqueRectangleAndClipping) {
    auto dib = whiteBitmap(200, 60);
    Dc dc(dib);
    dc.setFont(arial(-40));
    dc.setBkColor(rgb(255, 0, 0));
    auto t = textOut(U"WWWW");
    t.reference = {10, 5};
    t.rect = RectL{10, 5, 60, 55};
    t.options = gdi::ETO_OPAQUE | gdi::ETO_CLIPPED;
    dc.extTextOut(t);
    EXPECT_EQ(at(dib, 58, 52), kRed) << "the rectangle is filled with the background colour";
    EXPECT_EQ(inkBounds(dib), (RectL{10, 5, 60, 55})) << "nothing outside the clip rectangle";
}

TEST(ExtTextOut, OpaqueBackgroundModeFillsTheCells) {
    auto dib = whiteBitmap(200, 60);
    Dc dc(dib);
    dc.setFont(arial(-20));
    dc.setBkColor(rgb(0, 0, 255));
    auto t = textOut(U"ab");
    t.reference = {10, 10};
    dc.extTextOut(t);
    EXPECT_GT(countColour(dib, kBlue), 100);
}

TEST(ExtTextOut, EscapementRotatesTheRun) {
    auto dib = whiteBitmap(100, 200);
    Dc dc(dib);
    dc.setFont(arial(-20, 900));  // 90 degrees: upwards
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"Scrivlet");
    t.reference = {40, 180};
    dc.extTextOut(t);
    const RectL ink = inkBounds(dib);
    EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left)) << "taller than wide";
    EXPECT_LE(ink.bottom, 182);
}

TEST(ExtTextOut, CharactersTheFaceLacksComeFromAFallbackFont) {
    auto dib = whiteBitmap(100, 50);
    Dc dc(dib);
    dc.setFont(arial(-30));
    dc.setBkMode(gdi::TRANSPARENT);
    auto t = textOut(U"\u6587");  // a CJK character: not in the Arial substitute
    t.reference = {10, 5};
    EXPECT_EQ(dc.extTextOut(t), 1) << "counted as missing from the face";
    EXPECT_GT(countColour(dib, kBlack), 20) << "but drawn";
}

TEST(ExtTextOut, UpdateCurrentPositionMovesOn) {
    auto dib = whiteBitmap(300, 60);
    Dc dc(dib);
    dc.setFont(arial(-20));
    dc.setTextAlign(gdi::TA_UPDATECP);
    dc.moveTo({10, 10});
    dc.extTextOut(textOut(U"ab", {30, 30}));
    EXPECT_DOUBLE_EQ(dc.state().currentPosition.x, 70);
}

}  // namespace
}  // namespace metafile
