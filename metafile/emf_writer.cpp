#include "metafile/emf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "metafile/emf_records.h"

namespace metafile {

using namespace emf;

// One record being built: little-endian values after the type and size.
class EmfWriter::Record {
public:
    explicit Record(std::uint32_t type) {
        u32(type);
        u32(0);  // size, set by finish()
    }
    Record& u8(std::uint8_t v) {
        m_bytes.push_back(static_cast<std::byte>(v));
        return *this;
    }
    Record& u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        return u8(static_cast<std::uint8_t>(v >> 8));
    }
    Record& u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        return u16(static_cast<std::uint16_t>(v >> 16));
    }
    Record& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Record& f32(float v) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return u32(bits);
    }
    Record& rect(const RectL& r) { return i32(r.left).i32(r.top).i32(r.right).i32(r.bottom); }
    Record& point(PointL p) { return i32(p.x).i32(p.y); }
    Record& size(SizeL s) { return i32(s.cx).i32(s.cy); }
    Record& xform(const Matrix& m) {
        return f32(float(m.eM11))
            .f32(float(m.eM12))
            .f32(float(m.eM21))
            .f32(float(m.eM22))
            .f32(float(m.eDx))
            .f32(float(m.eDy));
    }
    std::vector<std::byte> finish() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(std::byte{0});
        const auto n = static_cast<std::uint32_t>(m_bytes.size());
        for (int i = 0; i < 4; ++i)
            m_bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::byte>((n >> (8 * i)) & 0xFF);
        return std::move(m_bytes);
    }

private:
    std::vector<std::byte> m_bytes;
};

EmfWriter::EmfWriter(const RectL& frame, SizeL devicePixels, SizeL deviceMillimetres,
                     std::u16string description)
    : m_frame(frame),
      m_devicePixels(devicePixels),
      m_deviceMillimetres(deviceMillimetres),
      m_description(std::move(description)) {}

void EmfWriter::add(Record&& record) {
    auto bytes = record.finish();
    m_records.insert(m_records.end(), bytes.begin(), bytes.end());
    ++m_recordCount;
}

void EmfWriter::includeLogical(std::span<const PointL> points, double margin) {
    const Matrix m = m_mapping.toDevice();
    const double scale = m.meanScale();
    for (auto p : points) {
        const PointD d = m.apply({double(p.x), double(p.y)});
        const double r = margin * scale;
        const RectL box{
            static_cast<std::int32_t>(std::floor(d.x - r)), static_cast<std::int32_t>(std::floor(d.y - r)),
            static_cast<std::int32_t>(std::ceil(d.x + r)), static_cast<std::int32_t>(std::ceil(d.y + r))};
        if (!m_bounds) {
            m_bounds = box;
        } else {
            m_bounds->left = std::min(m_bounds->left, box.left);
            m_bounds->top = std::min(m_bounds->top, box.top);
            m_bounds->right = std::max(m_bounds->right, box.right);
            m_bounds->bottom = std::max(m_bounds->bottom, box.bottom);
        }
    }
}

void EmfWriter::includeBox(const RectL& box) {
    const PointL corners[4] = {
        {box.left, box.top}, {box.right, box.top}, {box.right, box.bottom}, {box.left, box.bottom}};
    includeLogical(corners, m_penWidth / 2);
}

std::uint32_t EmfWriter::allocateHandle() {
    for (std::uint32_t i = 1; i < m_handles.size(); ++i) {
        if (!m_handles[i]) {
            m_handles[i] = true;
            return i;
        }
    }
    m_handles.push_back(true);
    return static_cast<std::uint32_t>(m_handles.size() - 1);
}

std::uint32_t EmfWriter::createPen(const Pen& pen) {
    const std::uint32_t index = allocateHandle();
    if (m_penWidths.size() <= index)
        m_penWidths.resize(index + 1, 0);
    m_penWidths[index] = pen.width;
    if (pen.extended || !pen.dashes.empty()) {
        Record r(EMR_EXTCREATEPEN);
        r.u32(index).u32(0).u32(0).u32(0).u32(0);
        r.u32(pen.style)
            .u32(static_cast<std::uint32_t>(pen.width))
            .u32(pen.brushStyle)
            .u32(pen.color)
            .u32(pen.hatch);
        r.u32(static_cast<std::uint32_t>(pen.dashes.size()));
        for (auto d : pen.dashes) r.u32(d);
        add(std::move(r));
    } else {
        Record r(EMR_CREATEPEN);
        r.u32(index).u32(pen.style).i32(static_cast<std::int32_t>(pen.width)).i32(0).u32(pen.color);
        add(std::move(r));
    }
    return index;
}

