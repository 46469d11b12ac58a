// Lines held by a canvas and drawn a row at a time over a background must
// put exactly the pixels on a band that the background and the lines drawn
// after it put there: one-pixel and wide lines of every slope and
// direction, starting, ending and leaving the band anywhere. What cannot be held is
// refused and leaves the bitmap alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/region.h"

namespace metafile {
namespace {

constexpr int kWidth = 97, kHeight = 120;
constexpr std::uint32_t kBackground = 0x102030, kInk = 0xF0E0D0;

struct Line {
    PointL a, b;
};

// The rows [first, first + rows) of the picture, every pixel `what` had
// before.
DibSection band(int first, int rows, std::uint32_t what) {
    auto dib = DibSection::create(1, 1).value();
    EXPECT_TRUE(dib.reshapeBand(kWidth, rows, first, kHeight));
    dib.fill(what);
    return dib;
}

DibSection drawnAfterFill(const std::vector<Line>& lines, int first, int rows) {
    DibSection dib = band(first, rows, kBackground);
    Canvas canvas(dib);
    for (const Line& l : lines) {
        ThinDash solid;
        const PointL pts[2] = {l.a, l.b};
        canvas.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 13);
    }
    return dib;
}

DibSection drawnHeld(const std::vector<Line>& lines, int first, int rows, bool& refused) {
    DibSection dib = band(first, rows, 0x123456);  // every pixel is written again
    Canvas canvas(dib);
    HeldLines held;
    held.begin(first, first + rows, kWidth);
    canvas.holdLines(&held);
    for (const Line& l : lines) {
        ThinDash solid;
        const PointL pts[2] = {l.a, l.b};
        canvas.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 13);
    }
    canvas.holdLines(nullptr);
    refused = held.refused();
    held.draw([&](int y) {
        std::uint32_t* row = dib.row(y);
        for (int x = 0; x < kWidth; ++x) row[x] = kBackground;
        return row;
    });
    return dib;
}

