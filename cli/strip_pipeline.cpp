#include "cli/strip_pipeline.h"

#include "render/strip_threads.h"

namespace cli {

bool forEachStrip(const render::PageRenderer& renderer, const render::PageLayout& layout,
                  const metafile::Metafile* page, const std::string& stamp, int threads,
                  metafile::PlaybackReport* report, const StripConsumer& consume, std::string& error) {
    std::optional<std::string> failure;
    const auto outcome = render::drawStrips(renderer, layout, page, stamp, threads, report,
                                            [&](int, const render::StripRows& rows) {
                                                if (rows.count > 0)
                                                    failure = consume(rows);
                                                return !failure;
                                            });
    switch (outcome) {
        case render::StripsOutcome::Done:
            return true;
        case render::StripsOutcome::NoSurface:
            error = "not enough memory for a strip of the page";
            return false;
        case render::StripsOutcome::Stopped:
            error = failure.value_or(std::string());
            return false;
    }
    return false;
}

}  // namespace cli