std::uint32_t EmfWriter::createBrush(const Brush& brush) {
    const std::uint32_t index = allocateHandle();
    Record r(EMR_CREATEBRUSHINDIRECT);
    r.u32(index).u32(brush.style).u32(brush.color).u32(brush.hatch);
    add(std::move(r));
    return index;
}

std::uint32_t EmfWriter::createFont(const LogFont& f) {
    const std::uint32_t index = allocateHandle();
    if (m_fontHeights.size() <= index)
        m_fontHeights.resize(index + 1, 0);
    m_fontHeights[index] = std::fabs(double(f.height));
    Record r(EMR_EXTCREATEFONTINDIRECTW);
    r.u32(index).i32(f.height).i32(f.width).i32(f.escapement).i32(f.orientation).i32(f.weight);
    r.u8(f.italic)
        .u8(f.underline)
        .u8(f.strikeOut)
        .u8(f.charSet)
        .u8(f.outPrecision)
        .u8(f.clipPrecision)
        .u8(f.quality)
        .u8(f.pitchAndFamily);
    // The face name as UTF-16 in 32 units (ASCII faces, as fonts are named).
    for (std::size_t i = 0; i < 32; ++i) {
        r.u16(i < f.faceName.size() && i < 31 ? static_cast<std::uint8_t>(f.faceName[i]) : 0);
    }
    add(std::move(r));
    return index;
}

void EmfWriter::selectObject(std::uint32_t index) {
    const auto stock = static_cast<StockObject>(index);
    if (stock == StockObject::BLACK_PEN || stock == StockObject::WHITE_PEN ||
        stock == StockObject::NULL_PEN) {
        m_penWidth = 0;
    } else if (index < m_penWidths.size() && m_penWidths[index] > 0) {
        m_penWidth = m_penWidths[index];
    }
    if (index < m_fontHeights.size() && m_fontHeights[index] > 0)
        m_fontHeight = m_fontHeights[index];
    add(std::move(Record(EMR_SELECTOBJECT).u32(index)));
}

void EmfWriter::deleteObject(std::uint32_t index) {
    if (index < m_handles.size())
        m_handles[index] = false;
    add(std::move(Record(EMR_DELETEOBJECT).u32(index)));
}

void EmfWriter::setMapMode(int mode) {
    const ReferenceDevice device{double(m_devicePixels.cx), double(m_devicePixels.cy),
                                 double(m_deviceMillimetres.cx), double(m_deviceMillimetres.cy)};
    if (!(m_mapping.mode == mode && m_mapping.scalable()))
        m_mapping.setMapMode(mode, device);
    add(std::move(Record(EMR_SETMAPMODE).u32(static_cast<std::uint32_t>(mode))));
}

void EmfWriter::setWindowExt(SizeL ext) {
    m_mapping.setWindowExt(ext, {double(m_devicePixels.cx), double(m_devicePixels.cy),
                                 double(m_deviceMillimetres.cx), double(m_deviceMillimetres.cy)});
    add(std::move(Record(EMR_SETWINDOWEXTEX).size(ext)));
}

void EmfWriter::setViewportExt(SizeL ext) {
    m_mapping.setViewportExt(ext, {double(m_devicePixels.cx), double(m_devicePixels.cy),
                                   double(m_deviceMillimetres.cx), double(m_deviceMillimetres.cy)});
    add(std::move(Record(EMR_SETVIEWPORTEXTEX).size(ext)));
}

void EmfWriter::setWindowOrg(PointL origin) {
    m_mapping.windowOrg = origin;
    add(std::move(Record(EMR_SETWINDOWORGEX).point(origin)));
}

void EmfWriter::setViewportOrg(PointL origin) {
    m_mapping.viewportOrg = origin;
    add(std::move(Record(EMR_SETVIEWPORTORGEX).point(origin)));
}

void EmfWriter::setWorldTransform(const Matrix& m) {
    m_mapping.world = m;
    add(std::move(Record(EMR_SETWORLDTRANSFORM).xform(m)));
}

