#include "metafile/glyph_shapes.h"

#include <cairo.h>

#include <algorithm>
#include <atomic>
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
#include "metafile/dib_section.h"
#include "metafile/ft_glyphs.h"
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

// How a font's new glyphs are measured. Each font's first glyphs are
// measured both through cairo and from FreeType with every candidate's load
// flags; once at least kCheckedGlyphs glyphs with ink have been compared and
// a single candidate is left agreeing, new glyphs come from FreeType with
// it. A font where none agrees, where more than one still agrees after
// kMostCheckedGlyphs (which of them cairo uses cannot be told), or whose
// glyphs FreeType is not asked for, keeps cairo.
enum class Measuring { Unknown, Checking, FreeType, Cairo };
constexpr int kCheckedGlyphs = 4;
constexpr int kMostCheckedGlyphs = 24;

struct FontGlyphs {
    std::unordered_map<std::uint32_t, unsigned long> ids;  // characters measured
    // Glyphs measured; null where one cannot be told.
    std::unordered_map<unsigned long, std::unique_ptr<const GlyphShape>> shapes;
    Measuring measuring = Measuring::Unknown;
    FtLoading loading;
    std::vector<bool> agreeing;  // each candidate, while checked
    int checked = 0;             // glyphs with ink found the same
    // Held by the thread measuring the font's new glyphs: another that
    // wants new glyphs of it waits, then finds those the first measured,
    // rather than measuring them again beside it.
    std::shared_ptr<std::mutex> measuringLock = std::make_shared<std::mutex>();
};

// What is kept until it grows past kMostBytes; then a new one is begun, and
// the old one lives on while runs still draw from it.
struct Generation {
    std::shared_mutex mutex;
    std::map<FontKey, FontGlyphs> fonts;
    std::size_t bytes = 0;
};
constexpr std::size_t kMostBytes = std::size_t(32) << 20;

std::atomic<std::size_t> g_fromFreeType{0};

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

// A glyph as cairo lays it on a surface with its origin on a whole pixel
// (ox, oy) and `pad` pixels around what its extents promise: drawn while
// the font lock is held, read into its shape after (the surface holds
// nothing of the font). No surface where the glyph cannot be told: its
// extents are not numbers, or reach beyond a generous margin.
struct DrawnGlyph {
    unsigned long id = 0;
    int pad = 0, ox = 0, oy = 0, w = 0, h = 0;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
    std::size_t bytes() const { return surface ? std::size_t(w) * std::size_t(h) * 4 : 0; }
};

// Glyphs up to this many pixels are drawn on ARGB32, not A8: pixman lays a
// one-bit glyph on ARGB32 in a path of its own, where on A8 it converts
// every pixel on the way. The glyph's pixels are the same (its alpha where
// it covers); the larger ones stay on A8 for the memory.
constexpr std::int64_t kMostArgbGlyphPixels = std::int64_t{1} << 20;

DrawnGlyph drawGlyph(cairo_scaled_font_t* font, unsigned long id, int pad) {
    DrawnGlyph d;
    d.id = id;
    d.pad = pad;
    cairo_glyph_t glyph{id, 0, 0};
    cairo_text_extents_t te;
    cairo_scaled_font_glyph_extents(font, &glyph, 1, &te);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS || !std::isfinite(te.x_bearing) ||
        !std::isfinite(te.y_bearing) || !std::isfinite(te.width) || !std::isfinite(te.height))
        return d;
    constexpr double kReach = 4 * kMostKeptGlyphEm;
    if (std::abs(te.x_bearing) > kReach || std::abs(te.y_bearing) > kReach || te.width > kReach ||
        te.height > kReach || te.width < 0 || te.height < 0)
        return d;
    d.ox = pad - static_cast<int>(std::floor(te.x_bearing));
    d.oy = pad - static_cast<int>(std::floor(te.y_bearing));
    d.w = static_cast<int>(std::ceil(te.width)) + 2 + 2 * pad;
    d.h = static_cast<int>(std::ceil(te.height)) + 2 + 2 * pad;
    const bool argb = std::int64_t{d.w} * d.h <= kMostArgbGlyphPixels;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(argb ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_A8, d.w, d.h));
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return d;
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    cairo_set_scaled_font(cr.get(), font);
    glyph.x = d.ox;
    glyph.y = d.oy;
    cairo_show_glyphs(cr.get(), &glyph, 1);
    cairo_surface_flush(surface.get());
    d.surface = std::move(surface);
    return d;
}