int differing(const DibSection& a, const DibSection& b, int first, int rows) {
    int count = 0;
    for (int y = first; y < first + rows; ++y) {
        for (int x = 0; x < kWidth; ++x) count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return count;
}

const std::vector<Line> kLines = {
    {{10, -50}, {30, 300}},     // steep, down and a little right
    {{80, 250}, {20, -90}},     // steep, up and left
    {{-40, 10}, {200, 60}},     // shallow, right and down
    {{150, 90}, {-60, 20}},     // shallow, left and up
    {{-20, -20}, {130, 130}},   // the diagonal down
    {{120, -10}, {-10, 120}},   // the other diagonal
    {{5, 70}, {90, 70}},        // level, within the columns
    {{95, 33}, {-5, 33}},       // level, leftwards across both sides
    {{50, -30}, {50, 200}},     // upright
    {{30, 55}, {60, 58}},       // both ends inside: begins and ends mid-band
    {{60, 58}, {30, 55}},       // the same the other way
    {{40, 44}, {44, 80}},       // steep, both ends inside
    {{44, 80}, {40, 44}},       // and back
    {{-300, 0}, {400, 119}},    // shallow, long, across the whole picture
    {{90, 0}, {100, 40}},       // leaves through the right side
    {{3, 40}, {-8, 101}},       // leaves through the left side
    {{20, 61}, {21, 61}},       // a single step
    {{70, 10}, {73, 9}},        // short, shallow and rising
    {{-1000, 50}, {1000, 53}},  // very long runs a row
};

TEST(HeldLines, OnePixelLinesDrawAsAfterTheFill) {
    const int bands[][2] = {{0, 120}, {0, 1}, {33, 1}, {40, 30}, {55, 4}, {61, 59}, {119, 1}};
    // Each line alone, and all of them held together (walks begun, ended
    // and taken over in every order).
    std::vector<std::vector<Line>> sets;
    for (const Line& l : kLines) sets.push_back({l});
    sets.push_back(kLines);
    for (std::size_t s = 0; s < sets.size(); ++s) {
        for (const auto& b : bands) {
            bool refused = true;
            const DibSection expected = drawnAfterFill(sets[s], b[0], b[1]);
            const DibSection actual = drawnHeld(sets[s], b[0], b[1], refused);
            EXPECT_FALSE(refused) << "set " << s;
            EXPECT_EQ(differing(expected, actual, b[0], b[1]), 0)
                << "set " << s << " (the last: every line), band of " << b[1] << " rows from " << b[0];
        }
    }
}

// Wide lines as a hatch draws them: across the band (their sides walked),
// ending inside it or near it, leaving through its sides, level and
// upright (their rows held as runs), with one-pixel lines among them.
TEST(HeldLines, WideLinesDrawAsAfterTheFill) {
    struct Wide {
        PointD a, b;
        double width;
    };
    const std::vector<Wide> lines = {
        {{10, -50}, {40, 300}, 5},      {{90, 250}, {20, -90}, 9},    {{-40, 10}, {200, 70}, 3},
        {{-20, -20}, {130, 130}, 21},   {{120, -10}, {-10, 120}, 2},  {{5, 70}, {90, 70}, 6},
        {{50, -30}, {50, 200}, 7},      {{30, 55}, {60, 58}, 4},      {{90, 0}, {100, 40}, 5},
        {{3, 40}, {-8, 101}, 8},        {{-300, 0}, {400, 119}, 3.5}, {{48.3, -400}, {52.9, 400}, 12.25},
        {{-1000, 50}, {1000, 53}, 2.5},
    };
    auto draw = [&](Canvas& c) {
        for (const Wide& w : lines) {
            StrokeStyle style;
            style.width = w.width;
            style.cap = StrokeStyle::Cap::Flat;
            const Figure f{{w.a, w.b}, false};
            c.strokeFigures(std::span<const Figure>(&f, 1), style, Paint::solid(kInk), nullptr, 13);
        }
        ThinDash solid;
        const PointL pts[2] = {{-20, 0}, {130, 119}};
        c.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 13);
    };
    const int bands[][2] = {{0, 120}, {0, 1}, {33, 1}, {40, 30}, {55, 4}, {61, 59}, {119, 1}};
    for (const auto& b : bands) {
        DibSection expected = band(b[0], b[1], kBackground);
        {
            Canvas canvas(expected);
            draw(canvas);
        }
        DibSection actual = band(b[0], b[1], 0x123456);
        Canvas canvas(actual);
        HeldLines held;
        held.begin(b[0], b[0] + b[1], kWidth);
        canvas.holdLines(&held);
        draw(canvas);
        canvas.holdLines(nullptr);
        EXPECT_FALSE(held.refused()) << "band of " << b[1] << " rows from " << b[0];
        held.draw([&](int y) {
            std::uint32_t* row = actual.row(y);
            for (int x = 0; x < kWidth; ++x) row[x] = kBackground;
            return row;
        });
        int inked = 0;
        for (int y = b[0]; y < b[0] + b[1]; ++y) {
            for (int x = 0; x < kWidth; ++x) inked += expected.pixel(x, y) == kInk ? 1 : 0;
        }
        EXPECT_GT(inked, 0) << "band of " << b[1] << " rows from " << b[0];
        EXPECT_EQ(differing(expected, actual, b[0], b[1]), 0) << "band of " << b[1] << " rows from " << b[0];
    }
}

