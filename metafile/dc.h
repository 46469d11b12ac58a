#pragma once
// A device context on a DibSection, with GDI's semantics: a logical-to-device
// transform, the selected pen, brush and font, the drawing attributes, a
// path, clipping, and SaveDC/RestoreDC. Coordinates passed in are logical;
// everything is drawn in device pixels through a Canvas.
//
// Mapping modes are resolved by the caller into the transform (the player
// keeps the metafile's window, viewport and world transform itself).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/gdi_types.h"
#include "metafile/geometry.h"
#include "metafile/image_draw.h"
#include "metafile/region.h"
#include "metafile/work_budget.h"

namespace metafile {

// Point types of a path, as PolyDraw uses them.
enum PathPointType : std::uint8_t { PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6 };

struct DcState {
    Matrix transform;  // logical -> device
    int graphicsMode = gdi::GM_COMPATIBLE;
    Pen pen;  // BLACK_PEN
    Brush brush{gdi::BS_SOLID, rgb(255, 255, 255), 0, nullptr};
    LogFont font{16, 0, 0, 0, 700, false, false, false, 1, 0, 0, 0, 0, "System"};
    int bkMode = gdi::OPAQUE;
    ColorRef bkColor = rgb(255, 255, 255);
    ColorRef textColor = rgb(0, 0, 0);
    int polyFillMode = gdi::ALTERNATE;
    int rop2 = gdi::R2_COPYPEN;
    double miterLimit = 10;
    int arcDirection = gdi::AD_COUNTERCLOCKWISE;
    std::uint32_t textAlign = 0;
    int breakExtra = 0;  // SetTextJustification
    int breakCount = 0;
    int stretchBltMode = 1;  // BLACKONWHITE
    PointL brushOrg;
    PointD currentPosition;  // logical
    // Device regions, shared between saved states (SaveDC copies the
    // pointer, never the region); none: the whole bitmap, no meta region.
    std::shared_ptr<const Region> clip;
    std::shared_ptr<const Region> metaRegion;
};

class Dc {
public:
    // SaveDC beyond this depth fails (returns 0), as a full stack does in GDI.
    static constexpr int kMaxSaveDepth = 4096;

    explicit Dc(DibSection& dib);
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // The work this DC may still do; a fresh budget for the bitmap's size
    // starts with every playback.
    WorkBudget& budget() { return m_budget; }
    void resetBudget(const WorkBudget::Limits& limits);

    Canvas& canvas() { return m_canvas; }
    const DcState& state() const { return m_state; }

    // Transform and attributes.
    void setTransform(const Matrix& transform) { m_state.transform = transform; }
    const Matrix& transform() const { return m_state.transform; }
    void setGraphicsMode(int mode) { m_state.graphicsMode = mode; }
    void setPen(const Pen& pen) { m_state.pen = pen; }
    void setBrush(const Brush& brush) { m_state.brush = brush; }
    void setFont(const LogFont& font) { m_state.font = font; }
    void setBkMode(int mode);
    void setBkColor(ColorRef color) { m_state.bkColor = color & 0xFFFFFF; }
    void setTextColor(ColorRef color) { m_state.textColor = color & 0xFFFFFF; }
    void setPolyFillMode(int mode);
    void setRop2(int rop2);
    void setMiterLimit(double limit);
    void setArcDirection(int direction);
    void setTextAlign(std::uint32_t align) { m_state.textAlign = align; }
    void setStretchBltMode(int mode) { m_state.stretchBltMode = mode; }
    void setBrushOrg(PointL origin) { m_state.brushOrg = origin; }

    // SaveDC returns the new level (0 when the stack is full); RestoreDC
    // takes a level (> 0) or a negative count relative to the current level.
    int saveDc();
    bool restoreDc(int level);
    int saveLevel() const { return static_cast<int>(m_saved.size()); }

    // Lines and shapes, in logical coordinates.
    void moveTo(PointD p);
    void lineTo(PointD p);
    void polyline(std::span<const PointD> points);
    void polylineTo(std::span<const PointD> points);
    void polygon(std::span<const PointD> points);
    void polyPolygon(std::span<const PointD> points, std::span<const std::uint32_t> counts);
    void polyPolyline(std::span<const PointD> points, std::span<const std::uint32_t> counts);
    void polyBezier(std::span<const PointD> points);
    void polyBezierTo(std::span<const PointD> points);
    void polyDraw(std::span<const PointD> points, std::span<const std::uint8_t> types);
    void rectangle(const RectL& box);
    void roundRect(const RectL& box, double cornerWidth, double cornerHeight);
    void ellipse(const RectL& box);
    void arc(const RectL& box, PointD start, PointD end);
    void arcTo(const RectL& box, PointD start, PointD end);
    void chord(const RectL& box, PointD start, PointD end);
    void pie(const RectL& box, PointD start, PointD end);
    void angleArc(PointD center, double radius, double startDegrees, double sweepDegrees);
    void setPixel(PointD p, ColorRef color);
    // FillRect: the brush over [left, right) x [top, bottom), no pen.
    void fillRect(const RectL& box, const Brush& brush);

