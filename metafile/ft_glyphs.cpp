#include "metafile/ft_glyphs.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H

#include <cmath>
#include <utility>

#include "metafile/cairo_handles.h"

namespace metafile {
namespace {

// A FreeType library of this thread's own: outlines copied into it are laid
// on bitmaps with nothing shared with cairo or the other threads.
class ThreadLibrary {
public:
    ThreadLibrary() {
        if (FT_Init_FreeType(&library_) != 0)
            library_ = nullptr;
    }
    ~ThreadLibrary() {
        if (library_ != nullptr)
            FT_Done_FreeType(library_);
    }
    ThreadLibrary(const ThreadLibrary&) = delete;
    ThreadLibrary& operator=(const ThreadLibrary&) = delete;
    FT_Library get() const { return library_; }

private:
    FT_Library library_ = nullptr;
};

FT_Library threadLibrary() {
    thread_local ThreadLibrary library;
    return library.get();
}

// The size fontconfig is asked for: the smaller of the font's scale factors
// along its x axis and across it, and not below 1 (as cairo asks).
double pixelSizeOf(const FontMatrix& m) {
    const double major = std::hypot(m.x.x, m.x.y);
    const double det = std::abs(m.x.x * m.y.y - m.x.y * m.y.x);
    const double minor = major > 0 ? det / major : 0;
    return std::max(1.0, minor);
}

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

bool patternBool(FcPattern* p, const char* what, bool otherwise) {
    FcBool v = FcFalse;
    return FcPatternGetBool(p, what, 0, &v) == FcResultMatch ? v != FcFalse : otherwise;
}

}  // namespace

FtLoading ftLoadingOf(cairo_scaled_font_t* font, const TextStyle& style, const FontMatrix& matrix) {
    FtLoading loading;
    if (font == nullptr || cairo_scaled_font_get_type(font) != CAIRO_FONT_TYPE_FT)
        return loading;
    {
        FT_Face face = cairo_ft_scaled_font_lock_face(font);
        if (face == nullptr)
            return loading;
        // Strikes only, colour glyphs and font variations are cairo's.
        const bool plain = FT_IS_SCALABLE(face) && !FT_HAS_COLOR(face) && !FT_HAS_MULTIPLE_MASTERS(face);
        cairo_ft_scaled_font_unlock_face(font);
        if (!plain)
            return loading;
    }
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return loading;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(style.family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, style.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
    FcPatternAddDouble(pattern.get(), FC_PIXEL_SIZE, pixelSizeOf(matrix));
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return loading;
    std::unique_ptr<cairo_font_options_t, OptionsDeleter> options(cairo_font_options_create());
    cairo_scaled_font_get_font_options(font, options.get());
    cairo_ft_font_options_substitute(options.get(), pattern.get());
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern resolved(FcFontMatch(nullptr, pattern.get(), &result));
    if (!resolved)
        return loading;

    // Vertical layout moves the glyph by its vertical bearings, and
    // emboldened glyphs are not laid as FreeType lays them: cairo's.
    if (patternBool(resolved.get(), FC_VERTICAL_LAYOUT, false) ||
        patternBool(resolved.get(), FC_EMBOLDEN, false))
        return loading;
    int flags = 0;
    bool hinted = true;
    if (patternBool(resolved.get(), FC_ANTIALIAS, true)) {
        int hintStyle = FC_HINT_FULL;
        if (FcPatternGetInteger(resolved.get(), FC_HINT_STYLE, 0, &hintStyle) != FcResultMatch)
            hintStyle = FC_HINT_FULL;
        if (!patternBool(resolved.get(), FC_HINTING, true))
            hintStyle = FC_HINT_NONE;
        hinted = hintStyle != FC_HINT_NONE;
        if (!hinted || !patternBool(resolved.get(), FC_EMBEDDED_BITMAP, false))
            flags |= FT_LOAD_NO_BITMAP;
    }
    if (patternBool(resolved.get(), FC_AUTOHINT, false))
        flags |= FT_LOAD_FORCE_AUTOHINT;
    const int asHinted = flags | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME;
    const int asUnhinted = flags | FT_LOAD_NO_HINTING | FT_LOAD_MONOCHROME;
    loading.candidates =
        hinted ? std::vector<int>{asHinted, asUnhinted} : std::vector<int>{asUnhinted, asHinted};
    loading.usable = true;
    return loading;
}

FtOutline::FtOutline(FtOutline&& o) noexcept : glyph_(std::exchange(o.glyph_, nullptr)) {}

FtOutline& FtOutline::operator=(FtOutline&& o) noexcept {
    if (this != &o) {
        if (glyph_ != nullptr)
            FT_Done_Glyph(static_cast<FT_Glyph>(glyph_));
        glyph_ = std::exchange(o.glyph_, nullptr);
    }
    return *this;
}

FtOutline::~FtOutline() {
    if (glyph_ != nullptr)
        FT_Done_Glyph(static_cast<FT_Glyph>(glyph_));
}

FtOutline loadFtOutline(cairo_scaled_font_t* font, unsigned long id, int flags) {
    FtOutline out;
    FT_Library library = threadLibrary();
    if (library == nullptr)
        return out;
    FT_Face face = cairo_ft_scaled_font_lock_face(font);
    if (face == nullptr)
        return out;
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(id), flags) == 0) {
        FT_GlyphSlot slot = face->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Glyph glyph = nullptr;
            if (FT_New_Glyph(library, FT_GLYPH_FORMAT_OUTLINE, &glyph) == 0) {
                auto* outline = reinterpret_cast<FT_OutlineGlyph>(glyph);
                if (FT_Outline_New(library, static_cast<FT_UInt>(slot->outline.n_points),
                                   slot->outline.n_contours, &outline->outline) == 0 &&
                    FT_Outline_Copy(&slot->outline, &outline->outline) == 0) {
                    out.glyph_ = glyph;
                } else {
                    FT_Done_Glyph(glyph);
                }
            }
        }
    }
    cairo_ft_scaled_font_unlock_face(font);
    return out;
}

