// GDI's pixel rules, pinned on small bitmaps.

#include <gtest/gtest.h>

#include <vector>

#include "metafile/dc.h"
#include "metafile/dib_section.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(DcPixels, FillRectLeavesOutRightAndBottom) {
    auto dib = whiteBitmap(20, 20);
    Dc dc(dib);
    dc.fillRect({2, 3, 12, 8}, solidBrush(rgb(0, 0, 0)));
    EXPECT_EQ(inkBounds(dib), (RectL{2, 3, 12, 8}));
    EXPECT_EQ(countColour(dib, kBlack), 10 * 5);
}

struct RectangleCase {
    const char* label;
    int graphicsMode;
    bool pen;
    RectL expectedInk;
};

TEST(DcPixels, RectangleEdgesByGraphicsModeAndPen) {
    const RectangleCase cases[] = {
        {"compatible, 1-pixel pen: right and bottom edges out", gdi::GM_COMPATIBLE, true, {2, 2, 12, 12}},
        {"compatible, null pen: one pixel less again", gdi::GM_COMPATIBLE, false, {2, 2, 11, 11}},
        {"advanced, 1-pixel pen: both edges in", gdi::GM_ADVANCED, true, {2, 2, 13, 13}},
        {"advanced, null pen: interior only", gdi::GM_ADVANCED, false, {2, 2, 12, 12}},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(20, 20);
        Dc dc(dib);
        dc.setGraphicsMode(c.graphicsMode);
        dc.setPen(c.pen ? solidPen(rgb(255, 0, 0)) : nullPen());
        dc.setBrush(solidBrush(rgb(0, 0, 255)));
        dc.rectangle({2, 2, 12, 12});
        EXPECT_EQ(inkBounds(dib), c.expectedInk) << c.label;
        if (c.pen) {
            EXPECT_EQ(at(dib, 2, 5), kRed) << c.label << ": left edge drawn by the pen";
            EXPECT_EQ(at(dib, 5, 5), kBlue) << c.label << ": interior by the brush";
        }
    }
}

TEST(DcPixels, LineLeavesOutItsLastPixel) {
    struct Case {
        PointD from, to;
        int count;
        PointL last;
    };
    const Case cases[] = {
        {{1, 1}, {11, 1}, 10, {10, 1}},  // horizontal
        {{1, 1}, {1, 9}, 8, {1, 8}},     // vertical
        {{2, 2}, {8, 8}, 6, {7, 7}},     // diagonal
        {{12, 3}, {2, 3}, 10, {3, 3}},   // right to left
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(16, 16);
        Dc dc(dib);
        dc.moveTo(c.from);
        dc.lineTo(c.to);
        EXPECT_EQ(countColour(dib, kBlack), c.count);
        EXPECT_EQ(at(dib, c.last.x, c.last.y), kBlack);
        EXPECT_EQ(at(dib, static_cast<int>(c.to.x), static_cast<int>(c.to.y)), kWhite)
            << "end pixel not drawn";
    }
}

TEST(DcPixels, PolylineJoinsAreDrawnOnceAndTheEndIsLeftOut) {
    auto dib = whiteBitmap(16, 16);
    Dc dc(dib);
    dc.setRop2(gdi::R2_NOT);  // a pixel drawn twice would come back white
    const PointD pts[] = {{1, 1}, {9, 1}, {9, 9}};
    dc.polyline(pts);
    EXPECT_EQ(countColour(dib, kBlack), 16);
    EXPECT_EQ(at(dib, 9, 1), kBlack) << "the joint";
    EXPECT_EQ(at(dib, 9, 9), kWhite) << "the end";
}

TEST(DcPixels, ThinnestPenStaysOnePixelUnderScaling) {
    for (double width : {0.0, 1.0}) {
        auto dib = whiteBitmap(40, 40);
        Dc dc(dib);
        dc.setTransform(Matrix::scaling(0.5, 0.5));
        dc.setPen(solidPen(rgb(0, 0, 0), width));
        dc.moveTo({4, 20});
        dc.lineTo({60, 20});
        EXPECT_EQ(inkBounds(dib), (RectL{2, 10, 30, 11})) << "width " << width;
    }
    // A pen of 4 logical units at scale 2 is 8 pixels wide.
    auto dib = whiteBitmap(40, 40);
    Dc dc(dib);
    dc.setTransform(Matrix::scaling(2, 2));
    dc.setPen(solidPen(rgb(0, 0, 0), 4));
    dc.moveTo({5, 10});
    dc.lineTo({15, 10});
    const RectL ink = inkBounds(dib);
    EXPECT_EQ(ink.bottom - ink.top, 8);
}

