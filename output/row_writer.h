#pragma once
// Image files written a row at a time, top to bottom, for pages too large to
// hold whole: the rows come from the renderer's strips as they are reduced.
// Each writer decodes to the pixels the image library's encoder gives the
// same page with the same options (JPEG and BMP files are the same bytes).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/jpeg_encoder.h"
#include "render/magick.h"

namespace output {

struct RowImage {
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    unsigned density = 0;  // dots per inch, the truncated resolution
    bool interlace = false;
};

class RowWriter {
public:
    virtual ~RowWriter() = default;
    // One row of `columns` pixels, 0x00RRGGBB; rows arrive in order.
    virtual bool writeRow(const std::uint32_t* row) = 0;
    // `count` rows, each `stride` pixels after the one before.
    virtual bool writeRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride);
    // Completes the file after the last row; an error text on failure.
    virtual std::optional<std::string> finish() = 0;
    // Why the last call failed.
    virtual const std::string& error() const = 0;
    // What the file is not that its options asked for, and why; empty when
    // it is all they asked.
    virtual std::string note() const { return {}; }
};

// A true-colour PNG (8 bits a sample) on the open file `fd`, which stays the
// caller's. An interlaced image keeps its rows in an unnamed file beside
// `scratchFolder` until the passes are written. Any other is compressed in
// pieces of a fixed number of rows on up to `threads` threads, the pieces
// joined into one stream: the bytes depend on the rows only, never on the
// thread count.
std::unique_ptr<RowWriter> openPngRowWriter(int fd, const RowImage& image, const std::string& scratchFolder,
                                            int threads = 1);

// A JPEG file of `settings` on `fd`. Colour rows go to libjpeg as they are;
// for a grey file each batch of rows is made an image of its own and handed
// to `greyStep` (the format's options, which make it grey), whose grey
// levels are then encoded, as the whole page's would be. For its optimised
// tables and for a progressive file libjpeg keeps the coefficients of the
// whole page; a page whose coefficients would take more than `heldLimit`
// bytes is written as a baseline file with the standard tables instead, its
// bytes going out as its rows come (the same pixels when decoded), and the
// writer's note says so.
inline constexpr std::uint64_t kJpegHeldCoefficientLimit = 128ull << 20;
std::unique_ptr<RowWriter> openJpegRowWriter(int fd, const RowImage& image, const JpegSettings& settings,
                                             std::function<void(Magick::Image&)> greyStep = {},
                                             std::uint64_t heldLimit = kJpegHeldCoefficientLimit);

// A true-colour TIFF file (8 bits a sample, strips, LZW with the horizontal
// predictor or uncompressed) on `fd`, which must be seekable.
std::unique_ptr<RowWriter> openTiffRowWriter(int fd, const RowImage& image, bool lzw);

// A true-colour BMP file on `fd`, which must be seekable: the file's rows go
// bottom-up, so each row is written at its place. `onePixelFile` is the
// image library's BMP file of one pixel with the same options, whose header
// is taken with the sizes made the page's: the same bytes as the library's.
std::unique_ptr<RowWriter> openBmpRowWriter(int fd, const RowImage& image,
                                            const std::vector<unsigned char>& onePixelFile);

}  // namespace output