TEST(HeldLines, WhatCannotBeHeldIsRefusedAndNotDrawn) {
    struct Case {
        const char* what;
        void (*draw)(Canvas&);
    };
    const Case cases[] = {
        {"a wide line of another raster operation",
         [](Canvas& c) {
             StrokeStyle wide;
             wide.width = 5;
             const Figure f{{{-10, 10}, {200, 90}}, false};
             c.strokeFigures(std::span<const Figure>(&f, 1), wide, Paint::solid(kInk), nullptr, 7);
         }},
        {"a wide clipped line",
         [](Canvas& c) {
             StrokeStyle wide;
             wide.width = 5;
             const Region clip = Region::fromRect(0, 0, 50, 120);
             const Figure f{{{-10, 10}, {200, 90}}, false};
             c.strokeFigures(std::span<const Figure>(&f, 1), wide, Paint::solid(kInk), &clip, 13);
         }},
        {"a wide line of another colour after a thin one",
         [](Canvas& c) {
             ThinDash solid;
             const PointL pts[2] = {{0, 5}, {96, 100}};
             c.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 13);
             StrokeStyle wide;
             wide.width = 5;
             const Figure f{{{-10, 10}, {200, 90}}, false};
             c.strokeFigures(std::span<const Figure>(&f, 1), wide, Paint::solid(kInk ^ 0xFF), nullptr, 13);
         }},
        {"a dashed line",
         [](Canvas& c) {
             ThinDash dash;
             dash.pattern = {3, 3};
             const PointL pts[2] = {{0, 5}, {96, 100}};
             c.thinLines(pts, false, Paint::solid(kInk), dash, nullptr, 13);
         }},
        {"a clipped line",
         [](Canvas& c) {
             ThinDash solid;
             const Region clip = Region::fromRect(0, 0, 50, 120);
             const PointL pts[2] = {{0, 5}, {96, 100}};
             c.thinLines(pts, false, Paint::solid(kInk), solid, &clip, 13);
         }},
        {"a line of another raster operation",
         [](Canvas& c) {
             ThinDash solid;
             const PointL pts[2] = {{0, 5}, {96, 100}};
             c.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 7);
         }},
        {"lines of two colours",
         [](Canvas& c) {
             ThinDash solid;
             const PointL pts[2] = {{0, 5}, {96, 100}}, more[2] = {{0, 100}, {96, 5}};
             c.thinLines(pts, false, Paint::solid(kInk), solid, nullptr, 13);
             c.thinLines(more, false, Paint::solid(kInk ^ 0xFF), solid, nullptr, 13);
         }},
        {"a filled region",
         [](Canvas& c) { c.fillRegion(Region::fromRect(10, 10, 40, 40), Paint::solid(kInk), nullptr, 13); }},
        {"a pixel", [](Canvas& c) { c.setPixel(3, 50, kInk, nullptr, 13); }},
    };
    for (const Case& c : cases) {
        DibSection dib = band(20, 60, kBackground);
        Canvas canvas(dib);
        HeldLines held;
        held.begin(20, 80, kWidth);
        canvas.holdLines(&held);
        c.draw(canvas);
        canvas.holdLines(nullptr);
        EXPECT_TRUE(held.refused()) << c.what;
        int touched = 0;
        for (int y = 20; y < 80; ++y) {
            for (int x = 0; x < kWidth; ++x) touched += dib.pixel(x, y) != kBackground ? 1 : 0;
        }
        EXPECT_EQ(touched, 0) << c.what;
    }
}

// A wide line's walk is held in int: one whose sides reach beyond what
// that holds with room to spare, anywhere in its rows, is refused; one
// just inside is held and drawn.
TEST(HeldLines, AWalkTooFarOutToKeepInIntIsRefused) {
    struct Case {
        std::int64_t topX, stepQ;
        bool refused;
    };
    constexpr std::int64_t kLimit = std::int64_t{1} << 29;  // 1/256 pixel
    const Case cases[] = {
        {256 * 40, 0, false},               // upright, in the columns
        {kLimit - 256 * 200, 256, false},   // far right, moving right, inside to its last row
        {kLimit - 256 * 50, 256, true},     // the same, out by its last row
        {-kLimit + 256 * 50, -256, true},   // far left, moving left
        {kLimit + 256, -256 * 1000, true},  // out on its first row
    };
    for (const Case& c : cases) {
        WideWalk walk;
        for (int s = 0; s < 2; ++s) {
            walk.topX[s] = c.topX + s * 256 * 4;
            walk.stepQ[s] = c.stepQ;
            walk.ey[s] = 256;
        }
        walk.xMin = 0;
        walk.xMax = kWidth;
        walk.row = 0;
        walk.end = 100;
        HeldLines held;
        held.begin(0, 100, kWidth);
        EXPECT_TRUE(held.takes(kInk));
        held.addWalk(walk, 0, 0);
        EXPECT_EQ(held.refused(), c.refused) << "from " << c.topX << " by " << c.stepQ;
        if (c.refused)
            continue;
        std::vector<std::uint32_t> rows(static_cast<std::size_t>(100 * kWidth), 0);
        held.draw([&](int y) { return rows.data() + static_cast<std::ptrdiff_t>(y) * kWidth; });
        const int inked = static_cast<int>(std::count(rows.begin(), rows.end(), kInk));
        EXPECT_EQ(inked, c.stepQ == 0 ? 4 * 100 : 0) << "from " << c.topX << " by " << c.stepQ;
    }
}

}  // namespace
}  // namespace metafile

