#pragma once
// A multipage TIFF assembled page by page from single-page TIFF files (as
// the image library encodes each page): every page's bytes are appended as
// they are, the offsets inside them moved by where they now stand, and the
// pages' directories chained. Only the encoded pages are held, never a
// page's pixels.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace output {

class TiffPageJoiner {
public:
    // Appends the first page of the little-endian TIFF file `tiff`; the
    // reason when its layout is not one this joiner can move (big-endian,
    // BigTIFF, sub-directories, damaged).
    std::optional<std::string> addPage(std::span<const std::byte> tiff);
    std::size_t pageCount() const { return m_pages; }
    const std::vector<std::byte>& bytes() const { return m_out; }

private:
    std::vector<std::byte> m_out;
    std::size_t m_pages = 0;
    std::size_t m_lastNextField = 0;  // where the last directory's "next" offset stands
};

}  // namespace output
