#pragma once
// The page background under the metafile: white, a colour, or a colour with
// a hatch of lines (rotated by the hatch angle), and the demonstration's grid.

#include "metafile/dc.h"

namespace app {
struct Session;
}

namespace render {

// Fills `page` (device pixels of the strip's DC) and draws the hatch. The
// strip offset `stripOffset` keeps the lines at the same page positions in
// every strip. Negative width, spacing or angle take the settings' values.
void drawBackground(const app::Session& session, metafile::Dc& dc, const metafile::RectL& page,
                    int stripOffset, int width, int spacing, int angle);

}  // namespace render
