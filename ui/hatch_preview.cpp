#include "ui/hatch_preview.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "metafile/dc.h"
#include "metafile/dib_section.h"

namespace ui {
namespace {

using metafile::PointD;

void fill(metafile::Dc& dc, int left, int top, int right, int bottom, std::uint32_t colour) {
    if (right <= left || bottom <= top)
        return;
    metafile::Brush brush;
    brush.color = colour & 0xFFFFFF;
    dc.fillRect({left, top, right, bottom}, brush);
}

// A one-pixel frame on the rectangle's own edge pixels, as FrameRect draws.
void frame(metafile::Dc& dc, const ClientRect& r, std::uint32_t colour) {
    fill(dc, r.left, r.top, r.right, r.top + 1, colour);
    fill(dc, r.left, r.bottom - 1, r.right, r.bottom, colour);
    fill(dc, r.left, r.top, r.left + 1, r.bottom, colour);
    fill(dc, r.right - 1, r.top, r.right, r.bottom, colour);
}

}  // namespace

int hatchLineOffset(double span, int spacing) {
    if (spacing == 0)
        return 0;
    const double d = spacing;
    return static_cast<int>(std::trunc(d * (std::ceil(span / d) - span / d) * 0.5));
}

void drawPreviewHatch(metafile::Dc& dc, const ClientRect& r, const HatchValues& v) {
    const double rw = double(r.right) - r.left, rh = double(r.bottom) - r.top;
    const long long n = static_cast<long long>(std::trunc(std::sqrt(rw * rw + rh * rh) + 5));
    const double d = v.spacing;
    const double off = hatchLineOffset(rw, v.spacing);

    fill(dc, r.left, r.top, r.right, r.bottom, v.backgroundColour);
    const int saved = dc.saveDc();
    metafile::Pen pen;
    pen.color = v.hatchColour & 0xFFFFFF;
    // A negative width draws the thinnest pen; widths beyond the preview's
    // reach draw the same as the reach.
    pen.width = std::clamp<double>(v.width, 0, 1 << 16);
    dc.setPen(pen);
    const double phi = v.angle * std::numbers::pi / 180;
    const double c = std::cos(phi), s = std::sin(phi);
    auto turn = [&](PointD p) -> PointD {
        if (v.angle == 0)
            return p;
        return {std::trunc(p.x * c + p.y * s), std::trunc(p.y * c - p.x * s)};
    };
    for (long long k = 0; k <= 2 * n; ++k) {
        const double x = double(r.left) - double(n) * d - off + double(k) * d;
        const PointD p0 = turn({x, double(r.top) - double(n)});
        const PointD p1 = turn({x, double(r.bottom) + double(n)});
        if (v.vertical) {
            dc.moveTo(p0);
            dc.lineTo(p1);
        }
        if (v.horizontal) {
            dc.moveTo({p0.y, -p0.x});
            dc.lineTo({p1.y, -p1.x});
        }
    }
    dc.restoreDc(saved);
}

void paintHatchDialog(metafile::DibSection& client, const HatchValues& values, std::uint32_t faceColour) {
    metafile::Dc dc(client);
    const int width = client.width(), height = client.height();
    const ClientRect& p = kPreviewRect;
    drawPreviewHatch(dc, p, values);
    frame(dc, p, kPreviewFrameColour);
    fill(dc, 0, 0, width, p.top, faceColour);
    fill(dc, 0, p.bottom, width, height, faceColour);
    fill(dc, 0, 0, p.left, height, faceColour);
    fill(dc, p.right, 0, width, height, faceColour);
    fill(dc, kBackgroundSwatch.left, kBackgroundSwatch.top, kBackgroundSwatch.right, kBackgroundSwatch.bottom,
         values.backgroundColour);
    frame(dc, kBackgroundSwatch, kPreviewFrameColour);
    fill(dc, kHatchSwatch.left, kHatchSwatch.top, kHatchSwatch.right, kHatchSwatch.bottom,
         values.hatchColour);
    frame(dc, kHatchSwatch, kPreviewFrameColour);
}

}  // namespace ui
