// ExtTextOut: placing a run of glyphs the way GDI does, with the substitute
// font's glyphs at the positions the record gives.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "metafile/dc.h"

namespace metafile {

void Dc::setTextJustification(int breakExtra, int breakCount) {
    m_state.breakExtra = breakExtra;
    m_state.breakCount = std::max(breakCount, 0);
}

int Dc::extTextOut(const TextOut& text) {
    const LogFont& font = m_state.font;
    const Matrix& m = m_state.transform;
    const bool advanced = text.graphicsMode == gdi::GM_ADVANCED;

    // The linear map from logical text space to device space: the full
    // transform in the advanced mode; in the compatible mode glyphs stay
    // upright and are only scaled.
    const double sx = std::hypot(m.eM11, m.eM12), sy = std::hypot(m.eM21, m.eM22);
    const Matrix linear =
        advanced ? Matrix{m.eM11, m.eM12, m.eM21, m.eM22, 0, 0} : Matrix{sx, 0, 0, sy, 0, 0};
    if (!linear.invertible())
        return 0;

    const double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    const PointD along{std::cos(angle), -std::sin(angle)};  // the baseline, logical
    const PointD down{std::sin(angle), std::cos(angle)};    // towards the glyphs' bottoms

    TextStyle style = textStyleFor(font, -1);
    const FontMetrics metrics = m_canvas.fontMetrics(style);
    // The em in logical units: lfHeight < 0 is the character height, > 0
    // the cell height (ascent + descent), 0 a default of 16 device pixels.
    double em = 0;
    if (font.height < 0) {
        em = -double(font.height);
    } else if (font.height > 0) {
        em = font.height / std::max(metrics.ascent + metrics.descent, 0.1);
    } else {
        em = 16 / std::max(sy, 1e-9);
    }
    // lfWidth stretches the glyphs so that the average character is that wide.
    double widthScale = 1;
    if (font.width != 0 && metrics.averageWidth > 0) {
        widthScale = std::fabs(double(font.width)) / (metrics.averageWidth * em);
        widthScale = std::clamp(widthScale, 0.05, 20.0);
    }
    const PointD gx = linear.applyLinear({along.x * em * widthScale, along.y * em * widthScale});
    const PointD gy = linear.applyLinear({down.x * em, down.y * em});
    if (std::hypot(gx.x, gx.y) > 20000 || std::hypot(gy.x, gy.y) > 20000)
        return 0;

    GlyphRun run;
    run.style = style;
    run.matrix = {gx, gy};
    run.characters = text.characters;
    run.glyphIndices = (text.options & gdi::ETO_GLYPH_INDEX) != 0;
    const std::size_t n = run.characters.size();

    // Offsets of each glyph along the baseline (and across it, for ETO_PDY),
    // in logical units.
    std::vector<PointD> offsets(n);
    double totalAlong = 0, totalDown = 0;
    const bool pdy = (text.options & gdi::ETO_PDY) != 0;
    const bool haveDx = text.dx.size() >= (pdy ? 2 * n : n) && n > 0;
    std::vector<PointD> fontAdvances;
    if (!haveDx)
        fontAdvances = m_canvas.glyphAdvances(run);
    const PointD alongDevice = linear.applyLinear(along);
    const double alongLength2 = alongDevice.x * alongDevice.x + alongDevice.y * alongDevice.y;
    const double breakExtra = m_state.breakCount > 0 ? double(m_state.breakExtra) / m_state.breakCount : 0;
    for (std::size_t i = 0; i < n; ++i) {
        offsets[i] = {totalAlong, totalDown};
        if (haveDx) {
            totalAlong += pdy ? text.dx[2 * i] : text.dx[i];
            if (pdy)
                totalDown -= text.dx[2 * i + 1];
        } else {
            const PointD a = fontAdvances[i];
            totalAlong += (a.x * alongDevice.x + a.y * alongDevice.y) / std::max(alongLength2, 1e-12);
            if (!run.glyphIndices && run.characters[i] == ' ')
                totalAlong += breakExtra;
        }
    }

    // Alignment of the reference point.
    PointD reference = (m_state.textAlign & gdi::TA_UPDATECP) ? m_state.currentPosition : text.reference;
    double startAlong = 0;
    switch (m_state.textAlign & gdi::TA_HORIZONTAL_MASK) {
        case gdi::TA_RIGHT:
            startAlong = -totalAlong;
            break;
        case gdi::TA_CENTER:
            startAlong = -totalAlong / 2;
            break;
        default:
            break;
    }
    double baselineDown = 0;
    switch (m_state.textAlign & gdi::TA_VERTICAL_MASK) {
        case gdi::TA_BASELINE:
            baselineDown = 0;
            break;
        case gdi::TA_BOTTOM:
            baselineDown = -metrics.descent * em;
            break;
        default:
            baselineDown = metrics.ascent * em;
            break;  // TA_TOP
    }
    if (m_state.textAlign & gdi::TA_UPDATECP) {
        // The current position moves to the far end of the text.
        const double end = (m_state.textAlign & gdi::TA_HORIZONTAL_MASK) == gdi::TA_RIGHT
                               ? startAlong
                               : startAlong + totalAlong;
        m_state.currentPosition = {reference.x + along.x * end, reference.y + along.y * end};
    }
    const PointD origin = toDevice(reference);
    auto devicePoint = [&](double a, double b) {
        const PointD l{along.x * a + down.x * b, along.y * a + down.y * b};
        const PointD d = linear.applyLinear(l);
        return PointD{origin.x + d.x, origin.y + d.y};
    };

    // Background: the rectangle with ETO_OPAQUE, else the text's cells when
    // the background mode is opaque.
    const Region* clip = effectiveClip();
    std::optional<Region> clipped;
    if (text.rect && (text.options & gdi::ETO_CLIPPED)) {
        clipped = logicalRectRegion(*text.rect);
        if (clip != nullptr)
            clipped = clipped->intersected(*clip);
        clip = &*clipped;
    }
    const Paint background = Paint::solid(pixelOf(m_state.bkColor));
    if (text.rect && (text.options & gdi::ETO_OPAQUE)) {
        m_canvas.fillRegion(logicalRectRegion(*text.rect), background, effectiveClip(), gdi::R2_COPYPEN);
    } else if (m_state.bkMode == gdi::OPAQUE && n > 0) {
        const double top = baselineDown - metrics.ascent * em, bottom = baselineDown + metrics.descent * em;
        Figure box;
        box.closed = true;
        box.points = {devicePoint(startAlong, top), devicePoint(startAlong + totalAlong, top),
                      devicePoint(startAlong + totalAlong, bottom), devicePoint(startAlong, bottom)};
        for (auto& p : box.points) p = {std::floor(p.x + 0.5), std::floor(p.y + 0.5)};
        m_canvas.fillFigures(std::span<const Figure>(&box, 1), false, background, clip, gdi::R2_COPYPEN);
    }
    if (n == 0)
        return 0;

    run.positions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        run.positions.push_back(devicePoint(startAlong + offsets[i].x, baselineDown + offsets[i].y));
    }
    const Paint ink = Paint::solid(pixelOf(m_state.textColor));
    const int missing = m_canvas.drawGlyphs(run, ink, clip, m_state.rop2);

    // Underline and strike-out as bands along the baseline.
    auto band = [&](double centre, double thickness) {
        Figure f;
        f.closed = true;
        f.points = {devicePoint(startAlong, centre - thickness / 2),
                    devicePoint(startAlong + totalAlong, centre - thickness / 2),
                    devicePoint(startAlong + totalAlong, centre + thickness / 2),
                    devicePoint(startAlong, centre + thickness / 2)};
        m_canvas.fillFigures(std::span<const Figure>(&f, 1), false, ink, clip, m_state.rop2);
    };
    const double thickness = std::max(em / 14, 1 / std::max(sy, 1e-9));
    if (font.underline)
        band(baselineDown + em * 0.11, thickness);
    if (font.strikeOut)
        band(baselineDown - em * 0.26, thickness);
    return missing;
}

}  // namespace metafile
