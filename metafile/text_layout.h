#pragma once
// Fonts for text on the canvas: a logical font resolved through fontconfig
// (the metric-compatible families stand in for the Windows faces), measured
// and drawn without antialiasing, as GDI draws small text.

#include <string>
#include <string_view>

#include "metafile/gdi_types.h"

namespace metafile {

struct TextStyle {
    std::string family;  // fontconfig family or alias ("Arial" finds Liberation Sans)
    double emSize = 12;  // device pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct TextMetrics {
    double advance = 0;  // device pixels
    double ascent = 0;
    double descent = 0;
};

// The style of a logical font whose height is `deviceHeight` pixels
// (negative: character height, positive: cell height, as lfHeight).
TextStyle textStyleFor(const LogFont& font, double deviceHeight);

}  // namespace metafile
