#pragma once
// The HTML gallery: the HTML command (save dialog with four image types) and
// the HTML run that writes every page, its thumbnail and the three HTML files
// (a frameset, a title bar and a list of thumbnails with links).

#include <string>

#include "app/options.h"

namespace output {

struct WriterServices;
struct RunSnapshot;

// Thumbnails: the page at 40 dots per inch in thumbnail mode, fitted into
// 130 x 130 pixels with its proportions kept.
inline constexpr double kThumbnailDpi = 40.0;
inline constexpr int kThumbnailBox = 130;

class HtmlGallery {
public:
    explicit HtmlGallery(WriterServices& services) : m_services(services) {}

    // The HTML command.
    void exportGallery();
    // Starts the HTML run with the state as it is now; false when a run is
    // active.
    bool startHtmlRun();

private:
    WriterServices& m_services;
};

// The HTML run (on the writer thread); true when every page was written.
bool runHtmlWriter(WriterServices& services, const RunSnapshot& snapshot);

// The page images' extension: ".jpg", ".gif" or ".png" when that format is
// current, otherwise ".bmp" (TIF included).
std::string galleryExtension(const app::FormatFlags& format);

// The files of an earlier gallery in `folder` (header.html, bottoms.html,
// NNNN.ext, NNNN_.ext) are removed; anything else stays. False when the
// folder can neither be created nor reused.
bool prepareGalleryFolder(const std::string& folder);

}  // namespace output