TEST(DcPixels, HatchPatternsFollowTheDeviceGrid) {
    struct Case {
        std::uint32_t hatch;
        const char* row0;
        const char* row4;
    };
    const Case cases[] = {
        {gdi::HS_HORIZONTAL, "................", "################"},
        {gdi::HS_VERTICAL, "....#.......#...", "....#.......#..."},
        {gdi::HS_FDIAGONAL, "#.......#.......", "....#.......#..."},
        {gdi::HS_BDIAGONAL, ".......#.......#", "...#.......#...."},
        {gdi::HS_CROSS, "....#.......#...", "################"},
        {gdi::HS_DIAGCROSS, "#......##......#", "...##......##..."},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(16, 16);
        Dc dc(dib);
        dc.setBkMode(gdi::TRANSPARENT);
        Brush hatch;
        hatch.style = gdi::BS_HATCHED;
        hatch.hatch = c.hatch;
        hatch.color = rgb(0, 0, 0);
        dc.fillRect({0, 0, 16, 16}, hatch);
        EXPECT_EQ(rowText(dib, 0, 0, 16), c.row0) << "hatch " << c.hatch;
        EXPECT_EQ(rowText(dib, 4, 0, 16), c.row4) << "hatch " << c.hatch;
    }
    // An opaque background paints the gaps with the background colour.
    auto dib = whiteBitmap(8, 8);
    Dc dc(dib);
    dc.setBkColor(rgb(255, 0, 0));
    Brush hatch;
    hatch.style = gdi::BS_HATCHED;
    hatch.hatch = gdi::HS_HORIZONTAL;
    dc.fillRect({0, 0, 8, 8}, hatch);
    EXPECT_EQ(countColour(dib, kRed), 56);
}

TEST(DcPixels, FillModesDecideOverlaps) {
    // Two squares, the inner drawn in the same direction: ALTERNATE leaves a
    // hole, WINDING fills it.
    const PointD pts[] = {{2, 2}, {18, 2}, {18, 18}, {2, 18}, {6, 6}, {14, 6}, {14, 14}, {6, 14}};
    const std::uint32_t counts[] = {4, 4};
    for (int mode : {gdi::ALTERNATE, gdi::WINDING}) {
        auto dib = whiteBitmap(20, 20);
        Dc dc(dib);
        dc.setPen(nullPen());
        dc.setBrush(solidBrush(rgb(0, 0, 0)));
        dc.setPolyFillMode(mode);
        dc.polyPolygon(pts, counts);
        EXPECT_EQ(at(dib, 3, 3), kBlack);
        EXPECT_EQ(at(dib, 10, 10), mode == gdi::WINDING ? kBlack : kWhite) << "mode " << mode;
    }
}

TEST(DcPixels, ClippingLimitsDrawing) {
    auto dib = whiteBitmap(20, 20);
    Dc dc(dib);
    dc.intersectClipRect({5, 5, 15, 15});
    dc.excludeClipRect({8, 8, 12, 12});
    dc.fillRect({0, 0, 20, 20}, solidBrush(rgb(0, 0, 0)));
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 15, 15}));
    EXPECT_EQ(at(dib, 9, 9), kWhite);
    EXPECT_EQ(countColour(dib, kBlack), 100 - 16);

    // SaveDC/RestoreDC bring the earlier clip back.
    const int level = dc.saveDc();
    dc.selectClipRegion(nullptr, gdi::RGN_COPY);
    EXPECT_EQ(dc.effectiveClip(), nullptr);
    EXPECT_TRUE(dc.restoreDc(level));
    ASSERT_NE(dc.effectiveClip(), nullptr);
    EXPECT_FALSE(dc.effectiveClip()->contains(9, 9));
}

TEST(DcPixels, XorTwiceRestores) {
    auto dib = whiteBitmap(20, 20);
    Dc dc(dib);
    dc.fillRect({0, 0, 10, 20}, solidBrush(rgb(0, 0, 0)));
    dc.setRop2(gdi::R2_XORPEN);
    dc.setPen(nullPen());
    dc.setBrush(solidBrush(rgb(255, 255, 255)));
    dc.rectangle({5, 5, 16, 16});
    EXPECT_EQ(at(dib, 6, 6), kWhite) << "black xor white";
    EXPECT_EQ(at(dib, 12, 6), kBlack) << "white xor white";
    dc.rectangle({5, 5, 16, 16});
    EXPECT_EQ(at(dib, 6, 6), kBlack);
    EXPECT_EQ(at(dib, 12, 6), kWhite);
}

