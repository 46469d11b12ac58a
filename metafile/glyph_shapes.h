#pragma once
// The pixels cairo gives the glyphs of a scaled font, kept as runs of
// covered pixels a row. cairo composites glyphs under locks of its own, so
// that only one thread at a time draws text through it; the runs kept here
// are laid on a mask by every thread at once. A glyph's pixels do not depend
// on where it is drawn, only on the whole pixel its origin rounds to, so the
// mask is cairo's own, pixel for pixel.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "metafile/glyph_run.h"
#include "metafile/stroke_rows.h"

namespace metafile {

struct GlyphShape {
    int top = 0;                           // the first row, from the origin's row
    std::vector<std::uint32_t> rowStarts;  // each row's first run; one more at the end
    std::vector<RowSpan> runs;             // covered columns [x1, x2), from the origin's column
    int rows() const { return rowStarts.empty() ? 0 : static_cast<int>(rowStarts.size()) - 1; }
};

// The largest em (device pixels) whose glyphs are kept; larger text is drawn
// by cairo itself.
inline constexpr double kMostKeptGlyphEm = 4096;

struct KeptGlyphs {
    std::vector<unsigned long> ids;         // each character's glyph
    std::vector<const GlyphShape*> shapes;  // each character's shape
    std::shared_ptr<const void> keep;       // keeps the shapes alive
};

// The glyphs of `run` in its font, measured through cairo the first time a
// glyph is asked for; false (the run is drawn by cairo) when a character is
// not in the font, a glyph cannot be told or the em is above
// kMostKeptGlyphEm. Safe on any thread.
bool findKeptGlyphs(const GlyphRun& run, KeptGlyphs& found);

// How many glyphs have been measured from FreeType rather than through
// cairo, in this process so far.
std::size_t glyphsMeasuredFromFreeType();

// The whole pixel a glyph origin at `v` is drawn from, as cairo rounds it.
inline int glyphOriginPixel(double v) {
    return static_cast<int>(std::floor(v + 0.5));
}

// Sets to `value` the pixels of `shape` drawn with its origin at pixel
// (x, y) of a `w` x `h` mask, those inside it.
void coverGlyph(const GlyphShape& shape, int x, int y, std::uint8_t* mask, int w, int h,
                std::ptrdiff_t stride, std::uint8_t value);

// The same on a picture's pixels: those of `shape` set to `colour`.
void fillGlyph(const GlyphShape& shape, int x, int y, std::uint32_t* pixels, int w, int h,
               std::ptrdiff_t stride, std::uint32_t colour);

}  // namespace metafile
