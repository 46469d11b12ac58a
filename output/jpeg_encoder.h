#pragma once
// JPEG pages through libjpeg itself: the encoder takes 8-bit rows and keeps
// the compressed bytes in memory; the page's quality, progression, grey and
// density are read off the image as the format options left them, with the
// parameters the image library's own JPEG writer chose for them (full
// chroma resolution from quality 90, the fast integer transform up to 90,
// optimised Huffman tables), so files stay comparable to what it wrote.
// libjpeg reports errors by calling a handler that must not return: ours
// jumps back into the encoder, which then stays failed with the message.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/expected.h"
#include "render/magick.h"

namespace output {

struct JpegSettings {
    int quality = 92;  // 1 to 100
    bool progressive = false;
    bool grey = false;    // one component (luma), else RGB as YCbCr
    int densityUnit = 0;  // JFIF: 0 aspect ratio only, 1 dots per inch, 2 dots per centimetre
    std::uint16_t xDensity = 1, yDensity = 1;
    // Huffman tables made for the image (smaller files); libjpeg then keeps
    // the coefficients of the whole image until the end, as it does for a
    // progressive file.
    bool optimizeCoding = true;
};

// The bytes libjpeg holds for the coefficients of a whole image of `width` x
// `height` pixels with `settings`: none when the file is written as its rows
// come (baseline with the standard tables).
std::uint64_t heldCoefficientBytes(std::uint32_t width, std::uint32_t height, const JpegSettings& settings);

// How the rows handed to the encoder hold a pixel: one grey byte; R, G, B;
// or four bytes with the fourth unused (the image library's own order).
enum class JpegLayout { Grey, Rgb, Rgbx, Bgrx };

class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // The compressed bytes go to the open file `fd` as they are made (it
    // stays the caller's) instead of being kept; call before start.
    void writeTo(int fd);
    // Starts an image of `width` x `height` pixels whose rows come in
    // `layout` (Grey exactly when the settings ask for grey); false on
    // failure.
    bool start(std::uint32_t width, std::uint32_t height, const JpegSettings& settings, JpegLayout layout);
    // `count` rows one after the other, each `width` pixels in the layout.
    bool writeRows(const unsigned char* rows, std::uint32_t count);
    // Completes the file after the last row.
    bool finish();

    // The file's bytes once finished (none when written to a file).
    std::vector<unsigned char>& bytes();
    // Why the last call failed.
    const std::string& error() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The settings the format options left on `image`: its quality (0, the
// library's "unset", counts as 92), interlace as progression, grey when the
// image is grey and was not asked to be true colour, and its resolution as
// the JFIF density.
JpegSettings jpegSettingsOf(const Magick::Image& image);

// `image` as a JPEG file's bytes; the reason on failure. The image library's
// exceptions from reading the pixels pass through.
platform::Expected<Magick::Blob, std::string> encodeJpeg(const Magick::Image& image);

}  // namespace output
