#pragma once
// cairo's scaled fonts as the canvas opens them for a glyph run: the family,
// weight and slant of the run's style, the run's matrix, no antialiasing and
// unhinted metrics. Every call holds cairoFontLock() for as long as the font
// or what it made is in use.

#include <cairo.h>

#include <memory>
#include <vector>

#include "metafile/glyph_run.h"

namespace metafile {

struct ScaledFontDeleter {
    void operator()(cairo_scaled_font_t* f) const { cairo_scaled_font_destroy(f); }
};
using ScaledFont = std::unique_ptr<cairo_scaled_font_t, ScaledFontDeleter>;

// The font of `style` at `matrix`, or null when cairo cannot make it.
ScaledFont openScaledFont(const TextStyle& style, const FontMatrix& matrix);

// The font's glyph for each of the run's characters (0 where it has none);
// the characters themselves when the run gives glyph indices.
std::vector<unsigned long> glyphIdsOf(cairo_scaled_font_t* font, const GlyphRun& run);

}  // namespace metafile
