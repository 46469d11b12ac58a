#include "metafile/geometry.h"

namespace metafile {

std::optional<Matrix> Matrix::inverse() const {
    if (!invertible()) {
        return std::nullopt;
    }
    const double d = determinant();
    Matrix inv;
    inv.eM11 = eM22 / d;
    inv.eM12 = -eM12 / d;
    inv.eM21 = -eM21 / d;
    inv.eM22 = eM11 / d;
    inv.eDx = (eM21 * eDy - eM22 * eDx) / d;
    inv.eDy = (eM12 * eDx - eM11 * eDy) / d;
    return inv;
}

Matrix Matrix::then(const Matrix& n) const {
    Matrix r;
    r.eM11 = eM11 * n.eM11 + eM12 * n.eM21;
    r.eM12 = eM11 * n.eM12 + eM12 * n.eM22;
    r.eM21 = eM21 * n.eM11 + eM22 * n.eM21;
    r.eM22 = eM21 * n.eM12 + eM22 * n.eM22;
    r.eDx = eDx * n.eM11 + eDy * n.eM21 + n.eDx;
    r.eDy = eDx * n.eM12 + eDy * n.eM22 + n.eDy;
    return r;
}

}  // namespace metafile