namespace metafile {
namespace {

// A clipped one-pixel line, solid or dashed, drawn without holding: pixels
// inside the clip only, and some of them.
TEST(ThinLines, AClipKeepsEveryPixelInsideIt) {
    const Region clip = Region::fromRect(20, 0, 60, 120);
    for (bool dashed : {false, true}) {
        DibSection dib = band(0, kHeight, kBackground);
        Canvas canvas(dib);
        ThinDash dash;
        if (dashed)
            dash.pattern = {3, 2};
        const PointL pts[2] = {{0, 5}, {96, 100}};
        canvas.thinLines(pts, false, Paint::solid(kInk), dash, &clip, 13);
        int inside = 0, outside = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (dib.pixel(x, y) != kInk)
                    continue;
                (x >= 20 && x < 60 ? inside : outside) += 1;
            }
        }
        EXPECT_GT(inside, 0) << (dashed ? "dashed" : "solid");
        EXPECT_EQ(outside, 0) << (dashed ? "dashed" : "solid");
    }
}

// A long wide line drawn through a clip, or with another raster operation,
// takes its rows of pixels from the same walk as the unclipped copy: the
// same pixels, inside the clip only.
TEST(WideLines, AClippedLineIsTheUnclippedLineInsideItsClip) {
    struct Wide {
        PointD a, b;
        double width;
    };
    const Wide lines[] = {
        {{-50, 10}, {200, 90}, 5},
        {{30, -40}, {60, 200}, 9},
        {{100, -10}, {-10, 130}, 3},
        {{70, -300}, {75, 400}, 12.5},
    };
    const RectL rects[] = {{20, 15, 70, 100}, {45, 0, 97, 50}};
    const Region clips[] = {Region::fromRect(rects[0]), Region::fromRects(rects)};
    for (const Wide& w : lines) {
        StrokeStyle style;
        style.width = w.width;
        style.cap = StrokeStyle::Cap::Flat;
        const Figure f{{w.a, w.b}, false};
        DibSection whole = band(0, kHeight, kBackground);
        Canvas(whole).strokeFigures(std::span<const Figure>(&f, 1), style, Paint::solid(kInk), nullptr, 13);
        for (std::size_t c = 0; c < std::size(clips); ++c) {
            for (int rop2 : {13, 7}) {  // a copy, and an exclusive or
                DibSection clipped = band(0, kHeight, kBackground);
                Canvas(clipped).strokeFigures(std::span<const Figure>(&f, 1), style, Paint::solid(kInk),
                                              &clips[c], rop2);
                int wrong = 0, inked = 0;
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        const bool in = clips[c].contains(x, y);
                        const bool line = whole.pixel(x, y) == kInk;
                        const std::uint32_t want = !in || !line ? kBackground
                                                   : rop2 == 13 ? kInk
                                                                : (kInk ^ kBackground);
                        wrong += clipped.pixel(x, y) != want ? 1 : 0;
                        inked += in && line ? 1 : 0;
                    }
                }
                EXPECT_GT(inked, 0) << "line " << (&w - lines) << ", clip " << c;
                EXPECT_EQ(wrong, 0) << "line " << (&w - lines) << ", clip " << c << ", raster operation "
                                    << rop2;
            }
        }
    }
}

}  // namespace
}  // namespace metafile
