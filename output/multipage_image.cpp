#include "output/multipage_image.h"

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
    : m_mode(mode == kMultipageGif ? kMultipageGif : kMultipageTif), m_delay(gifFrameDelay(gifDelayMs)) {}

void MultipageImageWriter::addPage(Magick::Image page) {
    m_pages.push_back(std::move(page));
}

std::optional<std::string> MultipageImageWriter::finish(const std::filesystem::path& file) {
    if (m_pages.empty())
        return std::string("there are no pages to write");
    Magick::Blob blob;
    const bool gif = m_mode == kMultipageGif;
    if (auto reason = render::magickCall([&] {
            for (auto& page : m_pages) {
                page.magick(gif ? "GIF" : "TIFF");
                // Every page at the top left of the file's canvas.
                page.page(Magick::Geometry(0, 0, 0, 0));
                if (gif) {
                    page.animationDelay(m_delay);
                    page.animationIterations(0);  // repeat for ever
                }
            }
            Magick::writeImages(m_pages.begin(), m_pages.end(), &blob, true);
        }))
        return reason;
    if (blob.length() == 0)
        return std::string("the image library wrote nothing");
    const auto written =
        replaceFile(file, std::span(static_cast<const std::byte*>(blob.data()), blob.length()));
    if (!written)
        return written.error().reason;
    return std::nullopt;
}

}  // namespace output