// The shape of a glyph drawn on pixels of type Pixel, or null (with
// `again` set) where ink reaches the surface's border: it may go on past
// it, and the glyph is drawn again with more room.
template <typename Pixel>
std::unique_ptr<const GlyphShape> readShape(const DrawnGlyph& d, bool& again) {
    const std::uint8_t* data = cairo_image_surface_get_data(d.surface.get());
    const int stride = cairo_image_surface_get_stride(d.surface.get());
    const int w = d.w, h = d.h;
    auto row = [&](int y) {
        return reinterpret_cast<const Pixel*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    };
    auto inked = [](Pixel v) {
        if constexpr (sizeof(Pixel) == 4)
            return (v >> 24) != 0;
        else
            return v != 0;
    };
    bool border = std::any_of(row(0), row(0) + w, inked) || std::any_of(row(h - 1), row(h - 1) + w, inked);
    for (int y = 0; y < h && !border; ++y) border = inked(row(y)[0]) || inked(row(y)[w - 1]);
    if (border) {
        again = true;
        return nullptr;
    }
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
    shape->top = first - d.oy;
    for (int y = first; y <= last; ++y) {
        shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
        const Pixel* r = row(y);
        for (int x = 0; x < w;) {
            while (x < w && !inked(r[x])) ++x;
            const int start = x;
            while (x < w && inked(r[x])) ++x;
            if (start < x)
                shape->runs.push_back({start - d.ox, x - d.ox});
        }
    }
    shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
    return shape;
}

