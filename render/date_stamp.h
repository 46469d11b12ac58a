#pragma once
// The date and time stamp: one line of italic "Arial" at the top left of the
// page rectangle, in the strip's default text colour over what is drawn.

#include <string>

#include "metafile/dc.h"

namespace render {

// The stamp's font height in logical units for the antialiasing factor
// (KodAntialias): -11 for 0, else -(10 x factor + 2).
int dateStampHeight(int kodAntialias);

// Draws `text` into the strip of `dc` whose page rectangle is `page` (its top
// is minus the strip's offset). With factor 0 the stamp is antialiased (the
// font's antialiased quality); with any other factor it is drawn as the
// device draws text, and supersampling smooths it.
void drawDateStamp(metafile::Dc& dc, const metafile::RectL& page, const std::string& text, int kodAntialias);

}  // namespace render
