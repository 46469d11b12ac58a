#pragma once
// The option pages of the image formats without their windows: the pages of
// each sheet, the ranges and the rules that enable their controls, and the
// lists of the PDF inside format and of the e-mail formats.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"

namespace ui {

// The pages a sheet can hold, in the full sheet's order.
enum class FormatPage { JPG, GIF, PNG, BMP, TIF, PDF, AnimatedGIF };

// The tab caption of a page ("JPG", ..., "Multipaged PDF", "Animated GIF").
const char* pageCaption(FormatPage page);
inline constexpr const char* kFormatOptionsTitle = "Image Format Options";
inline constexpr const char* kFullSheetTitle = "Image Format and Quality";

// The full sheet's pages and the one it opens on for the CurrentFormat.
const std::array<FormatPage, 6>& fullSheetPages();
int fullSheetStartPage(app::FormatCode current);
// The single page of ShowFormatOptions; none for BMP.
std::optional<FormatPage> singlePageOf(app::FormatCode code);

// Colour sliders run from 2 to 256; a page opens with its slider on the
// stored count within that range (the working value changes only when the
// slider moves).
inline constexpr int kMinColours = 2, kMaxColours = 256;
int colourSliderPosition(int storedColours);
// Whether the colour slider, its number box (and, on the PNG page, "Dither")
// are enabled for the page's working type.
bool colourControlsEnabled(FormatPage page, const app::FormatSettings& values);

// The animation delay: 0 to 6000 ms; a typed value is clamped.
inline constexpr int kMaxGifDelay = 6000;
int clampedGifDelay(int typed);

// The PDF inside format list ("BMP", "JPG", "TIF", "PNG") and the entry it
// opens on for the stored value: "BMP" when shorter than three characters,
// none when it names no entry.
const std::array<std::string_view, 4>& pdfInsideFormats();
std::optional<int> pdfInsideSelection(std::string_view stored);

// The e-mail format dialog's list: the five formats, then the multipage PDF;
// entry k holds code k + 1.
inline constexpr const char* kMailDialogTitle = "Quillo Scrivlet";
std::vector<std::string> mailFormatEntries();
// The entry a code selects (1 to 6); none for other codes.
std::optional<int> mailFormatSelection(int code);

}  // namespace ui