void EmfWriter::modifyWorldTransform(const Matrix& m, int mode) {
    if (mode == gdi::MWT_IDENTITY)
        m_mapping.world = Matrix{};
    else if (mode == gdi::MWT_LEFTMULTIPLY)
        m_mapping.world = m.then(m_mapping.world);
    else if (mode == gdi::MWT_RIGHTMULTIPLY)
        m_mapping.world = m_mapping.world.then(m);
    else if (mode == gdi::MWT_SET)
        m_mapping.world = m;
    add(std::move(Record(EMR_MODIFYWORLDTRANSFORM).xform(m).u32(static_cast<std::uint32_t>(mode))));
}

void EmfWriter::saveDc() {
    m_saved.push_back(m_mapping);
    add(Record(EMR_SAVEDC));
}

void EmfWriter::restoreDc(std::int32_t level) {
    const int saved = static_cast<int>(m_saved.size());
    const int target = level < 0 ? saved + level + 1 : level;
    if (target >= 1 && target <= saved) {
        m_mapping = m_saved[static_cast<std::size_t>(target - 1)];
        m_saved.resize(static_cast<std::size_t>(target - 1));
    }
    add(std::move(Record(EMR_RESTOREDC).i32(level)));
}

void EmfWriter::setBkMode(int mode) {
    add(std::move(Record(EMR_SETBKMODE).u32(static_cast<std::uint32_t>(mode))));
}
void EmfWriter::setBkColor(ColorRef color) {
    add(std::move(Record(EMR_SETBKCOLOR).u32(color)));
}
void EmfWriter::setTextColor(ColorRef color) {
    add(std::move(Record(EMR_SETTEXTCOLOR).u32(color)));
}
void EmfWriter::setStretchBltMode(int mode) {
    add(std::move(Record(EMR_SETSTRETCHBLTMODE).u32(static_cast<std::uint32_t>(mode))));
}
void EmfWriter::setPolyFillMode(int mode) {
    add(std::move(Record(EMR_SETPOLYFILLMODE).u32(static_cast<std::uint32_t>(mode))));
}
void EmfWriter::setRop2(int rop2) {
    add(std::move(Record(EMR_SETROP2).u32(static_cast<std::uint32_t>(rop2))));
}
void EmfWriter::setArcDirection(int direction) {
    add(std::move(Record(EMR_SETARCDIRECTION).u32(static_cast<std::uint32_t>(direction))));
}
void EmfWriter::setMiterLimit(float limit) {
    add(std::move(Record(EMR_SETMITERLIMIT).f32(limit)));
}
void EmfWriter::setTextAlign(std::uint32_t align) {
    add(std::move(Record(EMR_SETTEXTALIGN).u32(align)));
}

void EmfWriter::moveTo(PointL p) {
    m_position = p;
    add(std::move(Record(EMR_MOVETOEX).point(p)));
}

void EmfWriter::lineTo(PointL p) {
    const PointL pts[2] = {m_position, p};
    includeLogical(pts, m_penWidth / 2);
    m_position = p;
    add(std::move(Record(EMR_LINETO).point(p)));
}

namespace {

bool fits16(std::span<const PointL> points) {
    return std::all_of(points.begin(), points.end(), [](PointL p) {
        return p.x >= std::numeric_limits<std::int16_t>::min() &&
               p.x <= std::numeric_limits<std::int16_t>::max() &&
               p.y >= std::numeric_limits<std::int16_t>::min() &&
               p.y <= std::numeric_limits<std::int16_t>::max();
    });
}

RectL logicalBounds(std::span<const PointL> points) {
    RectL r{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
            std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()};
    for (auto p : points) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return points.empty() ? RectL{} : r;
}

}  // namespace

void EmfWriter::polyRecord(std::uint32_t type32, std::uint32_t type16, std::span<const PointL> points) {
    includeLogical(points, m_penWidth / 2);
    const bool small = fits16(points);
    Record r(small ? type16 : type32);
    r.rect(logicalBounds(points)).u32(static_cast<std::uint32_t>(points.size()));
    for (auto p : points) {
        if (small) {
            r.u16(static_cast<std::uint16_t>(p.x)).u16(static_cast<std::uint16_t>(p.y));
        } else {
            r.point(p);
        }
    }
    add(std::move(r));
}

