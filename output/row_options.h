#pragma once
// What a row writer takes from a format's options, worked out from the
// options themselves: the same values the encoding step gives a whole page,
// without the image library (a page written a row at a time never starts it).

#include "app/options.h"
#include "output/jpeg_encoder.h"

namespace output {

struct RowOptions {
    unsigned density = 0;    // the resolution truncated to whole dots per inch
    bool interlace = false;  // PNG: the seven passes
    bool lzw = false;        // TIF: LZW with the horizontal predictor
    JpegSettings jpeg;       // JPG
};

RowOptions rowOptionsOf(app::FormatCode code, const app::FormatSettings& options, double dpi);

}  // namespace output
