#include "output/gif_frames.h"

#include <algorithm>
#include <cstring>

#include "metafile/byte_reader.h"

namespace output {
namespace {

// The GIF89a blocks (GIF89a specification, sections 17 to 27).
constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControl = 0xF9;
constexpr std::uint8_t kColorTableFlag = 0x80;

void put8(std::vector<std::byte>& out, std::uint8_t v) {
    out.push_back(static_cast<std::byte>(v));
}
void put16(std::vector<std::byte>& out, std::uint16_t v) {
    put8(out, static_cast<std::uint8_t>(v & 0xFF));
    put8(out, static_cast<std::uint8_t>(v >> 8));
}
void putBytes(std::vector<std::byte>& out, std::span<const std::byte> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The bytes of a colour table of the size that a packed field's low three
// bits give.
std::size_t tableBytes(std::uint8_t packed) {
    return std::size_t{3} << ((packed & 0x07) + 1);
}

// Data sub-blocks up to and including their terminator; false when cut short.
bool skipSubBlocks(metafile::ByteReader& in) {
    while (true) {
        const auto length = in.u8();
        if (!length)
            return false;
        if (*length == 0)
            return true;
        if (!in.skip(*length))
            return false;
    }
}

}  // namespace

std::optional<std::string> GifFrameJoiner::addFrame(std::span<const std::byte> gif) {
    metafile::ByteReader in(gif);
    const auto signature = in.take(6);
    if (!signature || (std::memcmp(signature->data(), "GIF87a", 6) != 0 &&
                       std::memcmp(signature->data(), "GIF89a", 6) != 0))
        return std::string("not a GIF file");
    const auto screenWidth = in.u16(), screenHeight = in.u16();
    const auto screenPacked = in.u8();
    if (!screenWidth || !screenHeight || !screenPacked || !in.skip(2))
        return std::string("the GIF file ends in its header");
    std::optional<std::span<const std::byte>> globalTable;
    if (*screenPacked & kColorTableFlag) {
        globalTable = in.take(tableBytes(*screenPacked));
        if (!globalTable)
            return std::string("the GIF file ends in its colour table");
    }
    // The frame's own graphic control: disposal and transparency are kept.
    std::uint8_t controlFlags = 0, transparentIndex = 0;
    while (true) {
        const auto block = in.u8();
        if (!block || *block == kTrailer)
            return std::string("the GIF file holds no image");
        if (*block == kExtension) {
            const auto label = in.u8();
            if (!label)
                return std::string("the GIF file ends in an extension");
            if (*label == kGraphicControl) {
                const std::size_t start = in.position();
                const auto size = in.u8(), flags = in.u8();
                if (size && *size == 4 && flags && in.skip(2)) {
                    controlFlags = *flags;
                    transparentIndex = in.u8().value_or(0);
                }
                in.seek(start);
            }
            if (!skipSubBlocks(in))
                return std::string("the GIF file ends in an extension");
            continue;
        }
        if (*block != kImage)
            return std::string("the GIF file holds an unknown block");
        break;
    }
    const auto left = in.u16(), top = in.u16(), width = in.u16(), height = in.u16();
    const auto packed = in.u8();
    if (!left || !top || !width || !height || !packed)
        return std::string("the GIF file ends in its image descriptor");
    std::optional<std::span<const std::byte>> table;
    std::uint8_t framePacked = *packed;
    if (*packed & kColorTableFlag) {
        table = in.take(tableBytes(*packed));
    } else if (globalTable) {
        // The global table becomes the frame's local table: its size, and
        // the sorted flag (bit 3 of the screen's field, bit 5 here).
        table = globalTable;
        framePacked = static_cast<std::uint8_t>((*packed & 0x40) | kColorTableFlag |
                                                ((*screenPacked & 0x08) << 2) | (*screenPacked & 0x07));
    } else {
        return std::string("the GIF file has no colour table");
    }
    if (!table)
        return std::string("the GIF file ends in its colour table");
    const std::size_t dataStart = in.position();
    if (!in.skip(1) || !skipSubBlocks(in))
        return std::string("the GIF file ends in its image data");
    const auto data = gif.subspan(dataStart, in.position() - dataStart);

    put8(m_body, kExtension);
    put8(m_body, kGraphicControl);
    put8(m_body, 4);
    put8(m_body, static_cast<std::uint8_t>(controlFlags & 0x1D));  // disposal and transparency
    put16(m_body, m_delay);
    put8(m_body, transparentIndex);
    put8(m_body, 0);
    put8(m_body, kImage);
    put16(m_body, 0);  // every page at the top left of the screen
    put16(m_body, 0);
    put16(m_body, *width);
    put16(m_body, *height);
    put8(m_body, framePacked);
    putBytes(m_body, *table);
    putBytes(m_body, data);
    m_width = std::max(m_width, *width);
    m_height = std::max(m_height, *height);
    ++m_frames;
    return std::nullopt;
}

std::vector<std::byte> GifFrameJoiner::finish() const {
    std::vector<std::byte> out;
    out.reserve(m_body.size() + 64);
    for (const char c : std::string_view("GIF89a")) put8(out, static_cast<std::uint8_t>(c));
    put16(out, m_width);
    put16(out, m_height);
    put8(out, 0);  // no global colour table
    put8(out, 0);
    put8(out, 0);
    // The application extension that repeats the animation for ever.
    put8(out, kExtension);
    put8(out, 0xFF);
    put8(out, 11);
    for (const char c : std::string_view("NETSCAPE2.0")) put8(out, static_cast<std::uint8_t>(c));
    put8(out, 3);
    put8(out, 1);
    put16(out, 0);
    put8(out, 0);
    putBytes(out, m_body);
    put8(out, kTrailer);
    return out;
}

}  // namespace output
