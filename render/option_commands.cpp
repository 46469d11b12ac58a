#include "render/option_commands.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "metafile/metafile.h"
#include "render/bitmap.h"
#include "render/page_renderer.h"

namespace render {

using platform::RegRoot;

OptionCommands::OptionCommands(app::Session& session, app::SettingsStore& store, app::UserInterfacePort& ui,
                               PageRenderer& renderer)
    : m_session(session), m_store(store), m_ui(ui), m_renderer(renderer) {}

template <class Change>
void OptionCommands::change(Change&& change) {
    std::lock_guard lock(m_session.renderLock);
    change();
}

void OptionCommands::write(const char* name, std::int32_t value) {
    m_store.writeDword(RegRoot::CurrentUser, name, static_cast<std::uint32_t>(value));
}

// Step 2 of rerenderCurrentPage: the current page into CurrentImage.
bool OptionCommands::renderCurrent() {
    auto& list = m_session.PageList;
    const int current = list.currentPage.load();
    if (current < 0 || current >= list.count()) {
        list.currentPage = -1;
        return false;
    }
    m_session.shownPage = current;
    const auto page = list.record(current).metafile;
    std::lock_guard lock(m_session.renderLock);
    m_session.CurrentImage.store(std::make_shared<const Magick::Image>(
        m_renderer.renderPage(app::currentResolution(m_session), page.get())));
    return true;
}

bool OptionCommands::rerenderCurrentPage() {
    m_ui.beginWaitCursor();
    m_session.ViewState = 1;
    const bool rendered = renderCurrent();
    m_ui.endWaitCursor();
    m_session.ViewState = 2;
    m_ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
    return rendered;
}

void OptionCommands::rerenderShort() {
    m_ui.beginWaitCursor();
    renderCurrent();
    m_ui.endWaitCursor();
    m_ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
}

void OptionCommands::rebuildThumbnails() {
    auto& list = m_session.PageList;
    for (int i = 0; i < list.count(); ++i) {
        auto& page = list.record(i);
        Magick::Image image;
        {
            std::lock_guard lock(m_session.renderLock);
            m_session.ThumbnailMode = true;
            image = m_renderer.renderPage(50, page.metafile.get());
            m_session.ThumbnailMode = false;
        }
        if (image.columns() > 0)
            image.scale(Magick::Geometry(130, 130));
        page.thumbnail = std::make_shared<const Bitmap>(imageToBitmap(image));
        page.width = static_cast<std::int32_t>(image.columns());
        page.height = static_cast<std::int32_t>(image.rows());
    }
    m_ui.invalidate(app::UiWindow::ThumbnailStrip, std::nullopt, true);
}

void OptionCommands::setAntialias(int factor) {
    change([&] { m_session.RenderOptions.KodAntialias = factor; });
    rerenderCurrentPage();
    write("KodAntialias", factor);
    change([&] { m_session.options.lvKodPreset = 0; });
    write("lvKodPreset", 0);
}

void OptionCommands::toggleSharpen() {
    change([&] { m_session.options.lvKodPreset = 0; });
    write("lvKodPreset", 0);
    bool sharpen = false;
    change([&] { sharpen = m_session.RenderOptions.lvSharpen = !m_session.RenderOptions.lvSharpen; });
    write("lvSharpen", sharpen ? 1 : 0);
    rerenderShort();
}

void OptionCommands::toggleDateStamp() {
    bool stamp = false;
    change([&] {
        stamp = m_session.RenderOptions.lvIncludeDateTime = !m_session.RenderOptions.lvIncludeDateTime;
    });
    write("lvIncludeDateTime", stamp ? 1 : 0);
    rerenderShort();
}

void setPresetValues(app::Session& s, Preset preset,
                     const std::function<void(const char*, std::int32_t)>& write) {
    auto& r = s.RenderOptions;
    auto& f = s.formatOptions;
    const int resCur = preset == Preset::TextGraphics   ? 1200
                       : preset == Preset::Professional ? 3000
                       : preset == Preset::WordArtPhoto ? 2000
                                                        : 800;
    // In the order of the table's rows.
    s.resolution.userResolution = s.resolutionDialog.userResolution = resCur * 0.1;
    write("ResCur", resCur);
    r.ScaleCur = s.resolutionDialog.ScaleCur = 100;
    write("ScaleCur", 100);
    s.resolution.CheckN = s.resolutionDialog.CheckN = 2;
    write("CheckN", 2);
    r.KodAntialias = 7;
    write("KodAntialias", 7);
    r.lvBkGrHathStyle = preset == Preset::DemoDefault ? 4 : 100;
    write("lvBkGrHathStyle", r.lvBkGrHathStyle);
    if (preset == Preset::DemoDefault) {
        r.lvHatchColor = 15137535;
        write("lvHatchColor", 15137535);
        r.lvCurBkGrColor = 13954047;
        write("lvCurBkGrColor", 13954047);
        r.lvHatchWidth = 1;
        write("lvHatchWidth", 1);
        r.lvHatchDepress = 10;
        write("lvHatchDepress", 10);
        r.lvHatchAngle = 0;
        write("lvHatchAngle", 0);
        r.lvHatchLnHor = true;
        write("lvHatchLnHor", 1);
        r.lvHatchLnVert = true;
        write("lvHatchLnVert", 1);
    }
    r.lvSharpen = false;
    write("lvSharpen", 0);
    // The format: flags in memory first, then its options, then the flags.
    const bool gif = preset == Preset::TextGraphics || preset == Preset::DemoDefault;
    const bool tif = preset == Preset::Professional;
    const bool jpg = preset == Preset::WordArtPhoto;
    s.CurrentFormat = app::FormatFlags{jpg, gif, false, false, tif};
    if (gif) {
        f.GIF_Colors = 256, f.GIF_IndexGray = 0, f.GIF_Delay = 0, f.GIF_Dither = false,
        f.GIF_Interlace = true;
        write("GIF_Colors", 256), write("GIF_IndexGray", 0), write("GIF_Delay", 0), write("GIF_Dither", 0);
        write("GIF_Interlace", 1);
    } else if (tif) {
        f.TIF_TrueIndexGray = 0, f.TIF_Colors = 64, f.TIF_Lzw = true;
        write("TIF_TrueIndexGray", 0), write("TIF_Colors", 64), write("TIF_Lzw", 1);
    } else {
        f.JPG_Gray = false, f.JPG_Progress = true, f.JPG_Quality = 90;
        write("JPG_Gray", 0), write("JPG_Progress", 1), write("JPG_Quality", 90);
    }
    write("GIF_Default", gif), write("JPG_Default", jpg), write("PNG_Default", 0), write("BMP_Default", 0);
    write("TIF_Default", tif);
}

void OptionCommands::applyPreset(Preset preset) {
    auto& s = m_session;
    const int code = static_cast<int>(preset);
    // The values change under the render lock; the store is written after,
    // in the same order.
    std::vector<std::pair<const char*, std::int32_t>> values;
    change([&] {
        setPresetValues(s, preset,
                        [&](const char* name, std::int32_t value) { values.emplace_back(name, value); });
    });
    for (const auto& [name, value] : values) write(name, value);

    // The long form of rerenderCurrentPage, with the wait cursor to the end.
    m_ui.beginWaitCursor();
    s.ViewState = 1;
    const bool rendered = renderCurrent();
    s.ViewState = 2;
    m_ui.invalidate(app::UiWindow::PageView, std::nullopt, true);
    if (rendered && preset != Preset::Professional) {
        m_ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Vertical, app::ScrollRequest::PageUp);
        m_ui.requestScroll(app::UiWindow::PageView, app::ScrollBar::Horizontal, app::ScrollRequest::PageUp);
    }
    rebuildThumbnails();
    m_ui.endWaitCursor();
    change([&] { s.options.lvKodPreset = code; });
    write("lvKodPreset", code);
}

void OptionCommands::toggleIncludeHtml() {
    bool include = false;
    change([&] { include = m_session.options.KodIncludeHtml = !m_session.options.KodIncludeHtml; });
    write("KodIncludeHtml", include ? 1 : 0);
}

void OptionCommands::setLegacyBackground(int style) {
    change([&] { m_session.RenderOptions.lvBkGrHathStyle = style; });
    write("lvBkGrHathStyle", style);
    rerenderShort();
    rebuildThumbnails();
}

void OptionCommands::setBackgroundColour(std::uint32_t colorRef) {
    change([&] { m_session.RenderOptions.lvCurBkGrColor = colorRef; });
    write("lvCurBkGrColor", static_cast<std::int32_t>(colorRef));
    rerenderShort();
    rebuildThumbnails();
}

bool OptionCommands::confirmLeavingDemonstration() {
    if (!m_session.DemoMode)
        return true;
    const auto answer =
        m_ui.showMessage("Demo-mode settings will be discarded. Proceed?", app::kMessageCaption,
                         app::MessageButtons::YesNo, app::MessageIcon::Question);
    if (answer != app::MessageAnswer::Yes)
        return false;
    m_session.DemoMode = false;
    return true;
}

}  // namespace render
