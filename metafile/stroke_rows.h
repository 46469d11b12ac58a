#pragma once
// The pixels of one straight stroked segment, row by row, as cairo draws
// them without antialiasing into a mask: found by the mask's own arithmetic
// instead of by a mask, for long lines whose ends lie outside the pixels
// wanted (a hatch line across a band of a page).

#include <cstdint>
#include <vector>

#include "metafile/canvas.h"
#include "metafile/geometry.h"

namespace metafile {

// A mask's pixels: device pixel (x + i, y + j) is the mask's pixel (i, j).
struct MaskBox {
    int x = 0, y = 0, w = 0, h = 0;
};

// The covered pixels of one row of the mask, [x1, x2) in the mask's
// columns; empty where x1 >= x2.
struct RowSpan {
    int x1 = 0, x2 = 0;
};

// The mask's rows that cairo's stroke of the segment a-b (device
// coordinates, pixel centres on whole numbers) in `style` (as the canvas
// gives it to cairo: at least a pixel wide, solid) covers, in an A8 mask over `box` drawn with
// CAIRO_ANTIALIAS_NONE and the translation (0.5 - box.x, 0.5 - box.y): the same path, the same stroke, pixel
// for pixel. Only a single segment whose two ends, with the pen's reach around them, lie outside the box is
// told this way (then the caps, of whatever kind, show nowhere); false, `rows` unspecified, for any other (a
// dot, an end inside or near the box, coordinates too large for cairo's fixed point), which the caller
// strokes with cairo.
bool strokedSegmentRows(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style,
                        std::vector<RowSpan>& rows);

// The same rows written at once in `pixel` where they fall on the picture:
// what compositing strokedSegmentRows' rows as a solid colour gives. False,
// nothing written, where strokedSegmentRows is false.
bool fillStrokedSegment(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style,
                        const SolidRows& target);

// The same rows set aside in `held` (HeldLines::addWalk, addRun), to be
// written with the held rows. False, nothing held, where
// strokedSegmentRows is false.
bool holdStrokedSegment(const MaskBox& box, PointD a, PointD b, const StrokeStyle& style, HeldLines& held);

}  // namespace metafile
