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
#include <string>
#include <tuple>
#include <unordered_map>

#include "metafile/cairo_font_lock.h"
#include "metafile/canvas.h"
#include "metafile/font_fallback.h"
#include "metafile/utf8.h"

namespace metafile {
namespace {

struct FontDeleter {
    void operator()(cairo_scaled_font_t* f) const { cairo_scaled_font_destroy(f); }
};
struct FaceDeleter {
    void operator()(cairo_font_face_t* f) const { cairo_font_face_destroy(f); }
};
struct OptionsDeleter {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};
struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using ScaledFont = std::unique_ptr<cairo_scaled_font_t, FontDeleter>;

ScaledFont openFont(const TextStyle& style, const FontMatrix& m) {
    std::unique_ptr<cairo_font_face_t, FaceDeleter> face(cairo_toy_font_face_create(
        style.family.c_str(), style.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL));
    cairo_matrix_t font;
    cairo_matrix_init(&font, m.x.x, m.x.y, m.y.x, m.y.y, 0, 0);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    std::unique_ptr<cairo_font_options_t, OptionsDeleter> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    ScaledFont scaled(cairo_scaled_font_create(face.get(), &font, &identity, options.get()));
    if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    return scaled;
}

std::string utf8Of(std::uint32_t c) {
    std::string out;
    appendUtf8(out, c);
    return out;
}

// The font's glyph for each character (0 when it has none).
std::vector<unsigned long> glyphIds(cairo_scaled_font_t* font, const GlyphRun& run) {
    std::vector<unsigned long> ids;
    ids.reserve(run.characters.size());
    if (run.glyphIndices) {
        for (auto g : run.characters) ids.push_back(g);
        return ids;
    }
    std::unordered_map<std::uint32_t, unsigned long> cache;
    for (auto c : run.characters) {
        auto it = cache.find(c);
        if (it == cache.end()) {
            unsigned long id = 0;
            if (c >= 0x20 && c != 0xFFFF) {
                const std::string text = utf8Of(c);
                cairo_glyph_t* glyphs = nullptr;
                int count = 0;
                if (cairo_scaled_font_text_to_glyphs(font, 0, 0, text.c_str(), static_cast<int>(text.size()),
                                                     &glyphs, &count, nullptr, nullptr,
                                                     nullptr) == CAIRO_STATUS_SUCCESS &&
                    count > 0) {
                    id = glyphs[0].index;
                }
                cairo_glyph_free(glyphs);
            }
            it = cache.emplace(c, id).first;
        }
        ids.push_back(it->second);
    }
    return ids;
}

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
    auto font = openFont(style, unit);
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
    auto font = openFont(run.style, run.matrix);
    if (!font)
        return out;
    const auto ids = glyphIds(font.get(), run);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        cairo_glyph_t g{ids[i], 0, 0};
        cairo_text_extents_t te;
        cairo_scaled_font_glyph_extents(font.get(), &g, 1, &te);
        out[i] = {te.x_advance, te.y_advance};
    }
    return out;
}

int Canvas::drawGlyphs(const GlyphRun& run, const Paint& paint, const Region* clip, int rop2) {
    if (run.characters.empty() || run.positions.size() != run.characters.size())
        return 0;
    // Held until the fonts and the context that drew with them are
    // released; the mask is composited after, while other threads draw text.
    std::unique_lock lock(cairoFontLock());
    auto font = openFont(run.style, run.matrix);
    if (!font)
        return 0;
    const auto ids = glyphIds(font.get(), run);
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
    // The area: every glyph origin grown by the em in each direction.
    const double em =
        std::max(std::hypot(run.matrix.x.x, run.matrix.x.y), std::hypot(run.matrix.y.x, run.matrix.y.y));
    double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
    for (auto p : run.positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return missing;
        x1 = std::min(x1, p.x);
        y1 = std::min(y1, p.y);
        x2 = std::max(x2, p.x);
        y2 = std::max(y2, p.y);
    }
    const double margin = em * 2 + 2;
    int ax1 = static_cast<int>(std::max(0.0, std::floor(x1 - margin)));
    int ay1 = static_cast<int>(std::max(0.0, std::floor(y1 - margin)));
    int ax2 = static_cast<int>(std::min(double(width()), std::ceil(x2 + margin)));
    int ay2 = static_cast<int>(std::min(double(height()), std::ceil(y2 + margin)));
    if (clip != nullptr) {
        const auto b = clip->bounds();
        if (!b)
            return missing;
        ax1 = std::max(ax1, b->left);
        ay1 = std::max(ay1, b->top);
        ax2 = std::min(ax2, b->right);
        ay2 = std::min(ay2, b->bottom);
    }
    if (ax1 >= ax2 || ay1 >= ay2 || em > 20000 || ay2 <= rowsBegin() || ay1 >= rowsEnd())
        return missing;
    // A band draws in a mask of its own rows (cairo cuts the glyphs at the
    // band's edges as it cuts them at a strip's).
    const int top = std::max(ay1, rowsBegin()), bottom = std::min(ay2, rowsEnd());
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, ax2 - ax1, bottom - top));
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return missing;
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    cairo_set_scaled_font(cr.get(), font.get());
    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const PointD p = run.positions[i];
        // Glyphs far outside the area are left out (cairo's coordinates are
        // fixed-point).
        if (fromFallback[i] || p.x < ax1 - margin || p.x > ax2 + margin || p.y < ay1 - margin ||
            p.y > ay2 + margin)
            continue;
        glyphs.push_back({ids[i], p.x - ax1, p.y - top});
    }
    cairo_show_glyphs(cr.get(), glyphs.data(), static_cast<int>(glyphs.size()));
    for (const auto& [family, indices] : fallback) {
        TextStyle style = run.style;
        style.family = family;
        auto other = openFont(style, run.matrix);
        if (!other)
            continue;
        GlyphRun single;
        single.characters.reserve(indices.size());
        for (auto i : indices) single.characters.push_back(run.characters[i]);
        const auto otherIds = glyphIds(other.get(), single);
        std::vector<cairo_glyph_t> more;
        for (std::size_t k = 0; k < indices.size(); ++k) {
            const PointD p = run.positions[indices[k]];
            if (otherIds[k] == 0 || p.x < ax1 - margin || p.x > ax2 + margin || p.y < ay1 - margin ||
                p.y > ay2 + margin)
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
    compositeMask(ax1, top, ax2 - ax1, bottom - top, cairo_image_surface_get_data(surface.get()),
                  cairo_image_surface_get_stride(surface.get()), paint, clip, rop2);
    return missing;
}

}  // namespace metafile
