#pragma once
// The text of --report for one page: records played, skipped and malformed,
// the fonts used, the EMF+ and truncation notes.

#include <string>

#include "metafile/player.h"

namespace cli {

std::string reportText(const std::string& name, const metafile::PlaybackReport& report);

}  // namespace cli