TEST(DcPixels, WorldTransformRotatesShapes) {
    auto dib = whiteBitmap(40, 40);
    Dc dc(dib);
    dc.setGraphicsMode(gdi::GM_ADVANCED);
    // 90 degrees about the origin, then into the bitmap.
    dc.setTransform({0, 1, -1, 0, 30, 5});
    dc.setPen(nullPen());
    dc.setBrush(solidBrush(rgb(0, 0, 0)));
    dc.rectangle({0, 0, 20, 10});  // 20 wide, 10 high: becomes 10 wide, 20 high
    EXPECT_EQ(inkBounds(dib), (RectL{20, 5, 30, 25}));
}

TEST(DcPixels, EllipseStaysInsideItsBox) {
    auto dib = whiteBitmap(40, 40);
    Dc dc(dib);
    dc.setBrush(solidBrush(rgb(0, 0, 0)));
    dc.ellipse({5, 5, 35, 25});
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 35, 25}));
    EXPECT_EQ(at(dib, 20, 15), kBlack);
    EXPECT_EQ(at(dib, 6, 6), kWhite) << "corner outside the ellipse";
}

TEST(DcPixels, PathFillAndClip) {
    auto dib = whiteBitmap(30, 30);
    Dc dc(dib);
    dc.beginPath();
    dc.moveTo({5, 5});
    dc.lineTo({25, 5});
    dc.lineTo({25, 25});
    dc.lineTo({5, 25});
    dc.closeFigure();
    dc.endPath();
    EXPECT_TRUE(dc.selectClipPath(gdi::RGN_COPY));
    dc.fillRect({0, 0, 30, 30}, solidBrush(rgb(0, 0, 0)));
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 25, 25}));
}

TEST(DcPixels, AClipPathOfTwoPartsLeavesTheGapBetweenThem) {
    auto dib = whiteBitmap(40, 30);
    Dc dc(dib);
    dc.beginPath();
    for (const double left : {5.0, 22.0}) {
        dc.moveTo({left, 5});
        dc.lineTo({left + 8, 5});
        dc.lineTo({left + 8, 25});
        dc.lineTo({left, 25});
        dc.closeFigure();
    }
    dc.endPath();
    EXPECT_TRUE(dc.selectClipPath(gdi::RGN_COPY));
    dc.fillRect({0, 0, 40, 30}, solidBrush(rgb(0, 0, 0)));
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 30, 25}));
    for (int y = 5; y < 25; ++y) {
        for (int x = 0; x < 40; ++x)
            EXPECT_EQ(at(dib, x, y), (x >= 5 && x < 13) || (x >= 22 && x < 30) ? kBlack : kWhite)
                << x << ", " << y;
    }
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(DcText, DrawTextPlacesOneLineInItsBox) {
    LogFont font;
    font.height = -20;
    font.weight = 400;
    font.faceName = "Arial";
    struct Case {
        unsigned format;
        bool centred;
    };
    for (const Case c : {Case{gdi::DT_LEFT | gdi::DT_TOP | gdi::DT_SINGLELINE, false},
                         Case{gdi::DT_CENTER | gdi::DT_VCENTER | gdi::DT_SINGLELINE, true}}) {
        auto dib = whiteBitmap(200, 60);
        Dc dc(dib);
        dc.setFont(font);
        dc.setBkMode(gdi::TRANSPARENT);
        dc.drawText("Scrivlet", {10, 5, 190, 55}, c.format);
        const RectL ink = inkBounds(dib);
        ASSERT_LT(ink.left, ink.right) << "something was drawn";
        EXPECT_GE(ink.left, 10);
        EXPECT_LE(ink.right, 190);
        EXPECT_GE(ink.top, 5);
        EXPECT_LE(ink.bottom, 55);
        const int height = ink.bottom - ink.top;
        EXPECT_GE(height, 12) << "a 20-pixel font";
        EXPECT_LE(height, 22);
        if (c.centred) {
            EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, 3);
            EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 30, 5);
        } else {
            EXPECT_LE(ink.left, 13);
            EXPECT_LE(ink.top, 12);
        }
    }
}

