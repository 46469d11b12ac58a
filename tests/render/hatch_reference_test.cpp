// The hatch and the demonstration grid of a strip against a straightforward
// drawing of the same background: every line of the whole page, end to end,
// each on its own (one-pixel lines stepped pixel by pixel, wide lines stroked
// by cairo over the lines' whole area), over angles, widths, spacings,
// factors and strip offsets. The strip's background must not differ in a
// single pixel, wherever the strip lies on the page.

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "app/session.h"
#include "render/background.h"
#include "tests/metafile/pixel_helpers.h"

namespace render {
namespace {

using metafile::PointD;

struct Segment {
    PointD a, b;
};

// Every line of the background's hatch, as the page's lines are laid out:
// family by family, k from -n to n, each line's two ends truncated to
// whole pixels and moved up by the strip offset a.
std::vector<Segment> allLines(const metafile::RectL& r, int f, int s, int n, int off, int angle, int a,
                              bool vertical, bool horizontal) {
    const double t = angle / (180 / std::numbers::pi);
    auto turn = [&](double px, double py) -> PointD {
        if (angle == 0)
            return {f * px, f * py};
        if (angle == 90)
            return {f * py, -f * px};
        return {std::trunc((px * std::cos(t) + py * std::sin(t)) * f),
                std::trunc((py * std::cos(t) - px * std::sin(t)) * f)};
    };
    auto quarter = [&](PointD q) -> PointD {
        if (angle == 0)
            return {q.y, -q.x};
        return {std::trunc(q.x * std::cos(std::numbers::pi / 2) + q.y * std::sin(std::numbers::pi / 2)),
                std::trunc(q.y * std::cos(std::numbers::pi / 2) - q.x * std::sin(std::numbers::pi / 2))};
    };
    std::vector<Segment> lines;
    for (int k = -n; k <= n; ++k) {
        const double x = double(r.left) - off + double(k) * s;
        const PointD p0 = turn(x, double(r.top) - n), p1 = turn(x, double(r.bottom) + n);
        if (vertical)
            lines.push_back({{p0.x, p0.y - a}, {p1.x, p1.y - a}});
        if (horizontal) {
            const PointD q0 = quarter(p0), q1 = quarter(p1);
            lines.push_back({{q0.x, q0.y - a}, {q1.x, q1.y - a}});
        }
    }
    return lines;
}

std::int64_t roundDiv(std::int64_t a, std::int64_t b) {  // halves up, b > 0
    const std::int64_t num = 2 * a + b, den = 2 * b;
    std::int64_t q = num / den;
    if (num % den != 0 && num < 0)
        --q;
    return q;
}

// A one-pixel line: every step of the major axis from the first end, the
// minor coordinate rounded, the last end left out.
void thinLine(metafile::DibSection& dib, Segment line, std::uint32_t colour) {
    const auto ax = static_cast<std::int64_t>(line.a.x), ay = static_cast<std::int64_t>(line.a.y);
    const std::int64_t dx = static_cast<std::int64_t>(line.b.x) - ax,
                       dy = static_cast<std::int64_t>(line.b.y) - ay;
    const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    // A line whose box misses the bitmap puts no pixel on it.
    if (std::max(line.a.x, line.b.x) < 0 || std::min(line.a.x, line.b.x) >= dib.width() ||
        std::max(line.a.y, line.b.y) < 0 || std::min(line.a.y, line.b.y) >= dib.height() || n == 0)
        return;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t x = xMajor ? ax + (dx > 0 ? i : -i) : ax + roundDiv(i * dx, n);
        const std::int64_t y = xMajor ? ay + roundDiv(i * dy, n) : ay + (dy > 0 ? i : -i);
        if (x >= 0 && y >= 0 && x < dib.width() && y < dib.height())
            dib.row(static_cast<int>(y))[x] = colour;
    }
}

// Liang-Barsky: the part of segment a-b inside the rectangle.
bool clipSegment(PointD& a, PointD& b, double x1, double y1, double x2, double y2) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - x1, x2 - a.x, a.y - y1, y2 - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const PointD start{a.x + t0 * dx, a.y + t0 * dy};
    b = PointD{a.x + t1 * dx, a.y + t1 * dy};
    a = start;
    return true;
}

