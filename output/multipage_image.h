#pragma once
// One file of many pages: a multipage TIF or an animated GIF. Pages are
// added as they are rendered, each with its format's options applied; each
// is encoded as it arrives and only its encoded bytes are kept, never more
// than one page's pixels.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/gif_frames.h"
#include "output/tiff_pages.h"
#include "render/magick.h"

namespace output {

// The multipage modes that write such a file.
inline constexpr int kMultipageTif = 2;
inline constexpr int kMultipageGif = 3;

// The frame delay in the GIF's hundredths of a second for a delay stored in
// milliseconds (GIF_Delay): ms / 10, never negative.
std::size_t gifFrameDelay(std::int32_t delayMs);

// ".tif" for the multipage TIF, ".gif" for the animated GIF.
const char* multipageExtension(int mode);

class MultipageImageWriter {
public:
    // `mode` kMultipageTif or kMultipageGif; `gifDelayMs` the stored delay.
    MultipageImageWriter(int mode, std::int32_t gifDelayMs);

    // The next page, with its format's options already applied; the reason
    // when it cannot be taken.
    std::optional<std::string> addPage(Magick::Image page);
    std::size_t pageCount() const { return m_count; }

    // Writes every page into `file` (beside it, then renamed over it); the
    // reason when that failed, the old file then left as it was.
    std::optional<std::string> finish(const std::filesystem::path& file);

private:
    int m_mode;
    std::size_t m_delay;
    std::size_t m_count = 0;
    std::unique_ptr<TiffPageJoiner> m_tiff;
    std::unique_ptr<GifFrameJoiner> m_gif;
};

}  // namespace output
