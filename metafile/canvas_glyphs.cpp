// Glyph runs on the canvas, through cairo's scaled fonts.

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>

#include "metafile/cairo_font_lock.h"
#include "metafile/cairo_handles.h"
#include "metafile/canvas.h"
#include "metafile/font_fallback.h"
#include "metafile/glyph_shapes.h"
#include "metafile/scaled_fonts.h"
#include "metafile/utf8.h"

namespace metafile {
namespace {

// Underline (post table), strike-out and average character width (OS/2
// table) of the font, when it has them; FreeType gives the underline's position as its centre less half
// its thickness.
void readFontTables(cairo_scaled_font_t* font, FontMetrics& m) {
    if (cairo_scaled_font_get_type(font) != CAIRO_FONT_TYPE_FT)
        return;
    FT_Face face = cairo_ft_scaled_font_lock_face(font);
    if (face == nullptr)
        return;
    const double upem = face->units_per_EM;
    if (upem > 0 && face->underline_thickness > 0) {
        m.underlineThickness = face->underline_thickness / upem;
        m.underlineCentre = -(face->underline_position + face->underline_thickness / 2.0) / upem;
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (upem > 0 && os2 != nullptr && os2->version != 0xFFFF) {
        if (os2->yStrikeoutSize > 0) {
            m.strikeoutCentre = -os2->yStrikeoutPosition / upem;
            m.strikeoutThickness = os2->yStrikeoutSize / upem;
        }
        // GDI's average character width (what lfWidth asks for).
        if (os2->xAvgCharWidth > 0)
            m.averageWidth = os2->xAvgCharWidth / upem;
    }
    cairo_ft_scaled_font_unlock_face(font);
}

// A face's metrics per em depend on its family, weight and slant alone.
// They are kept once measured, so that text drawn on several threads does
// not queue for the font lock to measure the same face again for every
// record. A document names few faces; a hostile one naming thousands only
// makes the table start again.
struct FaceKey {
    std::string family;
    bool bold = false;
    bool italic = false;
    bool operator<(const FaceKey& o) const {
        return std::tie(family, bold, italic) < std::tie(o.family, o.bold, o.italic);
    }
};

std::mutex g_metricsMutex;
std::map<FaceKey, FontMetrics> g_metrics;
constexpr std::size_t kMostKeptFaces = 1024;

FontMetrics measureFace(const TextStyle& style) {
    std::lock_guard lock(cairoFontLock());
    FontMetrics m;
    FontMatrix unit{{1000, 0}, {0, 1000}};
    auto font = openScaledFont(style, unit);
    if (!font)
        return m;
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(font.get(), &fe);
    m.ascent = fe.ascent / 1000;
    m.descent = fe.descent / 1000;
    // An average character width, as GDI's tmAveCharWidth, from the
    // lower-case letters and the blank.
    static constexpr std::string_view kSample = "abcdefghijklmnopqrstuvwxyz ";
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(font.get(), std::string(kSample).c_str(), &te);
    m.averageWidth = te.x_advance / 1000 / static_cast<double>(kSample.size());
    readFontTables(font.get(), m);
    return m;
}

}  // namespace

FontMetrics Canvas::fontMetrics(const TextStyle& style) const {
    FaceKey key{style.family, style.bold, style.italic};
    {
        std::lock_guard lock(g_metricsMutex);
        if (auto it = g_metrics.find(key); it != g_metrics.end())
            return it->second;
    }
    const FontMetrics m = measureFace(style);
    std::lock_guard lock(g_metricsMutex);
    if (g_metrics.size() >= kMostKeptFaces)
        g_metrics.clear();
    g_metrics.emplace(std::move(key), m);
    return m;
}

std::vector<PointD> Canvas::glyphAdvances(const GlyphRun& run) const {
    std::lock_guard lock(cairoFontLock());
    std::vector<PointD> out(run.characters.size(), PointD{0, 0});
    auto font = openScaledFont(run.style, run.matrix);
    if (!font)
        return out;
    const auto ids = glyphIdsOf(font.get(), run);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        cairo_glyph_t g{ids[i], 0, 0};
        cairo_text_extents_t te;
        cairo_scaled_font_glyph_extents(font.get(), &g, 1, &te);
        out[i] = {te.x_advance, te.y_advance};
    }
    return out;
}

namespace {

// Where a run's glyphs may leave ink on a canvas's rows: every glyph origin
// grown by twice the em and two pixels, within the canvas, the clip and the
// rows drawn.
struct RunArea {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // the mask: y1, y2 within the rows drawn
    int top = 0, bottom = 0;             // the area's rows on the whole canvas
    double margin = 0;

