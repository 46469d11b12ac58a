#pragma once
// Small helpers for pixel tests: a white bitmap, and questions about which
// pixels carry which colour.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "metafile/dc.h"
#include "metafile/dib_section.h"

namespace metafile::testing {

inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kRed = 0xFF0000;  // 0x00RRGGBB
inline constexpr std::uint32_t kBlue = 0x0000FF;

inline DibSection whiteBitmap(int w, int h) {
    auto dib = DibSection::create(w, h);
    EXPECT_TRUE(dib.has_value());
    dib->fill(kWhite);
    return std::move(*dib);
}

inline std::uint32_t at(const DibSection& dib, int x, int y) {
    return dib.pixel(x, y) & 0xFFFFFF;
}

// The smallest rectangle [l, r) x [t, b) holding every pixel that is not white.
inline RectL inkBounds(const DibSection& dib) {
    RectL r{dib.width(), dib.height(), 0, 0};
    for (int y = 0; y < dib.height(); ++y) {
        for (int x = 0; x < dib.width(); ++x) {
            if (at(dib, x, y) != kWhite) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
        }
    }
    return r;
}

inline int countColour(const DibSection& dib, std::uint32_t colour) {
    int n = 0;
    for (int y = 0; y < dib.height(); ++y) {
        for (int x = 0; x < dib.width(); ++x) n += at(dib, x, y) == colour;
    }
    return n;
}

// A row as text: '#' for ink, '.' for white.
inline std::string rowText(const DibSection& dib, int y, int x1, int x2) {
    std::string s;
    for (int x = x1; x < x2; ++x) s.push_back(at(dib, x, y) == kWhite ? '.' : '#');
    return s;
}

inline Pen solidPen(ColorRef colour, double width = 0) {
    Pen p;
    p.color = colour;
    p.width = width;
    return p;
}

inline Brush solidBrush(ColorRef colour) {
    Brush b;
    b.color = colour;
    return b;
}

inline Brush nullBrush() {
    Brush b;
    b.style = gdi::BS_NULL;
    return b;
}

inline Pen nullPen() {
    Pen p;
    p.style = gdi::PS_NULL;
    return p;
}

}  // namespace metafile::testing
