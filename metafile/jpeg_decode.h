#pragma once
// JPEG data embedded in a DIB (BI_JPEG), decoded by libjpeg.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "metafile/dib_decode.h"
#include "platform/expected.h"

namespace metafile {

// A picture of more than `maxPixels` pixels is refused after its header is
// read, before libjpeg allocates anything for its scans.
platform::Expected<Image32, std::string> decodeJpeg(std::span<const std::byte> data,
                                                    std::int64_t maxPixels = kMaxImagePixels);

}  // namespace metafile