    // Whether a glyph at `p` is drawn at all: those far outside are left out
    // (cairo's coordinates are fixed-point).
    bool holds(PointD p) const {
        return p.x >= x1 - margin && p.x <= x2 + margin && p.y >= top - margin && p.y <= bottom + margin;
    }
};

std::optional<RunArea> runArea(const GlyphRun& run, const Region* clip, int width, int height, int rowsBegin,
                               int rowsEnd) {
    const double em =
        std::max(std::hypot(run.matrix.x.x, run.matrix.x.y), std::hypot(run.matrix.y.x, run.matrix.y.y));
    double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
    for (auto p : run.positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return std::nullopt;
        x1 = std::min(x1, p.x);
        y1 = std::min(y1, p.y);
        x2 = std::max(x2, p.x);
        y2 = std::max(y2, p.y);
    }
    RunArea a;
    a.margin = em * 2 + 2;
    a.x1 = static_cast<int>(std::max(0.0, std::floor(x1 - a.margin)));
    a.y1 = static_cast<int>(std::max(0.0, std::floor(y1 - a.margin)));
    a.x2 = static_cast<int>(std::min(double(width), std::ceil(x2 + a.margin)));
    a.y2 = static_cast<int>(std::min(double(height), std::ceil(y2 + a.margin)));
    if (clip != nullptr) {
        const auto b = clip->bounds();
        if (!b)
            return std::nullopt;
        a.x1 = std::max(a.x1, b->left);
        a.y1 = std::max(a.y1, b->top);
        a.x2 = std::min(a.x2, b->right);
        a.y2 = std::min(a.y2, b->bottom);
    }
    if (a.x1 >= a.x2 || a.y1 >= a.y2 || em > 20000 || a.y2 <= rowsBegin || a.y1 >= rowsEnd)
        return std::nullopt;
    // A band draws in a mask of its own rows (glyphs are cut at the band's
    // edges as they are cut at a strip's).
    a.top = a.y1;
    a.bottom = a.y2;
    a.y1 = std::max(a.y1, rowsBegin);
    a.y2 = std::min(a.y2, rowsEnd);
    return a;
}

}  // namespace

int Canvas::drawGlyphs(const GlyphRun& run, const Paint& paint, const Region* clip, int rop2) {
    if (run.characters.empty() || run.positions.size() != run.characters.size())
        return 0;
    thread_local KeptGlyphs kept;
    if (!findKeptGlyphs(run, kept))
        return drawGlyphsThroughCairo(run, paint, clip, rop2);
    const auto area = runArea(run, clip, width(), height(), rowsBegin(), rowsEnd());
    if (!area)
        return 0;
    const int w = area->x2 - area->x1, h = area->y2 - area->y1;
    // A solid colour copied with no clip but the run's area (which a clip
    // of one rectangle already bounds): each glyph's runs are written
    // straight into the picture (where glyphs overlap, the same colour
    // twice), cut by the area as the mask would cut them.
    const Region* const cut = clip != nullptr && clip->spanCount() == 1 ? nullptr : clip;
    if (const auto target = solidRows(area->x1, area->y1, paint, cut, rop2)) {
        std::uint32_t* const origin =
            target->pixels + (area->y1 - target->firstRow) * target->stride + area->x1;
        for (std::size_t i = 0; i < kept.shapes.size(); ++i) {
            const PointD p = run.positions[i];
            if (area->holds(p))
                fillGlyph(*kept.shapes[i], glyphOriginPixel(p.x - area->x1), glyphOriginPixel(p.y - area->y1),
                          origin, w, h, target->stride, target->pixel);
        }
        return 0;
    }
    // The mask is kept clear between runs: what a run covers is cleared
    // again after it is composited.
    constexpr std::size_t kKeptMaskBytes = std::size_t(4) << 20;
    thread_local std::vector<std::uint8_t> keptMask;
    std::vector<std::uint8_t> largeMask;
    const std::size_t bytes = std::size_t(w) * std::size_t(h);
    std::uint8_t* mask = nullptr;
    if (bytes <= kKeptMaskBytes) {
        if (keptMask.size() < bytes)
            keptMask.resize(bytes, 0);
        mask = keptMask.data();
    } else {
        largeMask.assign(bytes, 0);
        mask = largeMask.data();
    }
    auto cover = [&](std::uint8_t value) {
        for (std::size_t i = 0; i < kept.shapes.size(); ++i) {
            const PointD p = run.positions[i];
            if (!area->holds(p))
                continue;
            coverGlyph(*kept.shapes[i], glyphOriginPixel(p.x - area->x1), glyphOriginPixel(p.y - area->y1),
                       mask, w, h, w, value);
        }
    };
    cover(0xFF);
    compositeMask(area->x1, area->y1, w, h, mask, w, paint, clip, rop2);
    if (mask == keptMask.data())
        cover(0);
    return 0;
}

int Canvas::drawGlyphsThroughCairo(const GlyphRun& run, const Paint& paint, const Region* clip, int rop2) {
    // Held until the fonts and the context that drew with them are
    // released; the mask is composited after, while other threads draw text.
    std::unique_lock lock(cairoFontLock());
    auto font = openScaledFont(run.style, run.matrix);
    if (!font)
        return 0;
    const auto ids = glyphIdsOf(font.get(), run);
    int missing = 0;
    // Characters the font lacks are drawn with a family that has them, so
    // that no text is lost.
    std::map<std::string, std::vector<std::size_t>> fallback;
    std::vector<bool> fromFallback(ids.size(), false);  // not drawn as the face's missing-glyph box
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::uint32_t c = run.characters[i];
        if (ids[i] != 0 || run.glyphIndices || c < 0x20 || c == 0xFFFF)
            continue;
        ++missing;
        const std::string family = fallbackFamilyFor(c);
        if (!family.empty()) {
            fallback[family].push_back(i);
            fromFallback[i] = true;
        }
    }
    const auto area = runArea(run, clip, width(), height(), rowsBegin(), rowsEnd());
    if (!area)
        return missing;
    const int ax1 = area->x1, top = area->y1;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, area->x2 - ax1, area->y2 - top));
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return missing;
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    cairo_set_scaled_font(cr.get(), font.get());
    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const PointD p = run.positions[i];
        if (fromFallback[i] || !area->holds(p))
            continue;
        glyphs.push_back({ids[i], p.x - ax1, p.y - top});
    }
    cairo_show_glyphs(cr.get(), glyphs.data(), static_cast<int>(glyphs.size()));
    for (const auto& [family, indices] : fallback) {
        TextStyle style = run.style;
        style.family = family;
        auto other = openScaledFont(style, run.matrix);
        if (!other)
            continue;
        GlyphRun single;
        single.characters.reserve(indices.size());
        for (auto i : indices) single.characters.push_back(run.characters[i]);
        const auto otherIds = glyphIdsOf(other.get(), single);
        std::vector<cairo_glyph_t> more;
        for (std::size_t k = 0; k < indices.size(); ++k) {
            const PointD p = run.positions[indices[k]];
            if (otherIds[k] == 0 || !area->holds(p))
                continue;
            more.push_back({otherIds[k], p.x - ax1, p.y - top});
        }
        cairo_set_scaled_font(cr.get(), other.get());
        cairo_show_glyphs(cr.get(), more.data(), static_cast<int>(more.size()));
    }
    cr.reset();
    font.reset();
    lock.unlock();
    cairo_surface_flush(surface.get());
    compositeMask(ax1, top, area->x2 - ax1, area->y2 - top, cairo_image_surface_get_data(surface.get()),
                  cairo_image_surface_get_stride(surface.get()), paint, clip, rop2);
    return missing;
}

}  // namespace metafile
