#pragma once
// Points, rectangles and the 2x3 affine matrix of GDI (XFORM): a point
// (x, y) maps to (x*eM11 + y*eM21 + eDx, x*eM12 + y*eM22 + eDy).

#include <cmath>
#include <cstdint>
#include <optional>

namespace metafile {

struct PointL {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PointL&, const PointL&) = default;
};

struct PointD {
    double x = 0;
    double y = 0;
    friend bool operator==(const PointD&, const PointD&) = default;
};

struct SizeL {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    friend bool operator==(const SizeL&, const SizeL&) = default;
};

// A rectangle as GDI stores it; whether right and bottom are inside depends
// on the call that uses it.
struct RectL {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const RectL&, const RectL&) = default;

    std::int64_t width() const { return std::int64_t{right} - left; }
    std::int64_t height() const { return std::int64_t{bottom} - top; }
};

struct Matrix {
    double eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
    friend bool operator==(const Matrix&, const Matrix&) = default;

    static Matrix translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static Matrix scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }

    PointD apply(PointD p) const { return {p.x * eM11 + p.y * eM21 + eDx, p.x * eM12 + p.y * eM22 + eDy}; }
    // Applies only the linear part (for vectors and sizes).
    PointD applyLinear(PointD p) const { return {p.x * eM11 + p.y * eM21, p.x * eM12 + p.y * eM22}; }

    double determinant() const { return eM11 * eM22 - eM12 * eM21; }
    bool invertible() const {
        const double d = determinant();
        return std::isfinite(d) && std::fabs(d) > 1e-12 && std::isfinite(eDx) && std::isfinite(eDy);
    }
    std::optional<Matrix> inverse() const;

    // `this` first, then `next`: result.apply(p) == next.apply(apply(p)).
    Matrix then(const Matrix& next) const;

    // The scale a length undergoes on average (sqrt of |det|).
    double meanScale() const { return std::sqrt(std::fabs(determinant())); }
};

}  // namespace metafile
