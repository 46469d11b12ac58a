#pragma once
// What a writer run works on, taken on the interface thread when the run
// starts: the pages, the current page and its image, the format and its
// options, the rendering settings, the resolution and the names. The user may
// change any of them while the run goes on; the run keeps its own.

#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/session.h"
#include "output/formats.h"
#include "render/page_renderer.h"

namespace metafile {
class Metafile;
}

namespace output {

struct RunPage {
    std::string fileName;  // the page file's name, which gives the page number
    std::shared_ptr<const metafile::Metafile> metafile;
};

struct RunSnapshot {
    std::vector<RunPage> pages;
    int currentPage = -1;
    std::shared_ptr<const Magick::Image> currentImage;
    app::FormatFlags format;
    app::FormatSettings formatOptions;
    app::RenderSettings renderOptions;
    int multipageMode = 0;
    bool demoMode = false;
    double resolution = 100.0;
    std::string saveFolder;
    std::string baseName;
    bool mailRoute = false;
    bool startFile = false;
};

// The session's state as a run starts.
RunSnapshot takeSnapshot(app::Session& session);

// Renders the snapshot's pages with the snapshot's settings, one render at a
// time with the rest of the program (the session's render lock), and shows
// the page in the view as it goes.
class RunRenderer {
public:
    RunRenderer(app::Session& shared, const RunSnapshot& snapshot, app::SettingsStore& store,
                const platform::PlatformFolders& folders, app::UserInterfacePort& ui);

    // Page `index` at `dpi` with the encoding options of the snapshot's format.
    Magick::Image renderPage(int index, double dpi);
    // The page in thumbnail mode (no scale, thumbnail options).
    Magick::Image renderThumbnail(int index, double dpi);

private:
    app::Session& m_shared;
    const RunSnapshot& m_snapshot;
    app::UserInterfacePort& m_ui;
    std::unique_ptr<app::Session> m_private;
    std::unique_ptr<FormatService> m_formats;
    std::unique_ptr<render::PageRenderer> m_renderer;
};

}  // namespace output
