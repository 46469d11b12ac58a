// The background and its hatch, pixel for pixel: where the lines lie for each
// angle, spacing, width, supersampling factor and strip offset.

#include "render/background.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/session.h"
#include "tests/metafile/pixel_helpers.h"

namespace render {
namespace {

using namespace metafile::testing;

constexpr std::uint32_t kHatch = 0x3E3EA8;       // 11025982 as a pixel
constexpr std::uint32_t kBackground = 0x80FF80;  // 8454016 as a pixel

struct Drawn {
    metafile::DibSection dib;
    std::vector<int> columns(int y, std::uint32_t colour = kHatch) const {
        std::vector<int> xs;
        for (int x = 0; x < dib.width(); ++x) {
            if (at(dib, x, y) == colour)
                xs.push_back(x);
        }
        return xs;
    }
    std::vector<int> rows(int x, std::uint32_t colour = kHatch) const {
        std::vector<int> ys;
        for (int y = 0; y < dib.height(); ++y) {
            if (at(dib, x, y) == colour)
                ys.push_back(y);
        }
        return ys;
    }
};

// The background of a page rectangle `page` drawn into a w x h strip.
Drawn draw(const app::Session& session, int w, int h, const metafile::RectL& page, int offset = 0,
           int width = -1, int spacing = -1, int angle = -1) {
    Drawn d{whiteBitmap(w, h)};
    metafile::Dc dc(d.dib);
    drawBackground(session, dc, page, offset, width, spacing, angle);
    return d;
}

void hatch(app::Session& s, int factor = 1) {
    s.RenderOptions.lvBkGrHathStyle = 4;
    s.RenderOptions.KodAntialias = factor;
}

TEST(Background, StyleTable) {
    struct Case {
        int style;
        std::uint32_t fill;
        bool lines;
    };
    const Case cases[] = {{100, kWhite, false},     {101, kWhite, false},     {5000, kWhite, false},
                          {99, kBackground, false}, {98, kBackground, false}, {6, kBackground, false},
                          {2, kBackground, false},  {3, kBackground, false},  {0, kBackground, false},
                          {5, kBackground, false},  {-1, kBackground, false}, {4, kBackground, true},
                          {1, kBackground, true}};
    for (const auto& c : cases) {
        app::Session s;
        hatch(s);
        s.RenderOptions.lvBkGrHathStyle = c.style;
        const Drawn d = draw(s, 40, 40, {0, 0, 40, 40});
        EXPECT_EQ(at(d.dib, 4, 3), c.fill) << c.style;
        EXPECT_EQ(countColour(d.dib, kHatch) > 0, c.lines) << c.style;
        EXPECT_EQ(countColour(d.dib, kWhite) + countColour(d.dib, kBackground) + countColour(d.dib, kHatch),
                  1600)
            << c.style << ": nothing but fill and lines";
    }
}

// The background covers the page rectangle and nothing else: a page that
// leaves part of the strip uncovered leaves those pixels as they were.
TEST(Background, OnlyThePageIsPainted) {
    struct Case {
        metafile::RectL page;
        int painted;  // pixels of the 40 x 40 strip inside the page
    };
    const Case cases[] = {
        {{0, 0, 40, 40}, 1600},  {{-5, -5, 45, 45}, 1600}, {{0, 0, 20, 15}, 300},   {{-5, -5, 20, 15}, 300},
        {{10, 10, 40, 40}, 900}, {{10, 10, 60, 60}, 900},  {{0, 10, 40, 40}, 1200}, {{10, 0, 40, 40}, 1200},
    };
    for (const auto& c : cases) {
        app::Session s;
        s.RenderOptions.lvBkGrHathStyle = 0;  // the background colour, no lines
        const Drawn d = draw(s, 40, 40, c.page);
        EXPECT_EQ(countColour(d.dib, kBackground), c.painted)
            << c.page.left << ", " << c.page.top << " - " << c.page.right << ", " << c.page.bottom;
        EXPECT_EQ(countColour(d.dib, kWhite), 1600 - c.painted);
    }
}

TEST(Background, GridAtAngle0IsCentredAndSpaced) {
    // 42 wide, spacing 8: ceil(5.25) - 5.25 = 0.75, off = trunc(0.5 x 8 x 0.75) = 3.
    app::Session s;
    hatch(s);
    const Drawn d = draw(s, 42, 40, {0, 0, 42, 40});
    EXPECT_EQ(d.columns(1), (std::vector<int>{5, 13, 21, 29, 37})) << "x = -3 + 8k";
    EXPECT_EQ(d.rows(1), (std::vector<int>{3, 11, 19, 27, 35})) << "the quarter turn: y = 3 - 8k";
    // A spacing of its own, and the pen width.
    s.RenderOptions.lvHatchDepress = 10;
    s.RenderOptions.lvHatchLnHor = false;
    const Drawn ten = draw(s, 40, 40, {0, 0, 40, 40});
    EXPECT_EQ(ten.columns(0), (std::vector<int>{0, 10, 20, 30}));
    EXPECT_TRUE(ten.rows(1).empty() || ten.rows(1).size() == 40u) << "no horizontal family";
    const Drawn spaced = draw(s, 40, 40, {0, 0, 40, 40}, 0, -1, 13, -1);
    EXPECT_EQ(spaced.columns(0).size(), 4u) << "the spacing argument: 13 apart";
    EXPECT_EQ(spaced.columns(0)[1] - spaced.columns(0)[0], 13);
    const Drawn wide = draw(s, 40, 40, {0, 0, 40, 40}, 0, 3, -1, -1);
    const auto xs = wide.columns(20);
    EXPECT_EQ(xs.size(), 12u) << "lines 3 pixels wide";
    s.RenderOptions.lvHatchWidth = 2;
    EXPECT_EQ(draw(s, 40, 40, {0, 0, 40, 40}).columns(20).size(), 8u) << "the stored width";
}

TEST(Background, OnlyTheChosenFamiliesAreDrawn) {
    struct Case {
        bool vertical, horizontal;
        bool columnLines, rowLines;
    };
    const Case cases[] = {{true, true, true, true},
                          {true, false, true, false},
                          {false, true, false, true},
                          {false, false, false, false}};
    for (const auto& c : cases) {
        app::Session s;
        hatch(s);
        s.RenderOptions.lvHatchLnVert = c.vertical;
        s.RenderOptions.lvHatchLnHor = c.horizontal;
        const Drawn d = draw(s, 40, 40, {0, 0, 40, 40});
        EXPECT_EQ(d.columns(4).size() == 5u || d.columns(4).size() == 40u, c.columnLines)
            << c.vertical << c.horizontal;
        EXPECT_EQ(d.rows(4).size() == 5u || d.rows(4).size() == 40u, c.rowLines)
            << c.vertical << c.horizontal;
    }
}

TEST(Background, Angle90SwapsTheFamilies) {
    app::Session s;
    hatch(s);
    s.RenderOptions.lvHatchAngle = 90;
    s.RenderOptions.lvHatchLnHor = false;  // the first family alone: horizontal at 90
    const Drawn d = draw(s, 40, 40, {0, 0, 40, 40});
    EXPECT_EQ(d.rows(5), (std::vector<int>{0, 8, 16, 24, 32}));
    EXPECT_TRUE(d.columns(5).empty() || d.columns(5).size() == 40u);
    s.RenderOptions.lvHatchLnHor = true;
    s.RenderOptions.lvHatchLnVert = false;  // the second: vertical
    const Drawn v = draw(s, 40, 40, {0, 0, 40, 40});
    // The quarter turn of a non-zero angle goes through cos(pi / 2), a hair
    // above 0, and truncates: 8 k lands on 8 k - 1 for k > 0.
    EXPECT_EQ(v.columns(5), (std::vector<int>{0, 7, 15, 23, 31, 39}));
    // The angle argument wins over the stored one.
    s.RenderOptions.lvHatchAngle = 0;
    const Drawn arg = draw(s, 40, 40, {0, 0, 40, 40}, 0, -1, -1, 90);
    EXPECT_EQ(arg.columns(5), v.columns(5));
}

TEST(Background, ATurnedHatchFollowsItsAngle) {
    // The first family at angle t: the line x = k s turned about the page's
    // corner holds the points with X cos t - Y sin t = k s, so row Y crosses
    // it at X = (k s + Y sin t) / cos t.
    for (int angle : {30, 45, 60}) {
        app::Session s;
        hatch(s);
        s.RenderOptions.lvHatchAngle = angle;
        s.RenderOptions.lvHatchLnHor = false;
        const Drawn d = draw(s, 80, 80, {0, 0, 80, 80});
        const double t = angle * std::numbers::pi / 180;
        for (int y : {0, 17, 40}) {
            const auto xs = d.columns(y);
            ASSERT_FALSE(xs.empty()) << angle << " row " << y;
            int far = 0;
            for (int x : xs) {
                double best = 1e9;
                for (int k = -40; k <= 40; ++k)
                    best = std::min(best, std::abs(x - (8.0 * k + y * std::sin(t)) / std::cos(t)));
                far += best > 1.5;
            }
            EXPECT_EQ(far, 0) << angle << " row " << y;
            EXPECT_GE(xs.size(), static_cast<std::size_t>(80 * std::cos(t) / 8) - 1) << angle << " row " << y;
        }
    }
}

TEST(Background, StripsContinueTheLinesAndTheFactorScalesThem) {
    // A strip whose page rectangle starts 13 rows up shows the page's rows
    // 13 on.
    app::Session s;
    hatch(s);
    const Drawn whole = draw(s, 40, 60, {0, 0, 40, 60});
    const Drawn strip = draw(s, 40, 30, {0, -13, 40, 47}, 13);
    for (int y = 0; y < 30; ++y) EXPECT_EQ(strip.columns(y), whole.columns(y + 13)) << y;
    // Factor 2: everything twice as large on the drawing surface.
    app::Session two;
    hatch(two, 2);
    const Drawn big = draw(two, 80, 80, {0, 0, 80, 80});
    EXPECT_EQ(big.columns(1), (std::vector<int>{0, 16, 32, 48, 64})) << "width 0: the thinnest pen";
    two.RenderOptions.lvHatchWidth = 1;
    EXPECT_EQ(draw(two, 80, 80, {0, 0, 80, 80}).columns(1),
              (std::vector<int>{0, 15, 16, 31, 32, 47, 48, 63, 64, 79}))
        << "width 1: two pixels at factor 2, about the line";
    // In thumbnails and below factor 1 the factor is 1.
    two.ThumbnailMode = true;
    EXPECT_EQ(draw(two, 40, 40, {0, 0, 40, 40}).columns(1), (std::vector<int>{0, 8, 16, 24, 32}));
    app::Session zero;
    hatch(zero, 0);
    EXPECT_EQ(draw(zero, 40, 40, {0, 0, 40, 40}).columns(1), (std::vector<int>{0, 8, 16, 24, 32}));
}

TEST(Background, TheDemonstrationGrid) {
    app::Session s;
    s.DemoMode = true;
    s.RenderOptions.KodAntialias = 1;
    s.RenderOptions.lvBkGrHathStyle = 100;  // ignored
    s.RenderOptions.lvHatchLnVert = false;  // ignored
    const Drawn d = draw(s, 40, 40, {0, 0, 40, 40});
    constexpr std::uint32_t fill = 0xFFEBD4, grid = 0xFFFAE6;
    EXPECT_EQ(at(d.dib, 5, 5), fill);
    EXPECT_EQ(d.columns(5, grid), (std::vector<int>{0, 10, 20, 30}));
    EXPECT_EQ(d.rows(5, grid), (std::vector<int>{0, 10, 20, 30}));
    // Factor 3: a pen three pixels wide, 30 apart; 90 wide centres the grid
    // by the stored spacing (8): off = trunc(0.5 x 8 x (12 - 11.25)) = 3.
    s.RenderOptions.KodAntialias = 3;
    const Drawn three = draw(s, 90, 90, {0, 0, 90, 90});
    EXPECT_EQ(three.columns(5, grid), (std::vector<int>{20, 21, 22, 50, 51, 52, 80, 81, 82}));
}

TEST(Background, WavesOfStyle1ReachEveryStrip) {
    app::Session s;
    hatch(s);
    s.RenderOptions.lvBkGrHathStyle = 1;
    for (int offset : {0, 37, 400}) {
        const Drawn d = draw(s, 200, 40, {0, -offset, 200, 1000 - offset}, offset);
        int rowsWithInk = 0;
        for (int y = 0; y < 40; ++y) rowsWithInk += !d.columns(y).empty();
        EXPECT_GT(rowsWithInk, 30) << "offset " << offset;
    }
}

TEST(Background, TheSecondFamilyOfATurnedHatchIsAQuarterTurnFurther) {
    // The second family is the first turned a further quarter turn: the line
    // x = k s becomes the points with X sin t + Y cos t = -k s, so row Y
    // crosses it at X = -(k s + Y cos t) / sin t.
    for (int angle : {30, 45, 60}) {
        app::Session s;
        hatch(s);
        s.RenderOptions.lvHatchAngle = angle;
        s.RenderOptions.lvHatchLnVert = false;
        const Drawn d = draw(s, 80, 80, {0, 0, 80, 80});
        const double t = angle * std::numbers::pi / 180;
        for (int y : {0, 17, 40, 79}) {
            const auto xs = d.columns(y);
            ASSERT_FALSE(xs.empty()) << angle << " row " << y;
            int far = 0;
            for (int x : xs) {
                double best = 1e9;
                for (int k = -60; k <= 60; ++k)
                    best = std::min(best, std::abs(x + (8.0 * k + y * std::cos(t)) / std::sin(t)));
                far += best > 2.0;  // truncated twice: by each turn
            }
            EXPECT_EQ(far, 0) << angle << " row " << y;
            EXPECT_GE(xs.size(), static_cast<std::size_t>(80 * std::sin(t) / 8) - 1) << angle << " row " << y;
        }
    }
}

// The waves of style 1 against the pattern drawn arc by arc: rows of cubic
// arcs 18 apart from y = 50, each 50 wide from x = -50, drawn twice (the
// second time 25 to the right), scaled by the factor and shifted up by the
// strip's offset.
TEST(Background, WavesOfStyle1AreTheirArcsExactly) {
    struct Case {
        int factor, width;   // KodAntialias, lvHatchWidth
        int pageW, pageH;    // output pixels
        int offset, stripH;  // supersampled rows
    };
    const Case cases[] = {{1, 0, 1200, 160, 0, 160}, {1, 0, 300, 400, 217, 60},    {2, 1, 200, 150, 0, 300},
                          {2, 1, 200, 150, 131, 90}, {3, 100, 120, 300, 450, 180}, {0, 3, 140, 120, 0, 120}};
    for (const auto& c : cases) {
        app::Session s;
        hatch(s, c.factor);
        s.RenderOptions.lvBkGrHathStyle = 1;
        s.RenderOptions.lvHatchWidth = c.width;
        const int f = std::max(c.factor, 1);
        const int w = c.pageW * f, h = c.pageH * f;
        const Drawn d = draw(s, w, c.stripH, {0, -c.offset, w, h - c.offset}, c.offset);

        auto expected = whiteBitmap(w, c.stripH);
        metafile::Dc dc(expected);
        metafile::Brush fill;
        fill.color = metafile::rgb(0x80, 0xFF, 0x80);
        dc.fillRect({0, 0, w, c.stripH}, fill);
        metafile::Pen pen;
        pen.color = metafile::rgb(0x3E, 0x3E, 0xA8);
        pen.width = double(c.width) * f;
        dc.setPen(pen);
        // Every row whose arcs (50 high either way) or pen can reach the strip.
        const int kLo = (c.offset / f - 50 - 64) / 18 - 1,
                  kHi = ((c.offset + c.stripH) / f - 50 + 64) / 18 + 1;
        for (int k = kLo; k <= kHi; ++k) {
            const double y = 18.0 * k + 50;
            for (int shift : {0, 25}) {
                for (int j = -1; j <= 20; ++j) {
                    const double x = 50.0 * j + shift;
                    const metafile::PointD arc[4] = {{x * f, y * f - c.offset},
                                                     {(x + 16) * f, (y + 50) * f - c.offset},
                                                     {(x + 33) * f, (y - 50) * f - c.offset},
                                                     {(x + 50) * f, y * f - c.offset}};
                    dc.polyBezier(arc);
                }
            }
        }
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < c.stripH; ++y) {
            for (int x = 0; x < w; ++x) {
                if (at(d.dib, x, y) != at(expected, x, y) && wrong++ == 0)
                    firstX = x, firstY = y;
            }
        }
        EXPECT_EQ(wrong, 0) << "factor " << c.factor << " offset " << c.offset << ": first at (" << firstX
                            << ", " << firstY << ")";
    }
    // The arcs themselves: each starts on its row's baseline, the last one
    // ends at x = 1075 (its end point left out, as lines leave theirs) and
    // nothing lies right of it.
    app::Session s;
    hatch(s);
    s.RenderOptions.lvBkGrHathStyle = 1;
    const Drawn d = draw(s, 1200, 120, {0, 0, 1200, 120});
    for (int y : {14, 32, 50, 68, 86}) {
        for (int x : {0, 25, 50, 475, 1050})
            EXPECT_EQ(at(d.dib, x, y), kHatch) << "an arc's start at (" << x << ", " << y << ")";
        EXPECT_EQ(at(d.dib, 1075, y - 1), kHatch) << "the last arc's end on row " << y;
    }
    int right = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 1076; x < 1200; ++x) right += at(d.dib, x, y) == kHatch;
    EXPECT_EQ(right, 0) << "the pattern ends at x = 1075";
    for (int x : {1074, 1000}) EXPECT_FALSE(d.rows(x).empty()) << x;
}

}  // namespace
}  // namespace render
