#include "output/multipage_image.h"

#include <algorithm>
#include <span>

#include "output/image_file.h"
#include "render/magick_guard.h"

namespace output {

std::size_t gifFrameDelay(std::int32_t delayMs) {
    return delayMs <= 0 ? 0 : static_cast<std::size_t>(delayMs / 10);
}

const char* multipageExtension(int mode) {
    return mode == kMultipageGif ? ".gif" : ".tif";
}

MultipageImageWriter::MultipageImageWriter(int mode, std::int32_t gifDelayMs)
    : m_mode(mode == kMultipageGif ? kMultipageGif : kMultipageTif), m_delay(gifFrameDelay(gifDelayMs)) {
    if (m_mode == kMultipageGif)
        m_gif = std::make_unique<GifFrameJoiner>(
            static_cast<std::uint16_t>(std::min<std::size_t>(m_delay, 0xFFFF)));
    else
        m_tiff = std::make_unique<TiffPageJoiner>();
}

std::optional<std::string> MultipageImageWriter::addPage(Magick::Image page) {
    if (page.columns() == 0 || page.rows() == 0)
        return std::string("the page has no pixels");
    Magick::Blob blob;
    if (auto reason = render::magickCall([&] {
            // Every page at the top left of the file's canvas.
            page.page(Magick::Geometry(0, 0, 0, 0));
            if (m_gif)
                page.write(&blob, "GIF");
        }))
        return reason;
    if (m_tiff) {
        auto encoded = encodeImage(page, "TIFF", std::filesystem::path());
        if (!encoded)
            return encoded.error().reason;
        blob = std::move(*encoded);
    }
    const std::span bytes(static_cast<const std::byte*>(blob.data()), blob.length());
    if (auto failure = m_gif ? m_gif->addFrame(bytes) : m_tiff->addPage(bytes))
        return failure;
    ++m_count;
    return std::nullopt;
}

std::optional<std::string> MultipageImageWriter::finish(const std::filesystem::path& file) {
    if (m_count == 0)
        return std::string("there are no pages to write");
    const auto written = m_gif ? replaceFile(file, m_gif->finish()) : replaceFile(file, m_tiff->bytes());
    if (!written)
        return written.error().reason;
    return std::nullopt;
}

}  // namespace output
