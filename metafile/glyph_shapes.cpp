#include "metafile/glyph_shapes.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "metafile/cairo_font_lock.h"
#include "metafile/cairo_handles.h"
#include "metafile/scaled_fonts.h"

namespace metafile {
namespace {

struct FontKey {
    std::string family;
    bool bold = false, italic = false;
    double xx = 0, xy = 0, yx = 0, yy = 0;
    bool operator<(const FontKey& o) const {
        return std::tie(family, bold, italic, xx, xy, yx, yy) <
               std::tie(o.family, o.bold, o.italic, o.xx, o.xy, o.yx, o.yy);
    }
};

struct FontGlyphs {
    std::unordered_map<std::uint32_t, unsigned long> ids;  // characters measured
    // Glyphs measured; null where one cannot be told.
    std::unordered_map<unsigned long, std::unique_ptr<const GlyphShape>> shapes;
};

// What is kept until it grows past kMostBytes; then a new one is begun, and
// the old one lives on while runs still draw from it.
struct Generation {
    std::shared_mutex mutex;
    std::map<FontKey, FontGlyphs> fonts;
    std::size_t bytes = 0;
};
constexpr std::size_t kMostBytes = std::size_t(32) << 20;

std::mutex g_currentMutex;
std::shared_ptr<Generation> g_current;

std::shared_ptr<Generation> currentGeneration() {
    std::lock_guard lock(g_currentMutex);
    if (!g_current)
        g_current = std::make_shared<Generation>();
    return g_current;
}

void retireIfFull(const std::shared_ptr<Generation>& generation) {
    std::lock_guard lock(g_currentMutex);
    if (g_current == generation)
        g_current = std::make_shared<Generation>();
}

// The glyph as cairo lays it on an A8 mask with its origin on a whole pixel,
// or null when it reaches beyond what cairo's extents promise by more than
// a generous margin (the run is then drawn by cairo).
std::unique_ptr<const GlyphShape> measureShape(cairo_scaled_font_t* font, unsigned long id) {
    cairo_glyph_t glyph{id, 0, 0};
    cairo_text_extents_t te;
    cairo_scaled_font_glyph_extents(font, &glyph, 1, &te);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS || !std::isfinite(te.x_bearing) ||
        !std::isfinite(te.y_bearing) || !std::isfinite(te.width) || !std::isfinite(te.height))
        return nullptr;
    constexpr double kReach = 4 * kMostKeptGlyphEm;
    if (std::abs(te.x_bearing) > kReach || std::abs(te.y_bearing) > kReach || te.width > kReach ||
        te.height > kReach || te.width < 0 || te.height < 0)
        return nullptr;
    for (int pad = 4; pad <= 256; pad *= 8) {
        const int ox = pad - static_cast<int>(std::floor(te.x_bearing));
        const int oy = pad - static_cast<int>(std::floor(te.y_bearing));
        const int w = static_cast<int>(std::ceil(te.width)) + 2 + 2 * pad;
        const int h = static_cast<int>(std::ceil(te.height)) + 2 + 2 * pad;
        // Drawn on ARGB32, not A8: pixman lays a one-bit glyph on it in a
        // path of its own, where on A8 it converts every pixel on the way,
        // and the glyph's pixels are the same (its alpha where it covers).
        std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
            return nullptr;
        cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
        cairo_set_scaled_font(cr.get(), font);
        glyph.x = ox;
        glyph.y = oy;
        cairo_show_glyphs(cr.get(), &glyph, 1);
        cairo_surface_flush(surface.get());
        const std::uint8_t* data = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        auto row = [&](int y) {
            return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        };
        auto inked = [](std::uint32_t v) { return (v >> 24) != 0; };
        // Ink on the border may go on past it: look again with more room.
        bool border =
            std::any_of(row(0), row(0) + w, inked) || std::any_of(row(h - 1), row(h - 1) + w, inked);
        for (int y = 0; y < h && !border; ++y) border = inked(row(y)[0]) || inked(row(y)[w - 1]);
        if (border)
            continue;
        auto shape = std::make_unique<GlyphShape>();
        int first = -1, last = -1;
        for (int y = 0; y < h; ++y) {
            if (std::any_of(row(y), row(y) + w, inked)) {
                if (first < 0)
                    first = y;
                last = y;
            }
        }
        if (first < 0)
            return shape;  // a blank
        shape->top = first - oy;
        for (int y = first; y <= last; ++y) {
            shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
            const std::uint32_t* r = row(y);
            for (int x = 0; x < w;) {
                while (x < w && !inked(r[x])) ++x;
                const int start = x;
                while (x < w && inked(r[x])) ++x;
                if (start < x)
                    shape->runs.push_back({start - ox, x - ox});
            }
        }
        shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
        return shape;
    }
    return nullptr;
}

std::size_t bytesOf(const GlyphShape* shape) {
    return sizeof(GlyphShape) + 64 +
           (shape ? shape->rowStarts.size() * sizeof(std::uint32_t) + shape->runs.size() * sizeof(RowSpan)
                  : 0);
}

// Fills `found` from what `glyphs` holds; false when something is not there yet.
bool lookUp(const GlyphRun& run, const FontGlyphs* glyphs, KeptGlyphs& found) {
    if (glyphs == nullptr)
        return false;
    const std::size_t n = run.characters.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned long id = run.characters[i];
        if (!run.glyphIndices) {
            const auto it = glyphs->ids.find(run.characters[i]);
            if (it == glyphs->ids.end())
                return false;
            id = it->second;
        }
        const auto shape = glyphs->shapes.find(id);
        if (shape == glyphs->shapes.end())
            return false;
        found.ids[i] = id;
        found.shapes[i] = shape->second.get();
    }
    return true;
}

}  // namespace

