#include "metafile/player.h"

#include <algorithm>

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

constexpr std::size_t kMaxNotes = 20;
constexpr std::size_t kMaxObjects = 1 << 16;

// Records that put something on the page.
bool draws(std::uint32_t type) {
    switch (type) {
        case emf::EMR_POLYBEZIER:
        case emf::EMR_POLYGON:
        case emf::EMR_POLYLINE:
        case emf::EMR_POLYBEZIERTO:
        case emf::EMR_POLYLINETO:
        case emf::EMR_POLYPOLYLINE:
        case emf::EMR_POLYPOLYGON:
        case emf::EMR_SETPIXELV:
        case emf::EMR_ANGLEARC:
        case emf::EMR_ELLIPSE:
        case emf::EMR_RECTANGLE:
        case emf::EMR_ROUNDRECT:
        case emf::EMR_ARC:
        case emf::EMR_CHORD:
        case emf::EMR_PIE:
        case emf::EMR_LINETO:
        case emf::EMR_ARCTO:
        case emf::EMR_POLYDRAW:
        case emf::EMR_FILLPATH:
        case emf::EMR_STROKEANDFILLPATH:
        case emf::EMR_STROKEPATH:
        case emf::EMR_FILLRGN:
        case emf::EMR_FRAMERGN:
        case emf::EMR_INVERTRGN:
        case emf::EMR_PAINTRGN:
        case emf::EMR_BITBLT:
        case emf::EMR_STRETCHBLT:
        case emf::EMR_MASKBLT:
        case emf::EMR_PLGBLT:
        case emf::EMR_SETDIBITSTODEVICE:
        case emf::EMR_STRETCHDIBITS:
        case emf::EMR_EXTTEXTOUTA:
        case emf::EMR_EXTTEXTOUTW:
        case emf::EMR_POLYBEZIER16:
        case emf::EMR_POLYGON16:
        case emf::EMR_POLYLINE16:
        case emf::EMR_POLYBEZIERTO16:
        case emf::EMR_POLYLINETO16:
        case emf::EMR_POLYPOLYLINE16:
        case emf::EMR_POLYPOLYGON16:
        case emf::EMR_POLYDRAW16:
        case emf::EMR_POLYTEXTOUTA:
        case emf::EMR_POLYTEXTOUTW:
        case emf::EMR_SMALLTEXTOUT:
        case emf::EMR_ALPHABLEND:
        case emf::EMR_TRANSPARENTBLT:
        case emf::EMR_GRADIENTFILL:
            return true;
        default:
            return false;
    }
}

const HandlerTable& handlers() {
    static const HandlerTable table = [] {
        HandlerTable t;
        addStateHandlers(t);
        addObjectHandlers(t);
        addDrawingHandlers(t);
        addPathAndClipHandlers(t);
        addBitmapHandlers(t);
        addTextHandlers(t);
        return t;
    }();
    return table;
}

}  // namespace

void PlaybackReport::note(std::string text) {
    if (notes.size() < kMaxNotes)
        notes.push_back(std::move(text));
}

std::string damageSummary(const PlaybackReport& report) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (!report.truncation.empty())
        add("record list cut short (" + report.truncation + ")");
    if (!report.cut.empty())
        add("drawing stopped early (" + report.cut + ")");
    int malformed = 0;
    for (const auto& [type, count] : report.malformed) malformed += count;
    if (malformed > 0)
        add(std::to_string(malformed) + " malformed record(s) skipped");
    return text;
}

Matrix playbackTransform(const EmfHeader& h, const RectL& rect) {
    const double frameW = double(h.rclFrame.right) - h.rclFrame.left;
    const double frameH = double(h.rclFrame.bottom) - h.rclFrame.top;
    if (frameW == 0 || frameH == 0)
        return Matrix{};
    // Size of a reference-device pixel in millimetres; a header without a
    // usable device falls back to 96 dots per inch.
    const double pxX = h.szlDevice.cx > 0 && h.szlMillimeters.cx > 0
                           ? double(h.szlMillimeters.cx) / h.szlDevice.cx
                           : 25.4 / 96;
    const double pxY = h.szlDevice.cy > 0 && h.szlMillimeters.cy > 0
                           ? double(h.szlMillimeters.cy) / h.szlDevice.cy
                           : 25.4 / 96;
    const double rectW = double(rect.right) - rect.left, rectH = double(rect.bottom) - rect.top;
    Matrix m;
    m.eM11 = rectW * 100.0 / frameW * pxX;
    m.eM22 = rectH * 100.0 / frameH * pxY;
    m.eM12 = m.eM21 = 0;
    m.eDx = rect.left - rectW / frameW * h.rclFrame.left;
    m.eDy = rect.top - rectH / frameH * h.rclFrame.top;
    return m;
}