std::unique_ptr<const GlyphShape> rasterFtOutline(FtOutline& outline) {
    if (!outline)
        return nullptr;
    auto glyph = static_cast<FT_Glyph>(outline.glyph_);
    // Laid as FreeType lays a glyph slot's outline in one-bit mode, the
    // bitmap's box rounded as it rounds it.
    if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_MONO, nullptr, 1) != 0) {
        outline.glyph_ = glyph;
        return nullptr;
    }
    outline.glyph_ = glyph;
    const auto* bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(glyph);
    const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
    auto shape = std::make_unique<GlyphShape>();
    if (bitmap.width == 0 || bitmap.rows == 0)
        return shape;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.buffer == nullptr)
        return nullptr;
    const int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
    auto row = [&](int y) {
        const std::ptrdiff_t pitch = bitmap.pitch;
        return bitmap.pitch >= 0 ? bitmap.buffer + y * pitch : bitmap.buffer + (y - (h - 1)) * pitch;
    };
    auto inked = [](const unsigned char* r, int x) { return (r[x >> 3] & (0x80 >> (x & 7))) != 0; };
    const int bytes = (w + 7) >> 3;
    auto anyInk = [&](int y) {
        const unsigned char* r = row(y);
        for (int i = 0; i < bytes; ++i) {
            unsigned char v = r[i];
            if (i == bytes - 1 && (w & 7) != 0)
                v &= static_cast<unsigned char>(0xFF00 >> (w & 7));
            if (v != 0)
                return true;
        }
        return false;
    };
    int first = 0, last = h - 1;
    while (first < h && !anyInk(first)) ++first;
    if (first == h)
        return shape;  // a blank
    while (!anyInk(last)) --last;
    shape->top = first - bitmapGlyph->top;
    const int left = bitmapGlyph->left;
    for (int y = first; y <= last; ++y) {
        shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
        const unsigned char* r = row(y);
        for (int x = 0; x < w;) {
            // Whole bytes clear or covered are passed a byte at a time.
            while (x < w) {
                if ((x & 7) == 0 && x + 8 <= w && r[x >> 3] == 0)
                    x += 8;
                else if (!inked(r, x))
                    ++x;
                else
                    break;
            }
            const int start = x;
            while (x < w) {
                if ((x & 7) == 0 && x + 8 <= w && r[x >> 3] == 0xFF)
                    x += 8;
                else if (inked(r, x))
                    ++x;
                else
                    break;
            }
            if (start < x)
                shape->runs.push_back({start + left, x + left});
        }
    }
    shape->rowStarts.push_back(static_cast<std::uint32_t>(shape->runs.size()));
    return shape;
}

bool sameShape(const GlyphShape* a, const GlyphShape* b) {
    if (a == nullptr || b == nullptr)
        return a == b;
    if (a->rows() != b->rows() || a->runs.size() != b->runs.size())
        return false;
    if (a->rows() == 0)
        return true;
    if (a->top != b->top || a->rowStarts != b->rowStarts)
        return false;
    for (std::size_t i = 0; i < a->runs.size(); ++i) {
        if (a->runs[i].x1 != b->runs[i].x1 || a->runs[i].x2 != b->runs[i].x2)
            return false;
    }
    return true;
}

}  // namespace metafile
