// Curves, arcs and the other shape records against what GDI draws: where
// the ink lies, which way arcs turn, what a transform does to exact device
// coordinates. Pages are 100 x 100 pixels with one logical unit a pixel;
// playback runs in the advanced graphics mode, so boxes include their right
// and bottom edges.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "metafile/player.h"
#include "tests/metafile/pixel_helpers.h"
#include "tests/metafile/record_builder.h"

namespace metafile {
namespace {

using namespace metafile::testing;

std::uint32_t stock(StockObject o) {
    return static_cast<std::uint32_t>(o);
}

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

std::vector<std::byte> worldTransform(const Matrix& m) {
    RecordBuilder r(emf::EMR_SETWORLDTRANSFORM);
    for (double v : {m.eM11, m.eM12, m.eM21, m.eM22, m.eDx, m.eDy}) r.u32(floatBits(static_cast<float>(v)));
    return r.bytes();
}

std::vector<std::byte> pointsRecord(std::uint32_t type, std::initializer_list<PointL> pts) {
    RecordBuilder r(type);
    r.i32(0).i32(0).i32(100).i32(100).u32(static_cast<std::uint32_t>(pts.size()));
    for (auto p : pts) r.i32(p.x).i32(p.y);
    return r.bytes();
}

DibSection render(const std::vector<std::vector<std::byte>>& records, PlaybackReport* report = nullptr) {
    auto mf = Metafile::fromBytes(metafileOf(records));
    EXPECT_TRUE(mf);
    auto dib = whiteBitmap(100, 100);
    Dc dc(dib);
    auto r = playMetafile(*mf, dc, {0, 0, 100, 100});
    if (report != nullptr)
        *report = r;
    return dib;
}

bool ink(const DibSection& dib, int x, int y) {
    return at(dib, x, y) != kWhite;
}

// Ink pixels in [x1, x2) x [y1, y2).
int inkIn(const DibSection& dib, int x1, int y1, int x2, int y2) {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) n += ink(dib, x, y);
    return n;
}

// --- arcs, pies, chords -----------------------------------------------------------

// Box (10, 10)-(80, 60), centre (45, 35); from the radial through the
// right-hand middle to the one through the top middle.
constexpr std::int32_t kArc[] = {10, 10, 80, 60, 80, 35, 45, 10};

std::vector<std::byte> arcRecord(std::uint32_t type) {
    RecordBuilder r(type);
    for (auto v : kArc) r.i32(v);
    return r.bytes();
}

struct ArcCase {
    const char* name;
    std::uint32_t type;
    int direction;
    RectL bounds;           // the ink's bounds
    bool centre;            // ink at the centre (45, 35)
    bool upperRight;        // ink at (70, 18): above the chord, inside the ellipse
    bool lowerLeft;         // ink at (28, 48), inside the lower-left quarter
    bool lowerLeftOutline;  // ink on the ellipse in the lower-left quarter
};

class Arcs : public ::testing::TestWithParam<ArcCase> {};

TEST_P(Arcs, InkLiesWhereGdiPutsIt) {
    const auto c = GetParam();
    const auto dib =
        render({words(emf::EMR_SETARCDIRECTION, {c.direction}),
                RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::BLACK_BRUSH)).bytes(),
                arcRecord(c.type)});
    EXPECT_EQ(inkBounds(dib), c.bounds);
    EXPECT_EQ(ink(dib, 45, 35), c.centre) << "centre";
    EXPECT_EQ(ink(dib, 70, 18), c.upperRight) << "upper right";
    EXPECT_EQ(ink(dib, 28, 48), c.lowerLeft) << "lower left";
    EXPECT_EQ(inkIn(dib, 10, 36, 45, 61) > 0, c.lowerLeftOutline) << "lower-left outline";
    // Both ends of the curve lie on the ellipse where the radials cut it.
    EXPECT_TRUE(ink(dib, 80, 35) || ink(dib, 80, 34) || ink(dib, 79, 35)) << "start";
    EXPECT_GT(inkIn(dib, 42, 10, 47, 12), 0) << "end";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Arcs,
    ::testing::Values(
        // Counterclockwise (on the page, y down): the short way, up.
        ArcCase{"ArcCounterclockwise",
                emf::EMR_ARC,
                gdi::AD_COUNTERCLOCKWISE,
                {46, 10, 81, 36},
                false,
                false,
                false,
                false},
        ArcCase{"ArcClockwise", emf::EMR_ARC, gdi::AD_CLOCKWISE, {10, 10, 81, 61}, false, false, false, true},
        ArcCase{"PieCounterclockwise",
                emf::EMR_PIE,
                gdi::AD_COUNTERCLOCKWISE,
                {45, 10, 81, 36},
                true,
                true,
                false,
                false},
        ArcCase{"PieClockwise", emf::EMR_PIE, gdi::AD_CLOCKWISE, {10, 10, 81, 61}, true, false, true, true},
        ArcCase{"ChordCounterclockwise",
                emf::EMR_CHORD,
                gdi::AD_COUNTERCLOCKWISE,
                {45, 10, 81, 36},
                false,
                true,
                false,
                false},
        ArcCase{
            "ChordClockwise", emf::EMR_CHORD, gdi::AD_CLOCKWISE, {10, 10, 81, 61}, true, false, true, true}),
    [](const auto& c) { return std::string(c.param.name); });

