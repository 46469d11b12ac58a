#pragma once
// Drawing on a DibSection in device pixels, with GDI's pixel rules: a device
// coordinate names a pixel's centre; fills take the pixels whose centres lie
// inside (top and left edges in, bottom and right edges out); one-pixel lines
// are stepped like Bresenham's and leave out their last pixel. Every
// operation is clipped to a region and combined with a binary raster
// operation. Shapes are rasterised by cairo without antialiasing into a
// coverage mask, then composited here, so that raster operations, hatches
// and patterns behave as in GDI.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "metafile/dib_section.h"
#include "metafile/geometry.h"
#include "metafile/glyph_run.h"
#include "metafile/paint.h"
#include "metafile/region.h"
#include "metafile/text_layout.h"
#include "metafile/wide_walk.h"
#include "metafile/work_budget.h"

namespace metafile {

struct RowSpan;

// Rows of 0x00RRGGBB pixels, `stride` pixels apart, holding the picture's
// rows [firstRow, endRow) and columns [0, width); the mask's pixel (i, j)
// is the picture's (x0 + i, y0 + j).
struct SolidRows {
    std::uint32_t* pixels = nullptr;  // row firstRow
    std::int64_t stride = 0;
    std::int64_t firstRow = 0, endRow = 0, width = 0;
    std::int64_t x0 = 0, y0 = 0;
    std::uint32_t pixel = 0;
};

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

// The lines of one colour that a canvas set aside instead of drawing them
// (Canvas::holdLines), to be drawn a row at a time: a background put under
// them is then written once per row with the row's pixels of every line
// over it, while the row is in the processor's cache, instead of the lines'
// pixels scattered over the whole bitmap after it. One-pixel lines alone
// are held as their steps, and wide solid lines across the rows as the
// walks of their two sides, each walked row by row as it is drawn (the few
// rows a wide line has that are not walked are held as runs). The pixels
// drawn are those the canvas would have drawn.
class HeldLines {
public:
    // Nothing held, for rows [first, end) of a bitmap `width` pixels wide.
    void begin(int first, int end, int width);
    // Whether a drawing in `pixel`, copied, can be held: it is the colour
    // held so far (or the first); otherwise the holding is refused.
    bool takes(std::uint32_t pixel) {
        if (m_refused || (m_any && pixel != m_pixel)) {
            m_refused = true;
            return false;
        }
        m_pixel = pixel;
        m_any = true;
        return true;
    }
    // A drawing that cannot be held (a wide line, a fill, another raster
    // operation, a clip, a pattern): the lines held are not the drawing.
    void refuse() { m_refused = true; }
    bool refused() const { return m_refused; }

    // The steps i in [iFrom, iTo) of a one-pixel line, all on the held rows:
    // pixel i at major coordinate major0 + i majorStep and minor coordinate
    // minor0 + floor((2 i d + n) / 2n) (x major where xMajor, y otherwise).
    void addSteps(std::int64_t iFrom, std::int64_t iTo, bool xMajor, std::int64_t major0,
                  std::int64_t majorStep, std::int64_t minor0, std::int64_t d, std::int64_t n);

    // A wide line's walk down the rows (in `walk`'s rows and columns, the
    // mask's pixel (i, j) being the bitmap's (x0 + i, y0 + j)); its runs
    // must all lie on the held rows.
    void addWalk(const WideWalk& walk, std::int64_t x0, std::int64_t y0);
    // One run [x1, x2) of row y, cut to the bitmap's columns.
    void addRun(std::int64_t y, std::int64_t x1, std::int64_t x2);

    int firstRow() const { return m_first; }
    int endRow() const { return m_end; }

