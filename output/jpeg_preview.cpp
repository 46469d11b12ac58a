#include "output/jpeg_preview.h"

#include "metafile/jpeg_decode.h"

namespace output {

std::optional<std::string> readJpegInto(Magick::Image& image, std::span<const std::byte> data) {
    const std::size_t width = image.columns(), height = image.rows();
    if (width == 0 || height == 0)
        return std::string("the page has no pixels");
    bool modified = false;
    const metafile::JpegRows rows = metafile::decodeJpegRows(
        data,
        [&](int w, int h) {
            return static_cast<std::size_t>(w) == width && static_cast<std::size_t>(h) == height;
        },
        [&](int y, const unsigned char* rgb) {
            if (!modified) {
                image.modifyImage();
                modified = true;
            }
            Magick::PixelPacket* q = image.setPixels(0, y, width, 1);
            if (q == nullptr)
                return false;
            for (std::size_t x = 0; x < width; ++x, rgb += 3) {
                q[x].red = static_cast<Magick::Quantum>(rgb[0] * 257);
                q[x].green = static_cast<Magick::Quantum>(rgb[1] * 257);
                q[x].blue = static_cast<Magick::Quantum>(rgb[2] * 257);
                q[x].opacity = 0;
            }
            image.syncPixels();
            return true;
        });
    switch (rows.outcome) {
        case metafile::JpegRows::Outcome::Decoded:
            return std::nullopt;
        case metafile::JpegRows::Outcome::Refused:
            return std::string("the JPEG is not the page's size");
        case metafile::JpegRows::Outcome::Failed:
            break;
    }
    return rows.reason;
}

}  // namespace output
