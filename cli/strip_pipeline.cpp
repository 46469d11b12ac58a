#include "cli/strip_pipeline.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "metafile/player.h"

namespace cli {

namespace {

const char* const kNoSurface = "not enough memory for a strip of the page";

}  // namespace

bool forEachStrip(const render::PageRenderer& renderer, const render::PageLayout& layout,
                  const metafile::Metafile* page, const std::string& stamp, int threads,
                  metafile::PlaybackReport* report, const StripConsumer& consume, std::string& error) {
    const int strips = layout.plan.strips;
    if (threads <= 1 || strips <= 1) {
        render::StripRows rows;
        for (int i = 0; i < strips; ++i) {
            if (!renderer.renderStrip(layout, i, page, stamp, rows, i == 0 ? report : nullptr)) {
                error = kNoSurface;
                return false;
            }
            if (rows.count > 0) {
                if (auto failure = consume(rows)) {
                    error = *failure;
                    return false;
                }
            }
        }
        return true;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, render::StripRows> finished;
    int nextToDraw = 0, nextToConsume = 0;
    bool stop = false, failed = false;
    const int window = threads * 2;  // finished strips that may wait for the consumer

    auto draw = [&] {
        while (true) {
            int index = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || nextToDraw - nextToConsume < window; });
                if (stop || nextToDraw >= strips)
                    return;
                index = nextToDraw++;
            }
            render::StripRows rows;
            const bool ok =
                renderer.renderStrip(layout, index, page, stamp, rows, index == 0 ? report : nullptr);
            std::lock_guard lock(mutex);
            if (!ok) {
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
    for (int t = 0; t < count; ++t) workers.emplace_back(draw);

    bool ok = true;
    for (int i = 0; i < strips && ok; ++i) {
        render::StripRows rows;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return failed || finished.count(i) > 0; });
            if (failed) {
                error = kNoSurface;
                ok = false;
                break;
            }
            rows = std::move(finished.at(i));
            finished.erase(i);
            nextToConsume = i + 1;
            changed.notify_all();
        }
        if (rows.count > 0) {
            if (auto failure = consume(rows)) {
                error = *failure;
                ok = false;
            }
        }
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (auto& worker : workers) worker.join();
    return ok;
}

}  // namespace cli
