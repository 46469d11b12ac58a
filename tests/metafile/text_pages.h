#pragma once
// Test pages for text under every kind of mapping: each page sets a mapping
// mode (or a world transform), selects an Arial font of a chosen escapement,
// and draws one run whose reference point lands at the page's centre. Runs
// that update the current position are followed by a red line from the
// current position to the page's bottom-left corner, so that where the
// position went can be read off the picture.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "metafile/emf_writer.h"
#include "metafile/gdi_types.h"

namespace metafile::testing {

enum class PageMapping {
    Text,
    LoMetric,
    HiMetric,
    LoEnglish,
    HiEnglish,
    Twips,
    Isotropic,    // y up, half scale
    Anisotropic,  // half scale
    FlipX,        // negative x extent
    FlipY,        // negative y extent
    Wide,         // x twice y
    Tall,         // y twice x
};

enum class PageWorld { None, MirrorX, MirrorY, Rotate30, Wide };

enum class PageSpacing { Font, Dx, Pdy };

struct TextPage {
    PageMapping mapping = PageMapping::Text;
    PageWorld world = PageWorld::None;
    int graphicsMode = gdi::GM_COMPATIBLE;
    int escapement = 0;
    std::uint32_t align = gdi::TA_BASELINE;
    PageSpacing spacing = PageSpacing::Font;
};

// The page: 4 x 4 inches on a 100-dpi reference device (400 x 400 device
// units), the run's reference point at (200, 200).
inline constexpr int kPageUnits = 400;
inline constexpr int kPageCentre = 200;
inline constexpr double kEmPixels = 40;  // the font's em on the reference device

inline const char* mappingName(PageMapping m) {
    static const char* const names[] = {"text",      "lometric", "himetric",  "loenglish",
                                        "hienglish", "twips",    "isotropic", "anisotropic",
                                        "flipx",     "flipy",    "wide",      "tall"};
    return names[static_cast<int>(m)];
}

inline const char* worldName(PageWorld w) {
    static const char* const names[] = {"none", "mirrorx", "mirrory", "rotate30", "wide"};
    return names[static_cast<int>(w)];
}

inline std::string pageName(const TextPage& p) {
    std::string name = std::string(mappingName(p.mapping)) + "_" + worldName(p.world) +
                       (p.graphicsMode == gdi::GM_ADVANCED ? "_adv" : "_compat") + "_esc" +
                       std::to_string(p.escapement) + "_align" + std::to_string(p.align);
    if (p.spacing == PageSpacing::Dx)
        name += "_dx";
    if (p.spacing == PageSpacing::Pdy)
        name += "_pdy";
    return name;
}

inline Matrix worldMatrix(PageWorld w) {
    switch (w) {
        case PageWorld::MirrorX:
            return {-1, 0, 0, 1, 0, 0};
        case PageWorld::MirrorY:
            return {1, 0, 0, -1, 0, 0};
        case PageWorld::Rotate30: {
            const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
            return {c, s, -s, c, 0, 0};
        }
        case PageWorld::Wide:
            return {2, 0, 0, 1, 0, 0};
        case PageWorld::None:
            break;
    }
    return {};
}

// Device units per logical unit along x and y (signed) for a mapping on the
// 100-dpi reference device, before any world transform.
inline PointD mappingScale(PageMapping m) {
    const double perMm = 100 / 25.4;
    switch (m) {
        case PageMapping::Text:
            return {1, 1};
        case PageMapping::LoMetric:
            return {perMm / 10, -perMm / 10};
        case PageMapping::HiMetric:
            return {perMm / 100, -perMm / 100};
        case PageMapping::LoEnglish:
            return {1, -1};  // 0.01 inch
        case PageMapping::HiEnglish:
            return {0.1, -0.1};
        case PageMapping::Twips:
            return {100.0 / 1440, -100.0 / 1440};
        case PageMapping::Isotropic:
            return {0.5, -0.5};
        case PageMapping::Anisotropic:
            return {0.5, 0.5};
        case PageMapping::FlipX:
            return {-1, 1};
        case PageMapping::FlipY:
            return {1, -1};
        case PageMapping::Wide:
            return {2, 1};
        case PageMapping::Tall:
            return {1, 2};
    }
    return {1, 1};
}

inline void setPageMapping(EmfWriter& w, PageMapping m) {
    switch (m) {
        case PageMapping::Text:
            break;
        case PageMapping::LoMetric:
            w.setMapMode(gdi::MM_LOMETRIC);
            break;
        case PageMapping::HiMetric:
            w.setMapMode(gdi::MM_HIMETRIC);
            break;
        case PageMapping::LoEnglish:
            w.setMapMode(gdi::MM_LOENGLISH);
            break;
        case PageMapping::HiEnglish:
            w.setMapMode(gdi::MM_HIENGLISH);
            break;
        case PageMapping::Twips:
            w.setMapMode(gdi::MM_TWIPS);
            break;
        case PageMapping::Isotropic:
            w.setMapMode(gdi::MM_ISOTROPIC);
            w.setWindowExt({1000, 1000});
            w.setViewportExt({500, -500});
            break;
        default: {
            const PointD s = mappingScale(m);
            w.setMapMode(gdi::MM_ANISOTROPIC);
            w.setWindowExt({1000, 1000});
            w.setViewportExt({static_cast<std::int32_t>(s.x * 1000), static_cast<std::int32_t>(s.y * 1000)});
            break;
        }
    }
    w.setViewportOrg({kPageCentre, kPageCentre});
}

// The logical point that the mapping (and world transform) puts at device
// (x, y).
inline PointL logicalAt(const TextPage& p, double x, double y) {
    const PointD s = mappingScale(p.mapping);
    const PointD page{(x - kPageCentre) / s.x, (y - kPageCentre) / s.y};
    const auto inverse = worldMatrix(p.world).inverse();
    const PointD l = inverse ? inverse->apply(page) : page;
    return {static_cast<std::int32_t>(std::lround(l.x)), static_cast<std::int32_t>(std::lround(l.y))};
}

inline std::vector<std::byte> buildTextPage(const TextPage& p) {
    EmfWriter w({0, 0, 10160, 10160}, {1000, 1000}, {254, 254});
    setPageMapping(w, p.mapping);
    if (p.world != PageWorld::None)
        w.setWorldTransform(worldMatrix(p.world));
    w.setGraphicsMode(p.graphicsMode);
    const PointD s = mappingScale(p.mapping);
    LogFont font;
    font.height = -static_cast<std::int32_t>(std::lround(kEmPixels / std::fabs(s.y)));
    font.weight = 400;
    font.escapement = p.escapement;
    font.orientation = p.escapement;
    font.faceName = "Arial";
    w.selectObject(w.createFont(font));
    w.setBkMode(gdi::TRANSPARENT);
    w.setTextColor(rgb(0, 0, 0));
    w.setTextAlign(p.align);
    const std::u16string text = u"Hxlg";
    // Spacing: 0.6 em along the run; with ETO_PDY each glyph also rises by
    // a quarter em.
    const auto em = static_cast<std::int32_t>(std::lround(std::fabs(font.height)));
    std::vector<std::int32_t> dx;
    std::uint32_t options = 0;
    if (p.spacing == PageSpacing::Dx) {
        dx.assign(text.size(), em * 6 / 10);
    } else if (p.spacing == PageSpacing::Pdy) {
        options = gdi::ETO_PDY;
        for (std::size_t i = 0; i < text.size(); ++i) {
            dx.push_back(em * 6 / 10);
            dx.push_back(em / 4);
        }
    }
    const PointL reference = logicalAt(p, kPageCentre, kPageCentre);
    if (p.align & gdi::TA_UPDATECP)
        w.moveTo(reference);
    w.extTextOut(reference, text, dx, options);
    if (p.align & gdi::TA_UPDATECP) {
        Pen red;
        red.color = rgb(255, 0, 0);
        w.selectObject(w.createPen(red));
        w.lineTo(logicalAt(p, 4, kPageUnits - 4));
    }
    return w.finish();
}

// Every page of the set: each mapping mode with each escapement, world
// transforms in the advanced mode, every alignment, and spaced runs that
// update the current position.
inline std::vector<TextPage> allTextPages() {
    std::vector<TextPage> pages;
    const PageMapping mappings[] = {PageMapping::Text,      PageMapping::LoMetric,    PageMapping::HiMetric,
                                    PageMapping::LoEnglish, PageMapping::HiEnglish,   PageMapping::Twips,
                                    PageMapping::Isotropic, PageMapping::Anisotropic, PageMapping::FlipX,
                                    PageMapping::FlipY,     PageMapping::Wide,        PageMapping::Tall};
    const int escapements[] = {0, 450, 900, 2700};
    for (auto m : mappings) {
        for (int e : escapements) pages.push_back({m, PageWorld::None, gdi::GM_COMPATIBLE, e});
    }
    for (auto m : {PageMapping::Text, PageMapping::LoMetric, PageMapping::FlipX, PageMapping::Wide}) {
        for (int e : {0, 900}) pages.push_back({m, PageWorld::None, gdi::GM_ADVANCED, e});
    }
    for (auto world : {PageWorld::MirrorX, PageWorld::MirrorY, PageWorld::Rotate30, PageWorld::Wide}) {
        for (auto m : {PageMapping::Text, PageMapping::LoMetric}) {
            for (int e : {0, 900}) pages.push_back({m, world, gdi::GM_ADVANCED, e});
        }
    }
    const std::uint32_t horizontal[] = {0, gdi::TA_CENTER, gdi::TA_RIGHT};
    const std::uint32_t vertical[] = {0, gdi::TA_BASELINE, gdi::TA_BOTTOM};
    for (auto m : {PageMapping::Text, PageMapping::LoMetric, PageMapping::FlipX}) {
        for (auto h : horizontal) {
            for (auto v : vertical) {
                if ((h | v) != gdi::TA_BASELINE)  // the first group has it
                    pages.push_back({m, PageWorld::None, gdi::GM_COMPATIBLE, 0, h | v});
            }
        }
    }
    for (auto m : {PageMapping::Text, PageMapping::LoMetric, PageMapping::FlipY, PageMapping::Wide}) {
        for (int e : {0, 900}) {
            for (auto s : {PageSpacing::Dx, PageSpacing::Pdy}) {
                pages.push_back(
                    {m, PageWorld::None, gdi::GM_COMPATIBLE, e, gdi::TA_BASELINE | gdi::TA_UPDATECP, s});
            }
        }
    }
    for (auto m : {PageMapping::Wide, PageMapping::Tall}) {
        for (int e : {450, 900}) {
            for (auto v : {std::uint32_t{0}, gdi::TA_BOTTOM})
                pages.push_back({m, PageWorld::None, gdi::GM_COMPATIBLE, e, v});
        }
    }
    for (auto h : {gdi::TA_CENTER, gdi::TA_RIGHT}) {
        for (int e : {0, 900}) {
            pages.push_back({PageMapping::Text, PageWorld::None, gdi::GM_COMPATIBLE, e,
                             h | gdi::TA_BASELINE | gdi::TA_UPDATECP, PageSpacing::Pdy});
        }
    }
    for (auto m : {PageMapping::Text, PageMapping::LoMetric}) {
        for (auto h : horizontal) {
            pages.push_back(
                {m, PageWorld::None, gdi::GM_COMPATIBLE, 0, h | gdi::TA_BASELINE | gdi::TA_UPDATECP});
        }
        pages.push_back(
            {m, PageWorld::None, gdi::GM_ADVANCED, 0, gdi::TA_BASELINE | gdi::TA_UPDATECP, PageSpacing::Pdy});
    }
    return pages;
}

}  // namespace metafile::testing
