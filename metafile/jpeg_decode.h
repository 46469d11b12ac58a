#pragma once
// JPEG data embedded in a DIB (BI_JPEG), decoded by libjpeg.

#include <cstddef>
#include <span>
#include <string>

#include "metafile/dib_decode.h"
#include "platform/expected.h"

namespace metafile {

platform::Expected<Image32, std::string> decodeJpeg(std::span<const std::byte> data);

}  // namespace metafile
