#include "ui/format_pages.h"

#include <algorithm>

#include "output/formats.h"

namespace ui {

const char* pageCaption(FormatPage page) {
    switch (page) {
        case FormatPage::JPG:
            return "JPG";
        case FormatPage::GIF:
            return "GIF";
        case FormatPage::PNG:
            return "PNG";
        case FormatPage::BMP:
            return "BMP";
        case FormatPage::TIF:
            return "TIF";
        case FormatPage::PDF:
            return "Multipaged PDF";
        case FormatPage::AnimatedGIF:
            return "Animated GIF";
    }
    return "";
}

const std::array<FormatPage, 6>& fullSheetPages() {
    static const std::array<FormatPage, 6> pages = {FormatPage::JPG, FormatPage::GIF, FormatPage::PNG,
                                                    FormatPage::BMP, FormatPage::TIF, FormatPage::PDF};
    return pages;
}

int fullSheetStartPage(app::FormatCode current) {
    const int code = static_cast<int>(current);
    return code >= 1 && code <= 5 ? code - 1 : 0;
}

std::optional<FormatPage> singlePageOf(app::FormatCode code) {
    switch (code) {
        case app::FormatCode::JPG:
            return FormatPage::JPG;
        case app::FormatCode::GIF:
            return FormatPage::GIF;
        case app::FormatCode::PNG:
            return FormatPage::PNG;
        case app::FormatCode::TIF:
            return FormatPage::TIF;
        case app::FormatCode::BMP:
            break;
    }
    return std::nullopt;
}

int colourSliderPosition(int storedColours) {
    return std::clamp(storedColours, kMinColours, kMaxColours);
}

bool colourControlsEnabled(FormatPage page, const app::FormatSettings& v) {
    switch (page) {
        case FormatPage::PNG:
            return v.PNG_TrueIndexGray == 1 || v.PNG_TrueIndexGray == 2;
        case FormatPage::TIF:
            return v.TIF_TrueIndexGray == 1 || v.TIF_TrueIndexGray == 2;
        case FormatPage::GIF:
            return true;
        default:
            return false;
    }
}

int clampedGifDelay(int typed) {
    return std::clamp(typed, 0, kMaxGifDelay);
}

const std::array<std::string_view, 4>& pdfInsideFormats() {
    static const std::array<std::string_view, 4> list = {"BMP", "JPG", "TIF", "PNG"};
    return list;
}

std::optional<int> pdfInsideSelection(std::string_view stored) {
    if (stored.size() < 3)
        return 0;
    const auto& list = pdfInsideFormats();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == stored)
            return static_cast<int>(i);
    return std::nullopt;
}

std::vector<std::string> mailFormatEntries() {
    std::vector<std::string> entries;
    for (const auto& f : output::formats()) entries.emplace_back(f.caption);
    entries.emplace_back("Multipage: PDF (Portable Document Format)");
    return entries;
}

std::optional<int> mailFormatSelection(int code) {
    if (code < 1 || code > 6)
        return std::nullopt;
    return code - 1;
}

}  // namespace ui