// A wide line with round ends: cairo strokes it, without antialiasing and
// with pixel centres on whole coordinates, into one mask over the line's box
// grown by the pen's miter margin (within the bitmap), the line first cut to
// that area grown once more; the covered pixels take the colour.
void wideLine(metafile::DibSection& dib, Segment line, double width, std::uint32_t colour) {
    const double margin = width * 10 + 2;
    const double x1 = std::max(0.0, std::floor(std::min(line.a.x, line.b.x) - margin));
    const double y1 = std::max(0.0, std::floor(std::min(line.a.y, line.b.y) - margin));
    const double x2 = std::min(double(dib.width()), std::ceil(std::max(line.a.x, line.b.x) + margin) + 1);
    const double y2 = std::min(double(dib.height()), std::ceil(std::max(line.a.y, line.b.y) + margin) + 1);
    if (x1 >= x2 || y1 >= y2)
        return;
    const int w = static_cast<int>(x2 - x1), h = static_cast<int>(y2 - y1);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -x1 + 0.5, -y1 + 0.5);
    cairo_set_line_width(cr, std::max(width, 1.0));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_miter_limit(cr, 10);
    const double cx1 = x1 - margin, cy1 = y1 - margin, cx2 = x1 + w + margin, cy2 = y1 + h + margin;
    auto inside = [&](PointD p) { return p.x >= cx1 && p.x <= cx2 && p.y >= cy1 && p.y <= cy2; };
    PointD a = line.a, b = line.b;
    if (inside(a) && inside(b) ? true : clipSegment(a, b, cx1, cy1, cx2, cy2)) {
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_stroke(cr);
    }
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (data[y * stride + x] != 0)
                dib.row(static_cast<int>(y1) + y)[static_cast<int>(x1) + x] = colour;
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

struct Hatch {
    int factor, width, spacing, angle, offset;
    bool vertical = true, horizontal = true;
    bool demo = false;
};

// The page is `columns` x `rows` supersampled pixels; the strip is
// `stripHeight` rows from `offset` down.
constexpr int kColumns = 420, kRows = 900, kStripHeight = 180;

metafile::DibSection reference(const Hatch& h) {
    auto dib = metafile::DibSection::create(kColumns, kStripHeight).value();
    const metafile::RectL page{0, -h.offset, kColumns, kRows - h.offset};
    const int f = h.factor;
    const double rw = kColumns, rh = kRows;
    const int n = static_cast<int>(std::trunc(std::sqrt(rw * rw + rh * rh) * f + 5));
    const int depress = h.demo ? 8 : std::max(h.spacing, 1);
    const int off = static_cast<int>(std::trunc(0.5 * depress * (std::ceil(rw / depress) - rw / depress)));
    const std::uint32_t fill = h.demo ? 0xFFEBD4 : 0x80FF80, ink = h.demo ? 0xFFFAE6 : 0x3E3EA8;
    dib.fill(fill);
    const double penWidth = h.demo ? f : double(h.width) * f;
    const auto lines = h.demo ? allLines(page, f, 10, n, off, 0, h.offset, true, true)
                              : allLines(page, f, std::max(h.spacing, 1), n, off, h.angle, h.offset,
                                         h.vertical, h.horizontal);
    for (const Segment& line : lines) {
        if (std::floor(std::max(penWidth, 1.0) + 0.5) <= 1)
            thinLine(dib, line, ink);
        else
            wideLine(dib, line, penWidth, ink);
    }
    return dib;
}

// The session whose background is the hatch (or the grid) of `h`.
void setHatch(app::Session& s, const Hatch& h) {
    s.RenderOptions.KodAntialias = h.factor;
    s.RenderOptions.lvBkGrHathStyle = 4;
    s.RenderOptions.lvHatchWidth = h.width;
    s.RenderOptions.lvHatchDepress = h.demo ? 8 : h.spacing;
    s.RenderOptions.lvHatchAngle = h.angle;
    s.RenderOptions.lvHatchLnVert = h.vertical;
    s.RenderOptions.lvHatchLnHor = h.horizontal;
    s.DemoMode = h.demo;
}

metafile::DibSection drawn(const Hatch& h) {
    app::Session s;
    setHatch(s, h);
    auto dib = metafile::DibSection::create(kColumns, kStripHeight).value();
    dib.fill(0x123456);  // what an earlier strip left: every pixel is painted again
    metafile::Dc dc(dib);
    drawBackground(s, dc, {0, -h.offset, kColumns, kRows - h.offset}, h.offset, -1, -1, -1);
    return dib;
}

