#pragma once
// `CapturedPage` and `PageList`: the captured pages in a fixed table of 2000
// records. The capture worker is the only writer of new records; a record is
// complete before the page count includes it (published with release, read
// with acquire), so every index below count() may be used from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace metafile {
class Metafile;
}
namespace render {
struct Bitmap;
}

namespace app {

// A file time broken down as Windows' SYSTEMTIME (UTC).
struct FileTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

struct CapturedPage {
    std::string fileName;  // without folder, at most 259 characters
    FileTime fileTime;
    std::uint32_t fileSize = 0;
    std::shared_ptr<const metafile::Metafile> metafile;  // owned by the record; renderers borrow it
    std::shared_ptr<const render::Bitmap> thumbnail;
    std::int32_t x = 0;  // thumbnail's top-left in the strip's unscrolled client coordinates
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t index = 0;
    std::string extension = ".emf";
    std::filesystem::path folder;
};

class PageTable {
public:
    static constexpr int kCapacity = 2000;

    PageTable() : m_records(kCapacity) {}

    int count() const { return m_count.load(std::memory_order_acquire); }
    bool full() const { return count() >= kCapacity; }
    // Makes records [0, newCount) visible; the records must be complete.
    void publish(int newCount) { m_count.store(newCount, std::memory_order_release); }

    CapturedPage& record(int index) { return m_records.at(static_cast<std::size_t>(index)); }
    const CapturedPage& record(int index) const { return m_records.at(static_cast<std::size_t>(index)); }

    // Empties the list: count 0, records reset, no current page.
    void clear() {
        m_count.store(0, std::memory_order_release);
        for (auto& page : m_records) {
            page = CapturedPage{};
        }
        currentPage.store(-1);
    }

    std::atomic<int> currentPage{-1};

private:
    std::vector<CapturedPage> m_records;
    std::atomic<int> m_count{0};
};

}  // namespace app
