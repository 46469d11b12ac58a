#include "output/row_options.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace output {

RowOptions rowOptionsOf(app::FormatCode code, const app::FormatSettings& o, double dpi) {
    RowOptions options;
    const double whole = std::max(0.0, std::trunc(dpi));
    options.density =
        static_cast<unsigned>(std::min(whole, static_cast<double>(std::numeric_limits<unsigned>::max())));
    switch (code) {
        case app::FormatCode::PNG:
            options.interlace = o.PNG_Interlace;
            break;
        case app::FormatCode::TIF:
            options.lzw = o.TIF_Lzw;
            break;
        case app::FormatCode::JPG: {
            JpegSettings& jpeg = options.jpeg;
            // Quality 0 would be the library's "default": the lowest is 1.
            jpeg.quality = std::clamp(o.JPG_Quality, 1, 100);
            jpeg.progressive = o.JPG_Progress;
            jpeg.grey = o.JPG_Gray;
            if (whole > 0.0) {
                const auto dots = static_cast<std::uint16_t>(
                    std::min(whole, static_cast<double>(std::numeric_limits<std::uint16_t>::max())));
                jpeg.densityUnit = 1;
                jpeg.xDensity = jpeg.yDensity = dots;
            }
            break;
        }
        case app::FormatCode::GIF:
        case app::FormatCode::BMP:
            break;
    }
    return options;
}

}  // namespace output
