// Records that create, select and delete pens, brushes, fonts and palettes.

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"
#include "metafile/stock_objects.h"
#include "metafile/utf8.h"

namespace metafile {
namespace {

using namespace emf;

// ExtCreatePen takes at most this many user style entries.
constexpr std::uint32_t kMaxStyleEntries = 16;

void onCreatePen(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32();
    Pen pen;
    pen.style = *in.u32();
    const auto width = *readPointL(in);  // only x counts
    pen.width = width.x < 0 ? -double(width.x) : double(width.x);
    pen.color = *in.u32() & 0xFFFFFF;
    ctx.storeObject(index, pen);
}

void onExtCreatePen(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32();
    in.skip(16);  // offBmi, cbBmi, offBits, cbBits: a pattern for the pen's brush
    Pen pen;
    pen.extended = true;
    pen.style = *in.u32();
    pen.width = *in.u32();
    pen.brushStyle = *in.u32();
    pen.color = *in.u32() & 0xFFFFFF;
    pen.hatch = *in.u32();
    const auto entries = *in.u32();
    if (pen.lineStyle() == gdi::PS_USERSTYLE && entries > kMaxStyleEntries) {
        // ExtCreatePen fails on such a pen; the object is not made.
        ctx.malformed("a pen style of more than 16 entries");
        return;
    }
    if (pen.lineStyle() == gdi::PS_USERSTYLE) {
        auto styleBytes = in.takeArray(entries, 4);
        if (!styleBytes) {
            ctx.malformed("style entries run past the record");
        } else {
            ByteReader s(*styleBytes);
            for (std::uint32_t i = 0; i < entries; ++i) pen.dashes.push_back(*s.u32());
        }
    }
    if (pen.brushStyle == gdi::BS_NULL)
        pen.style = (pen.style & ~gdi::PS_STYLE_MASK) | gdi::PS_NULL;
    ctx.storeObject(index, pen);
}

void onCreateBrush(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32();
    Brush brush;
    brush.style = *in.u32();
    brush.color = *in.u32() & 0xFFFFFF;
    brush.hatch = *in.u32();
    if (brush.style != gdi::BS_SOLID && brush.style != gdi::BS_NULL && brush.style != gdi::BS_HATCHED) {
        // Pattern styles need a bitmap this record cannot carry: a solid brush.
        brush.style = gdi::BS_SOLID;
    }
    ctx.storeObject(index, brush);
}

std::string utf8FromUtf16(std::span<const char16_t> text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

void onCreateFont(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32();
    LogFont f;
    f.height = *in.i32();
    f.width = *in.i32();
    f.escapement = *in.i32();
    f.orientation = *in.i32();
    f.weight = *in.i32();
    f.italic = *in.u8() != 0;
    f.underline = *in.u8() != 0;
    f.strikeOut = *in.u8() != 0;
    f.charSet = *in.u8();
    f.outPrecision = *in.u8();
    f.clipPrecision = *in.u8();
    f.quality = *in.u8();
    f.pitchAndFamily = *in.u8();
    char16_t face[32] = {};
    for (auto& c : face) c = static_cast<char16_t>(*in.u16());
    f.faceName = utf8FromUtf16(face);
    ctx.storeObject(index, f);
}

void onCreatePalette(PlaybackContext& ctx, ByteReader& in) {
    ctx.storeObject(*in.u32(), PaletteObject{});
}

void selectStock(PlaybackContext& ctx, std::uint32_t index) {
    if (const auto brush = stockBrush(index))
        ctx.dc.setBrush(*brush);
    else if (const auto pen = stockPen(index))
        ctx.dc.setPen(*pen);
    else if (const auto font = stockFont(index))
        ctx.dc.setFont(*font);
    else if (index != static_cast<std::uint32_t>(StockObject::DEFAULT_PALETTE))
        ctx.malformed("unknown stock object");
}

void onSelectObject(PlaybackContext& ctx, ByteReader& in) {
    const auto index = *in.u32();
    if (index & 0x80000000u) {
        selectStock(ctx, index);
        return;
    }
    GdiObject* object = ctx.object(index);
    if (object == nullptr || std::holds_alternative<std::monostate>(*object)) {
        ctx.malformed("selects an object that does not exist");
        return;
    }
    if (const auto* pen = std::get_if<Pen>(object))
        ctx.dc.setPen(*pen);
    else if (const auto* brush = std::get_if<Brush>(object))
        ctx.dc.setBrush(*brush);
    else if (const auto* font = std::get_if<LogFont>(object))
        ctx.dc.setFont(*font);
}

void onDeleteObject(PlaybackContext& ctx, ByteReader& in) {
    // The DC keeps a copy of what is selected, as GDI keeps a deleted
    // object alive while it is selected.
    if (GdiObject* object = ctx.object(*in.u32()))
        *object = std::monostate{};
}

}  // namespace

void addObjectHandlers(HandlerTable& t) {
    setHandler(t, EMR_CREATEPEN, onCreatePen, 28);
    setHandler(t, EMR_EXTCREATEPEN, onExtCreatePen, 52);
    setHandler(t, EMR_CREATEBRUSHINDIRECT, onCreateBrush, 24);
    setHandler(t, EMR_EXTCREATEFONTINDIRECTW, onCreateFont, 104);
    setHandler(t, EMR_CREATEPALETTE, onCreatePalette, 12);
    setHandler(t, EMR_SELECTOBJECT, onSelectObject, 12);
    setHandler(t, EMR_DELETEOBJECT, onDeleteObject, 12);
}

}  // namespace metafile
