#include "tools/common/tool_mode.h"

#include "platform/text_util.h"

namespace tools {

ToolMode parseToolMode(std::string_view argumentText, std::string_view quietWord) {
    if (platform::equalsIgnoreCase(argumentText, "debug")) {
        return ToolMode::Debug;
    }
    if (platform::equalsIgnoreCase(argumentText, quietWord)) {
        return ToolMode::Quiet;
    }
    return ToolMode::Banner;
}

std::string argumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text.push_back(' ');
        }
        text += argv[i];
    }
    return text;
}

void DebugListing::line(std::string text, Rgb colour) {
    m_items.push_back(PaintItem::textAt(10, m_y, std::move(text), colour));
    m_y += m_h;
}

void DebugListing::entry(std::string_view label, std::string_view value, Rgb colour) {
    std::string text(label);
    text += value;
    text += ';';
    line(std::move(text), colour);
}

std::vector<PaintItem> bannerItems(std::string_view productLine, std::string_view quietLine, bool quiet,
                                   int lineHeight) {
    std::vector<PaintItem> items;
    int y = 30;
    if (quiet) {
        items.push_back(PaintItem::textAt(20, y, std::string(quietLine), kBlack));
        y += 2 * lineHeight;
    }
    items.push_back(PaintItem::textAt(20, y, std::string(productLine), kRed));
    y += 2 * lineHeight;
    items.push_back(PaintItem::textAt(20, y, "Integrated part of Scrivlet\u2122 v2.0.0", kBlue));
    y += lineHeight;
    items.push_back(PaintItem::textAt(20, y, std::string(kMakerNotice), kBlack));
    y += 2 * lineHeight;
    items.push_back(PaintItem::textAt(20, y, std::string(kMakerWebAddress), kRed));
    return items;
}

WindowPlacement placeWindow(ToolMode mode, int w, int h, int screenWidth, int screenHeight, int debugLines) {
    switch (mode) {
        case ToolMode::Debug:
            return {(screenWidth - 110 * w) / 2, (screenHeight - 27 * h) / 2, 110 * w, debugLines * h};
        case ToolMode::Quiet:
            return {(screenWidth - 50 * w) / 2, (screenHeight - 13 * h) / 2, 50 * w, 13 * h};
        case ToolMode::Banner:
            break;
    }
    return {(screenWidth - 50 * w) / 2, (screenHeight - 11 * h) / 2, 50 * w, 11 * h};
}

std::string_view trueFalse(long value) {
    return value != 0 ? "True" : "False";
}

std::string_view orNull(const std::optional<std::string>& text) {
    return text ? std::string_view(*text) : std::string_view("(null)");
}

}  // namespace tools
