#include "metafile/scaled_fonts.h"

#include <string>
#include <unordered_map>

#include "metafile/cairo_handles.h"
#include "metafile/utf8.h"

namespace metafile {

ScaledFont openScaledFont(const TextStyle& style, const FontMatrix& m) {
    std::unique_ptr<cairo_font_face_t, FaceDeleter> face(cairo_toy_font_face_create(
        style.family.c_str(), style.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL));
    cairo_matrix_t font;
    cairo_matrix_init(&font, m.x.x, m.x.y, m.y.x, m.y.y, 0, 0);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    std::unique_ptr<cairo_font_options_t, OptionsDeleter> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    ScaledFont scaled(cairo_scaled_font_create(face.get(), &font, &identity, options.get()));
    if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    return scaled;
}

std::vector<unsigned long> glyphIdsOf(cairo_scaled_font_t* font, const GlyphRun& run) {
    std::vector<unsigned long> ids;
    ids.reserve(run.characters.size());
    if (run.glyphIndices) {
        for (auto g : run.characters) ids.push_back(g);
        return ids;
    }
    std::unordered_map<std::uint32_t, unsigned long> cache;
    for (auto c : run.characters) {
        auto it = cache.find(c);
        if (it == cache.end()) {
            unsigned long id = 0;
            if (c >= 0x20 && c != 0xFFFF) {
                std::string text;
                appendUtf8(text, c);
                cairo_glyph_t* glyphs = nullptr;
                int count = 0;
                if (cairo_scaled_font_text_to_glyphs(font, 0, 0, text.c_str(), static_cast<int>(text.size()),
                                                     &glyphs, &count, nullptr, nullptr,
                                                     nullptr) == CAIRO_STATUS_SUCCESS &&
                    count > 0) {
                    id = glyphs[0].index;
                }
                cairo_glyph_free(glyphs);
            }
            it = cache.emplace(c, id).first;
        }
        ids.push_back(it->second);
    }
    return ids;
}

}  // namespace metafile
