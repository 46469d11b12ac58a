// The main window's arithmetic: placement at start, layout, button places,
// the image's fit, both scroll tables, the wheel and the info line.

#include "ui/view_rules.h"

#include <gtest/gtest.h>

#include "app/options.h"

namespace ui {
namespace {

TEST(StartPlacement, FromTheStoredValuesWithClamping) {
    const int W = 1280, H = 1000;
    struct Case {
        const char* what;
        StoredPlacement stored;
        UiRect expected;
    };
    const Case cases[] = {
        {"maximised", {true, 10, 10, 300, 300}, {0, 0, W, H}},
        {"nothing stored", {}, {0, 0, 1088, 800}},
        {"bottom 0 counts as absent", {false, 10, 20, 500, 0}, {0, 0, 1088, 800}},
        {"stored", {false, 10, 20, 810, 620}, {10, 20, 810, 620}},
        {"right beyond the screen", {false, 10, 20, 2000, 620}, {10, 20, W, 620}},
        {"bottom beyond the screen", {false, 10, 20, 810, 1500}, {10, 20, 810, H}},
        {"left and top above the screen", {false, -50, -30, 700, 600}, {0, 0, 700, 600}},
        // A placement from a screen that is gone would clamp to nothing.
        {"left beyond the right edge", {false, 3000, 20, 3800, 620}, {0, 0, 1088, 800}},
        {"top beyond the bottom edge", {false, 10, 1400, 810, 1900}, {0, 0, 1088, 800}},
    };
    for (const Case& c : cases) EXPECT_EQ(startPlacement(c.stored, W, H), c.expected) << c.what;
}

TEST(Layout, WideNarrowAndTheMinimumHeight) {
    const MainLayout wide = layoutFor(900, 600);
    EXPECT_TRUE(wide.wide);
    EXPECT_FALSE(wide.outerHeight);
    EXPECT_FALSE(wide.outerWidth);
    EXPECT_EQ(wide.view, (UiRect{48, 7, 900 - 173, 600 - 32}));
    EXPECT_EQ(wide.strip, (UiRect{900 - 163, 7, 900 - 7, 600 - 7}));
    EXPECT_EQ(wide.strip.right - wide.strip.left, 156);

    const MainLayout low = layoutFor(900, 402);
    EXPECT_EQ(low.outerHeight, 402);
    EXPECT_EQ(low.clientHeight, 371);
    EXPECT_EQ(low.view.bottom, 371 - 32);
    EXPECT_FALSE(layoutFor(900, 403).outerHeight);

    const MainLayout narrow = layoutFor(182, 600);
    EXPECT_FALSE(narrow.wide);
    EXPECT_EQ(narrow.outerWidth, 182);
    EXPECT_EQ(narrow.strip.bottom, 600 - 7);
    EXPECT_TRUE(layoutFor(183, 600).wide);
    // The view never reaches under the start buttons.
    EXPECT_GE(wide.view.left - 4, kButtonWidth);
}

TEST(Layout, StartButtonPlaces) {
    const int tops[] = {45, 79, 113, 147, 181, 227, 261};
    for (int i = 0; i < kButtonCount; ++i) {
        EXPECT_EQ(buttonRect(i), (UiRect{0, tops[i], 43, tops[i] + 32})) << i;
    }
    EXPECT_STREQ(buttonTooltip(0), "Send E-Mail (Ctrl+M)");
    EXPECT_STREQ(buttonTooltip(4), "Exit and Back to Word (Alt+F4)");
    EXPECT_STREQ(buttonTooltip(6), "Save files with HTML (Ctrl+W)");
    EXPECT_STREQ(buttonTooltip(7), "");
}

TEST(ImageFitting, BarsRangesAndCentring) {
    // Smaller than the view: no bars, centred.
    ImageFit small = fitImage(300, 200, 700, 500, 12, 700, 500);
    EXPECT_FALSE(small.hBar);
    EXPECT_FALSE(small.vBar);
    EXPECT_EQ(small.x0, 200);
    EXPECT_EQ(small.y0, 150);
    // 1000 wide in 700: horizontal range 0..310, left-aligned.
    ImageFit wide = fitImage(1000, 200, 700, 500, 12, 700, 500);
    EXPECT_TRUE(wide.hBar);
    EXPECT_FALSE(wide.vBar);
    EXPECT_EQ(wide.hMax, 310);
    EXPECT_EQ(wide.x0, 0);
    // The horizontal bar takes height: an image that fits the full height
    // but not the rest gets the vertical bar too.
    ImageFit both = fitImage(1000, 495, 700, 500, 12, 700, 500);
    EXPECT_TRUE(both.vBar);
    EXPECT_EQ(both.vMax, 495 - 488 + 10);
    ImageFit exact = fitImage(700, 500, 700, 500, 12, 700, 500);
    EXPECT_FALSE(exact.hBar);
    EXPECT_FALSE(exact.vBar);
}

TEST(Scrolling, PageViewTable) {
    struct Case {
        ScrollKind kind;
        int position, max, thumb, expected;
    };
    const Case cases[] = {
        {ScrollKind::LineUp, 250, 500, 0, 150},   {ScrollKind::LineUp, 50, 500, 0, 0},
        {ScrollKind::LineUp, 0, 500, 0, 0},       {ScrollKind::LineUp, -5, 500, 0, -5},
        {ScrollKind::LineDown, 250, 500, 0, 350}, {ScrollKind::LineDown, 450, 500, 0, 500},
        {ScrollKind::LineDown, 500, 500, 0, 500}, {ScrollKind::LineDown, 600, 500, 0, 600},
        {ScrollKind::PageUp, 250, 500, 0, 0},     {ScrollKind::PageUp, -5, 500, 0, -5},
        {ScrollKind::PageDown, 250, 500, 0, 500}, {ScrollKind::PageDown, 600, 500, 0, 600},
        {ScrollKind::Thumb, 250, 500, 77, 77},    {ScrollKind::Thumb, 600, 500, 77, 600},
        {ScrollKind::Top, 250, 500, 0, 250},      {ScrollKind::Bottom, 250, 500, 0, 250},
        {ScrollKind::End, 250, 500, 0, 250},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewScrollTo(c.kind, c.position, c.max, c.thumb), c.expected)
            << static_cast<int>(c.kind) << " from " << c.position;
}

TEST(Scrolling, ThumbnailStripTable) {
    // Three thumbnails of 130 x 100 from y = 25 with 24 px gaps; client
    // bottom 300.
    const int max = stripScrollMax(25 + 2 * 124, 100, 300);
    EXPECT_EQ(max, 273 - 300 + 150);
    struct Case {
        ScrollKind kind;
        int position, expected;
    };
    const Case cases[] = {
        {ScrollKind::LineDown, 0, 50},  {ScrollKind::LineDown, 100, 123}, {ScrollKind::LineDown, 123, 123},
        {ScrollKind::LineUp, 123, 23},  {ScrollKind::LineUp, 50, 0},      {ScrollKind::LineUp, 0, 0},
        {ScrollKind::PageDown, 0, 123}, {ScrollKind::PageUp, 123, 0},     {ScrollKind::Top, 50, 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stripScrollTo(c.kind, c.position, max, 41), c.expected) << static_cast<int>(c.kind);
    // Thumb: ceil(ratio x thumb) with ratio = max / span.
    EXPECT_EQ(stripScrollTo(ScrollKind::Thumb, 0, max, 41, 10), 30);
    EXPECT_EQ(stripScrollTo(ScrollKind::Thumb, 0, max, 82, 10), 15);
    EXPECT_EQ(stripBarPosition(30, max, 41), 10);
    EXPECT_EQ(stripBarPosition(31, max, 41), 11);
    EXPECT_EQ(stripBarPosition(50, 0, 30), 0);
}

TEST(Wheel, TargetsByPointerPlace) {
    const UiRect client{0, 0, 1000, 700};
    EXPECT_EQ(wheelTarget(900, 300, client, true, true), WheelTarget::StripVertical);
    EXPECT_EQ(wheelTarget(830, 300, client, true, true), WheelTarget::StripVertical);
    EXPECT_EQ(wheelTarget(829, 300, client, true, true), WheelTarget::ViewVertical);
    EXPECT_EQ(wheelTarget(400, 300, client, false, true), WheelTarget::None);
    EXPECT_EQ(wheelTarget(400, 653, client, true, true), WheelTarget::ViewVertical);
    EXPECT_EQ(wheelTarget(400, 654, client, true, true), WheelTarget::ViewHorizontal);
    EXPECT_EQ(wheelTarget(400, 680, client, true, false), WheelTarget::None);
}

TEST(InfoLine, FieldsAndFormatName) {
    app::FormatFlags jpeg;
    InfoFacts facts{1, 3, 42, 827, 1169, 100};
    EXPECT_EQ(infoLine(facts, jpeg), "2(3): 42 KB, 827x1169 pixels, 211x297 mm, 100 dpi, JPEG");
    facts.pageCount = 1;  // the shown page beyond the count wins
    facts.resolution = 96.4;
    app::FormatFlags none{false, false, false, false, false};
    EXPECT_EQ(infoLine(facts, none), "2(2): 42 KB, 827x1169 pixels, 218x309 mm, 97 dpi, BMP");
    app::FormatFlags gifAndPng{false, true, true, false, false};
    EXPECT_STREQ(formatName(gifAndPng), "GIF");
    EXPECT_STREQ(formatName({false, false, true, false, true}), "PNG");
    EXPECT_STREQ(formatName({false, false, false, false, true}), "TIF");
}

TEST(InfoLine, PageLabels) {
    EXPECT_EQ(pageLabel("0003.emf"), "0003");
    EXPECT_EQ(pageLabel("0012.emf"), "0012");
    EXPECT_EQ(pageLabel("J0012.emf"), "0012");
    EXPECT_EQ(pageLabel("a.emf"), "a");
    EXPECT_EQ(pageLabel(".emf"), "");
}

}  // namespace
}  // namespace ui