TEST(HatchAgainstReference, EveryPixelOfTheStripAsTheWholePageDrawsIt) {
    const Hatch cases[] = {
        // factor, width, spacing, angle, strip offset
        {1, 0, 8, 0, 0},
        {3, 0, 8, 0, 288},
        {2, 0, 8, 90, 144},
        {3, 0, 3, 30, 432},
        {1, 0, 1, 45, 600},
        {3, 0, 8, 60, 144},
        {2, 0, 5, 89, 288},
        {3, 0, 2, 15, 720},
        {1, 1, 4, 20, 0},
        {3, 1, 8, 75, 288},
        {2, 2, 6, 45, 432},
        {3, 3, 8, 60, 144},
        {1, 5, 20, 75, 600},
        {3, 2, 3, 10, 720},
        {2, 10, 20, 0, 288},
        {3, 4, 12, 90, 432},
        {1, 3, 10, 33, 99},
        {2, 0, 7, 52, 51},
        {3, 2, 9, 80, 303},
        // Wide lines of one family overlapping or close together, at the
        // strip's edges and across its bands.
        {2, 4, 5, 37, 170},
        {3, 6, 10, 53, 399},
        {1, 8, 9, 85, 555},
        {3, 2, 2, 0, 17},
        {2, 5, 7, 90, 61},
        {1, 2, 3, 45, 0},
        {3, 3, 4, 22, 450},
        {2, 12, 6, 67, 129},
        {3, 0, 8, 30, 144, true, false},
        {2, 3, 8, 60, 288, false, true},
        {1, 0, 0, 0, 0, true, true, true},
        {3, 0, 0, 0, 288, true, true, true},
        {2, 0, 0, 0, 51, true, true, true},
    };
    for (const Hatch& h : cases) {
        const auto expected = reference(h);
        const auto actual = drawn(h);
        int differing = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < kStripHeight; ++y) {
            for (int x = 0; x < kColumns; ++x) {
                if ((actual.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF)) {
                    if (differing++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
                }
            }
        }
        EXPECT_EQ(differing, 0) << "factor " << h.factor << " width " << h.width << " spacing " << h.spacing
                                << " angle " << h.angle << " offset " << h.offset << (h.demo ? " (grid)" : "")
                                << ": first at " << firstX << "," << firstY;
    }
}

// The strip drawn in bands (rows [first, first + rows) of it each), as the
// page renderer draws a large strip: each band draws only the lines that
// reach its rows, and its rows are those of the reference, on the bands'
// edges too.
metafile::DibSection drawnBand(const Hatch& h, int first, int rows) {
    app::Session s;
    setHatch(s, h);
    auto dib = metafile::DibSection::create(1, 1).value();
    EXPECT_TRUE(dib.reshapeBand(kColumns, rows, first, kStripHeight));
    dib.fill(0x123456);
    metafile::Dc dc(dib);
    drawBackground(s, dc, {0, -h.offset, kColumns, kRows - h.offset}, h.offset, -1, -1, -1);
    return dib;
}

TEST(HatchAgainstReference, EveryPixelOfABandAsTheWholePageDrawsIt) {
    const Hatch cases[] = {
        // factor, width, spacing, angle, strip offset
        {1, 0, 8, 0, 0},     {3, 0, 3, 30, 432},  {2, 0, 5, 89, 288},
        {3, 0, 2, 15, 720},  {1, 0, 1, 45, 600},  {3, 3, 8, 60, 144},
        {2, 10, 20, 0, 288}, {3, 4, 12, 90, 432}, {2, 4, 5, 37, 170},
        {3, 6, 10, 53, 399}, {1, 8, 9, 85, 555},  {3, 2, 2, 0, 17},
        {2, 5, 7, 90, 61},   {2, 12, 6, 67, 129}, {1, 3, 10, 33, 99},
        {3, 2, 9, 80, 303},  {2, 3, 8, 1, 288},   {3, 5, 9, 179, 51},
        {2, 7, 11, 91, 400}, {3, 0, 4, 2, 33},    {1, 0, 0, 0, 0, true, true, true},
    };
    // In this order: bands that follow one another in the strip (the lines
    // held for the first go on), a jump forward, and bands drawn again or
    // out of order (the lines are held afresh).
    const int splits[][2] = {{0, 7}, {7, 1}, {40, 60}, {100, 80}, {179, 1}, {40, 60}, {0, 7}, {7, 33}};
    for (const Hatch& h : cases) {
        const auto expected = reference(h);
        for (const auto& split : splits) {
            const auto band = drawnBand(h, split[0], split[1]);
            int differing = 0, firstX = -1, firstY = -1;
            for (int y = split[0]; y < split[0] + split[1]; ++y) {
                for (int x = 0; x < kColumns; ++x) {
                    if ((band.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF) &&
                        differing++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
                }
            }
            EXPECT_EQ(differing, 0) << "factor " << h.factor << " width " << h.width << " spacing "
                                    << h.spacing << " angle " << h.angle << " offset " << h.offset
                                    << (h.demo ? " (grid)" : "") << ", band of " << split[1] << " rows from "
                                    << split[0] << ": first at " << firstX << "," << firstY;
        }
    }
}

}  // namespace
}  // namespace render