// Start and end on the same radial: the whole ellipse.
TEST(Shapes, ArcWithEqualRadialsIsTheWholeEllipse) {
    const auto arc = render({words(emf::EMR_ARC, {10, 10, 50, 40, 50, 25, 50, 25})});
    EXPECT_EQ(inkBounds(arc), (RectL{10, 10, 51, 41}));
    EXPECT_FALSE(ink(arc, 30, 25));  // an outline
    const auto pie =
        render({RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::BLACK_BRUSH)).bytes(),
                words(emf::EMR_PIE, {10, 10, 50, 40, 50, 25, 50, 25})});
    EXPECT_EQ(inkBounds(pie), (RectL{10, 10, 51, 41}));
    EXPECT_TRUE(ink(pie, 30, 25));  // filled, no radial drawn to the centre only
}

// In the advanced mode arcs turn counterclockwise in logical space: a world
// transform that flips y shows the same arc in the lower-right quarter.
TEST(Shapes, ArcDirectionFollowsAFlippedWorldTransform) {
    const auto dib = render({worldTransform({1, 0, 0, -1, 0, 100}), arcRecord(emf::EMR_ARC)});
    // Logical y 10..35 lands on device y 65..90.
    EXPECT_EQ(inkIn(dib, 0, 0, 100, 64), 0);
    EXPECT_GT(inkIn(dib, 46, 64, 82, 91), 20);
    EXPECT_EQ(inkIn(dib, 0, 64, 44, 100), 0);
}

// ArcTo draws a line from the current position to the arc's start, and
// the current position ends at the arc's end.
TEST(Shapes, ArcToJoinsTheCurrentPositionAndMovesIt) {
    const auto dib = render(
        {words(emf::EMR_MOVETOEX, {5, 90}), arcRecord(emf::EMR_ARCTO), words(emf::EMR_LINETO, {90, 90})});
    EXPECT_TRUE(ink(dib, 5, 90));                       // the line from (5, 90)
    EXPECT_TRUE(ink(dib, 42, 63));                      // its middle, on the way to (80, 35)
    EXPECT_TRUE(ink(dib, 67, 50) || ink(dib, 68, 50));  // the final line from (45, 10) to (90, 90)
    EXPECT_FALSE(ink(dib, 90, 90));                     // ... leaves out its last pixel
    EXPECT_EQ(inkIn(dib, 10, 36, 44, 61), 0);           // counterclockwise: no lower-left outline
}

TEST(Shapes, AngleArcStartsWithALineAndSweepsCounterclockwise) {
    RecordBuilder r(emf::EMR_ANGLEARC);
    r.i32(48).i32(48).u32(30).u32(floatBits(0)).u32(floatBits(135));
    const auto dib =
        render({words(emf::EMR_MOVETOEX, {10, 50}), r.bytes(), words(emf::EMR_LINETO, {10, 90})});
    EXPECT_TRUE(ink(dib, 10, 50));
    EXPECT_TRUE(ink(dib, 78, 48) || ink(dib, 77, 48));  // angle 0: (48 + 30, 48)
    EXPECT_TRUE(ink(dib, 48, 18));                      // angle 90: straight up
    EXPECT_FALSE(ink(dib, 48, 78));                     // angle 270 is not swept
    // The position ends at angle 135: (26.8, 26.8); the line goes down from it.
    EXPECT_TRUE(ink(dib, 18, 58) || ink(dib, 19, 58));
}

// --- rectangles with round corners and ellipses ------------------------------