    // Paths.
    void beginPath();
    void endPath();
    void closeFigure();
    void abortPath();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void flattenPath();
    void widenPath();
    bool selectClipPath(int mode);
    bool pathOpen() const { return m_path.state == PathState::Open; }

    // Clipping. Regions passed here are in device pixels.
    void intersectClipRect(const RectL& box);
    void excludeClipRect(const RectL& box);
    void selectClipRegion(const Region* region, int mode);
    void offsetClip(int dx, int dy);
    void setMetaRegion();
    // The clip in force (clip and meta region together); nullptr: none.
    const Region* effectiveClip() const { return m_effectiveClip.get(); }

    // Regions, in device pixels.
    void fillRegion(const Region& region, const Brush& brush);
    void frameRegion(const Region& region, const Brush& brush, int width, int height);
    void invertRegion(const Region& region);
    void paintRegion(const Region& region);

    // Bitmaps and gradients.
    void drawImage(const ImageDraw& draw);
    struct GradientVertex {
        PointD point;                    // logical
        std::uint16_t red, green, blue;  // 0..0xFF00
    };
    // GRADIENT_FILL_RECT_H (0), GRADIENT_FILL_RECT_V (1), GRADIENT_FILL_TRIANGLE (2).
    void gradientFill(std::span<const GradientVertex> vertices, std::span<const std::uint32_t> mesh,
                      std::uint32_t mode);

    // ExtTextOut: characters (or glyph indices) from a logical reference
    // point, aligned by the text alignment, spaced by `dx` when given (logical
    // units; with ETO_PDY as x, y pairs) and otherwise by the font.
    struct TextOut {
        PointD reference;
        std::uint32_t options = 0;
        std::optional<RectL> rect;
        std::vector<std::uint32_t> characters;
        std::vector<double> dx;
        int graphicsMode = gdi::GM_COMPATIBLE;
    };
    // Returns how many characters had no glyph in the substitute font.
    int extTextOut(const TextOut& text);
    void setTextJustification(int breakExtra, int breakCount);

    // DrawText for one line: DT_LEFT/DT_CENTER/DT_RIGHT, DT_TOP/DT_VCENTER/
    // DT_BOTTOM, DT_NOCLIP. The text is UTF-8.
    void drawText(std::string_view text, const RectL& box, unsigned format);

    // Device helpers.
    PointD toDevice(PointD logical) const;
    PointL toDevicePixel(PointD logical) const;
    Region logicalRectRegion(const RectL& box) const;

private:
    enum class PathState { None, Open, Closed };
    struct Path {
        PathState state = PathState::None;
        std::vector<Figure> figures;  // device coordinates
        bool figureOpen = false;      // the last figure takes further points
        std::optional<StrokeStyle> widenedWith;
    };

    // One shape's geometry in device coordinates; `filled` shapes have an
    // interior that the brush paints.
    struct Shape {
        std::vector<Figure> figures;
        bool filled = false;
    };

    void draw(const Shape& shape);
    void drawContinuing(const Shape& shape);
    void drawOutline(std::span<const Figure> figures);
    void drawInterior(std::span<const Figure> figures);
    void addToPath(const Shape& shape, bool continuesFigure);
    Paint brushPaint(const Brush& brush) const;
    std::optional<StrokeStyle> wideStroke() const;
    double penDeviceWidth() const;
    void updateClip();

    Figure deviceFigure(std::span<const PointD> logical, bool closed) const;
    std::vector<PointD> bezierPoints(PointD start, std::span<const PointD> controls) const;
    std::vector<PointD> arcPoints(const RectL& box, PointD start, PointD end, bool& full) const;
    Shape rectangleShape(const RectL& box) const;
    Shape ellipseShape(const RectL& box) const;
    Shape roundRectShape(const RectL& box, double cw, double ch) const;

    mutable WorkBudget m_budget;  // charged by the const geometry helpers too
    Canvas m_canvas;
    DcState m_state;
    std::vector<DcState> m_saved;
    Path m_path;
    std::shared_ptr<const Region> m_effectiveClip;
};

// Cubic Bezier flattening in device space, tolerance in pixels.
void flattenBezier(PointD p0, PointD p1, PointD p2, PointD p3, double tolerance, std::vector<PointD>& out);

}  // namespace metafile
