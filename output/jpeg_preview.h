#pragma once
// The encoded preview read back into the page it was made from: the JPEG's
// rows decoded by libjpeg straight into the image's own pixels, which have
// the same size, so that no second page is allocated and cleared, with the
// pixels the image library's reader would give (its defaults: the accurate
// integer transform, smooth chroma upsampling, each 8-bit sample scaled to
// the full quantum range).

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "render/magick.h"

namespace output {

// Replaces the pixels of `image` with those of the JPEG `data`; the reason
// when it cannot. Refused,
// with the image untouched, when the JPEG's size is not the image's; a
// JPEG that turns out to be damaged part way leaves the rows read so far.
std::optional<std::string> readJpegInto(Magick::Image& image, std::span<const std::byte> data);

}  // namespace output
