#pragma once
// cairo's objects held by std::unique_ptr: each released by its own
// destroy call.

#include <cairo.h>

namespace metafile {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct OptionsDeleter {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};
struct FaceDeleter {
    void operator()(cairo_font_face_t* f) const { cairo_font_face_destroy(f); }
};

}  // namespace metafile