TEST(Shapes, RoundRectCutsItsCorners) {
    const auto dib =
        render({RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::BLACK_BRUSH)).bytes(),
                words(emf::EMR_ROUNDRECT, {10, 10, 70, 50, 20, 16})});
    EXPECT_EQ(inkBounds(dib), (RectL{10, 10, 71, 51}));
    for (auto [x, y] : {std::pair{10, 10}, {70, 10}, {10, 50}, {70, 50}, {12, 11}})
        EXPECT_FALSE(ink(dib, x, y)) << x << "," << y;
    for (auto [x, y] : {std::pair{20, 10}, {60, 10}, {10, 18}, {10, 42}, {70, 30}, {40, 50}, {40, 30}})
        EXPECT_TRUE(ink(dib, x, y)) << x << "," << y;
    // Corners larger than the box make an ellipse.
    const auto big =
        render({RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::BLACK_BRUSH)).bytes(),
                words(emf::EMR_ROUNDRECT, {10, 10, 70, 50, 200, 200})});
    const auto ellipse =
        render({RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::BLACK_BRUSH)).bytes(),
                words(emf::EMR_ELLIPSE, {10, 10, 70, 50})});
    EXPECT_EQ(countColour(big, kBlack), countColour(ellipse, kBlack));
    EXPECT_FALSE(ink(big, 15, 13));
}

TEST(Shapes, HollowRoundRectIsAnOutline) {
    const auto dib = render({words(emf::EMR_ROUNDRECT, {10, 10, 70, 50, 20, 16}),
                             RecordBuilder(emf::EMR_SELECTOBJECT).u32(stock(StockObject::NULL_BRUSH)).bytes(),
                             words(emf::EMR_ROUNDRECT, {20, 60, 80, 95, 20, 16})});
    EXPECT_FALSE(ink(dib, 40, 30));  // the first: white brush over white
    EXPECT_TRUE(ink(dib, 40, 10));
    EXPECT_FALSE(ink(dib, 50, 78));  // the second: no brush
    EXPECT_EQ(rowText(dib, 78, 18, 23), "..#..");
    EXPECT_EQ(rowText(dib, 78, 78, 83), "..#..");
}

// --- Beziers ----------------------------------------------------------------------

TEST(Shapes, PolyBezierPassesThroughEachSegmentsMiddle) {
    const auto dib = render({pointsRecord(
        emf::EMR_POLYBEZIER, {{10, 80}, {10, 10}, {80, 10}, {80, 80}, {60, 90}, {30, 90}, {10, 80}})});
    EXPECT_EQ(inkBounds(dib), (RectL{10, 28, 81, 89}));
    // B(1/2) of the first segment is (45, 27.5); of the second, (45, 87.5).
    EXPECT_TRUE(ink(dib, 45, 28) || ink(dib, 45, 27));
    EXPECT_TRUE(ink(dib, 45, 88) || ink(dib, 45, 87));
    EXPECT_TRUE(ink(dib, 10, 80));
    EXPECT_FALSE(ink(dib, 45, 50));
}

TEST(Shapes, PolyBezierToStartsAtAndMovesTheCurrentPosition) {
    const auto dib = render({words(emf::EMR_MOVETOEX, {5, 5}),
                             pointsRecord(emf::EMR_POLYBEZIERTO, {{40, 5}, {40, 60}, {90, 60}}),
                             words(emf::EMR_LINETO, {90, 90})});
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 91, 90}));
    EXPECT_TRUE(ink(dib, 5, 5));
    // B(1/2) = (41.875, 32.5).
    EXPECT_TRUE(ink(dib, 42, 32) || ink(dib, 42, 33));
    EXPECT_EQ(rowText(dib, 75, 88, 93), "..#..");  // the line down from (90, 60)
}

// PolyDraw: a line, a move, a Bezier that closes its figure, then a
// closed figure of lines.
TEST(Shapes, PolyDrawFollowsItsPointTypes) {
    RecordBuilder r(emf::EMR_POLYDRAW);
    const PointL pts[] = {{40, 5},  {10, 40}, {40, 40}, {70, 40}, {70, 80},
                          {60, 60}, {60, 60}, {20, 90}, {5, 90}};
    const std::uint8_t types[] = {PT_LINETO,   PT_MOVETO,   PT_LINETO,
                                  PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO | PT_CLOSEFIGURE,
                                  PT_MOVETO,   PT_LINETO,   PT_LINETO | PT_CLOSEFIGURE};
    r.i32(0).i32(0).i32(100).i32(100).u32(9);
    for (auto p : pts) r.i32(p.x).i32(p.y);
    for (auto t : types) r.u8(t);
    const auto dib = render({words(emf::EMR_MOVETOEX, {5, 5}), r.bytes()});
    EXPECT_EQ(inkBounds(dib), (RectL{5, 5, 67, 91}));
    EXPECT_TRUE(ink(dib, 20, 5));                       // the first line, along y = 5
    EXPECT_FALSE(ink(dib, 25, 22));                     // no line from (40, 5) to (10, 40): a move
    EXPECT_TRUE(ink(dib, 35, 50));                      // the Bezier figure closes back to (10, 40)
    EXPECT_TRUE(ink(dib, 33, 75) || ink(dib, 33, 74));  // (5, 90) back to (60, 60)
    EXPECT_TRUE(ink(dib, 12, 90));                      // the line (20, 90) - (5, 90)
}

