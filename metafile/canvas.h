#pragma once
// Drawing on a DibSection in device pixels, with GDI's pixel rules: a device
// coordinate names a pixel's centre; fills take the pixels whose centres lie
// inside (top and left edges in, bottom and right edges out); one-pixel lines
// are stepped like Bresenham's and leave out their last pixel. Every
// operation is clipped to a region and combined with a binary raster
// operation. Shapes are rasterised by cairo without antialiasing into a
// coverage mask, then composited here, so that raster operations, hatches
// and patterns behave as in GDI.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "metafile/dib_section.h"
#include "metafile/geometry.h"
#include "metafile/glyph_run.h"
#include "metafile/paint.h"
#include "metafile/region.h"
#include "metafile/text_layout.h"
#include "metafile/work_budget.h"

namespace metafile {

struct RowSpan;

// A run of connected points in device coordinates.
struct Figure {
    std::vector<PointD> points;
    bool closed = false;
};

struct StrokeStyle {
    enum class Cap { Round, Square, Flat };
    enum class Join { Round, Bevel, Miter };
    double width = 1;
    Cap cap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 10;
    std::vector<double> dashes;  // device pixels, on/off; empty: solid
};

// A dash pattern for one-pixel lines, in pixels; the position carries over
// from one segment to the next.
struct ThinDash {
    std::vector<int> pattern;  // on, off, on, off ...; empty: solid
    bool opaqueGaps = false;
    std::uint32_t gapPixel = 0;
    long position = 0;
};

class Canvas {
public:
    // Work that a drawing call's parameters decide (dash steps) is charged
    // to `budget`; without one it is not limited.
    explicit Canvas(DibSection& dib, WorkBudget* budget = nullptr)
        : m_dib(dib), m_budget(budget != nullptr ? *budget : m_unlimited) {}
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return m_dib.width(); }
    int height() const { return m_dib.height(); }
    // The rows the bitmap holds: all of them, or a band's.
    int rowsBegin() const { return m_dib.firstRow(); }
    int rowsEnd() const { return m_dib.endRow(); }
    DibSection& dib() { return m_dib; }

    // `clip` limits every operation; nullptr means the whole bitmap.
    void fillFigures(std::span<const Figure> figures, bool winding, const Paint& paint, const Region* clip,
                     int rop2);
    void strokeFigures(std::span<const Figure> figures, const StrokeStyle& style, const Paint& paint,
                       const Region* clip, int rop2);
    // One-pixel lines through integer points: each segment leaves out its
    // end point; `closed` adds the segment back to the first point.
    void thinLines(std::span<const PointL> points, bool closed, const Paint& paint, ThinDash& dash,
                   const Region* clip, int rop2);
    void fillRegion(const Region& region, const Paint& paint, const Region* clip, int rop2);
    void setPixel(int x, int y, std::uint32_t pixel, const Region* clip, int rop2);

    // The pixels that a fill, or a stroke, of the figures would touch.
    Region figuresRegion(std::span<const Figure> figures, bool winding) const;
    Region strokeRegion(std::span<const Figure> figures, const StrokeStyle& style) const;

    // Text on one baseline, starting at x (device pixels).
    TextMetrics measureText(const TextStyle& style, std::string_view utf8) const;
    void drawText(const TextStyle& style, std::string_view utf8, double x, double baseline,
                  const Paint& paint, const Region* clip, int rop2);

    // Glyph runs: metrics of a font (per em), the advance of each glyph
    // (device vectors), and drawing; drawGlyphs returns how many characters
    // the font had no glyph for.
    FontMetrics fontMetrics(const TextStyle& style) const;
    std::vector<PointD> glyphAdvances(const GlyphRun& run) const;
    int drawGlyphs(const GlyphRun& run, const Paint& paint, const Region* clip, int rop2);

    // Composites a coverage mask (one byte a pixel, non-zero = covered)
    // whose top-left pixel lands on (x0, y0).
    void compositeMask(int x0, int y0, int w, int h, const std::uint8_t* mask, int stride, const Paint& paint,
                       const Region* clip, int rop2);

    // The same for covered runs, one a row (RowSpan, [x1, x2) from x0), row
    // 0 landing on y0.
    void compositeRows(int x0, int y0, std::span<const RowSpan> rows, const Paint& paint, const Region* clip,
                       int rop2);

private:
    void plot(int x, int y, std::uint32_t pixel, int rop2);
    DibSection& m_dib;
    WorkBudget m_unlimited;
    WorkBudget& m_budget;
};

}  // namespace metafile
