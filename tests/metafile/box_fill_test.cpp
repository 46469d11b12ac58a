// A rectangle with its sides along the axes is filled row by row, without a
// mask. Every pixel must be the one the mask gives: sides on whole pixels,
// on halves, a 1/256 either side of a half, between, beyond the picture and
// across a band's edges, both turns of the corners, the closing point given
// again or not, solid and patterned paint, raster operations and a clip.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/region.h"

namespace metafile {
namespace {

constexpr int kWidth = 90, kHeight = 70;
constexpr std::uint32_t kBackground = 0x5A3C1E;

struct Fill {
    Paint paint;
    int rop2 = 13;
    const Region* clip = nullptr;
};

// The picture after `figures` is filled on rows [first, first + rows) (the
// whole picture when rows is 0).
std::vector<std::uint32_t> filled(const std::vector<Figure>& figures, const Fill& f, int first = 0,
                                  int rows = 0) {
    auto dib = DibSection::create(kWidth, kHeight).value();
    if (rows > 0) {
        EXPECT_TRUE(dib.reshapeBand(kWidth, rows, first, kHeight));
    }
    dib.fill(kBackground);
    Canvas canvas(dib);
    canvas.fillFigures(figures, true, f.paint, f.clip, f.rop2);
    return {dib.pixels().begin(), dib.pixels().end()};
}

// The same rectangle as two figures, the second empty: not a lone
// rectangle, so it is drawn through a mask; the empty figure adds nothing.
std::vector<Figure> throughMask(std::vector<Figure> figures) {
    figures.push_back(Figure{});
    return figures;
}

Figure rectangle(double x1, double y1, double x2, double y2, bool down, bool closing) {
    Figure f;
    f.closed = true;
    f.points = down ? std::vector<PointD>{{x1, y1}, {x1, y2}, {x2, y2}, {x2, y1}}
                    : std::vector<PointD>{{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
    if (closing)
        f.points.push_back(f.points.front());
    return f;
}

TEST(BoxFill, EachPixelIsTheMasksWhereverTheSidesFall) {
    // Sides near the pixel edges the rounding turns on, in 1/256 steps, and
    // anywhere else.
    static constexpr double kFractions[] = {
        0, 0.5, 0.5 - 1.0 / 256, 0.5 + 1.0 / 256, 0.25, 1.0 / 512, 0.5 - 1.0 / 512, 0.999, 0.37};
    const Region clip = Region::fromRect(7, 5, 61, 48);
    const Fill fills[] = {{Paint::solid(0xC0FFEE), 13, nullptr},
                          {Paint::solid(0x00FF00), 7, nullptr},  // R2_XORPEN
                          {Paint::solid(0x123456), 13, &clip}};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> place(-20, kWidth + 20), fraction(0, std::size(kFractions) - 1);
    int boxes = 0;
    for (int i = 0; i < 600; ++i) {
        auto at = [&] { return place(random) + kFractions[fraction(random)] * (random() % 2 ? 1 : -1); };
        const double x1 = at(), y1 = at() * kHeight / kWidth, x2 = at(), y2 = at() * kHeight / kWidth;
        const std::vector<Figure> figures{rectangle(x1, y1, x2, y2, i % 2 == 1, i % 3 == 0)};
        const Fill& f = fills[i % std::size(fills)];
        const auto expected = filled(throughMask(figures), f);
        EXPECT_EQ(filled(figures, f), expected)
            << "(" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << ")";
        boxes += expected != filled({}, f) ? 1 : 0;
    }
    EXPECT_GT(boxes, 200);  // most of them cover pixels
}

TEST(BoxFill, SidesFarBeyondThePictureAreCutAsTheMasksAre) {
    const Fill f{Paint::solid(0xFFFFFF), 13, nullptr};
    const double far[][4] = {{-1e15, -1e15, 1e15, 1e15},  {-1e9, 20.5, 1e9, 30.5}, {40.5, -3e12, 50.5, 9e11},
                             {-1e15, -1e15, -1e14, 1e15}, {1e300, 10, -1e300, 20}, {5, 1e200, 60, 1e201}};
    for (const auto& r : far) {
        const std::vector<Figure> figures{rectangle(r[0], r[1], r[2], r[3], false, true)};
        EXPECT_EQ(filled(figures, f), filled(throughMask(figures), f)) << r[0] << " " << r[1];
    }
}

TEST(BoxFill, BandsHoldTheWholePicturesRows) {
    const std::vector<Figure> figures{rectangle(3.5, 10.5, 80.25, 60.5 + 1.0 / 256, false, false)};
    const Fill f{Paint::solid(0xFFFFFF), 13, nullptr};
    const auto whole = filled(figures, f);
    for (const auto& [first, rows] : {std::pair{0, 11}, {10, 1}, {11, 25}, {36, 25}, {60, 10}}) {
        const auto band = filled(figures, f, first, rows);
        const std::vector<std::uint32_t> expected(whole.begin() + first * kWidth,
                                                  whole.begin() + (first + rows) * kWidth);
        EXPECT_EQ(band, expected) << "rows " << first << " to " << first + rows;
    }
}

TEST(BoxFill, FiguresThatAreNotOneUprightRectangleAreDrawnAsBefore) {
    const Fill f{Paint::solid(0x808080), 13, nullptr};
    const std::vector<std::vector<Figure>> cases = {
        {Figure{{{10, 10}, {40, 12}, {40, 40}, {10, 40}}, true}},            // one side slants
        {Figure{{{10, 10}, {40, 10}, {40, 40}, {10, 40}, {12, 12}}, true}},  // a fifth corner
        {Figure{{{10, 10}, {40, 10}, {40, 40}, {12, 40}}, true}},            // the last corner off
        {Figure{{{10, 10}, {10, 40}, {40, 40}, {40, 12}}, true}},            // the same, turned
        {Figure{{{10, 10}, {40, 10}, {40, 40}}, true}},                      // a triangle
        {rectangle(5, 5, 30, 30, false, false), rectangle(20, 20, 50, 50, true, false)},
    };
    for (const auto& figures : cases) {
        EXPECT_EQ(filled(figures, f), filled(throughMask(figures), f));
        EXPECT_NE(filled(figures, f), filled({}, f));
    }
}

}  // namespace
}  // namespace metafile
