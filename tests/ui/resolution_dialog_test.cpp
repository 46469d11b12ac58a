// The resolution and dimension dialog's couplings without a window: the
// opening numbers, spin steps, typed text and radio buttons, the rounding of
// each formula, and the dialog before any page has been rendered.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ui/resolution_dialog_model.h"

namespace ui {
namespace {

// A4 at the defaults: screen 96, printer 300, the user's 80 ppi at 100 %.
ResolutionFacts a4(int choice = 2, double user = 80, int scale = 100) {
    ResolutionFacts f;
    f.screenDpi = 96;
    f.printerDpi = 300;
    f.pageWidthMm = 210;
    f.pageHeightMm = 297;
    f.CheckN = choice;
    f.userResolution = user;
    f.ScaleCur = scale;
    f.currentResolution = choice == 0 ? 96 : choice == 1 ? 300 : choice == 2 ? user : 100;
    return f;
}

struct Shown {
    int res, widthMm, heightMm, widthPx, heightPx, scale;
};
Shown shown(const ResolutionDialogModel& m) {
    return {m.field(res::kResolutionField), m.field(res::kWidthMmField),  m.field(res::kHeightMmField),
            m.field(res::kWidthPxField),    m.field(res::kHeightPxField), m.field(res::kScaleField)};
}

struct CouplingCase {
    const char* name;
    ResolutionFacts facts;
    std::function<void(ResolutionDialogModel&)> act;
    Shown expected;
    int choice;
    int resCur;
    int scale;
    std::optional<int> radio;
};

TEST(ResolutionDialogModel, CouplingsRoundUpAsTheFormulasSay) {
    const CouplingCase cases[] = {
        {"opening: 80 ppi on A4", a4(), [](auto&) {}, {80, 210, 297, 662, 936, 100}, 2, 800, 100, 1011},
        {"opening at the screen's resolution",
         a4(0),
         [](auto&) {},
         {80, 210, 297, 794, 1123, 100},
         0,
         800,
         100,
         1009},
        {"opening at 50 %", a4(2, 80, 50), [](auto&) {}, {80, 105, 149, 331, 468, 50}, 2, 800, 50, 1011},
        {"Printer: 2481 x 3508",
         a4(),
         [](auto& m) { m.radio(res::kPrinter); },
         {80, 210, 297, 2481, 3508, 100},
         1,
         3000,
         100,
         1010},
        {"Display after Printer",
         a4(1),
         [](auto& m) {
             m.radio(res::kPrinter);
             m.radio(res::kDisplay);
         },
         {80, 210, 297, 794, 1123, 100},
         0,
         960,
         100,
         1009},
        {"User-defined takes the resolution field",
         a4(0),
         [](auto& m) { m.radio(res::kUserDefined); },
         {80, 210, 297, 662, 936, 100},
         2,
         800,
         100,
         1011},
        {"typed scale changes no field",
         a4(),
         [](auto& m) { m.typed(res::kScaleField, "50"); },
         {80, 210, 297, 662, 936, 50},
         2,
         800,
         50,
         1011},
        {"a scale arrow after it recomputes them all",
         a4(),
         [](auto& m) {
             m.typed(res::kScaleField, "50");
             m.stepSpin(res::kScaleSpin, 1);
         },
         {80, 108, 152, 341, 479, 51},
         2,
         800,
         51,
         1011},
        {"resolution arrow",
         a4(),
         [](auto& m) { m.stepSpin(res::kResolutionSpin, 1); },
         {81, 210, 297, 670, 948, 100},
         2,
         810,
         100,
         1011},
        {"width-mm arrow down keeps 100 % by rounding up",
         a4(),
         [](auto& m) { m.stepSpin(res::kWidthMmSpin, -1); },
         {80, 209, 297, 659, 936, 100},
         2,
         800,
         100,
         1011},
        {"width-mm arrow up from 50 % moves the scale field",
         a4(2, 80, 50),
         [](auto& m) { m.stepSpin(res::kWidthMmSpin, 1); },
         {80, 106, 152, 334, 479, 51},
         2,
         800,
         51,
         1011},
        {"typed height px: the choice, not the buttons",
         a4(0),
         [](auto& m) { m.typed(res::kHeightPxField, "2000"); },
         {80, 210, 297, 794, 2000, 100},
         2,
         1710,
         100,
         1009},
        {"height-mm arrow down",
         a4(),
         [](auto& m) { m.stepSpin(res::kHeightMmSpin, -1); },
         {80, 210, 296, 662, 933, 100},
         2,
         800,
         100,
         1011},
        {"height-mm arrow down twice from 50 %",
         a4(2, 80, 50),
         [](auto& m) {
             m.stepSpin(res::kHeightMmSpin, -1);
             m.stepSpin(res::kHeightMmSpin, -1);
         },
         {80, 105, 147, 331, 463, 50},
         2,
         800,
         50,
         1011},
        {"width-px arrow while Display is chosen",
         a4(0),
         [](auto& m) { m.stepSpin(res::kWidthPxSpin, 1); },
         {96, 210, 297, 795, 1125, 100},
         2,
         961,
         100,
         1011},
        {"height-px arrow",
         a4(),
         [](auto& m) { m.stepSpin(res::kHeightPxSpin, 1); },
         {80, 210, 297, 663, 937, 100},
         2,
         801,
         100,
         1011},
        {"typed width px: the choice, not the buttons",
         a4(0),
         [](auto& m) { m.typed(res::kWidthPxField, "1000"); },
         {80, 210, 297, 1000, 1123, 100},
         2,
         1209,
         100,
         1009},
        {"typed resolution above the printer's",
         a4(),
         [](auto& m) { m.typed(res::kResolutionField, "5000"); },
         {5000, 210, 297, 662, 936, 100},
         2,
         3000,
         100,
         1011},
        {"typed resolution 0 becomes 1",
         a4(),
         [](auto& m) { m.typed(res::kResolutionField, "0"); },
         {0, 210, 297, 662, 936, 100},
         2,
         10,
         100,
         1011},
        {"typed width mm: scale only",
         a4(),
         [](auto& m) { m.typed(res::kWidthMmField, "105"); },
         {80, 105, 297, 662, 936, 100},
         2,
         800,
         50,
         1011},
        {"typed height mm beyond 300 %",
         a4(),
         [](auto& m) { m.typed(res::kHeightMmField, "1000"); },
         {80, 210, 1000, 662, 936, 100},
         2,
         800,
         300,
         1011},
        {"typed negative mm",
         a4(),
         [](auto& m) { m.typed(res::kWidthMmField, "-5"); },
         {80, -5, 297, 662, 936, 100},
         2,
         800,
         1,
         1011},
        {"non-numeric scale reads 0 and becomes 1",
         a4(),
         [](auto& m) { m.typed(res::kScaleField, "abc"); },
         {80, 210, 297, 662, 936, 0},
         2,
         800,
         1,
         1011},
        {"scale arrow with the screen chosen computes pixels at the screen's resolution",
         a4(0),
         [](auto& m) { m.stepSpin(res::kScaleSpin, 1); },
         {80, 213, 300, 806, 1134, 101},
         0,
         800,
         101,
         1009},
        {"a choice outside 0..2 checks no button",
         a4(7),
         [](auto&) {},
         {80, 210, 297, 827, 1170, 100},
         7,
         800,
         100,
         std::nullopt},
    };
    for (const auto& c : cases) {
        ResolutionDialogModel m(c.facts);
        c.act(m);
        const Shown s = shown(m);
        EXPECT_EQ(s.res, c.expected.res) << c.name;
        EXPECT_EQ(s.widthMm, c.expected.widthMm) << c.name;
        EXPECT_EQ(s.heightMm, c.expected.heightMm) << c.name;
        EXPECT_EQ(s.widthPx, c.expected.widthPx) << c.name;
        EXPECT_EQ(s.heightPx, c.expected.heightPx) << c.name;
        EXPECT_EQ(s.scale, c.expected.scale) << c.name;
        EXPECT_EQ(m.choice(), c.choice) << c.name;
        EXPECT_EQ(resCurOf(m.resolution()), c.resCur) << c.name;
        EXPECT_EQ(m.scale(), c.scale) << c.name;
        EXPECT_EQ(m.checkedRadio(), c.radio) << c.name;
    }
}

TEST(ResolutionDialogModel, OpeningFieldsRangesAndEnabling) {
    ResolutionDialogModel m(a4(1));
    EXPECT_EQ(m.field(res::kScreenField), 96);
    EXPECT_EQ(m.field(res::kPrinterField), 300);
    const std::pair<int, std::pair<int, int>> ranges[] = {
        {res::kResolutionSpin, {1, 300}}, {res::kScaleSpin, {1, 300}},    {res::kWidthMmSpin, {1, 210}},
        {res::kHeightMmSpin, {1, 297}},   {res::kWidthPxSpin, {1, 2481}}, {res::kHeightPxSpin, {1, 3508}},
    };
    for (const auto& [spin, range] : ranges) {
        EXPECT_EQ(m.range(spin).minimum, range.first) << spin;
        EXPECT_EQ(m.range(spin).maximum, range.second) << spin;
    }
    EXPECT_FALSE(m.enabled(res::kResolutionField)) << "only the user's choice edits the resolution";
    EXPECT_FALSE(m.stepSpin(res::kResolutionSpin, 1));
    m.radio(res::kUserDefined);
    EXPECT_TRUE(m.enabled(res::kResolutionSpin));
    m.radio(res::kPrinter);
    EXPECT_FALSE(m.enabled(res::kResolutionSpin));
    // Arrows stop at the ends of the ranges.
    ResolutionDialogModel top(a4(2, 80, 300));
    EXPECT_TRUE(top.stepSpin(res::kScaleSpin, 1));
    EXPECT_EQ(top.scale(), 300);
    EXPECT_TRUE(top.stepSpin(res::kWidthMmSpin, 1));
    EXPECT_EQ(top.field(res::kWidthMmField), 210) << "the range ends at the page's own width";
}

TEST(ResolutionDialogModel, UntouchedOkStoresTheCommittedValues) {
    for (const auto& facts : {a4(), a4(0, 123.45, 40), a4(1, 300, 300)}) {
        ResolutionDialogModel m(facts);
        EXPECT_EQ(m.choice(), facts.CheckN);
        EXPECT_EQ(m.scale(), facts.ScaleCur);
        EXPECT_EQ(resCurOf(m.resolution()), resCurOf(facts.userResolution));
    }
    EXPECT_EQ(resCurOf(123.45), 1234);
    EXPECT_EQ(resCurOf(96.157), 961);
    EXPECT_EQ(resCurOf(0.05), 0);
    EXPECT_EQ(resCurOf(1e12), 2147483647) << "kept within the DWORD's positive range";
}

TEST(ResolutionDialogModel, FieldTextReadsAsASignedWholeNumber) {
    const std::pair<const char*, int> cases[] = {{"42", 42},        {" 42 ", 42},
                                                 {"-7", -7},        {"+7", 7},
                                                 {"", 0},           {"4x", 0},
                                                 {"x4", 0},         {"2147483647", 2147483647},
                                                 {"2147483648", 0}, {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, value] : cases) EXPECT_EQ(fieldNumber(text), value) << '"' << text << '"';
}

// Before the first render the page is 0 x 0 mm: the size rows have empty
// ranges and their formulas divide by the page size and the millimetre
// fields. The dialog disables them and divides by nothing.
TEST(ResolutionDialogModel, NoPageRenderedYetDividesByNothing) {
    ResolutionFacts f = a4();
    f.pageWidthMm = f.pageHeightMm = 0;
    ResolutionDialogModel m(f);
    ASSERT_TRUE(m.noPage());
    for (int id : {res::kWidthMmField, res::kHeightMmField, res::kWidthPxField, res::kHeightPxField,
                   res::kWidthMmSpin, res::kHeightMmSpin, res::kWidthPxSpin, res::kHeightPxSpin})
        EXPECT_FALSE(m.enabled(id)) << id;
    EXPECT_TRUE(m.enabled(res::kScaleField));
    EXPECT_TRUE(m.range(res::kWidthMmSpin).empty());
    EXPECT_FALSE(m.stepSpin(res::kWidthMmSpin, 1));
    EXPECT_FALSE(m.stepSpin(res::kWidthPxSpin, 1));

    m.typed(res::kWidthMmField, "50");
    m.typed(res::kHeightMmField, "50");
    EXPECT_EQ(m.scale(), 100) << "no scale from a page of no size";
    m.spinChanged(res::kWidthMmSpin, 5);
    m.spinChanged(res::kHeightMmSpin, 5);
    EXPECT_EQ(m.scale(), 100);
    m.typed(res::kWidthPxField, "500");
    m.spinChanged(res::kHeightPxSpin, 500);
    EXPECT_TRUE(std::isfinite(m.resolution()));
    EXPECT_EQ(resCurOf(m.resolution()), 800) << "no resolution from 0 mm";
    EXPECT_EQ(m.choice(), 2);

    EXPECT_TRUE(m.stepSpin(res::kScaleSpin, 1));
    EXPECT_EQ(m.scale(), 101) << "the scale still works for the next page";
    EXPECT_EQ(m.field(res::kWidthMmField), 0);
    EXPECT_EQ(m.field(res::kWidthPxField), 0);
}

TEST(ResolutionDialogModel, AMillimetreFieldOfZeroGivesNoResolution) {
    ResolutionDialogModel m(a4());
    m.typed(res::kWidthMmField, "0");
    m.typed(res::kHeightMmField, "abc");
    EXPECT_TRUE(m.stepSpin(res::kWidthPxSpin, 1));
    EXPECT_TRUE(m.stepSpin(res::kHeightPxSpin, 1));
    m.typed(res::kWidthPxField, "900");
    EXPECT_TRUE(std::isfinite(m.resolution()));
    EXPECT_EQ(resCurOf(m.resolution()), 800);
    EXPECT_EQ(m.field(res::kResolutionField), 80);
}

// Typed pixels make the choice user-defined and enable the resolution row,
// but leave the radio buttons as they were; a pixel arrow checks
// "User-defined" as well.
TEST(ResolutionDialogModel, TypedPixelsEnableTheResolutionRow) {
    for (int field : {res::kWidthPxField, res::kHeightPxField}) {
        ResolutionDialogModel m(a4(0));
        ASSERT_FALSE(m.enabled(res::kResolutionField));
        m.typed(field, "1000");
        EXPECT_TRUE(m.enabled(res::kResolutionField)) << field;
        EXPECT_TRUE(m.enabled(res::kResolutionSpin)) << field;
        EXPECT_EQ(m.choice(), 2) << field;
        EXPECT_EQ(m.checkedRadio(), res::kDisplay) << field;
    }
    ResolutionDialogModel m(a4(1));
    EXPECT_TRUE(m.stepSpin(res::kHeightPxSpin, -1));
    EXPECT_TRUE(m.enabled(res::kResolutionField));
    EXPECT_EQ(m.checkedRadio(), res::kUserDefined);
}

// The coupling of a spin whose control has moved by itself (a held arrow,
// the wheel): its field takes the position, then the others follow.
TEST(ResolutionDialogModel, ASpinsOwnPositionReachesItsField) {
    ResolutionDialogModel m(a4());
    m.spinChanged(res::kScaleSpin, 50);
    EXPECT_EQ(m.field(res::kScaleField), 50);
    EXPECT_EQ(m.scale(), 50);
    EXPECT_EQ(m.field(res::kWidthMmField), 105);
    EXPECT_EQ(m.field(res::kHeightMmField), 149);
    m.spinChanged(res::kWidthPxSpin, 400);
    EXPECT_EQ(m.field(res::kWidthPxField), 400);
    // 400 px over 105 mm: 96.76 ppi.
    EXPECT_EQ(m.field(res::kResolutionField), 96);
    EXPECT_EQ(resCurOf(m.resolution()), 967);
}

TEST(ResolutionDialogModel, TypedPixelsNeverGiveAResolutionBelowOne) {
    ResolutionDialogModel m(a4());
    m.typed(res::kWidthPxField, "0");
    EXPECT_EQ(resCurOf(m.resolution()), 10);
    m.typed(res::kHeightPxField, "-40");
    EXPECT_EQ(resCurOf(m.resolution()), 10);
}

}  // namespace
}  // namespace ui
