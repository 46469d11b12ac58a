#include "output/tiff_pages.h"

#include <cstring>
#include <limits>

#include "metafile/byte_reader.h"

namespace output {
namespace {

// TIFF 6.0, section 2: field types and their sizes in bytes.
std::size_t typeSize(std::uint16_t type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
        case 12:  // DOUBLE
            return 8;
        default:
            return 0;
    }
}

// Fields whose values are offsets into the file.
bool holdsOffsets(std::uint16_t tag) {
    return tag == 273 || tag == 288 || tag == 324 ||
           tag == 513;  // StripOffsets, FreeOffsets, TileOffsets, JPEG
}
// Fields that point at further directories, which this joiner does not move.
bool pointsAtDirectories(std::uint16_t tag) {
    return tag == 330 || tag == 34665 || tag == 34853 || tag == 40965;
}

std::uint32_t get32(const std::vector<std::byte>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;) v = (v << 8) | std::to_integer<std::uint32_t>(b[at + i]);
    return v;
}
void set32(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}
std::uint16_t get16(const std::vector<std::byte>& b, std::size_t at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) | std::to_integer<unsigned>(b[at + 1])
                                                                             << 8);
}
void set16(std::vector<std::byte>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::byte>(v & 0xFF);
    b[at + 1] = static_cast<std::byte>(v >> 8);
}

// Adds `base` to the offset of `size` bytes at `at` in `out`; false when the
// result does not fit.
bool moveOffset(std::vector<std::byte>& out, std::size_t at, std::size_t size, std::uint64_t base) {
    const std::uint64_t value = size == 2 ? get16(out, at) : get32(out, at);
    const std::uint64_t moved = value + base;
    if (moved > (size == 2 ? 0xFFFFu : 0xFFFFFFFFu))
        return false;
    if (size == 2)
        set16(out, at, static_cast<std::uint16_t>(moved));
    else
        set32(out, at, static_cast<std::uint32_t>(moved));
    return true;
}

}  // namespace

std::optional<std::string> TiffPageJoiner::addPage(std::span<const std::byte> tiff) {
    metafile::ByteReader in(tiff);
    const auto order = in.take(4);
    if (!order || std::memcmp(order->data(), "II*\0", 4) != 0)
        return std::string("not a little-endian TIFF file");
    const auto ifd = in.u32();
    if (!ifd || *ifd < 8 || !in.seek(*ifd))
        return std::string("the TIFF file has no directory");
    const auto count = in.u16();
    if (!count || !in.takeArray(*count, 12) || in.remaining() < 4)
        return std::string("the TIFF file ends in its directory");

    // The page goes after what is there, on a word boundary; a page that
    // cannot be taken is removed again.
    std::vector<std::byte>& out = m_out;
    const std::size_t before = out.size();
    const auto refuse = [&](const char* reason) {
        out.resize(before);
        return std::optional<std::string>(reason);
    };
    const std::uint64_t base = before + before % 2;
    if (base + tiff.size() > std::numeric_limits<std::uint32_t>::max())
        return refuse("the file would grow past 4 GB");
    out.resize(static_cast<std::size_t>(base), std::byte{0});
    out.insert(out.end(), tiff.begin(), tiff.end());

    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t entry = base + *ifd + 2 + 12 * i;
        const std::uint16_t tag = get16(out, entry);
        const std::size_t size = typeSize(get16(out, entry + 2));
        const std::uint64_t n = get32(out, entry + 4);
        if (pointsAtDirectories(tag))
            return refuse("the TIFF page has sub-directories");
        if (size == 0)
            return refuse("the TIFF page has a field of unknown type");
        const std::uint64_t bytes = n * size;
        std::size_t values = entry + 8;  // the values, inline or moved
        if (bytes > 4) {
            const std::uint64_t at = get32(out, entry + 8);
            if (at + bytes > tiff.size())
                return refuse("a TIFF field lies outside the file");
            if (!moveOffset(out, entry + 8, 4, base))
                return refuse("the file would grow past 4 GB");
            values = static_cast<std::size_t>(base + at);
        }
        if (holdsOffsets(tag)) {
            if (size != 2 && size != 4)
                return refuse("a TIFF offset field has an odd type");
            for (std::uint64_t k = 0; k < n; ++k) {
                if (!moveOffset(out, values + static_cast<std::size_t>(k * size), size, base))
                    return refuse("the file would grow past 4 GB");
            }
        }
    }
    const std::size_t nextField = static_cast<std::size_t>(base + *ifd + 2 + 12 * std::size_t{*count});
    set32(out, nextField, 0);  // the page's other directories are not taken
    if (m_pages == 0)
        set32(out, 4, *ifd);  // the first page's header is the file's header
    else
        set32(out, m_lastNextField, static_cast<std::uint32_t>(base + *ifd));
    m_lastNextField = nextField;
    ++m_pages;
    return std::nullopt;
}

}  // namespace output
