#pragma once
// The strips of one page drawn on several threads and handed on in page
// order, with at most a few finished strips waiting: the rows that reach the
// sink are those of drawing the strips one after another. Every drawing
// thread keeps its own working memory for the page.

#include <functional>
#include <string>

#include "render/page_renderer.h"

namespace metafile {
class Metafile;
struct PlaybackReport;
}  // namespace metafile

namespace render {

// Takes strip `index`'s rows (strips 0, 1, 2, ... in turn, on the calling
// thread); false stops the page.
using StripSink = std::function<bool(int index, const StripRows& rows)>;

enum class StripsOutcome {
    Done,       // every strip reached the sink
    NoSurface,  // a strip's drawing surface could not be made
    Stopped,    // the sink stopped the page
};

// Draws every strip of `layout` on up to `threads` threads (the calling
// thread only when 1 or less) and hands each strip's rows to `sink` in
// order. The playback report of the first strip goes to `report`.
StripsOutcome drawStrips(const PageRenderer& renderer, const PageLayout& layout,
                         const metafile::Metafile* page, const std::string& stamp, int threads,
                         metafile::PlaybackReport* report, const StripSink& sink);

// The threads a page's strips are drawn on when the caller names none: one a
// processor.
int defaultStripThreads();

}  // namespace render