void EmfWriter::polyPolyRecord(std::uint32_t type32, std::uint32_t type16, std::span<const PointL> points,
                               std::span<const std::uint32_t> counts) {
    includeLogical(points, m_penWidth / 2);
    const bool small = fits16(points);
    Record r(small ? type16 : type32);
    r.rect(logicalBounds(points))
        .u32(static_cast<std::uint32_t>(counts.size()))
        .u32(static_cast<std::uint32_t>(points.size()));
    for (auto c : counts) r.u32(c);
    for (auto p : points) {
        if (small) {
            r.u16(static_cast<std::uint16_t>(p.x)).u16(static_cast<std::uint16_t>(p.y));
        } else {
            r.point(p);
        }
    }
    add(std::move(r));
}

void EmfWriter::polyline(std::span<const PointL> points) {
    polyRecord(EMR_POLYLINE, EMR_POLYLINE16, points);
}
void EmfWriter::polygon(std::span<const PointL> points) {
    polyRecord(EMR_POLYGON, EMR_POLYGON16, points);
}
void EmfWriter::polyBezier(std::span<const PointL> points) {
    polyRecord(EMR_POLYBEZIER, EMR_POLYBEZIER16, points);
}

void EmfWriter::polylineTo(std::span<const PointL> points) {
    polyRecord(EMR_POLYLINETO, EMR_POLYLINETO16, points);
    if (!points.empty())
        m_position = points.back();
}

void EmfWriter::polyBezierTo(std::span<const PointL> points) {
    polyRecord(EMR_POLYBEZIERTO, EMR_POLYBEZIERTO16, points);
    if (!points.empty())
        m_position = points.back();
}

void EmfWriter::polyPolygon(std::span<const PointL> points, std::span<const std::uint32_t> counts) {
    polyPolyRecord(EMR_POLYPOLYGON, EMR_POLYPOLYGON16, points, counts);
}

void EmfWriter::polyPolyline(std::span<const PointL> points, std::span<const std::uint32_t> counts) {
    polyPolyRecord(EMR_POLYPOLYLINE, EMR_POLYPOLYLINE16, points, counts);
}

void EmfWriter::rectangle(const RectL& box) {
    includeBox(box);
    add(std::move(Record(EMR_RECTANGLE).rect(box)));
}

void EmfWriter::roundRect(const RectL& box, SizeL corner) {
    includeBox(box);
    add(std::move(Record(EMR_ROUNDRECT).rect(box).size(corner)));
}

void EmfWriter::ellipse(const RectL& box) {
    includeBox(box);
    add(std::move(Record(EMR_ELLIPSE).rect(box)));
}

void EmfWriter::arc(const RectL& box, PointL start, PointL end) {
    includeBox(box);
    add(std::move(Record(EMR_ARC).rect(box).point(start).point(end)));
}

void EmfWriter::chord(const RectL& box, PointL start, PointL end) {
    includeBox(box);
    add(std::move(Record(EMR_CHORD).rect(box).point(start).point(end)));
}

void EmfWriter::pie(const RectL& box, PointL start, PointL end) {
    includeBox(box);
    add(std::move(Record(EMR_PIE).rect(box).point(start).point(end)));
}

void EmfWriter::angleArc(PointL center, std::uint32_t radius, float start, float sweep) {
    const auto r = static_cast<std::int32_t>(std::min<std::uint32_t>(radius, 1u << 30));
    includeBox({center.x - r, center.y - r, center.x + r, center.y + r});
    add(std::move(Record(EMR_ANGLEARC).point(center).u32(radius).f32(start).f32(sweep)));
}

void EmfWriter::includeText(PointL reference, std::size_t count, std::span<const std::int32_t> dx) {
    // A generous box: the run may turn with the font's escapement.
    std::int64_t advance = 0;
    for (auto d : dx) advance += std::abs(std::int64_t{d});
    if (dx.empty())
        advance = static_cast<std::int64_t>(double(count) * m_fontHeight * 0.6);
    const auto reach = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(advance + static_cast<std::int64_t>(m_fontHeight * 1.25), 0, INT32_MAX / 2));
    const auto clampAdd = [](std::int32_t a, std::int64_t b) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(a + b, INT32_MIN, INT32_MAX));
    };
    includeBox({clampAdd(reference.x, -reach), clampAdd(reference.y, -reach), clampAdd(reference.x, reach),
                clampAdd(reference.y, reach)});
}

