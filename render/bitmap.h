#pragma once
// A 32-bit top-down pixel buffer (B, G, R, A bytes a pixel): what
// imageToBitmap gives the windows, which turn it into a window bitmap.

#include <cstdint>
#include <vector>

namespace render {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // little-endian 0xAARRGGBB
};

}  // namespace render
