#include "output/page_file.h"

#include "output/image_file.h"

namespace output {

std::optional<std::string> writePageFile(const Magick::Image& image, const std::filesystem::path& file) {
    Magick::Image copy(image);
    const auto written = writeImageFile(copy, file);
    if (written)
        return std::nullopt;
    return written.error().reason;
}

std::string writeFailureMessage(const std::string& file, const std::string& reason) {
    return "Cannot write the file\n" + file + "\n" + reason + "\nFiles written before it are kept.";
}

}  // namespace output