// EMRTEXT: the reference point, the string and its spacing, with the offsets
// counted from the start of the record (`at`: where the string goes).
void EmfWriter::emrText(Record& r, const TextRun& run, std::uint32_t at) {
    const std::uint32_t stringBytes = static_cast<std::uint32_t>((run.text.size() * 2 + 3) / 4 * 4);
    const bool pdy = (run.options & gdi::ETO_PDY) != 0;
    const bool withDx = !run.dx.empty() && run.dx.size() == run.text.size() * (pdy ? 2 : 1);
    r.point(run.reference).u32(static_cast<std::uint32_t>(run.text.size())).u32(at).u32(run.options);
    r.rect(run.rect).u32(withDx ? at + stringBytes : 0);
}

void EmfWriter::emrTextData(Record& r, const TextRun& run) {
    const bool pdy = (run.options & gdi::ETO_PDY) != 0;
    const bool withDx = !run.dx.empty() && run.dx.size() == run.text.size() * (pdy ? 2 : 1);
    for (char16_t c : run.text) r.u16(static_cast<std::uint16_t>(c));
    if (run.text.size() % 2 == 1)
        r.u16(0);
    if (withDx) {
        for (auto d : run.dx) r.i32(d);
    }
}

void EmfWriter::extTextOut(PointL reference, std::u16string_view text, std::span<const std::int32_t> dx,
                           std::uint32_t options, const RectL& rect) {
    includeText(reference, text.size(), dx);
    const TextRun run{reference, text, dx, options, rect};
    Record r(EMR_EXTTEXTOUTW);
    r.rect({}).u32(static_cast<std::uint32_t>(m_graphicsMode)).f32(0).f32(0);
    emrText(r, run, 76);
    emrTextData(r, run);
    add(std::move(r));
}

void EmfWriter::polyTextOut(std::span<const TextRun> runs) {
    Record r(EMR_POLYTEXTOUTW);
    r.rect({}).u32(static_cast<std::uint32_t>(m_graphicsMode)).f32(0).f32(0);
    r.u32(static_cast<std::uint32_t>(runs.size()));
    // The EMRTEXT headers first, then each run's string and spacing.
    std::uint32_t at = 40 + 40 * static_cast<std::uint32_t>(runs.size());
    for (const auto& run : runs) {
        includeText(run.reference, run.text.size(), run.dx);
        emrText(r, run, at);
        const bool pdy = (run.options & gdi::ETO_PDY) != 0;
        const bool withDx = !run.dx.empty() && run.dx.size() == run.text.size() * (pdy ? 2 : 1);
        at += static_cast<std::uint32_t>((run.text.size() * 2 + 3) / 4 * 4);
        if (withDx)
            at += static_cast<std::uint32_t>(run.dx.size() * 4);
    }
    for (const auto& run : runs) emrTextData(r, run);
    add(std::move(r));
}

void EmfWriter::smallTextOut(PointL reference, std::u16string_view text, std::uint32_t options,
                             const RectL& rect) {
    includeText(reference, text.size(), {});
    Record r(EMR_SMALLTEXTOUT);
    r.point(reference).u32(static_cast<std::uint32_t>(text.size())).u32(options);
    r.u32(static_cast<std::uint32_t>(m_graphicsMode)).f32(0).f32(0);
    if (!(options & gdi::ETO_NO_RECT))
        r.rect(rect);
    for (char16_t c : text) {
        if (options & gdi::ETO_SMALL_CHARS) {
            r.u8(static_cast<std::uint8_t>(c));
        } else {
            r.u16(static_cast<std::uint16_t>(c));
        }
    }
    add(std::move(r));
}

void EmfWriter::stretchDiBits(const RectL& dest, const Image32& image, std::uint32_t rop3) {
    includeBox(dest);
    const std::uint32_t stride = static_cast<std::uint32_t>((image.width * 3 + 3) / 4 * 4);
    const std::uint32_t bitsSize = stride * static_cast<std::uint32_t>(image.height);
    Record r(EMR_STRETCHDIBITS);
    r.rect(dest).i32(dest.left).i32(dest.top).i32(0).i32(0).i32(image.width).i32(image.height);
    r.u32(80).u32(40).u32(120).u32(bitsSize).u32(0).u32(rop3);
    r.i32(dest.right - dest.left).i32(dest.bottom - dest.top);
    // BITMAPINFOHEADER: bottom-up 24-bit BI_RGB.
    r.u32(40)
        .i32(image.width)
        .i32(image.height)
        .u16(1)
        .u16(24)
        .u32(0)
        .u32(bitsSize)
        .i32(3780)
        .i32(3780)
        .u32(0)
        .u32(0);
    for (int row = image.height - 1; row >= 0; --row) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, row);
            r.u8(static_cast<std::uint8_t>(p & 0xFF))
                .u8(static_cast<std::uint8_t>((p >> 8) & 0xFF))
                .u8(static_cast<std::uint8_t>((p >> 16) & 0xFF));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3; pad < stride; ++pad) r.u8(0);
    }
    add(std::move(r));
}

