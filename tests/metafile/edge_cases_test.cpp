// Edges of the engine that pages rarely reach: curves in boxes without width
// or height, and header descriptions that point nowhere sensible.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "metafile/dc.h"
#include "metafile/dib_section.h"
#include "metafile/metafile.h"
#include "metafile/player.h"
#include "tests/metafile/emf_fixture.h"
#include "tests/metafile/pixel_helpers.h"

namespace metafile {
namespace {

using namespace metafile::testing;

TEST(EngineEdges, CurvesInABoxWithoutWidthOrHeightDrawNothing) {
    struct Case {
        const char* label;
        RectL box;
        PointD start;
        PointD end;
    };
    const Case cases[] = {
        {"no width", {10, 10, 10, 50}, {20, 10}, {20, 50}},
        {"no height", {10, 30, 50, 30}, {10, 20}, {50, 20}},
        {"neither", {30, 30, 30, 30}, {40, 30}, {20, 30}},
    };
    for (const auto& c : cases) {
        for (int shape = 0; shape < 3; ++shape) {
            auto dib = whiteBitmap(60, 60);
            Dc dc(dib);
            dc.setPen(solidPen(kBlack, 1));
            dc.setBrush(solidBrush(kBlack));
            if (shape == 0)
                dc.arc(c.box, c.start, c.end);
            else if (shape == 1)
                dc.chord(c.box, c.start, c.end);
            else
                dc.pie(c.box, c.start, c.end);
            EXPECT_EQ(countColour(dib, kBlack), 0) << c.label << ", shape " << shape;
        }
    }
}

TEST(EngineEdges, DescriptionsOutsideTheirPlaceAreNotRead) {
    struct Case {
        const char* label;
        std::uint32_t count;
        std::uint32_t offset;
        std::u16string expected;
    };
    const Case cases[] = {
        {"inside the fixed header", 2, 0, u""},
        {"just before its end", 2, 84, u""},
        {"none counted", 0, 88, u""},
        {"past the header record", 4, 88, u""},
    };
    for (const auto& c : cases) {
        auto bytes = EmfBytes().bytes();
        auto put = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
        };
        put(60, c.count);
        put(64, c.offset);
        auto mf = Metafile::fromBytes(bytes);
        ASSERT_TRUE(mf) << c.label;
        EXPECT_EQ(mf->header().description, c.expected) << c.label;
    }
}

TEST(EngineEdges, TriangleGradientsMixTheirCornersAndSkipBadTriangles) {
    const Dc::GradientVertex v[] = {
        {{0, 0}, 0xFF00, 0, 0}, {{40, 0}, 0, 0xFF00, 0}, {{0, 40}, 0, 0, 0xFF00}, {{20, 20}, 0, 0, 0}};
    struct Case {
        const char* label;
        std::vector<std::uint32_t> mesh;
        bool drawn;
    };
    const Case cases[] = {
        {"one triangle", {0, 1, 2}, true},
        {"a bad first index", {0x40000000, 1, 2}, false},
        {"a bad second index", {0, 0x40000000, 1}, false},
        {"a bad third index, then a good triangle", {0, 1, 0x40000000, 0, 1, 2}, true},
        {"corners on one line", {1, 2, 3}, false},
        {"an incomplete triangle", {0, 1}, false},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(50, 50);
        Dc dc(dib);
        dc.gradientFill(v, c.mesh, 2);
        if (!c.drawn) {
            EXPECT_EQ(countColour(dib, kWhite), 50 * 50) << c.label;
            continue;
        }
        EXPECT_EQ(at(dib, 0, 0), 0xFF0000u) << c.label;
        EXPECT_EQ(at(dib, 20, 0), 0x7F7F00u) << c.label;
        EXPECT_EQ(at(dib, 0, 20), 0x7F007Fu) << c.label;
        EXPECT_EQ(at(dib, 10, 10), 0x7F3F3Fu) << c.label;
        EXPECT_EQ(at(dib, 30, 30), kWhite) << c.label << ": outside";
    }
}

TEST(EngineEdges, VerticalGradientRunsDownwards) {
    auto dib = whiteBitmap(10, 101);
    Dc dc(dib);
    const Dc::GradientVertex v[] = {{{0, 0}, 0, 0, 0}, {{10, 100}, 0xFF00, 0xFF00, 0xFF00}};
    const std::uint32_t mesh[] = {0, 1, 0, 7};  // the second pair names no vertex
    dc.gradientFill(v, mesh, 1);
    EXPECT_EQ(at(dib, 5, 0), 0x000000u);
    EXPECT_EQ(at(dib, 5, 50), 0x7F7F7Fu);
    EXPECT_EQ(at(dib, 0, 99), 0xFCFCFCu);
    EXPECT_EQ(at(dib, 9, 99), 0xFCFCFCu);
    EXPECT_EQ(at(dib, 5, 100), kWhite) << "the bottom edge is outside";
}

TEST(EngineEdges, SteepLinesLeavingThePageAreDrawnAcrossIt) {
    struct Case {
        const char* label;
        PointD from;
        PointD to;
        bool vertical;
    };
    const Case cases[] = {
        {"less than a pixel across, top to bottom", {10, -50}, {10.5, 150}, true},
        {"less than a pixel across, bottom to top", {10.5, 150}, {10, -50}, true},
        {"less than a pixel down, left to right", {-50, 20}, {150, 20.5}, false},
        {"less than a pixel down, right to left", {150, 20.5}, {-50, 20}, false},
    };
    for (const auto& c : cases) {
        auto dib = whiteBitmap(100, 100);
        Dc dc(dib);
        dc.setPen(solidPen(kBlack, 1));
        dc.moveTo(c.from);
        dc.lineTo(c.to);
        int lines = 0;
        for (int i = 0; i < 100; ++i) {
            bool ink = false;
            for (int k = 0; k < 100; ++k)
                ink = ink || at(dib, c.vertical ? k : i, c.vertical ? i : k) != kWhite;
            lines += ink;
        }
        EXPECT_EQ(lines, 100) << c.label << ": every row or column the line crosses has ink";
    }
}

TEST(EngineEdges, TwoPixelPensKeepTheirWidthAtTheLowestMiterLimit) {
    // The drawn area around a stroke is grown by the pen's reach: at miter
    // limit 1 that is the width alone, which must not shrink the line.
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    dc.setPen(solidPen(kBlack, 2));
    dc.setMiterLimit(1);
    dc.moveTo({10, 50});
    dc.lineTo({90, 50});
    dc.moveTo({50, 10});
    dc.lineTo({50, 40});
    int rows = 0, columns = 0;
    for (int i = 0; i < 100; ++i) {
        rows += at(dib, 30, i) != kWhite;
        columns += at(dib, i, 25) != kWhite;
    }
    EXPECT_EQ(rows, 2) << "the horizontal line is two pixels high";
    EXPECT_EQ(columns, 2) << "the vertical line is two pixels wide";
}

TEST(EngineEdges, AUserStyleOfOddLengthSwapsDashesAndGapsOnEachRepeat) {
    // One entry of four: four pixels drawn, four left, and so on.
    auto dib = whiteBitmap(100, 20);
    Dc dc(dib);
    Pen pen = solidPen(kBlack, 1);
    pen.extended = true;
    pen.style = gdi::PS_COSMETIC | gdi::PS_USERSTYLE;
    pen.dashes = {4};
    dc.setPen(pen);
    dc.moveTo({0, 10});
    dc.lineTo({80, 10});
    int ink = 0, changes = 0;
    for (int x = 0; x < 80; ++x) {
        ink += at(dib, x, 10) != kWhite;
        changes += x > 0 && (at(dib, x, 10) != kWhite) != (at(dib, x - 1, 10) != kWhite);
    }
    EXPECT_EQ(ink, 40) << "half of the line";
    EXPECT_EQ(changes, 19) << "twenty runs of four";
}

TEST(EngineEdges, SourceRectanglesPastTheImageLeaveTheirPartUndrawn) {
    // A 2 x 2 source, red above green, stretched from a 4 x 1 rectangle: its
    // right half lies past the image and draws nothing (it must not read
    // the next row).
    Image32 source;
    source.width = 2;
    source.height = 2;
    source.pixels = {0xFFFF0000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF00FF00u};
    auto dib = whiteBitmap(4, 1);
    Dc dc(dib);
    ImageDraw d;
    d.source = &source;
    d.srcW = 4;
    d.srcH = 1;
    d.dest0 = {0, 0};
    d.destX = {4, 0};
    d.destY = {0, 1};
    dc.drawImage(d);
    EXPECT_EQ(at(dib, 0, 0), kRed);
    EXPECT_EQ(at(dib, 1, 0), kRed);
    EXPECT_EQ(at(dib, 2, 0), kWhite);
    EXPECT_EQ(at(dib, 3, 0), kWhite);
}

TEST(EngineEdges, PolyPolygonCountsBeyondThePointsAreReportedAndNotDrawn) {
    // One polygon said to have five points in a record that carries three.
    auto bytes =
        EmfBytes()
            .record(emf::EMR_POLYPOLYGON16, {0, 0, 100, 100, 1, 3, 5, 0x000A000A, 0x000A005A, 0x005A005A})
            .bytes();
    auto mf = Metafile::fromBytes(bytes);
    ASSERT_TRUE(mf);
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    const auto report = playMetafile(*mf, dc, {0, 0, 100, 100});
    EXPECT_EQ(report.malformed.count(emf::EMR_POLYPOLYGON16), 1u);
    EXPECT_EQ(countColour(dib, kWhite), 100 * 100);
}

TEST(EngineEdges, ImagesStopAtTheRightEdgeOfEachClipSpan) {
    Image32 source;
    source.width = 6;
    source.height = 1;
    source.pixels.assign(6, 0xFFFF0000u);
    auto dib = whiteBitmap(6, 1);
    Dc dc(dib);
    dc.intersectClipRect({1, 0, 3, 1});
    dc.excludeClipRect({2, 0, 3, 1});
    ImageDraw d;
    d.source = &source;
    d.srcW = 6;
    d.srcH = 1;
    d.dest0 = {0, 0};
    d.destX = {6, 0};
    d.destY = {0, 1};
    dc.drawImage(d);
    EXPECT_EQ(at(dib, 0, 0), kWhite);
    EXPECT_EQ(at(dib, 1, 0), kRed);
    EXPECT_EQ(at(dib, 2, 0), kWhite) << "the span ends before this pixel";
    EXPECT_EQ(at(dib, 3, 0), kWhite);
}

TEST(EngineEdges, HalftoneAveragesTheWholeFootprintOfEachPixel) {
    // Eight greys 0, 30, ..., 210 reduced to two pixels: four each.
    Image32 ramp;
    ramp.width = 8;
    ramp.height = 1;
    for (std::uint32_t i = 0; i < 8; ++i) ramp.pixels.push_back(0xFF000000u | (30 * i) * 0x010101u);
    auto dib = whiteBitmap(2, 1);
    Dc dc(dib);
    dc.setStretchBltMode(4);  // HALFTONE
    ImageDraw d;
    d.source = &ramp;
    d.srcW = 8;
    d.srcH = 1;
    d.dest0 = {0, 0};
    d.destX = {2, 0};
    d.destY = {0, 1};
    dc.drawImage(d);
    EXPECT_EQ(at(dib, 0, 0), 45 * 0x010101u) << "the mean of 0, 30, 60, 90";
    EXPECT_EQ(at(dib, 1, 0), 165 * 0x010101u) << "the mean of 120, 150, 180, 210";
}

TEST(EngineEdges, ABezierThatEndsWhereItStartsIsDrawnAsItsLoop) {
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    dc.setPen(solidPen(kBlack, 1));
    const PointD loop[] = {{20, 20}, {80, 20}, {80, 80}, {20, 20}};
    dc.polyBezier(loop);
    const RectL ink = inkBounds(dib);
    EXPECT_NEAR(ink.left, 20, 1);
    EXPECT_NEAR(ink.top, 20, 1);
    // Its farthest points: x 65 at t = 1/2, y 46.5 near t = 0.7.
    EXPECT_NEAR(ink.right, 66, 1) << "the loop reaches towards its control points";
    EXPECT_NEAR(ink.bottom, 47, 1);
}

// Bitmaps over the pixel limit are refused before any memory is taken (a
// bitmap of exactly the limit takes a gigabyte and is not tried here); a
// band lies within its picture.
TEST(EngineEdges, BitmapsAndBandsUpToThePixelLimitAreMadeAndNoLarger) {
    constexpr int kSide = 1 << 14;  // kSide x kSide is the limit
    static_assert(std::int64_t{kSide} * kSide == DibSection::kMaxPixels);
    struct Band {
        int width, rows, first, height;
        bool made;
    };
    const Band bands[] = {
        {100, 10, 0, 10, true},
        {100, 10, 90, 100, true},
        {100, 10, 91, 100, false},  // runs past the picture's end
        {100, 10, -1, 100, false},
        {100, 0, 0, 100, false},
        {0, 10, 0, 10, false},
        {kSide, kSide + 1, 0, kSide + 1, false},  // one row over the limit
        {kSide + 1, kSide, 0, kSide, false},
    };
    auto dib = DibSection::create(4, 4);
    ASSERT_TRUE(dib);
    for (const Band& b : bands) {
        const int before = dib->width();
        EXPECT_EQ(dib->reshapeBand(b.width, b.rows, b.first, b.height), b.made)
            << b.width << " x " << b.rows << " from row " << b.first << " of " << b.height;
        if (b.made) {
            EXPECT_EQ(dib->firstRow(), b.first);
            EXPECT_EQ(dib->endRow(), b.first + b.rows);
            EXPECT_EQ(dib->pixels().size(),
                      static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.rows));
        } else {
            EXPECT_EQ(dib->width(), before) << "a refused band leaves the bitmap as it was";
        }
    }
    EXPECT_FALSE(DibSection::create(kSide, kSide + 1));
    EXPECT_FALSE(DibSection::create(0, 1));
}

}  // namespace
}  // namespace metafile
