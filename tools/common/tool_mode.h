#pragma once
// What the installer and the remover share: the mode chosen by the command
// word, the window's place by mode, the painted lines as positioned data (so
// that the window only draws them), and the maker's lines.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

enum class ToolMode {
    Debug,   // work, list every step, stay open
    Quiet,   // work, show a banner, end by itself
    Banner,  // no work, show the banner, stay open
};

// The whole argument text compared, ignoring case, with "debug" and with the
// tool's quiet word ("pause", "maxpause").
ToolMode parseToolMode(std::string_view argumentText, std::string_view quietWord);
// The argument text of a command line: the arguments joined by blanks.
std::string argumentText(int argc, char** argv);

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kGrey{130, 130, 130};

// One thing to draw: a text with its top-left corner, or a horizontal rule
// from x to x2 at y.
struct PaintItem {
    enum class Kind { Text, Rule };
    Kind kind = Kind::Text;
    int x = 0;
    int y = 0;
    int x2 = 0;        // rules only
    std::string text;  // texts only, UTF-8
    Rgb colour;

    static PaintItem textAt(int x, int y, std::string text, Rgb colour) {
        return {Kind::Text, x, y, 0, std::move(text), colour};
    }
    static PaintItem ruleAt(int x, int x2, int y) { return {Kind::Rule, x, y, x2, {}, kBlack}; }
};

// Builds the debug listing: lines at x = 10 from y = 10, each `lineHeight`
// below the previous one.
class DebugListing {
public:
    explicit DebugListing(int lineHeight) : m_h(lineHeight) {}

    void line(std::string text, Rgb colour);
    // label + value + ";"
    void entry(std::string_view label, std::string_view value, Rgb colour);
    void blank() { m_y += m_h; }
    // A rule from x = 10 to x = 650 at the current line's top.
    void rule() { m_items.push_back(PaintItem::ruleAt(10, 650, m_y)); }

    std::vector<PaintItem> take() { return std::move(m_items); }

private:
    int m_h;
    int m_y = 10;
    std::vector<PaintItem> m_items;
};

// The banner: the product line in red, "Integrated part of Scrivlet™ v2.0.0"
// in blue, the maker's notice, the web address in red; in quiet mode after a
// first line in the default colour.
std::vector<PaintItem> bannerItems(std::string_view productLine, std::string_view quietLine, bool quiet,
                                   int lineHeight);

struct WindowPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// Size and place by mode from the average character width w of the bold
// Arial font of height h: debug 110 w by `debugLines` h, centred as if it
// were 27 h high; quiet 50 w by 13 h; banner 50 w by 11 h.
WindowPlacement placeWindow(ToolMode mode, int w, int h, int screenWidth, int screenHeight, int debugLines);

// "Text" for the four result lines: "True" when non-zero.
std::string_view trueFalse(long value);
// An unset text is shown and logged as "(null)".
std::string_view orNull(const std::optional<std::string>& text);

inline constexpr std::string_view kMakerNotice = "Quillo Scrivlet tools. Made for Scrivlet users everywhere.";
inline constexpr std::string_view kMakerWebAddress = "https://www.example.com/scrivlet";

}  // namespace tools
