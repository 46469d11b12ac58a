// DrawText for a single line.

#include <algorithm>
#include <cmath>

#include "metafile/dc.h"

namespace metafile {

void Dc::drawText(std::string_view text, const RectL& box, unsigned format) {
    if (text.empty())
        return;
    const PointL a = toDevicePixel({double(box.left), double(box.top)});
    const PointL b = toDevicePixel({double(box.right), double(box.bottom)});
    const RectL r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    const double scale = std::fabs(m_state.transform.eM22) > 0 ? std::fabs(m_state.transform.eM22) : 1;
    const TextStyle style = textStyleFor(m_state.font, m_state.font.height * scale);
    const TextMetrics m = m_canvas.measureText(style, text);

    double x = r.left;
    if (format & gdi::DT_CENTER) {
        x = (double(r.left) + r.right - m.advance) / 2;
    } else if (format & gdi::DT_RIGHT) {
        x = r.right - m.advance;
    }
    const double lineHeight = m.ascent + m.descent;
    double top = r.top;
    if (format & gdi::DT_VCENTER) {
        top = (double(r.top) + r.bottom - lineHeight) / 2;
    } else if (format & gdi::DT_BOTTOM) {
        top = r.bottom - lineHeight;
    }
    x = std::floor(x);
    top = std::floor(top);

    // Clip to the rectangle unless DT_NOCLIP.
    std::optional<Region> clip;
    if (!(format & gdi::DT_NOCLIP)) {
        clip = Region::fromRect(r);
        if (effectiveClip() != nullptr)
            clip = clip->intersected(*effectiveClip());
    }
    const Region* useClip = clip ? &*clip : effectiveClip();
    if (m_state.bkMode == gdi::OPAQUE) {
        const Region back = Region::fromRect(static_cast<int>(x), static_cast<int>(top),
                                             static_cast<int>(std::ceil(x + m.advance)),
                                             static_cast<int>(std::ceil(top + lineHeight)));
        m_canvas.fillRegion(back, Paint::solid(pixelOf(m_state.bkColor)), useClip, gdi::R2_COPYPEN);
    }
    m_canvas.drawText(style, text, x, top + m.ascent, Paint::solid(pixelOf(m_state.textColor)), useClip,
                      gdi::R2_COPYPEN);
}

}  // namespace metafile
