#pragma once
// Plays one metafile onto a white page of the size the page renderer uses
// (the frame at a resolution), for the command-line converter and the
// benchmarks.

#include <filesystem>
#include <optional>
#include <string>

#include "metafile/dib_section.h"
#include "metafile/metafile.h"
#include "metafile/player.h"
#include "platform/expected.h"

namespace cli {

struct PageRaster {
    metafile::DibSection page;
    metafile::PlaybackReport report;
};

// Columns and rows: ceil(frame size in 0.01 mm x dpi / 2540).
std::optional<std::pair<long long, long long>> pageSize(const metafile::EmfHeader& header, double dpi);

platform::Expected<PageRaster, std::string> rasterise(const metafile::Metafile& metafile, double dpi);

// Writes the page as a PNG file; an error text on failure.
std::optional<std::string> writePng(const metafile::DibSection& page, const std::filesystem::path& file);

}  // namespace cli
