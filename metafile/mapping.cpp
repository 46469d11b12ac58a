#include "metafile/mapping.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

std::int32_t clampExtent(double v) {
    if (!std::isfinite(v))
        return 1;
    return static_cast<std::int32_t>(std::clamp(v, -2147483647.0, 2147483647.0));
}

std::int32_t mulDiv(std::int32_t v, std::int32_t num, std::int32_t den) {
    return clampExtent(std::floor(double(v) * num / den + 0.5));
}

}  // namespace

ReferenceDevice ReferenceDevice::of(const EmfHeader& h) {
    const bool ok =
        h.szlDevice.cx > 0 && h.szlDevice.cy > 0 && h.szlMillimeters.cx > 0 && h.szlMillimeters.cy > 0;
    if (!ok)
        return ReferenceDevice{};
    return {double(h.szlDevice.cx), double(h.szlDevice.cy), double(h.szlMillimeters.cx),
            double(h.szlMillimeters.cy)};
}

Matrix MappingState::toDevice() const {
    const double sx = windowExt.cx != 0 ? double(viewportExt.cx) / windowExt.cx : 1;
    const double sy = windowExt.cy != 0 ? double(viewportExt.cy) / windowExt.cy : 1;
    const Matrix map{sx, 0, 0, sy, viewportOrg.x - sx * windowOrg.x, viewportOrg.y - sy * windowOrg.y};
    return world.then(map);
}

bool MappingState::setMapMode(int newMode, const ReferenceDevice& d) {
    auto metric = [&](double windowPerMm, double viewportMul) {
        windowExt = {clampExtent(d.mmX * windowPerMm), clampExtent(d.mmY * windowPerMm)};
        viewportExt = {clampExtent(d.pxX * viewportMul), clampExtent(-d.pxY * viewportMul)};
    };
    switch (newMode) {
        case gdi::MM_TEXT:
            windowExt = {1, 1};
            viewportExt = {1, 1};
            break;
        case gdi::MM_LOMETRIC:
            metric(10, 1);
            break;
        case gdi::MM_HIMETRIC:
            metric(100, 1);
            break;
        case gdi::MM_LOENGLISH:
            metric(1000, 254);
            break;
        case gdi::MM_HIENGLISH:
            metric(10000, 254);
            break;
        case gdi::MM_TWIPS:
            metric(14400, 254);
            break;
        case gdi::MM_ISOTROPIC:
            metric(10, 1);
            break;  // starts with the MM_LOMETRIC extents
        case gdi::MM_ANISOTROPIC:
            break;  // keeps its extents
        default:
            return false;
    }
    mode = newMode;
    return true;
}

bool MappingState::setWindowExt(SizeL ext, const ReferenceDevice& d) {
    if (!scalable() || ext.cx == 0 || ext.cy == 0)
        return false;
    windowExt = ext;
    if (mode == gdi::MM_ISOTROPIC)
        fixIsotropic(d);
    return true;
}

bool MappingState::setViewportExt(SizeL ext, const ReferenceDevice& d) {
    if (!scalable() || ext.cx == 0 || ext.cy == 0)
        return false;
    viewportExt = ext;
    if (mode == gdi::MM_ISOTROPIC)
        fixIsotropic(d);
    return true;
}

bool MappingState::scaleExt(bool viewport, std::int32_t xNum, std::int32_t xDen, std::int32_t yNum,
                            std::int32_t yDen, const ReferenceDevice& d) {
    if (!scalable() || xNum == 0 || xDen == 0 || yNum == 0 || yDen == 0)
        return false;
    SizeL& ext = viewport ? viewportExt : windowExt;
    ext.cx = mulDiv(ext.cx, xNum, xDen);
    ext.cy = mulDiv(ext.cy, yNum, yDen);
    if (ext.cx == 0)
        ext.cx = 1;
    if (ext.cy == 0)
        ext.cy = 1;
    if (mode == gdi::MM_ISOTROPIC)
        fixIsotropic(d);
    return true;
}

// MM_ISOTROPIC: one viewport extent shrinks so that a logical unit is as wide
// as it is high on the reference device.
void MappingState::fixIsotropic(const ReferenceDevice& d) {
    if (windowExt.cx == 0 || windowExt.cy == 0)
        return;
    const double xdim = std::fabs(double(viewportExt.cx) * d.mmX / (d.pxX * windowExt.cx));
    const double ydim = std::fabs(double(viewportExt.cy) * d.mmY / (d.pxY * windowExt.cy));
    if (xdim > ydim) {
        const std::int32_t minimum = viewportExt.cx >= 0 ? 1 : -1;
        viewportExt.cx = clampExtent(std::floor(viewportExt.cx * ydim / xdim + 0.5));
        if (viewportExt.cx == 0)
            viewportExt.cx = minimum;
    } else if (ydim > 0) {
        const std::int32_t minimum = viewportExt.cy >= 0 ? 1 : -1;
        viewportExt.cy = clampExtent(std::floor(viewportExt.cy * xdim / ydim + 0.5));
        if (viewportExt.cy == 0)
            viewportExt.cy = minimum;
    }
}

}  // namespace metafile
