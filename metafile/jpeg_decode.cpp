#include "metafile/jpeg_decode.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace metafile {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr) {}

// Decodes into `out`; false on any libjpeg error. Only plain C objects live
// across the setjmp, so the longjmp skips no destructor.
enum class Outcome { Decoded, Failed, TooLarge };

Outcome decode(const unsigned char* data, unsigned long size, std::int64_t maxPixels, Image32& out,
               std::vector<unsigned char>& row) {
    jpeg_decompress_struct info;
    ErrorManager errors;
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
    // The size is checked before jpeg_start_decompress: for a progressive
    // picture that call reads every scan into a buffer of the whole image.
    if (std::int64_t{info.image_width} * info.image_height > maxPixels) {
        jpeg_destroy_decompress(&info);
        return Outcome::TooLarge;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const auto width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > maxPixels ||
        info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
    row.resize(static_cast<std::size_t>(width) * 3);
    while (info.output_scanline < info.output_height) {
        const auto y = info.output_scanline;
        unsigned char* line = row.data();
        jpeg_read_scanlines(&info, &line, 1);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row.data() + 3 * static_cast<std::size_t>(x);
            out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)] =
                0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Outcome::Decoded;
}

}  // namespace

platform::Expected<Image32, std::string> decodeJpeg(std::span<const std::byte> data, std::int64_t maxPixels) {
    Image32 image;
    std::vector<unsigned char> row;
    const Outcome outcome = data.empty()
                                ? Outcome::Failed
                                : decode(reinterpret_cast<const unsigned char*>(data.data()),
                                         static_cast<unsigned long>(data.size()), maxPixels, image, row);
    if (outcome == Outcome::TooLarge)
        return platform::unexpected(std::string("embedded JPEG too large"));
    if (outcome != Outcome::Decoded)
        return platform::unexpected(std::string("embedded JPEG cannot be decoded"));
    return image;
}

}  // namespace metafile
