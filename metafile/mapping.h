#pragma once
// The page-space mapping of a metafile: mapping mode, window and viewport
// origins and extents, and the world transform, folded into one matrix. The
// metric modes are measured on the metafile's reference device (szlDevice,
// szlMillimeters), so a page maps the same whatever plays it.

#include <cstdint>

#include "metafile/gdi_types.h"
#include "metafile/geometry.h"
#include "metafile/metafile.h"

namespace metafile {

struct ReferenceDevice {
    double pxX = 1024, pxY = 768;                          // pixels
    double mmX = 1024 * 25.4 / 96, mmY = 768 * 25.4 / 96;  // millimetres

    // The header's device, or a 96-dpi screen when it gives none.
    static ReferenceDevice of(const EmfHeader& header);
};

struct MappingState {
    int mode = gdi::MM_TEXT;
    PointL windowOrg;
    SizeL windowExt{1, 1};
    PointL viewportOrg;
    SizeL viewportExt{1, 1};
    Matrix world;

    // World space to the reference device's pixels.
    Matrix toDevice() const;
    // SetMapMode; false for an unknown mode (nothing changes).
    bool setMapMode(int mode, const ReferenceDevice& device);
    // Window and viewport extents only change in the two scalable modes.
    bool scalable() const { return mode == gdi::MM_ISOTROPIC || mode == gdi::MM_ANISOTROPIC; }
    bool setWindowExt(SizeL ext, const ReferenceDevice& device);
    bool setViewportExt(SizeL ext, const ReferenceDevice& device);
    // ScaleWindowExtEx / ScaleViewportExtEx.
    bool scaleExt(bool viewport, std::int32_t xNum, std::int32_t xDen, std::int32_t yNum, std::int32_t yDen,
                  const ReferenceDevice& device);

private:
    void fixIsotropic(const ReferenceDevice& device);
};

}  // namespace metafile
