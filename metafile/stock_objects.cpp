#include "metafile/stock_objects.h"

namespace metafile {
namespace {

Brush solid(std::uint8_t grey) {
    Brush b;
    b.color = rgb(grey, grey, grey);
    return b;
}

}  // namespace

std::optional<Brush> stockBrush(std::uint32_t index) {
    switch (static_cast<StockObject>(index)) {
        case StockObject::WHITE_BRUSH:
            return solid(255);
        case StockObject::LTGRAY_BRUSH:
            return solid(192);
        case StockObject::GRAY_BRUSH:
            return solid(128);
        case StockObject::DKGRAY_BRUSH:
            return solid(64);
        case StockObject::BLACK_BRUSH:
            return solid(0);
        case StockObject::NULL_BRUSH: {
            Brush b;
            b.style = gdi::BS_NULL;
            return b;
        }
        case StockObject::DC_BRUSH:
            // SetDCBrushColor is not recorded: the DC brush keeps its
            // default colour, white.
            return solid(255);
        default:
            return std::nullopt;
    }
}

std::optional<Pen> stockPen(std::uint32_t index) {
    Pen p;
    switch (static_cast<StockObject>(index)) {
        case StockObject::WHITE_PEN:
            p.color = rgb(255, 255, 255);
            return p;
        case StockObject::BLACK_PEN:
        case StockObject::DC_PEN:  // SetDCPenColor is not recorded: black
            return p;
        case StockObject::NULL_PEN:
            p.style = gdi::PS_NULL;
            return p;
        default:
            return std::nullopt;
    }
}

std::optional<LogFont> stockFont(std::uint32_t index) {
    LogFont font;
    switch (static_cast<StockObject>(index)) {
        case StockObject::OEM_FIXED_FONT:
        case StockObject::ANSI_FIXED_FONT:
        case StockObject::SYSTEM_FIXED_FONT:
            font.height = 13;
            font.faceName = "Courier New";
            return font;
        case StockObject::ANSI_VAR_FONT:
        case StockObject::DEFAULT_GUI_FONT:
            font.height = -11;
            font.faceName = "MS Shell Dlg";
            return font;
        case StockObject::SYSTEM_FONT:
        case StockObject::DEVICE_DEFAULT_FONT:
            return LogFont{16, 0, 0, 0, 700, false, false, false, 1, 0, 0, 0, 0, "System"};
        default:
            return std::nullopt;
    }
}

}  // namespace metafile
