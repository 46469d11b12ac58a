#include "ui/tip_of_the_day.h"

#include <cstdint>

#include "app/settings_store.h"

namespace ui {

using platform::RegRoot;

const std::array<std::string_view, 6>& tipTexts() {
    static const std::array<std::string_view, 6> texts = {
        "   You can use Shortcut Keys to accelerate your working with Scrivlet.\n\n   Use Arrows and "
        "Shift-Arrows to scroll working panels,\n   F3     - Preset Text/Graphics\n   F4     - Preset Word "
        "Art/Photo\n   F5     - Preset Professional\n   Ctrl+C - Image Format and Quality\n   Ctrl+D - Image "
        "Resolution and Dimensions\n   Ctrl+H - Background and Hatch Settings...\n   Ctrl+S - Save to "
        "Disk...\n   Read Help for more information.",
        "   Using Scrivlet, you can convert to images and PDF both whole pages and any selected elements, "
        "such "
        "as drawings, WordArt, tables, charts and pieces of text. Just select the desired item and click "
        "'Selected' in Scrivlet Start Menu.\n\n   In such a way, you turn MS Word  into the practical image "
        "editor, and get high-quality raster images with  Scrivlet.",
        "   It is strongly recommended NOT TO SEND DOCs 'as is' via e-mail (certainly, if the recipient did "
        "not "
        "especially specify it).\n\n   The recent researches proved, that MS Word DOCs can carry a lot of  "
        "hidden information about authors, previous document edining and so on. This information can be "
        "extracted and may be brought up against you.\n\n   Converting DOC to image and PDF will do away "
        "with "
        "such cases finally.",
        "   You need not use Antialiasing, if 'Smooth edges of screen fonts' system feature is on.\n\n   "
        "('Start' -> 'Settings' -> 'Display' -> 'Effects')",
        "   For  special purposes such as polygraphy and large sheet printing, you should use TIFF. It is "
        "standard format for professional raster images. Using LZW lossless compression offers to decrease "
        "the file size.\n\n   At the same time, please remember that TIFF cannot be viewed with the Internet "
        "browsers, and it is not suitable for Web sites.",
        "   JPG is NOT the best choice for text, tables and charts. JPG is a compressed format with the "
        "quality loss. I.e. the more compression, the more the image blur. It is usually unweighted for the "
        "photos, but critically important for graphics, lines and fonts.\n\n   We recommend to use GIF or "
        "PNG "
        "for office documents. Optimizing colors quantity, you get a minimal file size with a practically "
        "untouched quality.",
    };
    return texts;
}

int shownTipIndex(int stored) {
    return stored < 0 || stored > 5 ? 0 : stored;
}

int advancedTipIndex(int stored) {
    if (stored < 0)
        return 1;
    if (stored <= 4)
        return stored + 1;
    return 0;
}

bool tipOfTheDayAtStart(bool earlierClosed, int startHelpCheck) {
    return !earlierClosed && startHelpCheck < 1;
}

int TipCycle::currentIndex() const {
    return shownTipIndex(m_store.readDword(RegRoot::CurrentUser, "lvNumTipOfTheDay"));
}

std::string_view TipCycle::currentTip() const {
    return tipTexts()[static_cast<std::size_t>(currentIndex())];
}

void TipCycle::advance() {
    const int next = advancedTipIndex(m_store.readDword(RegRoot::CurrentUser, "lvNumTipOfTheDay"));
    m_store.writeDword(RegRoot::CurrentUser, "lvNumTipOfTheDay", static_cast<std::uint32_t>(next));
}

void TipCycle::close(bool showAtStartup) {
    advance();
    m_store.writeDword(RegRoot::CurrentUser, "lvStartHelpCheck", showAtStartup ? 0 : 1);
}

}  // namespace ui
