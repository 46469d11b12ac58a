// Text records: EXTTEXTOUTW/A, POLYTEXTOUTW/A, SMALLTEXTOUT, and text
// justification.

#include <string>

#include "metafile/emf_read.h"
#include "metafile/emf_records.h"
#include "metafile/player_context.h"

namespace metafile {
namespace {

using namespace emf;

// Windows-1252 for the bytes 0x80..0x9F; the rest is Latin-1.
constexpr std::uint16_t kCp1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t fromAnsi(std::uint8_t b) {
    return (b >= 0x80 && b < 0xA0) ? kCp1252[b - 0x80] : b;
}

// UTF-16 units to code points; glyph indices are taken as they are.
std::vector<std::uint32_t> fromUtf16(const std::vector<std::uint16_t>& units, bool glyphIndices) {
    std::vector<std::uint32_t> out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t c = units[i];
        if (!glyphIndices && c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t(units[i + 1]) - 0xDC00);
            ++i;
            out.push_back(c);
            out.push_back(0xFFFF);  // keeps one entry per unit so that dx stays aligned
            continue;
        }
        out.push_back(c);
    }
    return out;
}

// One EMRTEXT ([MS-EMF] 2.2.5) with its string and spacing, all offsets
// taken from the start of the record.
bool playEmrText(PlaybackContext& ctx, const ByteReader& record, ByteReader& in, bool wide,
                 int graphicsMode) {
    const auto reference = readPointL(in);
    const auto nChars = in.u32();
    const auto offString = in.u32();
    const auto options = in.u32();
    const auto rect = readRectL(in);
    const auto offDx = in.u32();
    if (!offDx) {
        ctx.malformed("text header truncated");
        return false;
    }
    Dc::TextOut text;
    text.reference = {double(reference->x), double(reference->y)};
    text.options = *options;
    text.rect = *rect;
    text.graphicsMode = graphicsMode;
    const bool glyphIndices = (*options & gdi::ETO_GLYPH_INDEX) != 0;
    if (*nChars > 0) {
        auto chars = record.range(*offString, std::size_t{*nChars} * (wide ? 2 : 1));
        if (!chars) {
            ctx.malformed("string lies outside the record");
            return false;
        }
        if (wide) {
            std::vector<std::uint16_t> units;
            units.reserve(*nChars);
            for (std::uint32_t i = 0; i < *nChars; ++i) units.push_back(*chars->u16());
            text.characters = fromUtf16(units, glyphIndices);
        } else {
            for (std::uint32_t i = 0; i < *nChars; ++i) text.characters.push_back(fromAnsi(*chars->u8()));
        }
        // The spacing array is optional (some writers leave offDx 0).
        const std::size_t entries = std::size_t{*nChars} * ((*options & gdi::ETO_PDY) ? 2 : 1);
        if (*offDx != 0) {
            if (auto dx = record.range(*offDx, entries * 4)) {
                text.dx.reserve(entries);
                for (std::size_t i = 0; i < entries; ++i) text.dx.push_back(*dx->i32());
            } else {
                ctx.report.note("record " + std::to_string(ctx.recordIndex) +
                                ": spacing array outside the record");
            }
        }
    }
    if (glyphIndices)
        ++ctx.report.glyphIndexRuns;
    ctx.report.useFont(ctx.dc.state().font.faceName);
    const int missing = ctx.dc.extTextOut(text);
    ctx.report.missingGlyphs += missing;
    return true;
}

template <bool Wide>
void onExtTextOut(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);  // bounds
    const auto graphicsMode = static_cast<int>(*in.u32());
    in.skip(8);  // exScale, eyScale
    const ByteReader record(in.bytes());
    playEmrText(ctx, record, in, Wide, graphicsMode);
}

template <bool Wide>
void onPolyTextOut(PlaybackContext& ctx, ByteReader& in) {
    in.skip(16);
    const auto graphicsMode = static_cast<int>(*in.u32());
    in.skip(8);
    const auto count = *in.u32();
    const ByteReader record(in.bytes());
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!playEmrText(ctx, record, in, Wide, graphicsMode))
            return;
    }
}

void onSmallTextOut(PlaybackContext& ctx, ByteReader& in) {
    const auto x = *in.i32(), y = *in.i32();
    const auto count = *in.u32();
    const auto options = *in.u32();
    const auto graphicsMode = static_cast<int>(*in.u32());
    in.skip(8);  // exScale, eyScale
    Dc::TextOut text;
    text.reference = {double(x), double(y)};
    text.options = options & ~gdi::ETO_PDY;
    text.graphicsMode = graphicsMode;
    if (!(options & gdi::ETO_NO_RECT)) {
        const auto rect = readRectL(in);
        if (!rect) {
            ctx.malformed("clip rectangle missing");
            return;
        }
        text.rect = *rect;
    }
    const bool small = (options & gdi::ETO_SMALL_CHARS) != 0;
    auto chars = in.takeArray(count, small ? 1 : 2);
    if (!chars) {
        ctx.malformed("string runs past the record");
        return;
    }
    ByteReader c(*chars);
    std::vector<std::uint16_t> units;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (small) {
            text.characters.push_back(fromAnsi(*c.u8()));
        } else {
            units.push_back(*c.u16());
        }
    }
    if (!small)
        text.characters = fromUtf16(units, (options & gdi::ETO_GLYPH_INDEX) != 0);
    if (options & gdi::ETO_GLYPH_INDEX)
        ++ctx.report.glyphIndexRuns;
    ctx.report.useFont(ctx.dc.state().font.faceName);
    ctx.report.missingGlyphs += ctx.dc.extTextOut(text);
}

void onSetTextJustification(PlaybackContext& ctx, ByteReader& in) {
    const auto extra = *in.i32(), count = *in.i32();
    ctx.dc.setTextJustification(extra, count);
}

}  // namespace

void addTextHandlers(HandlerTable& t) {
    setHandler(t, EMR_EXTTEXTOUTW, onExtTextOut<true>, 76);
    setHandler(t, EMR_EXTTEXTOUTA, onExtTextOut<false>, 76);
    setHandler(t, EMR_POLYTEXTOUTW, onPolyTextOut<true>, 40);
    setHandler(t, EMR_POLYTEXTOUTA, onPolyTextOut<false>, 40);
    setHandler(t, EMR_SMALLTEXTOUT, onSmallTextOut, 36);
    setHandler(t, EMR_SETTEXTJUSTIFICATION, onSetTextJustification, 16);
}

}  // namespace metafile
