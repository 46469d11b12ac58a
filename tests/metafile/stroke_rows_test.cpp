// The rows of a stroked segment told without a mask, against cairo's own
// mask of the same stroke: every pixel, over long lines at every slope
// (level and upright ones included), widths, caps, joins, ends beside the
// box on every hand and boxes of every shape.

#include "metafile/stroke_rows.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace metafile {
namespace {

// cairo's mask of the stroke, drawn as the canvas draws its masks.
std::vector<RowSpan> cairoRows(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, box.w, box.h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -box.x + 0.5, -box.y + 0.5);
    cairo_set_line_width(cr, std::max(style.width, 1.0));
    cairo_set_line_cap(cr, style.cap == StrokeStyle::Cap::Round    ? CAIRO_LINE_CAP_ROUND
                           : style.cap == StrokeStyle::Cap::Square ? CAIRO_LINE_CAP_SQUARE
                                                                   : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, style.join == StrokeStyle::Join::Round   ? CAIRO_LINE_JOIN_ROUND
                            : style.join == StrokeStyle::Join::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                     : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, std::max(style.miterLimit, 1.0));
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_stroke(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<RowSpan> rows(static_cast<std::size_t>(box.h));
    for (int y = 0; y < box.h; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        int x = 0;
        while (x < box.w && row[x] == 0) ++x;
        const int start = x;
        while (x < box.w && row[x] != 0) ++x;
        rows[static_cast<std::size_t>(y)] = RowSpan{start, x};
        // A straight stroke covers one run a row.
        while (x < box.w && row[x] == 0) ++x;
        EXPECT_EQ(x, box.w) << "a second run in row " << y;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return rows;
}

struct Outcome {
    int told = 0, left = 0;
};

// Compares the two for one stroke; a stroke not told is counted, not
// compared.
void compare(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style, Outcome& outcome,
             const std::string& what) {
    std::vector<RowSpan> told;
    if (!strokedSegmentRows(box, a, b, style, told)) {
        ++outcome.left;
        return;
    }
    ++outcome.told;
    const auto expected = cairoRows(box, a, b, style);
    ASSERT_EQ(told.size(), expected.size());
    for (std::size_t y = 0; y < told.size(); ++y) {
        const RowSpan t = told[y], e = expected[y];
        const bool tEmpty = t.x1 >= t.x2, eEmpty = e.x1 >= e.x2;
        if (tEmpty && eEmpty)
            continue;
        ASSERT_TRUE(!tEmpty && !eEmpty && t.x1 == e.x1 && t.x2 == e.x2)
            << what << ": row " << y << " told [" << t.x1 << ", " << t.x2 << ") cairo [" << e.x1 << ", "
            << e.x2 << ")";
    }
}

std::string describe(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style) {
    char text[256];
    std::snprintf(text, sizeof text, "box %d,%d %dx%d, (%.17g, %.17g)-(%.17g, %.17g) width %g cap %d join %d",
                  box.x, box.y, box.w, box.h, a.x, a.y, b.x, b.y, style.width, static_cast<int>(style.cap),
                  static_cast<int>(style.join));
    return text;
}

// Segments through a box, at angles all round, their ends far beyond it on
// every hand or just beyond its edges, whole or fractional; widths from two
// to sixty pixels.
TEST(StrokedSegmentRows, EveryPixelAsCairoMasksIt) {
    std::mt19937 random(20261210);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    Outcome outcome;
    for (int i = 0; i < 20000 && !::testing::Test::HasFatalFailure(); ++i) {
        MaskBox box;
        box.x = pick(3000) - 500;
        box.y = pick(3000) - 500;
        box.w = 1 + pick(i % 3 == 0 ? 40 : 400);
        box.h = 1 + pick(i % 4 == 0 ? 8 : 160);
        StrokeStyle style;
        const int widths[] = {2, 3, 4, 5, 7, 10, 14, 21, 30, 60};
        style.width = widths[pick(10)];
        if (i % 7 == 0)
            style.width += uniform(0, 1);
        style.cap = static_cast<StrokeStyle::Cap>(pick(3));
        style.join = static_cast<StrokeStyle::Join>(pick(3));
        // A line through a point near the box at an angle: level, upright,
        // close to either, or any.
        const double cx = box.x + uniform(-40, box.w + 40), cy = box.y + uniform(-40, box.h + 40);
        double angle = uniform(0, std::numbers::pi);
        switch (pick(8)) {
            case 0:
                angle = 0;
                break;
            case 1:
                angle = std::numbers::pi / 2;
                break;
            case 2:
                angle = uniform(-0.01, 0.01);
                break;
            case 3:
                angle = std::numbers::pi / 2 + uniform(-0.01, 0.01);
                break;
            case 4:
                // Off upright by a pixel or less over the whole length.
                angle = std::numbers::pi / 2 + uniform(-2e-5, 2e-5);
                break;
            case 5:
                angle = uniform(-2e-5, 2e-5);
                break;
            default:
                break;
        }
        // Its ends: far away, or just beyond the box on some hand.
        const double ux = std::cos(angle), uy = std::sin(angle);
        auto end = [&](double sign) {
            const double far = pick(3) == 0 ? uniform(1e4, 4e5) : uniform(0, 3 * (box.w + box.h) + 200);
            PointD p{cx + sign * far * ux, cy + sign * far * uy};
            if (pick(2) == 0) {
                p.x = std::round(p.x);
                p.y = std::round(p.y);
            }
            return p;
        };
        PointD a = end(-1), b = end(1);
        // Drawn either way along the line (its sides then swap hands).
        if (i % 2 == 1)
            std::swap(a, b);
        compare(box, a, b, style, outcome, describe(box, a, b, style));
    }
    // Most of these strokes are told; the rest (an end on the box or near
    // it) are left to cairo.
    EXPECT_GT(outcome.told, 10000) << outcome.left << " left";
}

// Strokes whose ends lie on the box or too near it, a dot, and dashes are
// not told.
TEST(StrokedSegmentRows, StrokesWhoseEndsShowAreLeftToCairo) {
    const MaskBox box{100, 200, 300, 50};
    StrokeStyle pen;
    pen.width = 6;
    StrokeStyle dashed = pen;
    dashed.dashes = {6, 6};
    struct Case {
        const char* what;
        PointD a, b;
        const StrokeStyle* style;
    };
    const Case cases[] = {
        {"an end inside", {150, 220}, {150, 900}, &pen},
        {"an end just above the top row", {150, 198}, {150, 900}, &pen},
        {"an end left of the box, across its top row", {50, 200}, {900, 240}, &pen},
        {"a dot", {50, 50}, {50, 50}, &pen},
        {"dashes", {150, -900}, {150, 900}, &dashed},
    };
    for (const Case& c : cases) {
        std::vector<RowSpan> rows;
        EXPECT_FALSE(strokedSegmentRows(box, c.a, c.b, *c.style, rows)) << c.what;
    }
    // And one far across it is.
    std::vector<RowSpan> rows;
    EXPECT_TRUE(strokedSegmentRows(box, {150, -900}, {170, 900}, pen, rows));
}

}  // namespace
}  // namespace metafile
