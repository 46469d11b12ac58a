#pragma once
// renderPage: one page's metafile onto a raster of the chosen resolution, in
// horizontal strips, with supersampling (an N x N box average), the
// background and hatch, and the date stamp.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "metafile/dib_section.h"
#include "render/magick.h"

namespace metafile {
class Metafile;
struct PlaybackReport;
}  // namespace metafile
namespace app {
struct Session;
class UserInterfacePort;
}  // namespace app

namespace render {

struct Bitmap;

struct StripPlan {
    int factor = 1;        // N
    int outputRows = 200;  // B: output rows a strip
    int stripHeight = 0;   // supersampled rows a strip
    int strips = 0;
};

// The strips for an image of `rows` output rows with supersampling factor N.
StripPlan planStrips(long long rows, int factor);

// The image size for a frame of (w, h) hundredths of a millimetre.
struct PageSize {
    long long columns = 250;
    long long rows = 200;
};

// A page laid out for rendering: its size in output pixels and its strips.
struct PageLayout {
    long long columns = 0;
    long long rows = 0;
    StripPlan plan;
};

// The output rows of one strip, reduced and ready for the image: `count`
// rows of `columns` pixels (0x00RRGGBB), the first at page row `first`.
struct StripRows {
    long long first = 0;
    long long count = 0;
    long long columns = 0;
    std::vector<std::uint32_t> pixels;

    const std::uint32_t* row(long long y) const { return pixels.data() + y * columns; }
};

// The working memory of one drawing thread: the strip's drawing surface
// and the reduction's sums, kept from strip to strip of a page so that
// neither is allocated, cleared and faulted in again for every strip.
class StripWorkspace {
public:
    struct GiveBack {
        void operator()(StripWorkspace* workspace) const;
    };
    using Lease = std::unique_ptr<StripWorkspace, GiveBack>;
    // A workspace that an earlier page's drawing left, or a new one; it is
    // kept for the next page when the lease ends (as many as there are
    // processors), so that a run of small pages does not allocate and clear
    // its bands again for every page. One larger than kKeptBytes is let go:
    // a large page's bands cost little against its drawing, and the memory
    // is wanted for the page's encoding.
    static Lease lease();
    static constexpr std::size_t kKeptBytes = std::size_t{4} << 20;

    // Rows [first, first + rows) of a picture width x height (a band of a
    // strip), its pixels left as they were (every band paints its background
    // over all of them); nullptr when memory for it cannot be had.
    metafile::DibSection* band(int width, int rows, int first, int height);
    std::vector<std::uint16_t>& sums() { return m_sums; }

private:
    std::optional<metafile::DibSection> m_surface;
    std::vector<std::uint16_t> m_sums;
};

class PageRenderer {
public:
    PageRenderer(app::Session& session, app::UserInterfacePort& ui);

    // The step after the raster is complete (the format's encoding options);
    // none by default.
    std::function<void(Magick::Image& image, double dpi)> applyEncodingOptions;
    // The date and time of the stamp; the local date and time by default.
    std::function<std::string()> dateStamp;
    // The threads renderPage draws a page's strips on; 0 (the default) is
    // one a processor. The image is the same whatever the number.
    int stripThreads = 0;
    // The most bytes of supersampled pixels a strip draws at once: a strip
    // larger than this is drawn in bands of whole output rows, each small
    // enough to stay in the cache (the rows do not depend on it).
    long long bandBytes = 8ll << 20;

    // `report`, when given, receives the playback's report of the first strip.
    Magick::Image renderPage(double dpi, const metafile::Metafile* page,
                             metafile::PlaybackReport* report = nullptr);

    // The parts of renderPage, for callers that take the rows strip by strip
    // (and may draw several strips at once). layoutPage computes the size and
    // the strips and records the page size in RenderStatus; none when the
    // page is empty or too large. stampText is the date stamp the strips
    // draw (empty for none).
    std::optional<PageLayout> layoutPage(double dpi, const metafile::Metafile* page);
    std::string stampText(const metafile::Metafile* page) const;
    // Draws strip `index` and reduces it into `out`; false when the strip's
    // drawing surface cannot be made. Reads the options only: strips of one
    // page may be drawn on several threads at once. `report`, when given,
    // receives the playback's report.
    bool renderStrip(const PageLayout& layout, int index, const metafile::Metafile* page,
                     const std::string& stamp, StripRows& out,
                     metafile::PlaybackReport* report = nullptr) const;
    // The same with the thread's working memory, kept for the next strip.
    bool renderStrip(const PageLayout& layout, int index, const metafile::Metafile* page,
                     const std::string& stamp, StripRows& out, StripWorkspace& workspace,
                     metafile::PlaybackReport* report = nullptr) const;

private:
    // Steps 1 to 5: the raster; empty when the page cannot be drawn. Throws
    // the image library's exceptions.
    Magick::Image renderRaster(double dpi, const metafile::Metafile* page, metafile::PlaybackReport* report);

    app::Session& m_session;
    app::UserInterfacePort& m_ui;
};

// An opaque RGB image of `columns` x `rows` pixels whose pixels are not
// set: for a page whose every row the strips write. Throws as the library
// does when it cannot be made.
Magick::Image unfilledImage(std::size_t columns, std::size_t rows);

// Sets rows `first` to the end of `image` to white.
void whitenRows(Magick::Image& image, std::size_t first);

// Copies a strip's rows into their rows of `image`, each synchronised at
// once; false when the library gives no row (the strip's rest is left).
bool copyRows(const StripRows& strip, Magick::Image& image);

// The image's pixels as a 32-bit top-down bitmap (blue, green, red, alpha
// bytes); empty when the image has no pixels.
Bitmap imageToBitmap(const Magick::Image& image);

// The user's short date and time, as the stamp shows them.
std::string localDateTime();

}  // namespace render
