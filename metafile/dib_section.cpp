#include "metafile/dib_section.h"

#include <algorithm>
#include <new>

namespace metafile {

std::optional<DibSection> DibSection::create(int width, int height) {
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) {
        return std::nullopt;
    }
    DibSection dib(width, height);
    try {
        dib.m_pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return dib;
}

void DibSection::fill(std::uint32_t value) {
    std::fill(m_pixels.begin(), m_pixels.end(), value);
}

}  // namespace metafile
