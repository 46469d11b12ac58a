#pragma once
// The options of the five formats, applied to a rendered page by the image
// library's calls: the first steps of ApplyEncodingOptions.

#include <string_view>

#include "app/options.h"
#include "render/magick.h"

namespace output {

enum class OptionSet { None, JPG, GIF, PNG, TIF, BMP };

// Step 1: the set for the multipage mode (0 single files, 1 PDF, 2 multipage
// TIF, 3 animated GIF), the CurrentFormat's flags and the PDF's inside format.
OptionSet chooseOptionSet(int multipageMode, const app::FormatFlags& flags, std::string_view pdfInsideFormat);

// Step 2: the set's options. Every page gets 8 bits a sample (1 for the black
// and white TIF), and every colour reduction is told whether to dither: the
// library dithers unless it is told not to. Throws the library's exceptions.
void applyOptionSet(Magick::Image& image, OptionSet set, const app::FormatSettings& options);

// Step 3: the resolution, truncated to whole dots per inch, as the density.
void applyDensity(Magick::Image& image, double dpi);

}  // namespace output
