#include "ui/view_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/options.h"

namespace ui {

UiRect startPlacement(const StoredPlacement& stored, int maxWidth, int maxHeight) {
    if (stored.maximized)
        return {0, 0, maxWidth, maxHeight};
    const UiRect fallback{0, 0, static_cast<int>(0.85 * maxWidth), static_cast<int>(0.8 * maxHeight)};
    UiRect r = stored.bottom > 0 ? UiRect{stored.left, stored.top, stored.right, stored.bottom} : fallback;
    r.right = std::min(r.right, maxWidth);
    r.bottom = std::min(r.bottom, maxHeight);
    r.top = std::max(r.top, 0);
    r.left = std::max(r.left, 0);
    // A placement left by a screen that is gone (or a damaged value) can
    // clamp to nothing: a window without width or height cannot be found
    // again, so it takes the default size instead.
    if (r.right - r.left < kNarrowOuterWidth || r.bottom - r.top < 1)
        return fallback;
    return r;
}

MainLayout layoutFor(int cx, int cy, int stripBarWidth) {
    MainLayout layout;
    if (cy <= kMinimumOuterHeight) {
        layout.outerHeight = kMinimumOuterHeight;
        cy = 371;
    }
    layout.clientHeight = cy;
    // Children cannot be shaped by regions here, so the page view starts to
    // the right of the start-button column instead of reaching under it.
    constexpr int kLeftOfView = kButtonWidth + 5;
    if (cx > kNarrowOuterWidth) {
        layout.wide = true;
        layout.view = {kLeftOfView, 7, cx - 173, cy - 32};
        layout.strip = {cx - 163, 7, cx - 7, cy - 7};
    } else {
        layout.wide = false;
        layout.outerWidth = kNarrowOuterWidth;
        layout.strip = {kLeftOfView, 7, stripBarWidth == 12 ? 160 + 15 : 163 + 15, cy - 7};
    }
    return layout;
}

UiRect buttonRect(int index) {
    const int top = index < 5 ? 45 + 34 * index : 227 + 34 * (index - 5);
    return {0, top, kButtonWidth, top + kButtonHeight};
}

const char* buttonTooltip(int index) {
    static constexpr const char* kTips[kButtonCount] = {"Send E-Mail (Ctrl+M)",
                                                        "Save to Disk (Ctrl+S)",
                                                        "Options...",
                                                        "Help... (F1)",
                                                        "Exit and Back to Word (Alt+F4)",
                                                        "Save to Multipaged PDF (Ctrl+P)",
                                                        "Save files with HTML (Ctrl+W)"};
    return index >= 0 && index < kButtonCount ? kTips[index] : "";
}

ImageFit fitImage(int imageWidth, int imageHeight, int clientWidth, int clientHeight, int bar, int viewWidth,
                  int viewHeight) {
    ImageFit fit;
    if (clientWidth < imageWidth) {
        fit.hBar = true;
        clientHeight -= bar;
        fit.hMax = imageWidth - clientWidth + 10;
    }
    if (clientHeight < imageHeight) {
        fit.vBar = true;
        clientWidth -= bar;
        fit.vMax = imageHeight - clientHeight + 10;
    }
    fit.x0 = viewWidth >= imageWidth ? (viewWidth - imageWidth) / 2 : 0;
    fit.y0 = viewHeight >= imageHeight ? (viewHeight - imageHeight) / 2 : 0;
    return fit;
}

int viewScrollTo(ScrollKind kind, int position, int max, int thumb) {
    switch (kind) {
        case ScrollKind::LineUp:
            return position <= 0 ? position : std::max(position - 100, 0);
        case ScrollKind::LineDown:
            return position >= max ? position : std::min(position + 100, max);
        case ScrollKind::PageUp:
            return position < 0 ? position : 0;
        case ScrollKind::PageDown:
            return position > max ? position : max;
        case ScrollKind::Thumb:
            return position >= 0 && position <= max ? thumb : position;
        default:
            return position;
    }
}

int stripScrollMax(int lastTop, int lastHeight, int clientBottom) {
    return lastTop - clientBottom + static_cast<int>(1.5 * lastHeight);
}

int stripScrollTo(ScrollKind kind, int position, int max, int span, int thumb) {
    switch (kind) {
        case ScrollKind::LineUp:
            return position <= 0 ? position : std::max(position - 100, 0);
        case ScrollKind::LineDown:
            return position >= max ? position : std::min(position + 50, max);
        case ScrollKind::PageUp:
            return position <= 0 ? position : std::max(position - 300, 0);
        case ScrollKind::PageDown:
            return position >= max ? position : std::min(position + 300, max);
        case ScrollKind::Thumb:
            if (position < 0 || position > max || span <= 0)
                return position;
            return static_cast<int>(std::ceil(static_cast<double>(max) / span * thumb));
        default:
            return position;
    }
}

int stripBarPosition(int position, int max, int span) {
    if (max <= 0 || span <= 0)
        return 0;
    const double ratio = static_cast<double>(max) / span;
    return static_cast<int>(std::ceil(position / ratio));
}

WheelTarget wheelTarget(int x, int y, const UiRect& client, bool viewVBar, bool viewHBar) {
    if (x >= client.right - 170 && x <= client.right && y >= client.top && y <= client.bottom)
        return WheelTarget::StripVertical;
    const bool inViewColumns = x >= client.left && x <= client.right - 170;
    if (viewVBar && inViewColumns && y >= client.top && y <= client.bottom - 47)
        return WheelTarget::ViewVertical;
    if (viewHBar && inViewColumns && y > client.bottom - 47 && y <= client.bottom)
        return WheelTarget::ViewHorizontal;
    return WheelTarget::None;
}

const char* formatName(const app::FormatFlags& format) {
    if (format.JPG_Default)
        return "JPEG";
    if (format.GIF_Default)
        return "GIF";
    if (format.PNG_Default)
        return "PNG";
    if (format.TIF_Default)
        return "TIF";
    return "BMP";
}

std::string infoLine(const InfoFacts& f, const app::FormatFlags& format) {
    constexpr double kInchPerMm = 0.03937007874015748;
    const double r = f.resolution > 0 ? f.resolution : 1;
    const int widthMm = static_cast<int>(std::ceil(f.width / (r * kInchPerMm)));
    const int heightMm = static_cast<int>(std::ceil(f.height / (r * kInchPerMm)));
    char text[256];
    std::snprintf(text, sizeof text, "%d(%d): %d KB, %dx%d pixels, %dx%d mm, %d dpi, %s", f.shownPage + 1,
                  std::max(f.pageCount, f.shownPage + 1), f.encodedKb, f.width, f.height, widthMm, heightMm,
                  static_cast<int>(std::ceil(r)), formatName(format));
    return text;
}

std::string pageLabel(const std::string& fileName) {
    if (fileName.size() <= 4)
        return {};
    const std::size_t end = fileName.size() - 4;
    const std::size_t begin = end >= 4 ? end - 4 : 0;
    return fileName.substr(begin, end - begin);
}

}  // namespace ui
