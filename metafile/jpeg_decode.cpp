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
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr) {}

// Only plain C objects live across the setjmp, so the longjmp skips no
// destructor; the callbacks run between libjpeg's calls, never inside one.
JpegRows::Outcome decode(const unsigned char* data, unsigned long size, ErrorManager& errors,
                         std::vector<unsigned char>& line, const std::function<bool(int, int)>& accept,
                         const std::function<bool(int, const unsigned char*)>& take) {
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return JpegRows::Outcome::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    // The size is checked before jpeg_start_decompress: for a progressive
    // picture that call reads every scan into a buffer of the whole image.
    if (info.image_width > 0x7FFFFFFF || info.image_height > 0x7FFFFFFF ||
        !accept(static_cast<int>(info.image_width), static_cast<int>(info.image_height))) {
        jpeg_destroy_decompress(&info);
        return JpegRows::Outcome::Refused;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        jpeg_destroy_decompress(&info);
        return JpegRows::Outcome::Failed;
    }
    line.resize(static_cast<std::size_t>(info.output_width) * 3);
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<int>(info.output_scanline);
        unsigned char* at = line.data();
        if (jpeg_read_scanlines(&info, &at, 1) != 1 || !take(y, line.data())) {
            jpeg_destroy_decompress(&info);
            return JpegRows::Outcome::Failed;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return JpegRows::Outcome::Decoded;
}

}  // namespace

JpegRows decodeJpegRows(std::span<const std::byte> data,
                        const std::function<bool(int width, int height)>& size,
                        const std::function<bool(int y, const unsigned char* rgb)>& row) {
    JpegRows result;
    if (data.empty()) {
        result.reason = "no JPEG data";
        return result;
    }
    ErrorManager errors{};
    std::vector<unsigned char> line;
    result.outcome = decode(reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<unsigned long>(data.size()), errors, line, size, row);
    if (result.outcome == JpegRows::Outcome::Failed)
        result.reason = errors.message[0] != '\0' ? errors.message : "the JPEG cannot be decoded";
    return result;
}

platform::Expected<Image32, std::string> decodeJpeg(std::span<const std::byte> data, std::int64_t maxPixels) {
    Image32 image;
    const JpegRows rows = decodeJpegRows(
        data,
        [&](int width, int height) {
            if (width <= 0 || height <= 0 || std::int64_t{width} * height > maxPixels)
                return false;
            image.width = width;
            image.height = height;
            image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                0xFF000000u);
            return true;
        },
        [&](int y, const unsigned char* rgb) {
            std::uint32_t* out = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
            for (int x = 0; x < image.width; ++x, rgb += 3)
                out[x] = 0xFF000000u | (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
            return true;
        });
    if (rows.outcome == JpegRows::Outcome::Refused)
        return platform::unexpected(std::string("embedded JPEG too large"));
    if (rows.outcome != JpegRows::Outcome::Decoded)
        return platform::unexpected(std::string("embedded JPEG cannot be decoded"));
    return image;
}

}  // namespace metafile
