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

namespace {

// How a run lies on the device. Positions are the reference point plus
// `along` times the advance and `down` times the vertical offset of ETO_PDY
// (both logical); `across` carries offsets in the glyphs' own frame (the
// alignment, the background box, the underline) per logical unit.
struct RunFrame {
    PointD along;
    PointD down;
    PointD across;
    FontMatrix glyphs;    // the em square on the device
    PointD glyphAlong;    // unit device vector of the glyphs' baseline
    double advanceScale;  // device length of a glyph's advance per logical unit
};

PointD scaled(PointD v, double f) {
    return {v.x * f, v.y * f};
}

}  // namespace

int Dc::extTextOut(const TextOut& text) {
    const LogFont& font = m_state.font;
    const Matrix& m = m_state.transform;
    const bool advanced = text.graphicsMode == gdi::GM_ADVANCED;
    const Matrix linear{m.eM11, m.eM12, m.eM21, m.eM22, 0, 0};
    if (!linear.invertible())
        return 0;
    const double sx = std::hypot(m.eM11, m.eM12), sy = std::hypot(m.eM21, m.eM22);

    // The escapement turns the run counter-clockwise on the page as the
    // logical axes show it: where one axis is flipped, the other way round
    // on the device. The advanced mode gets this from the transform itself;
    // the compatible mode keeps glyphs upright and unmirrored, so the angle
    // changes sign instead.
    double angle = font.escapement / 10.0 * std::numbers::pi / 180;
    if (!advanced && linear.determinant() < 0)
        angle = -angle;
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

    RunFrame frame;
    if (advanced) {
        // Glyphs go through the whole transform: turned, mirrored and
        // stretched with it.
        frame.along = linear.applyLinear(along);
        frame.down = linear.applyLinear(down);
        frame.across = frame.down;
        double widthScale = 1;
        if (font.width != 0 && metrics.averageWidth > 0)
            widthScale = std::clamp(std::fabs(double(font.width)) / (metrics.averageWidth * em), 0.05, 20.0);
        frame.glyphs = {scaled(frame.along, em * widthScale), scaled(frame.down, em)};
        const double length = std::hypot(frame.along.x, frame.along.y);
        frame.glyphAlong = scaled(frame.along, 1 / std::max(length, 1e-12));
        frame.advanceScale = length;
    } else {
        // The compatible mode sets the font at its height on the device
        // (the y scale) in its own proportions; lfWidth scales with x.
        // Offsets along and across the run are logical and scale with the
        // axes.
        const Matrix axes{sx, 0, 0, sy, 0, 0};
        frame.along = axes.applyLinear(along);
        frame.down = axes.applyLinear(down);
        frame.across = scaled(down, sy);
        const double emDevice = em * sy;
        double widthScale = 1;
        if (font.width != 0 && metrics.averageWidth > 0)
            widthScale = std::clamp(std::fabs(double(font.width)) * sx / (metrics.averageWidth * emDevice),
                                    0.05, 20.0);
        frame.glyphs = {scaled(along, emDevice * widthScale), scaled(down, emDevice)};
        frame.glyphAlong = along;
        frame.advanceScale = sx;
    }
    const FontMatrix& gm = frame.glyphs;
    if (std::hypot(gm.x.x, gm.x.y) > 20000 || std::hypot(gm.y.x, gm.y.y) > 20000)
        return 0;

    GlyphRun run;
    run.style = style;
    run.matrix = gm;
    run.characters = text.characters;
    run.glyphIndices = (text.options & gdi::ETO_GLYPH_INDEX) != 0;
    const std::size_t n = run.characters.size();

    // Offsets of each glyph along the baseline (and across it, for ETO_PDY,
    // where a positive value moves up), in logical units.
    std::vector<PointD> offsets(n);
    double totalAlong = 0, totalDown = 0;
    const bool pdy = (text.options & gdi::ETO_PDY) != 0;
    const bool haveDx = text.dx.size() >= (pdy ? 2 * n : n) && n > 0;
    std::vector<PointD> fontAdvances;
    if (!haveDx)
        fontAdvances = m_canvas.glyphAdvances(run);
    const double breakExtra = m_state.breakCount > 0 ? double(m_state.breakExtra) / m_state.breakCount : 0;
    for (std::size_t i = 0; i < n; ++i) {
        offsets[i] = {totalAlong, totalDown};
        if (haveDx) {
            totalAlong += pdy ? text.dx[2 * i] : text.dx[i];
            if (pdy)
                totalDown -= text.dx[2 * i + 1];
        } else {
            const PointD a = fontAdvances[i];
            totalAlong +=
                (a.x * frame.glyphAlong.x + a.y * frame.glyphAlong.y) / std::max(frame.advanceScale, 1e-12);
            if (!run.glyphIndices && run.characters[i] == ' ')
                totalAlong += breakExtra;
        }
    }

    // Alignment of the reference point: the run's whole displacement (with
    // ETO_PDY also across) is taken back for TA_RIGHT, half of it for
    // TA_CENTER.
    const bool updateCp = (m_state.textAlign & gdi::TA_UPDATECP) != 0;
    const PointD reference = updateCp ? m_state.currentPosition : text.reference;
    double startAlong = 0, startDown = 0;
    const std::uint32_t horizontal = m_state.textAlign & gdi::TA_HORIZONTAL_MASK;
    if (horizontal == gdi::TA_RIGHT) {
        startAlong = -totalAlong;
        startDown = -totalDown;
    } else if (horizontal == gdi::TA_CENTER) {
        startAlong = -totalAlong / 2;
        startDown = -totalDown / 2;
    }
    double baselineAcross = 0;
    switch (m_state.textAlign & gdi::TA_VERTICAL_MASK) {
        case gdi::TA_BASELINE:
            baselineAcross = 0;
            break;
        case gdi::TA_BOTTOM:
            baselineAcross = -metrics.descent * em;
            break;
        default:
            baselineAcross = metrics.ascent * em;
            break;  // TA_TOP
    }
    const PointD origin = toDevice(reference);
    auto devicePoint = [&](double a, double b, double c) {
        return PointD{origin.x + frame.along.x * a + frame.down.x * b + frame.across.x * c,
                      origin.y + frame.along.y * a + frame.down.y * b + frame.across.y * c};
    };
    if (updateCp && horizontal != gdi::TA_CENTER) {
        // The current position moves to the far end of the run (to its start
        // for TA_RIGHT); centred text leaves it where it was.
        const PointD end = horizontal == gdi::TA_RIGHT ? devicePoint(startAlong, startDown, 0)
                                                       : devicePoint(totalAlong, totalDown, 0);
        if (const auto inverse = m.inverse())
            m_state.currentPosition = inverse->apply(end);
    }

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
        const double top = baselineAcross - metrics.ascent * em,
                     bottom = baselineAcross + metrics.descent * em;
        Figure box;
        box.closed = true;
        box.points = {devicePoint(startAlong, startDown, top),
                      devicePoint(startAlong + totalAlong, startDown, top),
                      devicePoint(startAlong + totalAlong, startDown, bottom),
                      devicePoint(startAlong, startDown, bottom)};
        for (auto& p : box.points) p = {std::floor(p.x + 0.5), std::floor(p.y + 0.5)};
        m_canvas.fillFigures(std::span<const Figure>(&box, 1), false, background, clip, gdi::R2_COPYPEN);
    }
    if (n == 0)
        return 0;

    run.positions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        run.positions.push_back(
            devicePoint(startAlong + offsets[i].x, startDown + offsets[i].y, baselineAcross));
    }
    const Paint ink = Paint::solid(pixelOf(m_state.textColor));
    const int missing = m_canvas.drawGlyphs(run, ink, clip, m_state.rop2);

    // Underline and strike-out: bands along the baseline, placed in whole
    // pixels of the em on the device.
    const double acrossPixels = std::hypot(frame.across.x, frame.across.y);
    auto drawBand = [&](const DecorationBand& band) {
        const double top = baselineAcross + band.top / acrossPixels;
        const double bottom = top + band.thickness / acrossPixels;
        Figure f;
        f.closed = true;
        f.points = {devicePoint(startAlong, startDown, top),
                    devicePoint(startAlong + totalAlong, startDown, top),
                    devicePoint(startAlong + totalAlong, startDown, bottom),
                    devicePoint(startAlong, startDown, bottom)};
        m_canvas.fillFigures(std::span<const Figure>(&f, 1), false, ink, clip, m_state.rop2);
    };
    if (acrossPixels > 1e-9) {
        const double emPixels = em * acrossPixels;
        if (font.underline)
            drawBand(underlineBand(metrics, emPixels));
        if (font.strikeOut)
            drawBand(strikeoutBand(metrics, emPixels));
    }
    return missing;
}

}  // namespace metafile
