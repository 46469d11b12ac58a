#include "render/date_stamp.h"

#include <algorithm>

namespace render {
namespace {

constexpr std::uint8_t kOutStringPrecis = 1;     // OUT_STRING_PRECIS
constexpr std::uint8_t kAntialiasedQuality = 4;  // ANTIALIASED_QUALITY

// The antialiased stamp is drawn this many times as large and reduced.
constexpr int kScale = 4;
// The stamp's box in output pixels: wide enough for any date and time line,
// tall enough for the 11-unit font with its descenders.
constexpr int kBoxWidth = 600;
constexpr int kBoxHeight = 16;

metafile::LogFont stampFont(int height) {
    metafile::LogFont font;
    font.faceName = "Arial";
    font.italic = true;
    font.weight = 400;
    font.outPrecision = kOutStringPrecis;
    font.height = height;
    return font;
}

void drawLine(metafile::Dc& dc, const metafile::RectL& box, const std::string& text) {
    dc.setBkMode(metafile::gdi::TRANSPARENT);
    dc.drawText(text, box, metafile::gdi::DT_LEFT | metafile::gdi::DT_TOP | metafile::gdi::DT_SINGLELINE);
}

}  // namespace

int dateStampHeight(int kodAntialias) {
    return kodAntialias == 0 ? -11 : -(10 * kodAntialias + 2);
}

void drawDateStamp(metafile::Dc& dc, const metafile::RectL& page, const std::string& text, int kodAntialias) {
    if (kodAntialias != 0) {
        dc.setFont(stampFont(dateStampHeight(kodAntialias)));
        drawLine(dc, page, text);
        return;
    }
    // The device draws text without antialiasing, so the antialiased quality
    // is made here: the line is drawn kScale times as large in black on white
    // and every kScale x kScale block becomes one pixel's coverage, which
    // darkens the strip's pixel below it (black text over the page).
    metafile::DibSection& strip = dc.canvas().dib();
    const int top = page.top;  // the page's first row in strip rows
    const int width = std::min(kBoxWidth, std::min(strip.width() - page.left, page.right - page.left));
    const int firstRow = std::max(strip.firstRow(), top),
              lastRow = std::min(strip.endRow(), top + kBoxHeight);
    if (page.left < 0 || width <= 0 || firstRow >= lastRow)
        return;  // the stamp is not in this strip
    auto large = metafile::DibSection::create(width * kScale, kBoxHeight * kScale);
    if (!large)
        return;
    large->fill(0xFFFFFF);
    metafile::Dc scratch(*large);
    metafile::LogFont font = stampFont(dateStampHeight(0) * kScale);
    font.quality = kAntialiasedQuality;
    scratch.setFont(font);
    drawLine(scratch, {0, 0, width * kScale, kBoxHeight * kScale}, text);
    constexpr std::uint32_t area = kScale * kScale;
    for (int y = firstRow; y < lastRow; ++y) {
        std::uint32_t* row = strip.row(y) + page.left;
        const int by = y - top;
        for (int x = 0; x < width; ++x) {
            std::uint32_t sum = 0;  // the blocks are grey: blue stands for all three
            for (int dy = 0; dy < kScale; ++dy) {
                const std::uint32_t* src = large->row(by * kScale + dy) + x * kScale;
                for (int dx = 0; dx < kScale; ++dx) sum += src[dx] & 0xFF;
            }
            if (sum == 255 * area)
                continue;
            const std::uint32_t pixel = row[x];
            std::uint32_t out = pixel & 0xFF000000;
            for (int shift : {0, 8, 16}) out |= (((pixel >> shift) & 0xFF) * sum / (255 * area)) << shift;
            row[x] = out;
        }
    }
}

}  // namespace render
