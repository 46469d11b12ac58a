// A wide stroke over a large area is drawn band by band, each band's mask
// only as large as the lines reach within it. Every pixel must be the one
// cairo gives when it strokes the whole path into a single mask: level,
// upright and slanting lines, joins of every kind near and across the
// bands' edges, ends inside the picture and beyond it.

#include <cairo.h>
#include <gtest/gtest.h>

#include <vector>

#include "metafile/canvas.h"

namespace metafile {
namespace {

constexpr int kWidth = 400, kHeight = 300;
constexpr std::uint32_t kBackground = 0x102030, kInk = 0xF0E0D0;

// The whole path stroked by cairo into one mask over the picture, as the
// canvas sets up its masks: no antialiasing, pixel centres on whole
// coordinates.
std::vector<bool> oneMask(const std::vector<Figure>& figures, const StrokeStyle& style) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, 0.5, 0.5);
    cairo_set_line_width(cr, style.width);
    cairo_set_line_cap(cr, style.cap == StrokeStyle::Cap::Round    ? CAIRO_LINE_CAP_ROUND
                           : style.cap == StrokeStyle::Cap::Square ? CAIRO_LINE_CAP_SQUARE
                                                                   : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, style.join == StrokeStyle::Join::Round   ? CAIRO_LINE_JOIN_ROUND
                            : style.join == StrokeStyle::Join::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                     : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, style.miterLimit);
    for (const Figure& f : figures) {
        cairo_move_to(cr, f.points[0].x, f.points[0].y);
        for (std::size_t i = 1; i < f.points.size(); ++i) cairo_line_to(cr, f.points[i].x, f.points[i].y);
        if (f.closed)
            cairo_close_path(cr);
    }
    cairo_stroke(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<bool> covered(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            covered[static_cast<std::size_t>(y) * kWidth + x] = data[y * stride + x] != 0;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return covered;
}

struct Case {
    const char* what;
    std::vector<Figure> figures;
    double width;
    StrokeStyle::Cap cap;
    StrokeStyle::Join join;
};

TEST(WideStrokes, ALargeAreaDrawnInBandsIsWhatOneMaskGives) {
    using Cap = StrokeStyle::Cap;
    using Join = StrokeStyle::Join;
    const Case cases[] = {
        {"a level line across", {{{{-15, 150.3}, {415, 150.3}}, false}}, 7, Cap::Round, Join::Round},
        {"a level line on a band's edge", {{{{-15, 127.5}, {415, 127.5}}, false}}, 9, Cap::Flat, Join::Miter},
        {"level lines at the top and bottom",
         {{{{-15, 1}, {415, 1}}, false}, {{{-15, 298}, {415, 298}}, false}},
         5,
         Cap::Square,
         Join::Miter},
        {"an upright line", {{{{200.25, -10}, {200.25, 310}}, false}}, 4, Cap::Flat, Join::Bevel},
        {"a shallow line", {{{{-10, 100}, {410, 180}}, false}}, 11, Cap::Round, Join::Round},
        {"a steep line ending inside", {{{{120, -10}, {160, 200}}, false}}, 6, Cap::Square, Join::Miter},
        {"a short stub in a band", {{{{50, 60}, {58, 63}}, false}}, 15, Cap::Square, Join::Miter},
        {"a zigzag across the bands",
         {{{{10, 10}, {390, 120}, {10, 135}, {390, 290}}, false}},
         9,
         Cap::Flat,
         Join::Miter},
        {"a sharp miter", {{{{20, 130}, {380, 126}, {20, 122}}, false}}, 5, Cap::Flat, Join::Miter},
        {"a closed triangle", {{{{30, 20}, {370, 140}, {60, 280}}, true}}, 8, Cap::Round, Join::Bevel},
        {"a round-joined hook", {{{{-20, 250}, {300, 129}, {300, 20}}, false}}, 13, Cap::Round, Join::Round},
    };
    for (const Case& c : cases) {
        auto dib = DibSection::create(kWidth, kHeight).value();
        dib.fill(kBackground);
        Canvas canvas(dib);
        StrokeStyle style;
        style.width = c.width;
        style.cap = c.cap;
        style.join = c.join;
        canvas.strokeFigures(c.figures, style, Paint::solid(kInk), nullptr, 13);
        const std::vector<bool> expected = oneMask(c.figures, style);
        int differing = 0, inked = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool drawn = (dib.pixel(x, y) & 0xFFFFFF) == (kInk & 0xFFFFFF);
                inked += drawn ? 1 : 0;
                differing += drawn != expected[static_cast<std::size_t>(y) * kWidth + x] ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 0) << c.what;
        EXPECT_EQ(differing, 0) << c.what;
    }
}

}  // namespace
}  // namespace metafile
