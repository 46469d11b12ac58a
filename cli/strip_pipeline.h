#pragma once
// The converter's view of the renderer's strip threads (render/strip_threads.h):
// the rows of every strip in page order, errors as text.

#include <functional>
#include <optional>
#include <string>

#include "render/page_renderer.h"

namespace metafile {
class Metafile;
struct PlaybackReport;
}  // namespace metafile

namespace cli {

// Takes one strip's rows; an error text stops the page.
using StripConsumer = std::function<std::optional<std::string>(const render::StripRows&)>;

// Draws every strip of `layout` on up to `threads` threads (the calling
// thread only when 1) and calls `consume` with each strip's rows in order.
// The playback report of the first
// strip goes to `report`. False with `error` set when a strip could not be
// drawn or the consumer stopped.
bool forEachStrip(const render::PageRenderer& renderer, const render::PageLayout& layout,
                  const metafile::Metafile* page, const std::string& stamp, int threads,
                  metafile::PlaybackReport* report, const StripConsumer& consume, std::string& error);

}  // namespace cli
