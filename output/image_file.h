#pragma once
// The output boundary: encoding a page (JPEG through libjpeg, the other
// formats through the image library) and putting the bytes into a file. Failures come back as an OutputError
// with the path and the reason; nothing of the library's or the system's errors escapes.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "output/atomic_file.h"
#include "render/magick.h"

namespace app {
class UserInterfacePort;
}

namespace output {

// The library's encoder for a file name, by its extension without regard to
// case (".jpg" and ".jpeg" JPEG, ".tif" and ".tiff" TIFF, otherwise the
// extension itself); empty when the name has none.
std::string encoderFor(const std::filesystem::path& file);

// `image` encoded by `encoder` ("JPEG", "PNG", ...) with the options it
// carries. `path` only names the destination in an error.
OutputResult<Magick::Blob> encodeImage(Magick::Image& image, const std::string& encoder,
                                       const std::filesystem::path& path);

// encodeImage by the name's extension, then replaceFile (a link at `file` is
// replaced, never written through).
OutputResult<std::uintmax_t> writeImageFile(Magick::Image& image, const std::filesystem::path& file);

// Tells the user about a failed write: a message box with the path and the
// reason (standard error without a display).
void reportOutputError(app::UserInterfacePort& ui, const OutputError& error);

}  // namespace output
