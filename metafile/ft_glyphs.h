#pragma once
// A glyph's pixels read straight from FreeType, as cairo's FreeType fonts
// rasterise them without antialiasing: the glyph is loaded from the scaled
// font's face with the load flags cairo gives it (while the font lock is
// held, the face being cairo's), copied, and laid on a one-bit bitmap by a
// FreeType library of the calling thread's own, with no lock held.
//
// The load flags follow from the fontconfig pattern the font's family,
// weight, slant and size resolve to. cairo resolves a family once and keeps
// what it found for the sizes after, so a font may be hinted otherwise than
// its own size asks; the hinting the size asks for comes first among the
// candidates, the other one second, and the caller keeps the one whose
// glyphs are found to be cairo's. Fonts cairo emboldens itself (a bold asked
// of a family without one) are left to cairo: its emboldened glyphs are not
// found the same as FreeType's.

#include <cairo.h>

#include <memory>
#include <vector>

#include "metafile/glyph_run.h"
#include "metafile/glyph_shapes.h"

namespace metafile {

struct FtLoading {
    bool usable = false;          // false: the font's glyphs are left to cairo
    std::vector<int> candidates;  // load flags, the likelier first
};

// How the glyphs of `font` (opened for `style` at `matrix`) are loaded.
// Hold cairoFontLock().
FtLoading ftLoadingOf(cairo_scaled_font_t* font, const TextStyle& style, const FontMatrix& matrix);

// A glyph's outline, loaded and copied; empty where the glyph is not an
// outline (a bitmap strike, a colour glyph) or cannot be loaded.
class FtOutline {
public:
    FtOutline() = default;
    FtOutline(FtOutline&&) noexcept;
    FtOutline& operator=(FtOutline&&) noexcept;
    ~FtOutline();
    explicit operator bool() const { return glyph_ != nullptr; }
    void* glyph_ = nullptr;  // an FT_Glyph of this thread's library
};

// The outline of glyph `id` of `font` loaded with `flags`. Hold
// cairoFontLock() and call on the thread that rasterises it.
FtOutline loadFtOutline(cairo_scaled_font_t* font, unsigned long id, int flags);

// The glyph's pixels as cairo lays them with its origin on a whole pixel;
// null where FreeType cannot lay it. Needs no lock.
std::unique_ptr<const GlyphShape> rasterFtOutline(FtOutline& outline);

// Whether two shapes cover the same pixels (both null counts as the same).
bool sameShape(const GlyphShape* a, const GlyphShape* b);

}  // namespace metafile
