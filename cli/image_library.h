#pragma once
// The image library, started by the first page that needs it: a page written
// a row at a time never does, and the library's start (its configuration
// files, its thread team) costs more than drawing a small page.

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cli {

class ImageLibrary {
public:
    // `threadLimit` > 0 limits the library's threads from its start until
    // this object goes, when the earlier limit is put back; 0 leaves the
    // library's own limit.
    explicit ImageLibrary(std::uint64_t threadLimit = 0) : m_limit(threadLimit) {}
    ~ImageLibrary();
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;

    // Starts the library (if nothing has yet) and sets the limit: once,
    // from any thread, before the caller's first call into the library.
    void start();
    // Whether start() has run.
    bool started() const;

private:
    std::once_flag m_once;
    std::uint64_t m_limit;
    std::uint64_t m_earlier = 0;
    std::atomic<bool> m_started{false};
};

}  // namespace cli
