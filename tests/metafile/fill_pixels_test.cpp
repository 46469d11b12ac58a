// A run of pixels filled in one colour: every pixel of the run, none
// beside it, whatever its length and wherever it starts.

#include <gtest/gtest.h>

#include <vector>

#include "metafile/dib_section.h"

namespace metafile {
namespace {

TEST(FillPixels, EveryPixelOfTheRunAndNoneBesideIt) {
    constexpr std::uint32_t kBefore = 0x11223344, kColour = 0x00ABCDEF;
    constexpr std::size_t kGuard = 16;
    // Lengths through the short-run stores (4 to 64), the loops on either
    // side of them and the long fill.
    for (std::size_t count = 0; count <= 200; ++count) {
        for (std::size_t start : {kGuard, kGuard + 1, kGuard + 3}) {
            std::vector<std::uint32_t> pixels(count + 2 * kGuard + 4, kBefore);
            fillPixels(pixels.data() + start, count, kColour);
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                const bool inRun = i >= start && i < start + count;
                ASSERT_EQ(pixels[i], inRun ? kColour : kBefore)
                    << "run of " << count << " from " << start << ", pixel " << i;
            }
        }
    }
}

}  // namespace
}  // namespace metafile
