#pragma once
// What the record handlers share while a metafile plays: the DC, the
// metafile's own mapping state (kept here and folded into the DC's transform,
// so that SaveDC/RestoreDC of the metafile restore it too), the object table
// and the report.

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "metafile/byte_reader.h"
#include "metafile/dc.h"
#include "metafile/mapping.h"
#include "metafile/metafile.h"
#include "metafile/player.h"

namespace metafile {

struct PaletteObject {};
using GdiObject = std::variant<std::monostate, Pen, Brush, LogFont, PaletteObject>;

struct PlaybackContext {
    Dc& dc;
    const Metafile& metafile;
    PlaybackReport& report;
    Matrix initTransform;
    MappingState mapping;
    std::vector<MappingState> savedMappings;
    std::vector<GdiObject> objects;
    std::uint32_t recordType = 0;
    std::size_t recordIndex = 0;

    // Folds the mapping state into the DC's transform.
    void updateTransform();
    // Counts the current record as malformed.
    void malformed(const char* why);
    GdiObject* object(std::uint32_t index);
    bool storeObject(std::uint32_t index, GdiObject object);
};

// A record handler reads the record's parameters (after the 8-byte type and
// size) and acts on the context.
using RecordHandler = void (*)(PlaybackContext&, ByteReader&);

struct HandlerEntry {
    RecordHandler handler = nullptr;
    std::uint32_t minimumSize = 8;  // the record's size must be at least this
};

// Each family of records fills its part of the table.
using HandlerTable = std::vector<HandlerEntry>;
void addStateHandlers(HandlerTable& table);
void addObjectHandlers(HandlerTable& table);
void addDrawingHandlers(HandlerTable& table);
void addPathAndClipHandlers(HandlerTable& table);
void addBitmapHandlers(HandlerTable& table);
void addTextHandlers(HandlerTable& table);

inline void setHandler(HandlerTable& table, std::uint32_t type, RecordHandler handler,
                       std::uint32_t minimumSize) {
    if (table.size() <= type)
        table.resize(type + 1);
    table[type] = {handler, minimumSize};
}

// Reads `count` points (32- or 16-bit) as logical doubles; nullopt when the
// record does not hold them.
std::optional<std::vector<PointD>> readPoints(ByteReader& in, std::uint32_t count, bool sixteenBit);

// RGNDATA ([MS-EMF] 2.2.24): its rectangles, checked against the bytes.
std::optional<std::vector<RectL>> readRegionData(ByteReader& in, std::uint32_t size);

}  // namespace metafile
