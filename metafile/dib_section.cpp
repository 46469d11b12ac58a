#include "metafile/dib_section.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/large_pages.h"

namespace metafile {

std::optional<DibSection> DibSection::create(int width, int height) {
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) {
        return std::nullopt;
    }
    DibSection dib(width, height);
    try {
        platform::resizeLarge(dib.m_pixels,
                              static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        dib.m_count = dib.m_pixels.size();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return dib;
}

bool DibSection::reshape(int width, int height) {
    return reshapeBand(width, height, 0, height);
}

bool DibSection::reshapeBand(int width, int rows, int first, int height) {
    if (width <= 0 || rows <= 0 || std::int64_t{width} * rows > kMaxPixels || first < 0 || height < rows ||
        first > height - rows) {
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(rows);
    try {
        if (count > m_pixels.size())
            platform::resizeLarge(m_pixels, count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_count = count;
    m_width = width;
    m_height = height;
    m_first = first;
    m_rows = rows;
    return true;
}

void DibSection::fill(std::uint32_t value) {
    fillPixels(m_pixels.data(), m_count, value);
}

void fillPixelsLong(std::uint32_t* first, std::size_t count, std::uint32_t value) {
    // The C library's wide fill is written for the widest stores the
    // processor has.
    static_assert(sizeof(wchar_t) == sizeof(std::uint32_t));
    wchar_t w;
    std::memcpy(&w, &value, sizeof w);
    std::wmemset(reinterpret_cast<wchar_t*>(first), w, count);
}

}  // namespace metafile
