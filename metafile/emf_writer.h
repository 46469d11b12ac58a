#pragma once
// Writes enhanced metafiles: a recording device context whose calls become
// records. The header's bounds are the device-pixel box of everything drawn
// (through the mapping in force when it was drawn); the frame is given.
// Coordinates that fit in 16 bits use the 16-bit forms of the poly records.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "metafile/dib_decode.h"
#include "metafile/gdi_types.h"
#include "metafile/geometry.h"
#include "metafile/mapping.h"
#include "metafile/metafile.h"
#include "platform/expected.h"

namespace metafile {

class EmfWriter {
public:
    // `frame` in 0.01 mm; the reference device in pixels and millimetres.
    EmfWriter(const RectL& frame, SizeL devicePixels, SizeL deviceMillimetres,
              std::u16string description = {});

    // Objects: the returned index is what selectObject and deleteObject take.
    std::uint32_t createPen(const Pen& pen);
    std::uint32_t createBrush(const Brush& brush);
    std::uint32_t createFont(const LogFont& font);
    void selectObject(std::uint32_t index);
    void selectStockObject(StockObject object) { selectObject(static_cast<std::uint32_t>(object)); }
    void deleteObject(std::uint32_t index);

    // Mapping and state.
    void setMapMode(int mode);
    void setWindowExt(SizeL ext);
    void setWindowOrg(PointL origin);
    void setViewportExt(SizeL ext);
    void setViewportOrg(PointL origin);
    void setWorldTransform(const Matrix& m);
    void modifyWorldTransform(const Matrix& m, int mode);
    void saveDc();
    void restoreDc(std::int32_t level);
    void setBkMode(int mode);
    void setBkColor(ColorRef color);
    void setTextColor(ColorRef color);
    void setPolyFillMode(int mode);
    void setStretchBltMode(int mode);
    void setRop2(int rop2);
    void setArcDirection(int direction);
    void setMiterLimit(float limit);
    void setTextAlign(std::uint32_t align);

    // Drawing.
    void moveTo(PointL p);
    void lineTo(PointL p);
    void polyline(std::span<const PointL> points);
    void polylineTo(std::span<const PointL> points);
    void polygon(std::span<const PointL> points);
    void polyPolygon(std::span<const PointL> points, std::span<const std::uint32_t> counts);
    void polyPolyline(std::span<const PointL> points, std::span<const std::uint32_t> counts);
    void polyBezier(std::span<const PointL> points);
    void polyBezierTo(std::span<const PointL> points);
    void rectangle(const RectL& box);
    void roundRect(const RectL& box, SizeL corner);
    void ellipse(const RectL& box);
    void arc(const RectL& box, PointL start, PointL end);
    void chord(const RectL& box, PointL start, PointL end);
    void pie(const RectL& box, PointL start, PointL end);
    void angleArc(PointL center, std::uint32_t radius, float start, float sweep);

    // Text: EXTTEXTOUTW with the advance of each character in logical units
    // (dx may be empty: the reading program then spaces by its font; with
    // ETO_PDY it holds x, y pairs).
    void extTextOut(PointL reference, std::u16string_view text, std::span<const std::int32_t> dx = {},
                    std::uint32_t options = 0, const RectL& rect = {});
    struct TextRun {
        PointL reference;
        std::u16string_view text;
        std::span<const std::int32_t> dx;
        std::uint32_t options = 0;
        RectL rect;
    };
    // POLYTEXTOUTW: several runs in one record.
    void polyTextOut(std::span<const TextRun> runs);
    // SMALLTEXTOUT: 8-bit characters with ETO_SMALL_CHARS, else UTF-16; the
    // rectangle is left out with ETO_NO_RECT.
    void smallTextOut(PointL reference, std::u16string_view text, std::uint32_t options,
                      const RectL& rect = {});
    // The graphics mode that the following text records carry (the format
    // has no record of its own for it).
    void setGraphicsMode(int mode) { m_graphicsMode = mode; }
    // A picture: STRETCHDIBITS of a top-down 0xAARRGGBB image onto
    // [left, right) x [top, bottom), stored as a 24-bit DIB.
    void stretchDiBits(const RectL& dest, const Image32& image, std::uint32_t rop3 = 0x00CC0020);

    // Paths and clipping.
    void beginPath();
    void endPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);
    void intersectClipRect(const RectL& box);
    void excludeClipRect(const RectL& box);
    // Rectangles in device pixels of the reference device; none removes the clip.
    void selectClipRegion(std::span<const RectL> rects, int mode);

    // The finished metafile: header, records, EOF.
    std::vector<std::byte> finish();
    platform::Expected<Metafile, MetafileError> toMetafile();

private:
    class Record;
    void add(Record&& record);
    void includeLogical(std::span<const PointL> points, double margin = 0);
    void includeBox(const RectL& box);
    void includeText(PointL reference, std::size_t count, std::span<const std::int32_t> dx);
    static void emrText(Record& record, const TextRun& run, std::uint32_t at);
    static void emrTextData(Record& record, const TextRun& run);
    std::uint32_t allocateHandle();
    void polyRecord(std::uint32_t type32, std::uint32_t type16, std::span<const PointL> points);
    void polyPolyRecord(std::uint32_t type32, std::uint32_t type16, std::span<const PointL> points,
                        std::span<const std::uint32_t> counts);

    RectL m_frame;
    SizeL m_devicePixels;
    SizeL m_deviceMillimetres;
    std::u16string m_description;
    std::vector<std::byte> m_records;
    std::uint32_t m_recordCount = 0;
    std::vector<bool> m_handles{true};  // index 0 is the metafile itself
    std::optional<RectL> m_bounds;
    MappingState m_mapping;
    std::vector<MappingState> m_saved;
    PointL m_position;
    double m_penWidth = 0;
    std::vector<double> m_penWidths{0};    // by handle: the pen's width, for the bounds
    std::vector<double> m_fontHeights{0};  // by handle: the font's height, for the bounds
    double m_fontHeight = 16;
    int m_graphicsMode = gdi::GM_COMPATIBLE;
};

}  // namespace metafile
