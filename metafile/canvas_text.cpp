// Text on the canvas through cairo's font selection (fontconfig underneath).

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "metafile/cairo_font_lock.h"
#include "metafile/cairo_handles.h"
#include "metafile/canvas.h"
#include "metafile/font_fallback.h"
#include "metafile/text_layout.h"

namespace metafile {
namespace {

void setFont(cairo_t* cr, const TextStyle& style) {
    cairo_select_font_face(cr, style.family.c_str(),
                           style.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, std::clamp(style.emSize, 0.5, 20000.0));
    std::unique_ptr<cairo_font_options_t, OptionsDeleter> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options.get());
}

// A context on a 1x1 surface for measuring.
std::unique_ptr<cairo_t, ContextDeleter> measuringContext() {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
    return std::unique_ptr<cairo_t, ContextDeleter>(cairo_create(surface.get()));
}

}  // namespace

namespace {

DecorationBand band(double centre, double thickness, double emPixels) {
    const double c = std::floor(centre * emPixels + 0.5);
    const double t = std::max(1.0, std::floor(thickness * emPixels + 0.5));
    return {std::floor(c - t / 2 + 0.5), t};
}

}  // namespace

DecorationBand underlineBand(const FontMetrics& m, double emPixels) {
    return band(m.underlineCentre, m.underlineThickness, emPixels);
}

DecorationBand strikeoutBand(const FontMetrics& m, double emPixels) {
    return band(m.strikeoutCentre, m.strikeoutThickness, emPixels);
}

TextStyle textStyleFor(const LogFont& font, double deviceHeight) {
    TextStyle style;
    style.family = substituteFamily(font.faceName);
    style.bold = font.weight >= 600;
    style.italic = font.italic;
    style.underline = font.underline;
    style.strikeOut = font.strikeOut;
    double height = std::fabs(deviceHeight);
    if (height < 0.5)
        height = 12;  // lfHeight 0: a default size
    if (deviceHeight > 0) {
        // A cell height: the em is the cell less the internal leading.
        auto cr = measuringContext();
        style.emSize = 1000;
        setFont(cr.get(), style);
        cairo_font_extents_t fe;
        cairo_font_extents(cr.get(), &fe);
        const double cell = fe.ascent + fe.descent;
        height = cell > 0 ? height * 1000 / cell : height;
    }
    style.emSize = height;
    return style;
}

TextMetrics Canvas::measureText(const TextStyle& style, std::string_view utf8) const {
    std::lock_guard lock(cairoFontLock());
    auto cr = measuringContext();
    setFont(cr.get(), style);
    const std::string text(utf8);
    cairo_text_extents_t te;
    cairo_text_extents(cr.get(), text.c_str(), &te);
    cairo_font_extents_t fe;
    cairo_font_extents(cr.get(), &fe);
    return {te.x_advance, fe.ascent, fe.descent};
}

void Canvas::drawText(const TextStyle& style, std::string_view utf8, double x, double baseline,
                      const Paint& paint, const Region* clip, int rop2) {
    // Held until the context that drew with the font is released.
    std::lock_guard lock(cairoFontLock());
    const TextMetrics m = measureText(style, utf8);
    // The area the glyphs may cover, with room for overhangs.
    const double pad = style.emSize * 0.5 + 2;
    int x1 = static_cast<int>(std::floor(x - pad)), x2 = static_cast<int>(std::ceil(x + m.advance + pad));
    int y1 = static_cast<int>(std::floor(baseline - m.ascent - pad)),
        y2 = static_cast<int>(std::ceil(baseline + m.descent + pad));
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, width());
    y2 = std::min(y2, height());
    if (clip != nullptr) {
        const auto b = clip->bounds();
        if (!b)
            return;
        x1 = std::max(x1, b->left);
        y1 = std::max(y1, b->top);
        x2 = std::min(x2, b->right);
        y2 = std::min(y2, b->bottom);
    }
    if (x1 >= x2 || y1 >= y2 || y2 <= rowsBegin() || y1 >= rowsEnd())
        return;
    // A band draws in a mask of its own rows.
    y1 = std::max(y1, rowsBegin());
    y2 = std::min(y2, rowsEnd());
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_A8, x2 - x1, y2 - y1));
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return;
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr.get(), -x1, -y1);
    setFont(cr.get(), style);
    const std::string text(utf8);
    cairo_move_to(cr.get(), x, baseline);
    cairo_show_text(cr.get(), text.c_str());
    if (style.underline || style.strikeOut) {
        const FontMetrics metrics = fontMetrics(style);
        for (const auto& [wanted, band] :
             {std::pair{style.underline, underlineBand(metrics, style.emSize)},
              std::pair{style.strikeOut, strikeoutBand(metrics, style.emSize)}}) {
            if (wanted)
                cairo_rectangle(cr.get(), x, baseline + band.top, m.advance, band.thickness);
        }
    }
    cairo_fill(cr.get());
    cairo_surface_flush(surface.get());
    compositeMask(x1, y1, x2 - x1, y2 - y1, cairo_image_surface_get_data(surface.get()),
                  cairo_image_surface_get_stride(surface.get()), paint, clip, rop2);
}

}  // namespace metafile
