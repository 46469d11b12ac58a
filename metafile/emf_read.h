#pragma once
// Typed reads of the small structures that records are made of
// ([MS-EMF] 2.2 and [MS-WMF] 2.2.2): RECTL, POINTL, POINTS, SIZEL, XFORM.

#include <optional>

#include "metafile/byte_reader.h"
#include "metafile/geometry.h"

namespace metafile {

inline std::optional<RectL> readRectL(ByteReader& in) {
    auto l = in.i32(), t = in.i32(), r = in.i32(), b = in.i32();
    if (!b) {
        return std::nullopt;
    }
    return RectL{*l, *t, *r, *b};
}

inline std::optional<PointL> readPointL(ByteReader& in) {
    auto x = in.i32(), y = in.i32();
    if (!y) {
        return std::nullopt;
    }
    return PointL{*x, *y};
}

inline std::optional<PointL> readPointS(ByteReader& in) {
    auto x = in.i16(), y = in.i16();
    if (!y) {
        return std::nullopt;
    }
    return PointL{*x, *y};
}

inline std::optional<SizeL> readSizeL(ByteReader& in) {
    auto cx = in.i32(), cy = in.i32();
    if (!cy) {
        return std::nullopt;
    }
    return SizeL{*cx, *cy};
}

inline std::optional<Matrix> readXform(ByteReader& in) {
    auto m11 = in.f32(), m12 = in.f32(), m21 = in.f32(), m22 = in.f32(), dx = in.f32(), dy = in.f32();
    if (!dy) {
        return std::nullopt;
    }
    return Matrix{*m11, *m12, *m21, *m22, *dx, *dy};
}

}  // namespace metafile
