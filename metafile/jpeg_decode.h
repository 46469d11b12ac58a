#pragma once
// JPEG data decoded by libjpeg: embedded in a DIB (BI_JPEG), or any JPEG's
// rows handed on one at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "metafile/dib_decode.h"
#include "platform/expected.h"

namespace metafile {

// A picture of more than `maxPixels` pixels is refused after its header is
// read, before libjpeg allocates anything for its scans.
platform::Expected<Image32, std::string> decodeJpeg(std::span<const std::byte> data,
                                                    std::int64_t maxPixels = kMaxImagePixels);

// How a row-by-row decode ended.
struct JpegRows {
    enum class Outcome { Decoded, Refused, Failed } outcome = Outcome::Failed;
    std::string reason;  // libjpeg's own message when it failed
};

// Decodes `data` a row at a time, each as width x 3 bytes R, G, B (a grey
// JPEG too). `size` sees the picture's width and height once the header is
// read, before libjpeg allocates anything for its scans, and refuses it by
// returning false; `row` gets row y's bytes and stops the decode by
// returning false (Failed).
JpegRows decodeJpegRows(std::span<const std::byte> data,
                        const std::function<bool(int width, int height)>& size,
                        const std::function<bool(int y, const unsigned char* rgb)>& row);

}  // namespace metafile
