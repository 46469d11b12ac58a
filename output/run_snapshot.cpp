#include "output/run_snapshot.h"

#include <mutex>

#include "app/ui_port.h"

namespace output {

RunSnapshot takeSnapshot(app::Session& session) {
    RunSnapshot s;
    const int count = session.PageList.count();
    s.pages.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto& record = session.PageList.record(i);
        s.pages.push_back({record.fileName, record.metafile});
    }
    s.currentPage = session.PageList.currentPage.load();
    s.currentImage = session.CurrentImage.load();
    {
        // The option records change on the interface thread under the lock.
        std::lock_guard lock(session.renderLock);
        s.format = session.CurrentFormat;
        s.formatOptions = session.formatOptions;
        s.renderOptions = session.RenderOptions;
        s.resolution = app::currentResolution(session);
    }
    s.multipageMode = session.MultipageMode.load();
    s.demoMode = session.DemoMode.load();
    s.mailRoute = session.MailRoute.load();
    s.startFile = session.options.StartFile_Opt;
    return s;
}

RunRenderer::RunRenderer(app::Session& shared, const RunSnapshot& snapshot, app::SettingsStore& store,
                         const platform::PlatformFolders& folders, app::UserInterfacePort& ui)
    : m_shared(shared), m_snapshot(snapshot), m_ui(ui), m_private(std::make_unique<app::Session>()) {
    app::Session& p = *m_private;
    p.CurrentFormat = snapshot.format;
    p.formatOptions = snapshot.formatOptions;
    p.RenderOptions = snapshot.renderOptions;
    p.MultipageMode = snapshot.multipageMode;
    p.DemoMode = snapshot.demoMode;
    m_formats = std::make_unique<FormatService>(p, store, folders, ui);
    m_formats->encodedPreview = false;
    m_renderer = std::make_unique<render::PageRenderer>(p, ui);
    m_renderer->applyEncodingOptions = [this](Magick::Image& image, double dpi) {
        m_formats->applyEncodingOptions(image, dpi);
    };
}

Magick::Image RunRenderer::renderPage(int index, double dpi) {
    m_shared.shownPage = index;
    m_shared.ViewState = 1;
    Magick::Image image;
    {
        std::lock_guard lock(m_shared.renderLock);
        m_private->ThumbnailMode = false;
        image =
            m_renderer->renderPage(dpi, m_snapshot.pages.at(static_cast<std::size_t>(index)).metafile.get());
    }
    m_shared.ViewState = 2;
    m_ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
    return image;
}

Magick::Image RunRenderer::renderThumbnail(int index, double dpi) {
    std::lock_guard lock(m_shared.renderLock);
    m_private->ThumbnailMode = true;
    Magick::Image image =
        m_renderer->renderPage(dpi, m_snapshot.pages.at(static_cast<std::size_t>(index)).metafile.get());
    m_private->ThumbnailMode = false;
    return image;
}

}  // namespace output