void PlaybackContext::updateTransform() {
    const Matrix full = mapping.toDevice().then(initTransform);
    // A transform that cannot be inverted (or is not finite) is refused,
    // as GDI refuses it; the previous one stays.
    if (full.invertible())
        dc.setTransform(full);
}

void PlaybackContext::malformed(const char* why) {
    ++report.malformed[recordType];
    report.note("record " + std::to_string(recordIndex) + " (" + std::string(emf::recordName(recordType)) +
                "): " + why);
}

GdiObject* PlaybackContext::object(std::uint32_t index) {
    if (index == 0 || index >= objects.size())
        return nullptr;
    return &objects[index];
}

bool PlaybackContext::storeObject(std::uint32_t index, GdiObject value) {
    if (index == 0 || index >= kMaxObjects) {
        malformed("object index out of range");
        return false;
    }
    if (index >= objects.size())
        objects.resize(index + 1);
    objects[index] = std::move(value);
    return true;
}

std::optional<std::vector<PointD>> readPoints(ByteReader& in, std::uint32_t count, bool sixteenBit) {
    auto bytes = in.takeArray(count, sixteenBit ? 4 : 8);
    if (!bytes)
        return std::nullopt;
    ByteReader r(*bytes);
    std::vector<PointD> out;
    out.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto p = sixteenBit ? readPointS(r) : readPointL(r);
        out.push_back({double(p->x), double(p->y)});
    }
    return out;
}

std::optional<std::vector<RectL>> readRegionData(ByteReader& in, std::uint32_t size) {
    auto bytes = in.take(size);
    if (!bytes || size < 32)
        return std::nullopt;
    ByteReader r(*bytes);
    const auto headerSize = r.u32();
    const auto type = r.u32();
    const auto count = r.u32();
    const auto rgnSize = r.u32();
    const auto bounds = readRectL(r);
    if (!bounds || *headerSize < 32 || *type != 1 || !rgnSize)
        return std::nullopt;
    if (!r.seek(*headerSize))
        return std::nullopt;
    auto rects = r.takeArray(*count, 16);
    if (!rects)
        return std::nullopt;
    ByteReader rr(*rects);
    std::vector<RectL> out;
    out.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) out.push_back(*readRectL(rr));
    return out;
}

PlaybackReport playMetafile(const Metafile& metafile, Dc& dc, const RectL& destination) {
    PlaybackReport report;
    report.truncation = metafile.truncation();
    PlaybackContext ctx{dc, metafile, report, playbackTransform(metafile.header(), destination), {}, {},
                        {}, 0,        0};
    ctx.objects.resize(std::clamp<std::size_t>(metafile.header().nHandles, 1, kMaxObjects));

    dc.resetBudget(
        WorkBudget::forOutput(std::int64_t{dc.canvas().width()} * std::int64_t{dc.canvas().height()}));
    // The playback's own starting state; everything is restored afterwards.
    const int level = dc.saveDc();
    dc.setGraphicsMode(gdi::GM_ADVANCED);
    dc.setTextColor(rgb(0, 0, 0));
    dc.setBkColor(rgb(255, 255, 255));
    dc.setTextAlign(0);
    dc.setRop2(gdi::R2_COPYPEN);
    dc.setArcDirection(gdi::AD_COUNTERCLOCKWISE);
    dc.setPolyFillMode(gdi::ALTERNATE);
    dc.setStretchBltMode(1);
    ctx.updateTransform();

    const auto& table = handlers();
    const auto& records = metafile.records();
    const std::uint32_t limit = metafile.header().nBytes >= metafile.header().size &&
                                        metafile.header().nBytes <= metafile.bytes().size()
                                    ? metafile.header().nBytes
                                    : static_cast<std::uint32_t>(metafile.bytes().size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordRef& rec = records[i];
        // Records past nBytes are not part of the picture.
        if (std::uint64_t{rec.offset} + rec.size > limit)
            break;
        ctx.recordType = rec.type;
        ctx.recordIndex = i;
        const HandlerEntry* entry = rec.type < table.size() ? &table[rec.type] : nullptr;
        if (entry == nullptr || entry->handler == nullptr) {
            ++report.skipped[rec.type];
            continue;
        }
        if (rec.size < entry->minimumSize) {
            ctx.malformed("shorter than its fields");
            continue;
        }
        ByteReader in(metafile.recordBytes(rec));
        in.skip(8);
        entry->handler(ctx, in);
        ++report.recordsPlayed;
        if (draws(rec.type))
            ++report.drawingRecords;
        if (dc.budget().spent()) {
            report.cut = "the page was cut at record " + std::to_string(i) + " (" +
                         std::string(emf::recordName(rec.type)) + "): " + dc.budget().reason();
            report.note(report.cut);
            break;
        }
        if (rec.type == emf::EMR_EOF)
            break;
    }
    report.emfPlusOnly = report.emfPlus && report.drawingRecords == 0;
    dc.abortPath();
    dc.restoreDc(level);
    return report;
}

}  // namespace metafile