TEST(DcText, TextIsClippedToItsBoxUnlessNoClip) {
    LogFont font;
    font.height = -30;
    font.faceName = "Arial";
    for (bool noClip : {false, true}) {
        auto dib = whiteBitmap(200, 60);
        Dc dc(dib);
        dc.setFont(font);
        dc.setBkMode(gdi::TRANSPARENT);
        dc.drawText("Wide text", {10, 10, 40, 50}, gdi::DT_SINGLELINE | (noClip ? gdi::DT_NOCLIP : 0u));
        EXPECT_EQ(inkBounds(dib).right > 40, noClip) << "DT_NOCLIP " << noClip;
    }
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

using namespace metafile::testing;

// A band (rows [first, first + rows) of a taller picture) drawn with thin
// solid lines that run from above it to below it and off the page: its rows
// are those of the whole picture, and nothing is written outside them.
TEST(DcPixels, ThinLinesThroughABandDrawTheWholePicturesRows) {
    const std::vector<std::vector<PointD>> lines = {
        {{10, 0}, {190, 199}},    // steep, down through the band
        {{-50, 150}, {250, 60}},  // shallow, in from left and right of the page
        {{100, -40}, {120, 260}},
        {{5, 95}, {195, 95}},
    };
    auto whole = whiteBitmap(200, 200);
    Dc wholeDc(whole);
    wholeDc.setPen(solidPen(kBlack));
    for (const auto& l : lines) wholeDc.polyline(l);
    for (const int first : {0, 90, 180}) {
        auto band = DibSection::create(4, 4);
        ASSERT_TRUE(band);
        ASSERT_TRUE(band->reshapeBand(200, 20, first, 200));
        band->fill(kWhite);
        Dc bandDc(*band);
        bandDc.setPen(solidPen(kBlack));
        for (const auto& l : lines) bandDc.polyline(l);
        for (int y = first; y < first + 20; ++y) {
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(band->row(y)[x] & 0xFFFFFF, at(whole, x, y))
                    << x << ", " << y << " in the band from " << first;
        }
    }
}

// A dashed line that merely passes the bitmap takes none of the page's work
// budget; one on the bitmap takes its steps.
TEST(DcPixels, DashedLinesOffTheBitmapCostNothing) {
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    WorkBudget::Limits limits;
    limits.dashSteps = 1000;
    dc.resetBudget(limits);
    Pen dashed = solidPen(kBlack);
    dashed.style = gdi::PS_DASH;
    dc.setPen(dashed);
    // 2000 segments above the bitmap, across all its columns, and 2000 left
    // of it, across all its rows.
    std::vector<PointD> above, left;
    for (int i = 0; i <= 2000; ++i) {
        above.push_back({i % 2 == 0 ? -20.0 : 130.0, -2.0 - 10 * (i % 3)});
        left.push_back({-2.0 - 10 * (i % 3), i % 2 == 0 ? -20.0 : 130.0});
    }
    dc.polyline(above);
    dc.polyline(left);
    EXPECT_FALSE(dc.budget().spent()) << dc.budget().reason();
    EXPECT_EQ(countColour(dib, kBlack), 0);
    const PointD across[] = {{0, 50}, {99, 50}};
    dc.polyline(across);
    EXPECT_FALSE(dc.budget().spent()) << dc.budget().reason();
    EXPECT_GT(countColour(dib, kBlack), 30) << "the dashed line on the bitmap is drawn";
}

// A shape whose transform throws a corner far beyond any integer pixel keeps
// its edges' directions on the bitmap.
TEST(DcPixels, ThinOutlinesToFarCornersKeepTheirDirection) {
    struct Case {
        const char* label;
        Matrix transform;
        RectL box;
        std::vector<PointL> inked, clear;
    };
    const Case cases[] = {
        {"sheared far to the right",
         {1, 0, 1e11, 1, 0, 0},
         {10, 0, 30, 20},
         {{10, 0}, {35, 0}, {39, 0}},
         {{5, 0}, {0, 0}}},
        {"sheared far downwards",
         {1, 1e11, 0, 1, 0, 0},
         {0, 10, 20, 30},
         {{0, 10}, {0, 35}, {0, 39}},
         {{0, 5}, {0, 0}}},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(40, 40);
        Dc dc(dib);
        dc.setGraphicsMode(gdi::GM_ADVANCED);
        dc.setTransform(c.transform);
        dc.setPen(solidPen(kBlack));
        dc.setBrush(nullBrush());
        dc.rectangle(c.box);
        for (const auto& p : c.inked)
            EXPECT_EQ(at(dib, p.x, p.y), kBlack) << c.label << " at " << p.x << ", " << p.y;
        for (const auto& p : c.clear)
            EXPECT_EQ(at(dib, p.x, p.y), kWhite) << c.label << " at " << p.x << ", " << p.y;
    }
}

}  // namespace
}  // namespace metafile
