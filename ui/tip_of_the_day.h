#pragma once
// Tip of the Day without its window: the six tips, the cycle through them
// kept in lvNumTipOfTheDay, and the "Show tips at startup" choice kept in
// lvStartHelpCheck.

#include <array>
#include <string_view>

namespace app {
class SettingsStore;
}

namespace ui {

namespace tips {
inline constexpr int kDialog = 193;
inline constexpr int kShowAtStartup = 1006;
inline constexpr int kNextTip = 1014;
inline constexpr int kClose = 1;
inline constexpr const char* kTitle = "Tip of the Day";
inline constexpr const char* kHeading = "Did you know...";
}  // namespace tips

const std::array<std::string_view, 6>& tipTexts();

// The tip shown for a stored index: negative (or absent) and above 5 show
// tip 0.
int shownTipIndex(int stored);
// The index stored after advancing: negative becomes 1, 0 to 4 one more, 5
// or more 0.
int advancedTipIndex(int stored);

// Whether the Tip of the Day opens at start: no earlier instance was closed
// and `lvStartHelpCheck` (-1 when absent) is below 1.
bool tipOfTheDayAtStart(bool earlierClosed, int startHelpCheck);

class TipCycle {
public:
    explicit TipCycle(app::SettingsStore& store) : m_store(store) {}

    // The text the dialog shows now.
    std::string_view currentTip() const;
    int currentIndex() const;
    // "Next Tip" (and the first step of "Close"): the stored index advances.
    void advance();
    // "Close": the tip advances and lvStartHelpCheck is written, 0 when
    // tips stay on at start-up, 1 when not.
    void close(bool showAtStartup);

private:
    app::SettingsStore& m_store;
};

}  // namespace ui
