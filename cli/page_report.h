#pragma once
// The text of --report for one page: records played, skipped and malformed,
// the fonts used, the EMF+ and truncation notes.

#include <string>

#include "metafile/player.h"

namespace cli {

std::string reportText(const std::string& name, const metafile::PlaybackReport& report);

// The line that says a page that still drew was damaged, said with or
// without --report; empty for a sound page.
std::string damageLine(const std::string& name, const metafile::PlaybackReport& report);

}  // namespace cli
