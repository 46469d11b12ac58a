#pragma once
// The resolution and dimension dialog without its window: the working copies
// of the resolution choice, the user-defined resolution and the scale, the
// numbers its fields show, the ranges of its spins, and the couplings that
// keep millimetres, pixels, scale and resolution consistent as any one of
// them changes. The window only forwards spin steps, typed text and radio
// clicks here and shows what the model holds.

#include <cstdint>
#include <optional>
#include <string_view>

namespace app {
struct Session;
class SettingsStore;
class UserInterfacePort;
}  // namespace app
namespace render {
class PageRenderer;
}

namespace ui {

// Control ids of dialog 140.
namespace res {
inline constexpr int kDialog = 140;
inline constexpr int kDisplay = 1009;
inline constexpr int kPrinter = 1010;
inline constexpr int kUserDefined = 1011;
inline constexpr int kScreenField = 1008;
inline constexpr int kPrinterField = 1015;
inline constexpr int kResolutionField = 1018;
inline constexpr int kResolutionSpin = 1017;
inline constexpr int kWidthMmField = 1019;
inline constexpr int kWidthMmSpin = 1025;
inline constexpr int kHeightMmField = 1020;
inline constexpr int kHeightMmSpin = 1026;
inline constexpr int kWidthPxField = 1021;
inline constexpr int kWidthPxSpin = 1027;
inline constexpr int kHeightPxField = 1022;
inline constexpr int kHeightPxSpin = 1028;
inline constexpr int kScaleField = 1023;
inline constexpr int kScaleSpin = 1024;
inline constexpr int kHelp = 1014;
}  // namespace res

// Millimetres per inch, as the dialog's formulas use it: a multiplication.
inline constexpr double kInchesPerMm = 0.03937007874015748;

// What the dialog reads but does not own, and the committed settings.
struct ResolutionFacts {
    int screenDpi = 96;             // D
    int printerDpi = 300;           // P
    int pageWidthMm = 0;            // W; 0 before the first render
    int pageHeightMm = 0;           // H
    double currentResolution = 80;  // R
    int CheckN = 2;
    double userResolution = 80;
    int ScaleCur = 100;
};
ResolutionFacts resolutionFactsOf(const app::Session& session);

// A field's text read as a signed whole number: leading and trailing blanks
// allowed; anything else, or a number outside 32 bits, reads as 0.
int fieldNumber(std::string_view text);

// ResCur for a resolution: tenths of pixels per inch, truncated, kept within
// the positive 32-bit range.
std::int32_t resCurOf(double resolution);

class ResolutionDialogModel {
public:
    struct Range {
        int minimum;
        int maximum;
        bool empty() const { return maximum < minimum; }
    };

    // The opening steps: the working copies, the fields and the ranges.
    explicit ResolutionDialogModel(const ResolutionFacts& facts);

    // The number an edit field shows (field ids 1008, 1015, 1018 to 1023).
    int field(int id) const;
    // The range of a spin (spin ids 1017, 1024 to 1028).
    Range range(int spinId) const;
    // Whether a control is enabled (field or spin id).
    bool enabled(int id) const;
    // The checked radio button (1009 + choice), none for a choice outside 0..2.
    std::optional<int> checkedRadio() const;

    // A spin's arrow: its position moves by `delta` within its range, its
    // field shows it, and the spin's coupling runs. False when the arrow
    // does nothing (disabled, empty range).
    bool stepSpin(int spinId, int delta);
    // The spin's coupling after its field already holds `position`.
    void spinChanged(int spinId, int position);
    // Text typed into a field that has the keyboard focus.
    void typed(int fieldId, std::string_view text);
    // A radio button clicked (1009, 1010, 1011).
    void radio(int id);

    int choice() const { return m_choice; }
    double resolution() const { return m_resolution; }
    int scale() const { return m_scale; }
    // True when no page has been rendered yet (page size 0 x 0 mm): the size
    // rows are disabled and their formulas, which divide by the page size
    // and the millimetre fields, are not run.
    bool noPage() const { return m_facts.pageWidthMm <= 0 || m_facts.pageHeightMm <= 0; }

private:
    static int edit(int spinId);
    int& slot(int fieldId);
    void setSpin(int spinId, int position) { slot(edit(spinId)) = position; }
    void pixelUpdate();
    void pixelsFromResolution();
    void switchToUserDefined();
    // The resolution the pixel rows are computed at: the screen's or the
    // printer's while that row is chosen, else the working resolution.
    double pixelResolution() const;

    ResolutionFacts m_facts;
    int m_choice;
    double m_resolution;
    int m_scale;
    // The checked radio button's choice: typed pixel sizes make the choice
    // user-defined but leave the buttons as they are.
    int m_radio;
    bool m_userEnabled;
    int m_resField = 0, m_widthMm = 0, m_heightMm = 0, m_widthPx = 0, m_heightPx = 0, m_scaleField = 0;
    int m_screenField = 0, m_printerField = 0;
    int m_none = 0;
};

// OK: the preset becomes 0, the working copies are committed and written
// (ResCur, ScaleCur, CheckN) and the current page is rendered again at the
// new resolution; with no current page currentPage becomes -1.
void commitResolutionDialog(const ResolutionDialogModel& model, app::Session& session,
                            app::SettingsStore& store, app::UserInterfacePort& ui,
                            render::PageRenderer& renderer);

}  // namespace ui
