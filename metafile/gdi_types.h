#pragma once
// The GDI objects and constants that records and the device context use
// ([MS-WMF] 2.1 enumerations, [MS-EMF] 2.2 objects). Colours are COLORREF
// values, 0x00BBGGRR.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace metafile {

using ColorRef = std::uint32_t;

constexpr ColorRef rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return ColorRef{r} | (ColorRef{g} << 8) | (ColorRef{b} << 16);
}
constexpr std::uint8_t redOf(ColorRef c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t greenOf(ColorRef c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t blueOf(ColorRef c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

namespace gdi {
// Pen styles.
inline constexpr std::uint32_t PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4,
                               PS_NULL = 5, PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8,
                               PS_STYLE_MASK = 0xF;
inline constexpr std::uint32_t PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200,
                               PS_ENDCAP_MASK = 0xF00;
inline constexpr std::uint32_t PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000,
                               PS_JOIN_MASK = 0xF000;
inline constexpr std::uint32_t PS_COSMETIC = 0, PS_GEOMETRIC = 0x10000, PS_TYPE_MASK = 0xF0000;
// Brush styles and hatches.
inline constexpr std::uint32_t BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5,
                               BS_DIBPATTERNPT = 6;
inline constexpr std::uint32_t HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
                               HS_CROSS = 4, HS_DIAGCROSS = 5;
// Modes.
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;
inline constexpr int ALTERNATE = 1, WINDING = 2;
inline constexpr int AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2;
inline constexpr int GM_COMPATIBLE = 1, GM_ADVANCED = 2;
inline constexpr int MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
                     MM_TWIPS = 6, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
inline constexpr int MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3, MWT_SET = 4;
// Binary raster operations.
inline constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
                     R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9,
                     R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12, R2_COPYPEN = 13,
                     R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
// ExtTextOut options and text alignment.
inline constexpr std::uint32_t ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4, ETO_GLYPH_INDEX = 0x10,
                               ETO_RTLREADING = 0x80, ETO_NO_RECT = 0x100, ETO_SMALL_CHARS = 0x200,
                               ETO_PDY = 0x2000;
inline constexpr std::uint32_t TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_HORIZONTAL_MASK = 6,
                               TA_BOTTOM = 8, TA_BASELINE = 24, TA_VERTICAL_MASK = 24;
// DrawText formats.
inline constexpr unsigned DT_TOP = 0, DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8,
                          DT_SINGLELINE = 0x20, DT_NOCLIP = 0x100;
}  // namespace gdi

// A logical pen (LOGPEN, or EXTLOGPEN for extended pens). Width is in
// logical units; 0 is the thinnest pen, one pixel wide.
struct Pen {
    std::uint32_t style = gdi::PS_SOLID;
    double width = 0;
    ColorRef color = 0;
    bool extended = false;              // made by ExtCreatePen
    std::vector<std::uint32_t> dashes;  // PS_USERSTYLE lengths
    std::uint32_t brushStyle = gdi::BS_SOLID;
    std::uint32_t hatch = 0;

    std::uint32_t lineStyle() const { return style & gdi::PS_STYLE_MASK; }
    bool geometric() const { return (style & gdi::PS_TYPE_MASK) == gdi::PS_GEOMETRIC; }
    bool isNull() const { return lineStyle() == gdi::PS_NULL; }
};

// A pattern for a brush: a small top-down image, 4 bytes (B, G, R, X) a pixel.
struct BrushPattern {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
    // A monochrome pattern takes the text colour for 0 bits and the
    // background colour for 1 bits when drawn.
    bool monochrome = false;
    std::vector<std::uint8_t> bits;  // monochrome: 1 byte a pixel, 0 or 1
};

struct Brush {
    std::uint32_t style = gdi::BS_SOLID;
    ColorRef color = rgb(255, 255, 255);
    std::uint32_t hatch = 0;
    std::shared_ptr<const BrushPattern> pattern;

    bool isNull() const { return style == gdi::BS_NULL; }
};

// LOGFONTW with the face name as UTF-8.
struct LogFont {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charSet = 1;  // DEFAULT_CHARSET
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;
};

// Stock objects ([MS-EMF] 2.1.31), selected with the high bit set.
enum class StockObject : std::uint32_t {
    WHITE_BRUSH = 0x80000000,
    LTGRAY_BRUSH = 0x80000001,
    GRAY_BRUSH = 0x80000002,
    DKGRAY_BRUSH = 0x80000003,
    BLACK_BRUSH = 0x80000004,
    NULL_BRUSH = 0x80000005,
    WHITE_PEN = 0x80000006,
    BLACK_PEN = 0x80000007,
    NULL_PEN = 0x80000008,
    OEM_FIXED_FONT = 0x8000000A,
    ANSI_FIXED_FONT = 0x8000000B,
    ANSI_VAR_FONT = 0x8000000C,
    SYSTEM_FONT = 0x8000000D,
    DEVICE_DEFAULT_FONT = 0x8000000E,
    DEFAULT_PALETTE = 0x8000000F,
    SYSTEM_FIXED_FONT = 0x80000010,
    DEFAULT_GUI_FONT = 0x80000011,
    DC_BRUSH = 0x80000012,
    DC_PEN = 0x80000013,
};

}  // namespace metafile
