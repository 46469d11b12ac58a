#pragma once
// The hatch dialog's own painting, drawn into a bitmap of the dialog's client
// area: the preview of the hatch with the working values, its blue frame,
// the face-coloured bands around it and the two colour swatches. The window
// shows the bitmap; tests read its pixels.

#include <cstdint>

#include "ui/hatch_dialog_model.h"

namespace metafile {
class DibSection;
class Dc;
}  // namespace metafile

namespace ui {

// The frame colour of the preview and the swatches: pure blue (COLORREF).
inline constexpr std::uint32_t kPreviewFrameColour = 0xFF0000;

// The centring offset of the lines over a span of `span` pixels: half the
// part of the last spacing that reaches beyond the span, truncated; 0 for a
// spacing of 0, which has no such part.
int hatchLineOffset(double span, int spacing);

// The preview hatch into rectangle `r` of `dc`: the rectangle filled with the
// background colour, then 2n + 1 lines of each family chosen, spaced by the
// working spacing and turned by the working angle about the client origin.
void drawPreviewHatch(metafile::Dc& dc, const ClientRect& r, const HatchValues& values);

// Paint steps 2 to 5 over the whole client bitmap; `faceColour` (COLORREF)
// fills everything outside the preview and the swatches.
void paintHatchDialog(metafile::DibSection& client, const HatchValues& values, std::uint32_t faceColour);

}  // namespace ui