// --- wide pens and paths -------------------------------------------------------------

std::vector<std::byte> extPen(std::uint32_t index, std::uint32_t style, std::uint32_t width,
                              std::initializer_list<std::uint32_t> entries = {}) {
    RecordBuilder r(emf::EMR_EXTCREATEPEN);
    r.u32(index).u32(0).u32(0).u32(0).u32(0).u32(style).u32(width).u32(gdi::BS_SOLID).u32(0).u32(0);
    r.u32(static_cast<std::uint32_t>(entries.size()));
    for (auto e : entries) r.u32(e);
    return r.bytes();
}

std::vector<std::byte> select(std::uint32_t index) {
    return RecordBuilder(emf::EMR_SELECTOBJECT).u32(index).bytes();
}

// WidenPath turns the path into the outline of its stroke; FillPath then
// fills that outline, and the figure's inside stays empty.
TEST(Shapes, WidenPathFillsTheStrokesOutline) {
    const auto pen = extPen(1, gdi::PS_GEOMETRIC | gdi::PS_ENDCAP_FLAT | gdi::PS_JOIN_MITER, 8);
    const std::vector<std::vector<std::byte>> path = {
        words(emf::EMR_BEGINPATH, {}), words(emf::EMR_MOVETOEX, {15, 20}), words(emf::EMR_LINETO, {80, 20}),
        words(emf::EMR_LINETO, {80, 70}), words(emf::EMR_ENDPATH, {})};
    auto records =
        std::vector<std::vector<std::byte>>{pen, select(1), select(stock(StockObject::BLACK_BRUSH))};
    records.insert(records.end(), path.begin(), path.end());
    records.push_back(words(emf::EMR_WIDENPATH, {}));
    records.push_back(words(emf::EMR_FILLPATH, {}));
    const auto widened = render(records);
    EXPECT_EQ(inkBounds(widened), (RectL{15, 16, 84, 70}));
    EXPECT_EQ(rowText(widened, 40, 74, 88), "..########....");  // 76..83 across the right-hand leg
    EXPECT_TRUE(ink(widened, 83, 16));                          // the mitred corner
    EXPECT_FALSE(ink(widened, 14, 20));                         // a flat cap at x = 15
    EXPECT_FALSE(ink(widened, 50, 45));
    // The same outline as stroking the path with the pen.
    records.resize(records.size() - 2);
    records.push_back(words(emf::EMR_STROKEPATH, {}));
    const auto stroked = render(records);
    EXPECT_EQ(countColour(widened, kBlack), countColour(stroked, kBlack));
}

// --- FrameRgn --------------------------------------------------------------------------

TEST(Shapes, FrameRgnPaintsABorderOfTheGivenSize) {
    const auto data = regionData({{10, 10, 60, 40}, {30, 40, 80, 70}});
    RecordBuilder r(emf::EMR_FRAMERGN);
    r.i32(0)
        .i32(0)
        .i32(100)
        .i32(100)
        .u32(static_cast<std::uint32_t>(data.size()))
        .u32(stock(StockObject::BLACK_BRUSH));
    r.i32(3).i32(2).append(data);
    const auto dib = render({r.bytes()});
    EXPECT_EQ(inkBounds(dib), (RectL{10, 10, 80, 70}));
    EXPECT_EQ(rowText(dib, 25, 8, 16), "..###...");            // left side: 3 wide
    EXPECT_EQ(rowText(dib, 25, 54, 62), "...###..");           // right side of the upper rectangle
    for (int y : {10, 11}) EXPECT_TRUE(ink(dib, 35, y)) << y;  // top: 2 high
    EXPECT_FALSE(ink(dib, 35, 12));
    EXPECT_FALSE(ink(dib, 40, 45));  // inside the union
    EXPECT_TRUE(ink(dib, 40, 68));   // bottom of the lower rectangle
    EXPECT_FALSE(ink(dib, 40, 67));
    EXPECT_TRUE(ink(dib, 15, 38));   // the upper rectangle's bottom, left of the lower one
    EXPECT_FALSE(ink(dib, 40, 38));  // ... but not where the two join
}

}  // namespace
}  // namespace metafile
