#include "render/strip_threads.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "metafile/player.h"

namespace render {

int defaultStripThreads() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

StripsOutcome drawStrips(const PageRenderer& renderer, const PageLayout& layout,
                         const metafile::Metafile* page, const std::string& stamp, int threads,
                         metafile::PlaybackReport* report, const StripSink& sink) {
    const int strips = layout.plan.strips;
    if (threads <= 1 || strips <= 1) {
        const StripWorkspace::Lease workspace = StripWorkspace::lease();
        StripRows rows;
        for (int i = 0; i < strips; ++i) {
            metafile::PlaybackReport later;
            metafile::PlaybackReport* const into = i == 0 || report == nullptr ? report : &later;
            if (!renderer.renderStrip(layout, i, page, stamp, rows, *workspace, into))
                return StripsOutcome::NoSurface;
            if (into == &later)
                report->addCut(later.cut);
            if (!sink(i, rows))
                return StripsOutcome::Stopped;
        }
        return StripsOutcome::Done;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, StripRows> finished;
    std::vector<StripRows> spare;  // consumed strips' row buffers, for the next ones
    int nextToDraw = 0, nextToConsume = 0;
    bool stop = false, failed = false;
    std::exception_ptr thrown;  // the first exception of a drawing thread
    std::vector<std::string> cuts(static_cast<std::size_t>(strips));  // each later strip's cut
    const int window = threads * 2;  // finished strips that may wait for the sink

    auto draw = [&] {
        const StripWorkspace::Lease workspace = StripWorkspace::lease();
        while (true) {
            int index = 0;
            StripRows rows;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || nextToDraw - nextToConsume < window; });
                if (stop || nextToDraw >= strips)
                    return;
                index = nextToDraw++;
                if (!spare.empty()) {
                    rows = std::move(spare.back());
                    spare.pop_back();
                }
            }
            bool ok = false;
            std::exception_ptr error;
            try {
                metafile::PlaybackReport later;
                ok = renderer.renderStrip(layout, index, page, stamp, rows, *workspace,
                                          index == 0 || report == nullptr ? report : &later);
                cuts[static_cast<std::size_t>(index)] = std::move(later.cut);
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(mutex);
            if (!ok) {
                if (error && !thrown)
                    thrown = error;
                failed = stop = true;
            } else {
                finished.emplace(index, std::move(rows));
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    const int count = std::min(threads, strips);
    workers.reserve(static_cast<std::size_t>(count));
    try {
        for (int t = 0; t < count; ++t) workers.emplace_back(draw);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those that started do the work.
        if (workers.empty())
            return drawStrips(renderer, layout, page, stamp, 1, report, sink);
    }

    StripsOutcome outcome = StripsOutcome::Done;
    std::exception_ptr sinkError;
    for (int i = 0; i < strips; ++i) {
        StripRows rows;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return failed || finished.count(i) > 0; });
            if (failed) {
                outcome = StripsOutcome::NoSurface;
                break;
            }
            rows = std::move(finished.at(i));
            finished.erase(i);
            nextToConsume = i + 1;
            changed.notify_all();
        }
        bool more = false;
        try {
            more = sink(i, rows);
        } catch (...) {
            sinkError = std::current_exception();  // rethrown once the threads have ended
        }
        {
            std::lock_guard lock(mutex);
            spare.push_back(std::move(rows));
        }
        if (sinkError)
            break;
        if (!more) {
            outcome = StripsOutcome::Stopped;
            break;
        }
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (auto& worker : workers) worker.join();
    // The page's report is the first strip's, with the first cut of a later
    // strip in page order, whatever the threads.
    if (report != nullptr) {
        for (const std::string& cut : cuts) report->addCut(cut);
    }
    if (sinkError)
        std::rethrow_exception(sinkError);
    if (thrown)
        std::rethrow_exception(thrown);
    return outcome;
}

}  // namespace render
