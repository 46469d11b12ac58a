#pragma once
// Bringing another program's top-level window to the front by its title, as
// the exit back to the word processor does.

#include <string>

namespace ui {

// Finds a top-level window on the X display whose title is exactly `title`
// and brings it to the front with the input focus: through the window
// manager when one runs, else by raising and focusing it directly. False
// when there is no display, no such window, or the title is empty.
bool activateTopLevelWindow(const std::string& title);

}  // namespace ui
