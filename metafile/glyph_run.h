#pragma once
// A run of glyphs for the canvas: a font (fontconfig family, weight, slant),
// the matrix that maps the font's em square to device pixels (rotation and
// anisotropic scaling included), and one position per glyph.

#include <cstdint>
#include <string>
#include <vector>

#include "metafile/geometry.h"
#include "metafile/text_layout.h"

namespace metafile {

struct FontMatrix {
    // Device vector of one em along the glyph's x axis, and along its
    // y axis (downwards in the glyph).
    PointD x{12, 0};
    PointD y{0, 12};
};

struct GlyphRun {
    TextStyle style;  // family, bold, italic (the size comes from the matrix)
    FontMatrix matrix;
    // Either code points, mapped through the font, or the font's own glyph
    // indices.
    std::vector<std::uint32_t> characters;
    bool glyphIndices = false;
    std::vector<PointD> positions;  // device origin of each glyph, filled by the caller
};

struct FontMetrics {
    double ascent = 0.9;   // per em
    double descent = 0.2;  // per em
    double averageWidth = 0.5;
    // Underline and strike-out from the font's own tables, per em: the
    // centre of each band (positive below the baseline) and its thickness.
    double underlineCentre = 0.033;
    double underlineThickness = 0.073;
    double strikeoutCentre = -0.259;
    double strikeoutThickness = 0.05;
};

// A band across the run: its top edge (device pixels below the baseline,
// negative above it) and its thickness.
struct DecorationBand {
    double top = 0;
    double thickness = 1;
};

// Underline and strike-out as GDI places them for an em of `emPixels`:
// centre and thickness rounded to whole pixels, at least one pixel thick.
DecorationBand underlineBand(const FontMetrics& metrics, double emPixels);
DecorationBand strikeoutBand(const FontMetrics& metrics, double emPixels);

}  // namespace metafile
