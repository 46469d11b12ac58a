#include "render/background.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/session.h"
#include "render/box_average.h"

namespace render {
namespace {

using metafile::PointD;

// The hatch lines numbered k in [-n, n], x = r.left - off + k s before the
// turn: only those that can reach the pixels the bitmap holds (the strip's,
// or one band's rows of it) are drawn. Turned by t and scaled by f, line k
// is the set of points P with P.x cos t - P.y sin t = f x, and its quarter
// turn the set with -Q.y cos t - Q.x sin t = f x. Every point is truncated
// to whole pixels on the way (off by less than two pixels) and the pen
// reaches `reach` pixels beyond the line, so a line whose value lies more
// than that outside the values over the held rows' corners leaves them
// untouched and is skipped; the others are drawn exactly as before, from end
// to end, and the device draws only their part inside the held rows.
struct LineRange {
    int first = 0, last = -1;
};

LineRange crossingLines(const metafile::RectL& r, int f, int s, int n, int off, double cosT, double sinT,
                        bool quarter, int stripTop, int width, int rowsBegin, int rowsEnd, double reach) {
    // The held rows' corners before the strip offset is taken off.
    const double xs[2] = {0.0, double(width)},
                 ys[2] = {double(stripTop) + rowsBegin, double(stripTop) + rowsEnd};
    double lo = 1e300, hi = -1e300;
    for (double x : xs) {
        for (double y : ys) {
            const double u = quarter ? -y * cosT - x * sinT : x * cosT - y * sinT;
            lo = std::min(lo, u);
            hi = std::max(hi, u);
        }
    }
    const double margin = reach + 4;
    const double base = double(r.left) - off;
    const double kLo = std::ceil(((lo - margin) / f - base) / s),
                 kHi = std::floor(((hi + margin) / f - base) / s);
    LineRange range;
    range.first = static_cast<int>(std::max<double>(kLo, -n));
    range.last = static_cast<int>(std::min<double>(kHi, n));
    return range;
}

// One family of hatch lines, and the other family turned a quarter turn.
void drawHatch(metafile::Dc& dc, const metafile::RectL& r, int f, int s, int n, int off, int angle, int a,
               bool vertical, bool horizontal, double reach) {
    const double t = angle / (180 / std::numbers::pi);
    const double cosine = std::cos(t), sine = std::sin(t);
    const double cosQuarter = std::cos(std::numbers::pi / 2), sinQuarter = std::sin(std::numbers::pi / 2);
    auto turn = [&](double px, double py) -> PointD {
        if (angle == 0)
            return {f * px, f * py};
        if (angle == 90)
            return {f * py, -f * px};
        return {std::trunc((px * cosine + py * sine) * f), std::trunc((py * cosine - px * sine) * f)};
    };
    auto quarter = [&](PointD q) -> PointD {
        if (angle == 0)
            return {q.y, -q.x};
        return {std::trunc(q.x * cosQuarter + q.y * sinQuarter),
                std::trunc(q.y * cosQuarter - q.x * sinQuarter)};
    };
    // The exact directions of the special angles, as turn takes them.
    const double cosT = angle == 0 ? 1 : angle == 90 ? 0 : cosine;
    const double sinT = angle == 0 ? 0 : angle == 90 ? 1 : sine;
    const int width = dc.canvas().width();
    const int rowsBegin = dc.canvas().rowsBegin(), rowsEnd = dc.canvas().rowsEnd();
    auto line = [&](int k, bool turned) {
        const double x = double(r.left) - off + double(k) * s;
        PointD p0 = turn(x, double(r.top) - n), p1 = turn(x, double(r.bottom) + n);
        if (turned) {
            p0 = quarter(p0);
            p1 = quarter(p1);
        }
        dc.moveTo({p0.x, p0.y - a});
        dc.lineTo({p1.x, p1.y - a});
    };
    // One family after the other: both are drawn with the same pen, copied,
    // so the order of the lines does not change a pixel.
    if (vertical) {
        const LineRange v =
            crossingLines(r, f, s, n, off, cosT, sinT, false, a, width, rowsBegin, rowsEnd, reach);
        for (int k = v.first; k <= v.last; ++k) line(k, false);
    }
    if (horizontal) {
        const LineRange h =
            crossingLines(r, f, s, n, off, cosT, sinT, true, a, width, rowsBegin, rowsEnd, reach);
        for (int k = h.first; k <= h.last; ++k) line(k, true);
    }
}

// Whether FillRect of the page puts its colour on every pixel of the strip:
// the page rectangle covers the bitmap, unclipped and untransformed.
bool fillsEveryPixel(metafile::Dc& dc, const metafile::RectL& page) {
    const metafile::DibSection& dib = dc.canvas().dib();
    return page.left <= 0 && page.top <= 0 && page.right >= dib.width() && page.bottom >= dib.height() &&
           dc.effectiveClip() == nullptr && dc.transform() == metafile::Matrix{};
}

// The whole strip in one colour, as FillRect of the page gives it.
void fillStrip(metafile::Dc& dc, const metafile::RectL& page, std::uint32_t colorRef) {
    metafile::DibSection& dib = dc.canvas().dib();
    if (fillsEveryPixel(dc, page)) {
        metafile::fillPixels(dib.pixels().data(), dib.pixels().size(),
                             metafile::pixelOf(colorRef) & 0x00FFFFFFu);
        return;
    }
    metafile::Brush fill;
    fill.color = colorRef;
    dc.fillRect(page, fill);
}

// What decides the lines a background holds over a strip, beside the
// strip's rows: the page, the resolution, the hatch, the pen and colours.
struct LinesKey {
    metafile::RectL page{};
    std::int64_t numbers[9] = {};  // f, s, n, off, angle, a, vertical, horizontal, demo
    double penWidth = 0;
    std::uint32_t penColor = 0, background = 0;
    int width = 0, height = 0;
    bool operator==(const LinesKey&) const = default;
};

// The lines held over the rest of a strip, kept from one band to the next
// on this thread: the page renderer draws a strip's bands one after the
// other, and each band needs the same lines.
struct HeldStrip {
    LinesKey key;
    metafile::HeldLines held;
    bool valid = false;
};

// The strip in one colour with the lines drawn over it by `lines`.
// One-pixel lines over a colour that covers every pixel are held first and
// then each row is written once: its colour, then the pixels of all the
// lines in it, the lines walked together row by row (a shallow line's run a
// row at once, the steep lines' steps a few vector instructions for them
// all) while the row is in the processor's cache, instead of each line's
// pixels one by one over the whole band after the fill. The pixels are
// those of the fill and the lines drawn after it. Wide lines are held the
// same way, as the walks of their two sides. The lines are held once for
// the band's rows and the rest of its strip, and the next band of the
// strip, with the same key, goes on drawing them.
template <typename Lines>
void fillUnderLines(metafile::Dc& dc, const metafile::RectL& page, std::uint32_t colorRef, LinesKey key,
                    Lines lines) {
    if (!fillsEveryPixel(dc, page)) {
        fillStrip(dc, page, colorRef);
        lines();
        return;
    }
    metafile::Canvas& canvas = dc.canvas();
    metafile::DibSection& dib = canvas.dib();
    key.width = dib.width();
    key.height = dib.height();
    key.background = colorRef;
    thread_local HeldStrip strip;
    metafile::HeldLines& held = strip.held;
    const int first = canvas.rowsBegin(), end = canvas.rowsEnd();
    if (!strip.valid || !(strip.key == key) || held.nextRow() != first || end > held.endRow()) {
        strip.valid = false;
        held.begin(first, std::max(end, dib.height()), canvas.width());
        canvas.holdLines(&held);
        lines();
        canvas.holdLines(nullptr);
        if (held.refused()) {
            fillStrip(dc, page, colorRef);
            lines();
            return;
        }
        strip.key = key;
        strip.valid = true;
    }
    const std::uint32_t background = metafile::pixelOf(colorRef) & 0x00FFFFFFu;
    const auto width = static_cast<std::size_t>(dib.width());
    held.drawUntil(end, [&](int y) {
        std::uint32_t* row = dib.row(y);
        metafile::fillPixels(row, width, background);
        return row;
    });
}

}  // namespace

void drawBackground(const app::Session& session, metafile::Dc& dc, const metafile::RectL& page,
                    int stripOffset, int width, int spacing, int angle) {
    const auto& o = session.RenderOptions;
    const int f = (o.KodAntialias < 1 || session.ThumbnailMode) ? 1 : o.KodAntialias;
    const double rw = double(page.right) - page.left, rh = double(page.bottom) - page.top;
    const int n = static_cast<int>(std::trunc(std::sqrt(rw * rw + rh * rh) * f + 5));
    const int s = std::max(spacing < 0 ? o.lvHatchDepress : spacing, 1);
    const int depress = std::max(o.lvHatchDepress, 1);
    const int off = static_cast<int>(std::trunc(0.5 * depress * (std::ceil(rw / depress) - rw / depress)));
    const int w = width < 0 ? o.lvHatchWidth : width;
    const int hatchAngle = angle < 0 ? o.lvHatchAngle : angle;

    const int saved = dc.saveDc();
    if (session.DemoMode) {
        metafile::Pen grid;
        grid.color = metafile::rgb(255, 250, 230);
        grid.width = f;
        dc.setPen(grid);
        const LinesKey key{page, {f, 10, n, off, 0, stripOffset, 1, 1, 1}, grid.width, grid.color};
        fillUnderLines(dc, page, metafile::rgb(255, 235, 212), key,
                       [&] { drawHatch(dc, page, f, 10, n, off, 0, stripOffset, true, true, f + 2.0); });
        dc.restoreDc(saved);
        return;
    }
    const int style = o.lvBkGrHathStyle;
    if (style >= 100 && style != 99) {
        fillStrip(dc, page, metafile::rgb(255, 255, 255));
    } else {
        metafile::Pen pen;
        pen.color = o.lvHatchColor & 0xFFFFFF;
        pen.width = double(w) * f;
        dc.setPen(pen);
        if (style == 4) {
            const LinesKey key{page,
                               {f, s, n, off, hatchAngle, stripOffset, o.lvHatchLnVert, o.lvHatchLnHor, 0},
                               pen.width,
                               pen.color};
            fillUnderLines(dc, page, o.lvCurBkGrColor & 0xFFFFFF, key, [&] {
                drawHatch(dc, page, f, s, n, off, hatchAngle, stripOffset, o.lvHatchLnVert, o.lvHatchLnHor,
                          std::max(pen.width, 1.0) + 2);
            });
        } else {
            fillStrip(dc, page, o.lvCurBkGrColor & 0xFFFFFF);
        }
        if (style == 1) {
            // Rows of waves: the third legacy pattern.
            // Only the rows that reach this strip.
            const int height = dc.canvas().height();
            const int kFirst =
                std::max(-n, static_cast<int>(std::floor((double(stripOffset) / f - 100) / 18)) - 1);
            const int kLast =
                std::min(n, static_cast<int>(std::ceil((double(stripOffset + height) / f) / 18)) + 1);
            for (int k = kFirst; k <= kLast; ++k) {
                const double y = 18.0 * k + 50;
                for (int shift : {0, 25}) {
                    for (int j = -1; j <= 20; ++j) {
                        const double x = 50.0 * j + shift;
                        const PointD pts[4] = {{x * f, y * f - stripOffset},
                                               {(x + 16) * f, (y + 50) * f - stripOffset},
                                               {(x + 33) * f, (y - 50) * f - stripOffset},
                                               {(x + 50) * f, y * f - stripOffset}};
                        dc.polyBezier(pts);
                    }
                }
            }
        }
        // Styles 0 and 5 draw the colour alone.
    }
    dc.restoreDc(saved);
}

}  // namespace render
