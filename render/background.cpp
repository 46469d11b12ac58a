#include "render/background.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/session.h"

namespace render {
namespace {

using metafile::PointD;

// One family of hatch lines, and the other family turned a quarter turn.
void drawHatch(metafile::Dc& dc, const metafile::RectL& r, int f, int s, int n, int off, int angle, int a,
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
    for (int k = -n; k <= n; ++k) {
        const double x = double(r.left) - off + double(k) * s;
        const PointD p0 = turn(x, double(r.top) - n), p1 = turn(x, double(r.bottom) + n);
        if (vertical) {
            dc.moveTo({p0.x, p0.y - a});
            dc.lineTo({p1.x, p1.y - a});
        }
        if (horizontal) {
            const PointD q0 = quarter(p0), q1 = quarter(p1);
            dc.moveTo({q0.x, q0.y - a});
            dc.lineTo({q1.x, q1.y - a});
        }
    }
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

    metafile::Brush fill;
    const int saved = dc.saveDc();
    if (session.DemoMode) {
        fill.color = metafile::rgb(255, 235, 212);
        dc.fillRect(page, fill);
        metafile::Pen grid;
        grid.color = metafile::rgb(255, 250, 230);
        grid.width = f;
        dc.setPen(grid);
        drawHatch(dc, page, f, 10, n, off, 0, stripOffset, true, true);
        dc.restoreDc(saved);
        return;
    }
    const int style = o.lvBkGrHathStyle;
    if (style >= 100 && style != 99) {
        fill.color = metafile::rgb(255, 255, 255);
        dc.fillRect(page, fill);
    } else {
        fill.color = o.lvCurBkGrColor & 0xFFFFFF;
        dc.fillRect(page, fill);
        metafile::Pen pen;
        pen.color = o.lvHatchColor & 0xFFFFFF;
        pen.width = double(w) * f;
        dc.setPen(pen);
        if (style == 4) {
            drawHatch(dc, page, f, s, n, off, hatchAngle, stripOffset, o.lvHatchLnVert, o.lvHatchLnHor);
        } else if (style == 1) {
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