bool findKeptGlyphs(const GlyphRun& run, KeptGlyphs& found) {
    const FontMatrix& m = run.matrix;
    for (double v : {m.x.x, m.x.y, m.y.x, m.y.y}) {
        if (!std::isfinite(v))
            return false;
    }
    if (std::max(std::hypot(m.x.x, m.x.y), std::hypot(m.y.x, m.y.y)) > kMostKeptGlyphEm)
        return false;
    const std::size_t n = run.characters.size();
    found.ids.assign(n, 0);
    found.shapes.assign(n, nullptr);
    const FontKey key{run.style.family, run.style.bold, run.style.italic, m.x.x, m.x.y, m.y.x, m.y.y};
    std::shared_ptr<Generation> generation = currentGeneration();
    bool complete = false;
    {
        std::shared_lock lock(generation->mutex);
        const auto it = generation->fonts.find(key);
        complete = lookUp(run, it == generation->fonts.end() ? nullptr : &it->second, found);
    }
    if (!complete) {
        // Measure what is missing (cairo's fonts take one thread at a time),
        // then keep it.
        std::vector<std::pair<std::uint32_t, unsigned long>> newIds;
        std::vector<std::pair<unsigned long, std::unique_ptr<const GlyphShape>>> newShapes;
        {
            std::lock_guard fontLock(cairoFontLock());
            auto font = openScaledFont(run.style, run.matrix);
            if (!font)
                return false;
            const std::vector<unsigned long> ids = glyphIdsOf(font.get(), run);
            std::vector<unsigned long> wanted(ids);
            std::sort(wanted.begin(), wanted.end());
            wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
            {
                // Only the glyphs not measured yet.
                std::shared_lock lock(generation->mutex);
                if (const auto it = generation->fonts.find(key); it != generation->fonts.end()) {
                    const auto& shapes = it->second.shapes;
                    std::erase_if(wanted, [&shapes](unsigned long id) { return shapes.count(id) > 0; });
                }
            }
            for (unsigned long id : wanted) newShapes.emplace_back(id, measureShape(font.get(), id));
            if (!run.glyphIndices) {
                for (std::size_t i = 0; i < n; ++i) newIds.emplace_back(run.characters[i], ids[i]);
            }
        }
        std::size_t bytes = 0;
        {
            std::unique_lock lock(generation->mutex);
            FontGlyphs& glyphs = generation->fonts[key];
            for (const auto& [c, id] : newIds) glyphs.ids.emplace(c, id);
            for (auto& [id, shape] : newShapes) {
                const std::size_t size = bytesOf(shape.get());
                if (glyphs.shapes.emplace(id, std::move(shape)).second)
                    generation->bytes += size;
            }
            bytes = generation->bytes;
            complete = lookUp(run, &glyphs, found);
        }
        if (bytes > kMostBytes)
            retireIfFull(generation);
    }
    if (!complete)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        // A character the font lacks is drawn from another family.
        const std::uint32_t c = run.characters[i];
        if (found.shapes[i] == nullptr ||
            (!run.glyphIndices && found.ids[i] == 0 && c >= 0x20 && c != 0xFFFF))
            return false;
    }
    found.keep = std::move(generation);
    return true;
}

void coverGlyph(const GlyphShape& shape, int x, int y, std::uint8_t* mask, int w, int h,
                std::ptrdiff_t stride, std::uint8_t value) {
    const int rows = shape.rows();
    for (int r = std::max(0, -(y + shape.top)); r < rows; ++r) {
        const int my = y + shape.top + r;
        if (my >= h)
            break;
        std::uint8_t* row = mask + static_cast<std::ptrdiff_t>(my) * stride;
        for (std::uint32_t k = shape.rowStarts[static_cast<std::size_t>(r)];
             k < shape.rowStarts[static_cast<std::size_t>(r) + 1]; ++k) {
            const RowSpan& run = shape.runs[k];
            const int a = std::max(0, x + run.x1), b = std::min(w, x + run.x2);
            if (a < b)
                std::memset(row + a, value, static_cast<std::size_t>(b - a));
        }
    }
}

}  // namespace metafile
