#pragma once
// An animated GIF assembled frame by frame from single-image GIF files (as
// the image library encodes each page): every frame's colour table becomes
// its own local table, its compressed pixels are copied unchanged, and the
// file gets the frame delay and endless repetition. Only the compressed
// frames are held, never a page's pixels.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace output {

class GifFrameJoiner {
public:
    // `delay` in hundredths of a second.
    explicit GifFrameJoiner(std::uint16_t delay) : m_delay(delay) {}

    // Appends the first image of the GIF file `gif`; the reason when the
    // bytes are not a GIF file with an image.
    std::optional<std::string> addFrame(std::span<const std::byte> gif);
    std::size_t frameCount() const { return m_frames; }

    // The whole file: header, a logical screen as large as the largest
    // frame, the repetition block, the frames, the trailer.
    std::vector<std::byte> finish() const;

private:
    std::uint16_t m_delay;
    std::uint16_t m_width = 0;
    std::uint16_t m_height = 0;
    std::size_t m_frames = 0;
    std::vector<std::byte> m_body;
};

}  // namespace output