std::unique_ptr<const GlyphShape> shapeOf(const DrawnGlyph& d, bool& again) {
    again = false;
    if (!d.surface)
        return nullptr;
    return cairo_image_surface_get_format(d.surface.get()) == CAIRO_FORMAT_ARGB32
               ? readShape<std::uint32_t>(d, again)
               : readShape<std::uint8_t>(d, again);
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
    std::shared_ptr<std::mutex> measuringLock;
    std::unique_lock<std::mutex> measuringThisFont;
    if (!complete) {
        {
            std::unique_lock lock(generation->mutex);
            measuringLock = generation->fonts[key].measuringLock;
        }
        measuringThisFont = std::unique_lock(*measuringLock);
        std::shared_lock lock(generation->mutex);
        const auto it = generation->fonts.find(key);
        complete = lookUp(run, it == generation->fonts.end() ? nullptr : &it->second, found);
    }
    if (!complete) {
        // Measure what is missing (cairo's fonts take one thread at a time),
        // then keep it.
        std::vector<std::pair<std::uint32_t, unsigned long>> newIds;
        std::vector<std::pair<unsigned long, std::unique_ptr<const GlyphShape>>> newShapes;
        // Drawn (or loaded from FreeType) a batch at a time under the font
        // lock, each batch read into shapes after the lock is let go, so that
        // the other threads' text waits only for what needs cairo's fonts.
        constexpr std::size_t kMostBatchBytes = std::size_t(16) << 20;
        struct Todo {
            unsigned long id = 0;
            int pad = 4;            // room around it, when cairo draws it
            bool viaCairo = false;  // drawn by cairo whatever the font's measuring
        };
        std::vector<Todo> todo;
        Measuring measuring = Measuring::Unknown;
        FtLoading loading;
        std::vector<bool> agreeing;
        {
            std::shared_lock lock(generation->mutex);
            if (const auto it = generation->fonts.find(key); it != generation->fonts.end()) {
                measuring = it->second.measuring;
                loading = it->second.loading;
                agreeing = it->second.agreeing;
            }
        }
        int checked = 0;
        int chosen = -1;  // the candidate new glyphs are loaded with
        bool opened = false;
        while (!opened || !todo.empty()) {
            std::vector<DrawnGlyph> drawn;
            std::vector<std::vector<FtOutline>> checking;  // each drawn glyph's outlines, each candidate's
            std::vector<std::pair<unsigned long, FtOutline>> loaded;
            {
                std::lock_guard fontLock(cairoFontLock());
                auto font = openScaledFont(run.style, run.matrix);
                if (!font)
                    return false;
                if (!opened) {
                    opened = true;
                    const std::vector<unsigned long> ids = glyphIdsOf(font.get(), run);
                    std::vector<unsigned long> wanted(ids);
                    std::sort(wanted.begin(), wanted.end());
                    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
                    {
                        // Only the glyphs not measured yet.
                        std::shared_lock lock(generation->mutex);
                        if (const auto it = generation->fonts.find(key); it != generation->fonts.end()) {
                            const auto& shapes = it->second.shapes;
                            std::erase_if(wanted,
                                          [&shapes](unsigned long id) { return shapes.count(id) > 0; });
                        }
                    }
                    if (measuring == Measuring::Unknown) {
                        loading = ftLoadingOf(font.get(), run.style, run.matrix);
                        measuring = loading.usable ? Measuring::Checking : Measuring::Cairo;
                        agreeing.assign(loading.candidates.size(), true);
                    }
                    if (measuring == Measuring::FreeType) {
                        for (std::size_t c = 0; c < agreeing.size() && chosen < 0; ++c) {
                            if (agreeing[c])
                                chosen = static_cast<int>(c);
                        }
                        if (chosen < 0)
                            measuring = Measuring::Cairo;
                    }
                    for (unsigned long id : wanted) todo.push_back({id, 4, measuring == Measuring::Cairo});
                    if (!run.glyphIndices) {
                        for (std::size_t i = 0; i < n; ++i) newIds.emplace_back(run.characters[i], ids[i]);
                    }
                }
                std::size_t batch = 0;
                while (!todo.empty() && batch < kMostBatchBytes) {
                    const Todo t = todo.back();
                    todo.pop_back();
                    if (!t.viaCairo && measuring == Measuring::FreeType) {
                        FtOutline outline = loadFtOutline(
                            font.get(), t.id, loading.candidates[static_cast<std::size_t>(chosen)]);
                        if (outline) {
                            loaded.emplace_back(t.id, std::move(outline));
                            batch += 256;
                            continue;
                        }
                    }
                    drawn.push_back(drawGlyph(font.get(), t.id, t.pad));
                    batch += drawn.back().bytes();
                    checking.emplace_back();
                    if (!t.viaCairo && measuring == Measuring::Checking) {
                        for (std::size_t c = 0; c < agreeing.size(); ++c) {
                            checking.back().push_back(
                                agreeing[c] ? loadFtOutline(font.get(), t.id, loading.candidates[c])
                                            : FtOutline{});
                        }
                    }
                }
            }
            for (std::size_t i = 0; i < drawn.size(); ++i) {
                const DrawnGlyph& d = drawn[i];
                bool again = false;
                auto shape = shapeOf(d, again);
                if (again && d.pad * 8 <= 256) {
                    todo.push_back({d.id, d.pad * 8, true});
                    continue;
                }
                if (shape && !checking[i].empty()) {
                    // The same glyph from FreeType with each candidate still
                    // agreeing; a glyph FreeType does not give as an outline
                    // tells nothing.
                    bool compared = false;
                    for (std::size_t c = 0; c < checking[i].size(); ++c) {
                        if (!checking[i][c])
                            continue;
                        auto mine = rasterFtOutline(checking[i][c]);
                        if (!mine)
                            continue;
                        if (sameShape(mine.get(), shape.get()))
                            compared = true;
                        else
                            agreeing[c] = false;
                    }
                    if (compared && shape->rows() > 0)
                        ++checked;
                }
                newShapes.emplace_back(d.id, std::move(shape));
            }
            for (auto& [id, outline] : loaded) {
                auto shape = rasterFtOutline(outline);
                if (shape) {
                    newShapes.emplace_back(id, std::move(shape));
                    g_fromFreeType.fetch_add(1, std::memory_order_relaxed);
                } else
                    todo.push_back({id, 4, true});
            }
        }
        std::size_t bytes = 0;
        {
            std::unique_lock lock(generation->mutex);
            FontGlyphs& glyphs = generation->fonts[key];
            if (glyphs.measuring == Measuring::Unknown) {
                glyphs.measuring = measuring;
                glyphs.loading = loading;
                glyphs.agreeing = agreeing;
            } else if (glyphs.agreeing.size() == agreeing.size()) {
                for (std::size_t c = 0; c < agreeing.size(); ++c)
                    glyphs.agreeing[c] = glyphs.agreeing[c] && agreeing[c];
            }
            glyphs.checked += checked;
            if (glyphs.measuring != Measuring::Cairo) {
                const auto agree = std::count(glyphs.agreeing.begin(), glyphs.agreeing.end(), true);
                if (agree == 0 || (agree > 1 && glyphs.checked >= kMostCheckedGlyphs))
                    glyphs.measuring = Measuring::Cairo;
                else if (agree == 1 && glyphs.measuring == Measuring::Checking &&
                         glyphs.checked >= kCheckedGlyphs)
                    glyphs.measuring = Measuring::FreeType;
            }
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

std::size_t glyphsMeasuredFromFreeType() {
    return g_fromFreeType.load(std::memory_order_relaxed);
}

namespace {

// Sets the pixels of `shape` with its origin at (x, y) of a w x h picture
// to `value`, each run with `fill`.
template <typename Pixel, typename Fill>
void layGlyph(const GlyphShape& shape, int x, int y, Pixel* pixels, int w, int h, std::ptrdiff_t stride,
              Fill fill) {
    const int rows = shape.rows();
    for (int r = std::max(0, -(y + shape.top)); r < rows; ++r) {
        const int my = y + shape.top + r;
        if (my >= h)
            break;
        Pixel* row = pixels + static_cast<std::ptrdiff_t>(my) * stride;
        for (std::uint32_t k = shape.rowStarts[static_cast<std::size_t>(r)];
             k < shape.rowStarts[static_cast<std::size_t>(r) + 1]; ++k) {
            const RowSpan& run = shape.runs[k];
            const int a = std::max(0, x + run.x1), b = std::min(w, x + run.x2);
            if (a < b)
                fill(row + a, static_cast<std::size_t>(b - a));
        }
    }
}

}  // namespace

void coverGlyph(const GlyphShape& shape, int x, int y, std::uint8_t* mask, int w, int h,
                std::ptrdiff_t stride, std::uint8_t value) {
    layGlyph(shape, x, y, mask, w, h, stride,
             [value](std::uint8_t* at, std::size_t n) { std::memset(at, value, n); });
}

void fillGlyph(const GlyphShape& shape, int x, int y, std::uint32_t* pixels, int w, int h,
               std::ptrdiff_t stride, std::uint32_t colour) {
    layGlyph(shape, x, y, pixels, w, h, stride,
             [colour](std::uint32_t* at, std::size_t n) { fillPixels(at, n, colour); });
}

}  // namespace metafile
