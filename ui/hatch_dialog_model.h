#pragma once
// The hatch settings dialog without its window: the working copies of the
// eight background and hatch settings, which controls are enabled, the
// swatches under the pointer, the colour picks, and the commit that writes
// each changed setting and renders the pages again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/options.h"

namespace app {
struct Session;
class SettingsStore;
class UserInterfacePort;
}  // namespace app
namespace render {
class OptionCommands;
class PageRenderer;
}  // namespace render

namespace ui {

// Control ids of dialog 192.
namespace hatch {
inline constexpr int kDialog = 192;
inline constexpr int kWidthField = 1023;
inline constexpr int kWidthSpin = 1024;
inline constexpr int kSpacingField = 1025;
inline constexpr int kSpacingSpin = 1026;
inline constexpr int kAngleField = 1027;
inline constexpr int kAngleSpin = 1028;
inline constexpr int kHorizontal = 1006;
inline constexpr int kVertical = 1007;
inline constexpr int kShowBackground = 1008;
inline constexpr int kBackgroundLabel = 1037;
inline constexpr int kHatchLabel = 1030;
inline constexpr int kHelp = 3;
}  // namespace hatch

// A rectangle of the dialog's client area; right and bottom excluded.
struct ClientRect {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};
inline constexpr ClientRect kBackgroundSwatch{10, 10, 40, 30};
inline constexpr ClientRect kHatchSwatch{10, 35, 40, 55};
inline constexpr ClientRect kPreviewRect{162, 11, 317, 167};

// The eight settings the dialog edits.
struct HatchValues {
    std::int32_t style = 100;  // 100 no background, 4 background with the hatch
    std::uint32_t backgroundColour = 8454016;
    std::uint32_t hatchColour = 11025982;
    std::int32_t width = 0;
    std::int32_t spacing = 8;
    std::int32_t angle = 0;
    bool horizontal = true;
    bool vertical = true;
    friend bool operator==(const HatchValues&, const HatchValues&) = default;
};
HatchValues hatchValuesOf(const app::RenderSettings& settings);

enum class Swatch { None, Background, Hatch };

class HatchDialogModel {
public:
    // The opening: `storedStyle` is lvBkGrHathStyle as read (-1 when
    // absent); below 100 it counts as 4, otherwise 100, and that style
    // becomes the committed one as well (see normalisedStyle).
    HatchDialogModel(const HatchValues& committed, std::int32_t storedStyle);

    // The style the opening made current, whatever the dialog's end.
    std::int32_t normalisedStyle() const { return m_committed.style; }
    const HatchValues& committed() const { return m_committed; }
    const HatchValues& working() const { return m_working; }

    bool backgroundShown() const { return m_working.style < 100; }
    // The line check boxes, the labels and the three fields follow
    // "show background"; the spins stay enabled.
    bool enabled(int id) const;
    // The number a field shows at opening (1023, 1025, 1027).
    int spinPosition(int spinId) const;
    static std::pair<int, int> spinRange(int spinId);

    // Text typed into a field that has the focus: its working value, read
    // as a signed whole number without further limit. True when the preview
    // is to be drawn again.
    bool typed(int fieldId, std::string_view text);
    // A spin's arrow: the number in its field moves within the range and is
    // taken as typed. The new number, none when it did not move.
    std::optional<int> stepSpin(int spinId, int delta, int fieldValue);
    void toggleHorizontal() { m_working.horizontal = !m_working.horizontal; }
    void toggleVertical() { m_working.vertical = !m_working.vertical; }
    // "show background": off when it was on, 4 (on) otherwise.
    void toggleBackground() { m_working.style = m_working.style < 100 ? 100 : 4; }

    // The swatch under the pointer while the background is shown (the hand
    // cursor); None elsewhere or with the background off.
    Swatch swatchAt(int x, int y) const;
    // A press of the left button: on a swatch (background shown) the
    // working colour goes back to the committed one and the colour to
    // preselect in the picker is returned; none elsewhere.
    std::optional<std::uint32_t> press(int x, int y, Swatch& which);
    // The picker's OK with `colour` for the swatch pressed.
    void colourChosen(Swatch which, std::uint32_t colour);

    // The settings whose working value differs from the committed one, as
    // (registry value, value) in the order they are written.
    std::vector<std::pair<const char*, std::int32_t>> changes() const;

private:
    HatchValues m_committed;
    HatchValues m_working;
    std::optional<std::uint32_t> m_previousBackground, m_previousHatch;
};

// Opening step 1 on the session: the normalised style becomes the current
// style (also when the dialog is cancelled).
void applyNormalisedStyle(const HatchDialogModel& model, app::Session& session);

// OK: each changed setting committed and written, then the current page
// rendered again (lowered to the last page when beyond it), the page view
// invalidated and all thumbnails rebuilt, under the wait cursor. The caller
// sets the preset to 0 afterwards.
void commitHatchDialog(const HatchDialogModel& model, app::Session& session, app::SettingsStore& store,
                       app::UserInterfacePort& ui, render::PageRenderer& renderer,
                       render::OptionCommands& options);

}  // namespace ui
