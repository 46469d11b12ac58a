// The option pages' rules without windows: sheets and their pages, the colour
// sliders' range, which controls a page enables, the PDF and e-mail lists.

#include "ui/format_pages.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

using app::FormatCode;

TEST(FormatPages, SheetsAndTheirPages) {
    const std::pair<FormatCode, int> starts[] = {{FormatCode::JPG, 0},
                                                 {FormatCode::GIF, 1},
                                                 {FormatCode::PNG, 2},
                                                 {FormatCode::BMP, 3},
                                                 {FormatCode::TIF, 4}};
    for (const auto& [code, page] : starts) {
        EXPECT_EQ(fullSheetStartPage(code), page);
        constexpr std::array<const char*, 5> captions{"JPG", "GIF", "PNG", "BMP", "TIF"};
        EXPECT_STREQ(pageCaption(fullSheetPages()[static_cast<std::size_t>(page)]),
                     captions[static_cast<std::size_t>(page)]);
    }
    EXPECT_STREQ(pageCaption(fullSheetPages()[5]), "Multipaged PDF");
    EXPECT_EQ(fullSheetStartPage(static_cast<FormatCode>(0)), 0);
    EXPECT_EQ(fullSheetStartPage(static_cast<FormatCode>(6)), 0);
    EXPECT_STREQ(pageCaption(FormatPage::AnimatedGIF), "Animated GIF");
    EXPECT_EQ(singlePageOf(FormatCode::BMP), std::nullopt) << "BMP shows no sheet";
    EXPECT_EQ(singlePageOf(FormatCode::TIF), FormatPage::TIF);
    EXPECT_EQ(singlePageOf(FormatCode::JPG), FormatPage::JPG);
}

TEST(FormatPages, ColourSlidersAndDelay) {
    const std::pair<int, int> sliders[] = {{300, 256}, {256, 256}, {64, 64}, {2, 2}, {1, 2}, {-1, 2}};
    for (const auto& [stored, position] : sliders)
        EXPECT_EQ(colourSliderPosition(stored), position) << stored;
    const std::pair<int, int> delays[] = {{-5, 0}, {0, 0}, {100, 100}, {6000, 6000}, {6001, 6000}};
    for (const auto& [typed, delay] : delays) EXPECT_EQ(clampedGifDelay(typed), delay) << typed;
}

TEST(FormatPages, ColourControlsFollowTheType) {
    app::FormatSettings v;
    const std::tuple<FormatPage, int, bool> cases[] = {{FormatPage::PNG, 0, false},
                                                       {FormatPage::PNG, 1, true},
                                                       {FormatPage::PNG, 2, true},
                                                       {FormatPage::TIF, 0, false},
                                                       {FormatPage::TIF, 1, true},
                                                       {FormatPage::TIF, 2, true},
                                                       {FormatPage::TIF, 3, false},
                                                       {FormatPage::GIF, 0, true},
                                                       {FormatPage::GIF, 1, true},
                                                       // Pages without colours have nothing to enable.
                                                       {FormatPage::JPG, 1, false},
                                                       {FormatPage::BMP, 1, false},
                                                       {FormatPage::PDF, 1, false},
                                                       {FormatPage::AnimatedGIF, 1, false}};
    for (const auto& [page, type, enabled] : cases) {
        v.PNG_TrueIndexGray = v.TIF_TrueIndexGray = v.GIF_IndexGray = type;
        EXPECT_EQ(colourControlsEnabled(page, v), enabled) << pageCaption(page) << " type " << type;
    }
}

TEST(FormatPages, PdfInsideFormatList) {
    EXPECT_EQ(pdfInsideFormats(), (std::array<std::string_view, 4>{"BMP", "JPG", "TIF", "PNG"}));
    const std::pair<const char*, std::optional<int>> cases[] = {{"", 0},
                                                                {"JP", 0},
                                                                {"BMP", 0},
                                                                {"JPG", 1},
                                                                {"TIF", 2},
                                                                {"PNG", 3},
                                                                {"GIF", std::nullopt},
                                                                {"jpg", std::nullopt},
                                                                {"JPEG", std::nullopt}};
    for (const auto& [stored, entry] : cases) EXPECT_EQ(pdfInsideSelection(stored), entry) << stored;
}

TEST(FormatPages, MailFormatList) {
    const std::vector<std::string> expected = {
        "JPG (JPEG file interchange format)",  "GIF (Graphics Interchange Format)",
        "PNG (Portable Network Graphics)",     "BMP (Windows Bitmap)",
        "TIF (TIFF Tagged Image File Format)", "Multipage: PDF (Portable Document Format)"};
    EXPECT_EQ(mailFormatEntries(), expected);
    const std::pair<int, std::optional<int>> cases[] = {
        {-1, std::nullopt}, {0, std::nullopt}, {1, 0}, {5, 4}, {6, 5}, {7, std::nullopt}, {8, std::nullopt}};
    for (const auto& [code, entry] : cases) EXPECT_EQ(mailFormatSelection(code), entry) << code;
}

}  // namespace
}  // namespace ui