void EmfWriter::beginPath() {
    add(Record(EMR_BEGINPATH));
}
void EmfWriter::endPath() {
    add(Record(EMR_ENDPATH));
}
void EmfWriter::closeFigure() {
    add(Record(EMR_CLOSEFIGURE));
}
void EmfWriter::fillPath() {
    add(std::move(Record(EMR_FILLPATH).rect({})));
}
void EmfWriter::strokePath() {
    add(std::move(Record(EMR_STROKEPATH).rect({})));
}
void EmfWriter::strokeAndFillPath() {
    add(std::move(Record(EMR_STROKEANDFILLPATH).rect({})));
}
void EmfWriter::selectClipPath(int mode) {
    add(std::move(Record(EMR_SELECTCLIPPATH).u32(static_cast<std::uint32_t>(mode))));
}
void EmfWriter::intersectClipRect(const RectL& box) {
    add(std::move(Record(EMR_INTERSECTCLIPRECT).rect(box)));
}
void EmfWriter::excludeClipRect(const RectL& box) {
    add(std::move(Record(EMR_EXCLUDECLIPRECT).rect(box)));
}

void EmfWriter::selectClipRegion(std::span<const RectL> rects, int mode) {
    Record r(EMR_EXTSELECTCLIPRGN);
    if (rects.empty()) {
        r.u32(0).u32(static_cast<std::uint32_t>(mode));
        add(std::move(r));
        return;
    }
    const auto size = static_cast<std::uint32_t>(32 + 16 * rects.size());
    RectL bounds = rects.front();
    for (const auto& rc : rects) {
        bounds.left = std::min(bounds.left, rc.left);
        bounds.top = std::min(bounds.top, rc.top);
        bounds.right = std::max(bounds.right, rc.right);
        bounds.bottom = std::max(bounds.bottom, rc.bottom);
    }
    r.u32(size).u32(static_cast<std::uint32_t>(mode));
    r.u32(32)
        .u32(1)
        .u32(static_cast<std::uint32_t>(rects.size()))
        .u32(static_cast<std::uint32_t>(16 * rects.size()))
        .rect(bounds);
    for (const auto& rc : rects) r.rect(rc);
    add(std::move(r));
}

std::vector<std::byte> EmfWriter::finish() {
    // EOF: no palette entries; offPalEntries and nSizeLast as GDI writes them.
    Record eof(EMR_EOF);
    eof.u32(0).u32(16).u32(20);
    auto eofBytes = eof.finish();

    Record header(EMR_HEADER);
    const RectL bounds = m_bounds.value_or(RectL{0, 0, -1, -1});
    header.rect(bounds).rect(m_frame).u32(kEmfSignature).u32(0x10000);
    const std::uint32_t descriptionBytes = static_cast<std::uint32_t>((m_description.size() * 2 + 3) / 4 * 4);
    const std::uint32_t headerSize = 108 + descriptionBytes;
    const std::uint32_t total = headerSize + static_cast<std::uint32_t>(m_records.size() + eofBytes.size());
    header.u32(total)
        .u32(m_recordCount + 2)
        .u16(static_cast<std::uint16_t>(std::min<std::size_t>(m_handles.size(), 0xFFFF)))
        .u16(0);
    header.u32(static_cast<std::uint32_t>(m_description.size())).u32(m_description.empty() ? 0 : 108).u32(0);
    header.size(m_devicePixels).size(m_deviceMillimetres);
    header.u32(0).u32(0).u32(0);  // no pixel format, no OpenGL
    header.size({m_deviceMillimetres.cx * 1000, m_deviceMillimetres.cy * 1000});
    for (char16_t c : m_description) header.u16(static_cast<std::uint16_t>(c));
    auto out = header.finish();
    out.insert(out.end(), m_records.begin(), m_records.end());
    out.insert(out.end(), eofBytes.begin(), eofBytes.end());
    return out;
}

platform::Expected<Metafile, MetafileError> EmfWriter::toMetafile() {
    return Metafile::fromBytes(finish());
}

}  // namespace metafile
