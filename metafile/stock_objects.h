#pragma once
// The stock objects ([MS-EMF] 2.1.31) as playback knows them: one table that
// selecting a stock object and the records naming a brush by index (FillRgn,
// FrameRgn) both read, so that a stock brush paints the same everywhere.

#include <cstdint>
#include <optional>

#include "metafile/gdi_types.h"

namespace metafile {

// nullopt when `index` (high bit set) is not a stock object of that kind.
std::optional<Brush> stockBrush(std::uint32_t index);
std::optional<Pen> stockPen(std::uint32_t index);
std::optional<LogFont> stockFont(std::uint32_t index);

}  // namespace metafile
