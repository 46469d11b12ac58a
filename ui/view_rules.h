#pragma once
// The main window's arithmetic, free of window code: the start-up placement,
// the layout of the children, the start buttons' places, fitting the shown
// image (scroll ranges and centring), the two scroll tables, the wheel's
// target and the info line's text.

#include <optional>
#include <string>

#include "app/ui_port.h"

namespace app {
struct FormatFlags;
}

namespace ui {

using app::UiRect;

// Window placement at start: from the stored values (-1 when absent) and the
// size (W, H) of a maximised window on the primary screen.
struct StoredPlacement {
    bool maximized = false;
    int left = -1, top = -1, right = -1, bottom = -1;
};
UiRect startPlacement(const StoredPlacement& stored, int maxWidth, int maxHeight);

// The children's places for a client area of (cx, cy).
struct MainLayout {
    int clientHeight = 0;            // the height laid out for (371 when snapped)
    std::optional<int> outerHeight;  // the main window's outer height to set
    std::optional<int> outerWidth;   // the main window's outer width to set
    bool wide = true;                // page view shown
    UiRect view;                     // page view's place (main-window client coordinates)
    UiRect strip;                    // thumbnail strip's place
};
inline constexpr int kMinimumOuterHeight = 402;
inline constexpr int kNarrowOuterWidth = 182;
MainLayout layoutFor(int cx, int cy, int stripBarWidth = 12);

// Start button `index` (0..6): 43 x 32 at x = 0.
inline constexpr int kButtonCount = 7;
inline constexpr int kButtonWidth = 43;
inline constexpr int kButtonHeight = 32;
UiRect buttonRect(int index);
const char* buttonTooltip(int index);

// The shown image in the page view: whether each bar is shown, its range's
// upper end, and where the image's top-left corner goes before scrolling.
struct ImageFit {
    bool hBar = false, vBar = false;
    int hMax = 0, vMax = 0;
    int x0 = 0, y0 = 0;
};
// `client` is the page view's client size before bars; `bar` the bar width
// that showing a bar takes from the client area; `view` the view rectangle's
// size.
ImageFit fitImage(int imageWidth, int imageHeight, int clientWidth, int clientHeight, int bar, int viewWidth,
                  int viewHeight);

// The page view's scroll table: the new position for a request (the same
// position when nothing happens). `thumb` is the thumb's position for
// thumb requests.
enum class ScrollKind { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, End };
int viewScrollTo(ScrollKind kind, int position, int max, int thumb = 0);

// The thumbnail strip's: `max` from the last thumbnail, `span` the bar's
// range span (10 x page count).
int stripScrollMax(int lastTop, int lastHeight, int clientBottom);
int stripScrollTo(ScrollKind kind, int position, int max, int span, int thumb = 0);
// The strip bar's thumb position for a scroll position.
int stripBarPosition(int position, int max, int span);

// Where a wheel turn at (x, y) in main-window client coordinates goes.
enum class WheelTarget { None, StripVertical, ViewVertical, ViewHorizontal };
WheelTarget wheelTarget(int x, int y, const UiRect& client, bool viewVBar, bool viewHBar);

// The info line: shown page, count, encoded size, image size in pixels and
// millimetres, resolution and format name.
struct InfoFacts {
    int shownPage = 0;
    int pageCount = 0;
    int encodedKb = 0;
    int width = 0, height = 0;
    double resolution = 96;
};
std::string infoLine(const InfoFacts& facts, const app::FormatFlags& format);
const char* formatName(const app::FormatFlags& format);
// The info line is drawn only in a client area wider than this.
inline constexpr int kInfoLineMinWidth = 630;

// A page's label: the four characters before its last four (0003.emf: 0003).
std::string pageLabel(const std::string& fileName);

}  // namespace ui
