#include "output/jpeg_preview.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <functional>
#include <vector>

namespace output {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr) {}

enum class Outcome { Decoded, Failed, OtherSize };

// Decodes `data` a row at a time into `row` (width x 3 bytes) and hands each
// to `take`. Only plain C objects live across the setjmp, so the longjmp
// skips no destructor; `take` runs between libjpeg's calls, never inside one.
Outcome decode(const unsigned char* data, unsigned long size, std::size_t width, std::size_t height,
               std::vector<unsigned char>& row, const std::function<bool(std::size_t)>& take,
               ErrorManager& errors) {
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width != width || info.image_height != height) {
        jpeg_destroy_decompress(&info);
        return Outcome::OtherSize;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width != width) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    while (info.output_scanline < info.output_height) {
        const std::size_t y = info.output_scanline;
        unsigned char* line = row.data();
        if (jpeg_read_scanlines(&info, &line, 1) != 1 || !take(y)) {
            jpeg_destroy_decompress(&info);
            return Outcome::Failed;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Outcome::Decoded;
}

}  // namespace

std::optional<std::string> readJpegInto(Magick::Image& image, std::span<const std::byte> data) {
    const std::size_t width = image.columns(), height = image.rows();
    if (data.empty() || width == 0 || height == 0)
        return std::string("no JPEG data");
    std::vector<unsigned char> row(width * 3);
    bool modified = false;
    auto take = [&](std::size_t y) {
        if (!modified) {
            image.modifyImage();
            modified = true;
        }
        Magick::PixelPacket* q = image.setPixels(0, static_cast<ssize_t>(y), width, 1);
        if (q == nullptr)
            return false;
        const unsigned char* p = row.data();
        for (std::size_t x = 0; x < width; ++x, p += 3) {
            q[x].red = static_cast<Magick::Quantum>(p[0] * 257);
            q[x].green = static_cast<Magick::Quantum>(p[1] * 257);
            q[x].blue = static_cast<Magick::Quantum>(p[2] * 257);
            q[x].opacity = 0;
        }
        image.syncPixels();
        return true;
    };
    ErrorManager errors{};
    const Outcome outcome = decode(reinterpret_cast<const unsigned char*>(data.data()),
                                   static_cast<unsigned long>(data.size()), width, height, row, take, errors);
    if (outcome == Outcome::OtherSize)
        return std::string("the JPEG is not the page's size");
    if (outcome == Outcome::Failed)
        return errors.message[0] != '\0' ? std::string(errors.message)
                                         : std::string("the JPEG cannot be decoded");
    return std::nullopt;
}

}  // namespace output