    // Each held row in turn, from the first: `row` is given row y (its
    // pixels, to be written first), then the row's pixels of every line held
    // are put on it.
    template <typename Row>
    void draw(Row row) {
        drawUntil(m_end, row);
    }
    // The same for the held rows from the next not yet drawn up to `end`
    // (the lines held once for a strip, drawn band after band).
    template <typename Row>
    void drawUntil(int end, Row row) {
        if (!m_drawing) {
            startDrawing();
            m_drawing = true;
            m_next = m_first;
        }
        for (end = std::min(end, m_end); m_next < end; ++m_next) {
            std::uint32_t* pixels = row(m_next);
            drawRow(m_next, pixels);
        }
    }
    // The row drawUntil goes on from.
    int nextRow() const { return m_drawing ? m_next : m_first; }

private:
    // A line of one step a row (y major), walked down the rows: its pixel
    // in the next row at x, the remainder r in [0, den).
    struct ColumnWalk {
        int row = 0, x = 0, r = 0, stepQ = 0, stepR = 0, den = 1, end = 0;  // rows [row, end)
    };
    // The walks of the lines on the row being drawn, field by field (the
    // step of them all is a few vector instructions).
    struct ActiveColumns {
        std::vector<int> x, r, stepQ, stepR, den, end;
        int soonestEnd = 0;  // the least end, past every row when none
        void clear();
        void push(const ColumnWalk& w);
        void removeAt(std::size_t k);
        std::size_t size() const { return x.size(); }
    };
    // A line of one run a row (x major), walked down the rows: its next
    // step at x, each step moving by `delta`; the row changes at the step
    // where the remainder r, growing by stepR (in (0, den]) a step, reaches
    // den, or never (stepR 0: a level line).
    struct RowWalk {
        int row = 0, x = 0, r = 0, stepR = 0, den = 1, delta = 1;
        // From the second row on r is below stepR, and the row's steps are
        // `most` or one fewer: one fewer where r >= fewerAt, that is where
        // r + (most - 1) stepR >= den.
        int most = 0, fewerAt = 0;
        int left = 0;  // steps to go
    };
    // The walks of more than one row past their first, field by field
    // (their runs found side by side in vector code, then written): adv
    // is what r gains in a row of `most` steps, neg -1 where x falls.
    struct ActiveRuns {
        std::vector<int> x, r, stepR, fewerAt, most, adv, neg, left, x1, x2;
        void clear();
        void push(const RowWalk& w);
        void removeAt(std::size_t k);
        std::size_t size() const { return x.size(); }
    };
    // A wide line's walk on the bitmap, in int: each side's x (1/256 pixel,
    // the bitmap's columns) in the next row, carried as WideWalk carries
    // it, and the columns [lo, hi) its runs are kept to.
    struct HeldWalk {
        int first = 0, end = 0;  // the bitmap's rows [first, end)
        int u[2] = {0, 0}, r[2] = {0, 0}, stepQ[2] = {0, 0}, stepR[2] = {0, 0}, ey[2] = {1, 1};
        int lo = 0, hi = 0;
    };
    // The walks on the row being drawn, field by field (all of them stepped
    // in a few vector instructions, then their runs written).
    struct ActiveWalks {
        std::vector<int> u0, u1, r0, r1, q0, q1, s0, s1, e0, e1, lo, hi, end, x1, x2;
        int soonestEnd = 0;
        void clear();
        void push(const HeldWalk& w);
        void removeAt(std::size_t k);
        std::size_t size() const { return u0.size(); }
    };
    struct HeldRun {
        int y = 0, x1 = 0, x2 = 0;
    };
    void startDrawing();
    void drawRow(int y, std::uint32_t* row);
    void drawWide(int y, std::uint32_t* row);
    void drawRuns(int y, std::uint32_t* row);
    bool firstRun(RowWalk& w, std::uint32_t* row);

    std::vector<ColumnWalk> m_columns;
    ActiveColumns m_activeColumns;
    std::vector<RowWalk> m_rowWalks;
    ActiveRuns m_activeRows;
    std::vector<HeldWalk> m_walks;
    ActiveWalks m_activeWalks;
    std::vector<HeldRun> m_runs;
    std::size_t m_nextColumn = 0, m_nextRow = 0, m_nextWalk = 0, m_nextRun = 0;
    int m_first = 0, m_end = 0, m_width = 0;
    int m_next = 0;  // the next row to draw, once drawing has begun
    bool m_drawing = false;
    std::uint32_t m_pixel = 0;
    bool m_any = false;
    bool m_refused = false;
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
    // The rows the bitmap holds: all of them, or a band's. While lines are
    // held, the rows they are held for (which may reach past the band's:
    // nothing is written then, what is drawn is held or refused).
    int rowsBegin() const { return m_held != nullptr ? m_held->firstRow() : m_dib.firstRow(); }
    int rowsEnd() const { return m_held != nullptr ? m_held->endRow() : m_dib.endRow(); }
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
    // The same, every glyph laid by cairo (runs that drawGlyphs cannot lay
    // from the glyphs it keeps).
    int drawGlyphsThroughCairo(const GlyphRun& run, const Paint& paint, const Region* clip, int rop2);

    // Composites a coverage mask (one byte a pixel, non-zero = covered)
    // whose top-left pixel lands on (x0, y0).
    void compositeMask(int x0, int y0, int w, int h, const std::uint8_t* mask, int stride, const Paint& paint,
                       const Region* clip, int rop2);

    // A stroke's mask composited, or while lines are held (the stroke's
    // colour taken), its covered runs held.
    void compositeStroke(int x0, int y0, int w, int h, const std::uint8_t* mask, int stride,
                         const Paint& paint, const Region* clip, int rop2);

    // The same for covered runs, one a row (RowSpan, [x1, x2) from x0), row
    // 0 landing on y0.
    void compositeRows(int x0, int y0, std::span<const RowSpan> rows, const Paint& paint, const Region* clip,
                       int rop2);
    // Where such runs can be written straight into the picture (a solid
    // colour copied, no clip, no lines held), the rows to write them to,
    // row 0 landing on y0 and column 0 on x0.
    std::optional<SolidRows> solidRows(int x0, int y0, const Paint& paint, const Region* clip, int rop2);

    // From here on, while `held` is set, the one-pixel solid lines that the
    // drawing calls copy are added to it instead of drawn (the bitmap is
    // left as it is); a drawing of any other kind refuses the holding and
    // draws nothing. nullptr draws again.
    void holdLines(HeldLines* held) { m_held = held; }
    HeldLines* heldLines() const { return m_held; }

private:
    void plot(int x, int y, std::uint32_t pixel, int rop2);
    DibSection& m_dib;
    WorkBudget m_unlimited;
    WorkBudget& m_budget;
    HeldLines* m_held = nullptr;
};

}  // namespace metafile
