#include "app/capture_worker.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <system_error>

#include "app/macro_exchange.h"
#include "app/opened_files.h"
#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "app/ui_port.h"
#include "metafile/metafile.h"
#include "platform/clipboard.h"
#include "platform/folders.h"
#include "render/bitmap.h"
#include "render/page_renderer.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramName = "Quillo Scrivlet";

FileTime fileTimeOf(const fs::path& file) {
    struct stat info {};
    FileTime t;
    if (::stat(file.c_str(), &info) != 0)
        return t;
    std::tm parts{};
    gmtime_r(&info.st_mtime, &parts);
    t.year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(parts.tm_wday);
    t.day = static_cast<std::uint16_t>(parts.tm_mday);
    t.hour = static_cast<std::uint16_t>(parts.tm_hour);
    t.minute = static_cast<std::uint16_t>(parts.tm_min);
    t.second = static_cast<std::uint16_t>(parts.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(info.st_mtim.tv_nsec / 1000000);
    return t;
}

}  // namespace

void CaptureWorker::start() {
    m_thread = std::thread([this] {
        run();
        if (onFinished)
            onFinished();
    });
}

void CaptureWorker::join() {
    if (m_thread.joinable())
        m_thread.join();
}

int CaptureWorker::run() {
    Session& s = m_ctx.session;
    // 1. The folders.
    const auto install = m_ctx.store.readString(platform::RegRoot::LocalMachine, "InstallPath");
    const fs::path samples = m_ctx.folders.nativePath(install.value_or("")) / "emf";
    const auto workFolder = m_ctx.folders.workFolder();
    const fs::path work = workFolder ? *workFolder : fs::path();
    s.PageList.currentPage = -1;
    // 2. The screen's resolution.
    s.ScreenDpi = m_ctx.screenDpi ? m_ctx.screenDpi() : 96;
    // 3. The route.
    if (s.DemoMode) {
        listFolder(samples);
        return 0;
    }
    if (!s.OpenedFiles.empty()) {
        openedFilesRoute(work);
        return 0;
    }
    if (takeClipboardFlag(m_ctx.store, m_ctx.folders)) {
        clipboardRoute(work);
        return 0;
    }
    PageAcquisition acquisition(s, m_ctx.store, m_ctx.folders, m_ctx.spooler, m_ctx.ui);
    acquisition.startProgram = m_ctx.startProgram;
    if (acquisition.findCapturePrinter() && readDocumentName(m_ctx.store, m_ctx.folders, s.macroExchange)) {
        acquisition.captureSpoolJobs("Microsoft Word - " + s.macroExchange.DocumentName);
    }
    // Pages that could not be written: the jobs stay queued on the paused
    // printer, to be captured again once the folder can be used.
    if (!acquisition.pagesUnwritten()) {
        acquisition.deleteQueuedJobs();
        if (m_ctx.refreshPrinter)
            m_ctx.refreshPrinter();
    }
    listFolder(work);
    return 0;
}

void CaptureWorker::openedFilesRoute(const fs::path& work) {
    const OpenedFiles opened = openFilesAsPages(m_ctx.session.OpenedFiles, work, PageTable::kCapacity);
    if (!opened.problems.empty()) {
        std::string text = "Some files could not be opened as pages:";
        for (const auto& line : opened.problems) text += "\n" + line;
        m_ctx.ui.showMessage(text, kProgramName, MessageButtons::Ok, MessageIcon::Warning);
    }
    // Only the pages opened now are listed, whatever else the folder holds.
    for (std::size_t m = 0; m < opened.pages.size(); ++m) {
        listPage(static_cast<int>(m), opened.pages[m], true);
        if (m_ctx.session.PageList.currentPage == -1)
            showFirstPage(static_cast<int>(m));
    }
}

void CaptureWorker::clipboardRoute(const fs::path& work) {
    std::error_code ec;
    fs::create_directories(work, ec);
    platform::Clipboard& clipboard = m_ctx.clipboard;
    if (!clipboard.open())
        return;
    const fs::path file = work / "0001.emf";
    if (auto bytes = clipboard.enhancedMetafile()) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    } else {
        m_ctx.ui.showMessage("No data in Clipboard!", kProgramName, MessageButtons::Ok, MessageIcon::None);
    }
    clipboard.empty();
    clipboard.close();
    if (!fs::exists(file, ec))
        return;
    listPage(0, file, false);
    fs::remove(file, ec);  // the page now lives only in memory
    if (m_ctx.session.PageList.currentPage == -1)
        showFirstPage(0);
}

void CaptureWorker::listFolder(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file(ec) && entry.path().extension() == ".emf")
            files.push_back(entry.path());
    }
    // The page file names put the pages in order.
    std::sort(files.begin(), files.end());
    for (std::size_t m = 0; m < files.size(); ++m) {
        if (m_ctx.session.PageList.full())
            break;
        listPage(static_cast<int>(m), files[m], !m_ctx.session.DemoMode);
        if (m_ctx.session.PageList.currentPage == -1)
            showFirstPage(static_cast<int>(m));
    }
}

void CaptureWorker::listPage(int m, const fs::path& file, bool deleteFile) {
    Session& s = m_ctx.session;
    CapturedPage& page = s.PageList.record(m);
    page = CapturedPage{};
    page.index = m;
    page.fileName = file.filename().string();
    std::error_code ec;
    page.fileSize = static_cast<std::uint32_t>(fs::file_size(file, ec));
    page.fileTime = fileTimeOf(file);
    page.folder = file.parent_path();
    if (auto mf = metafile::Metafile::fromFile(file)) {
        page.metafile = std::make_shared<const metafile::Metafile>(std::move(*mf));
    }
    s.shownPage = m;
    Magick::Image thumb;
    {
        std::lock_guard lock(s.renderLock);
        s.ThumbnailMode = true;
        thumb = m_ctx.renderer.renderPage(50, page.metafile.get());
        s.ThumbnailMode = false;
    }
    // The thumbnail is no shown image: once a page is shown, shownPage names
    // it again (the info line describes the image the view shows).
    if (const int current = s.PageList.currentPage; current >= 0)
        s.shownPage = current;
    if (deleteFile && !fs::remove(file, ec)) {
        m_ctx.ui.showMessage("ERROR 0000876\nQuillo Scrivlet Message", kProgramName, MessageButtons::Ok,
                             MessageIcon::None);
    }
    // Fit within 130 x 130, the aspect kept.
    if (thumb.columns() > 0)
        thumb.scale(Magick::Geometry(130, 130));
    page.thumbnail = std::make_shared<const render::Bitmap>(render::imageToBitmap(thumb));
    page.width = static_cast<std::int32_t>(thumb.columns());
    page.height = static_cast<std::int32_t>(thumb.rows());
    // The place in the strip.
    const UiRect strip = m_ctx.ui.clientRect(UiWindow::ThumbnailStrip);
    page.x = (strip.right - page.width - strip.left) / 2;
    if (m == 0) {
        page.y = strip.top + 5 + (140 - page.height) / 2;
    } else {
        const CapturedPage& previous = s.PageList.record(m - 1);
        page.y = previous.y + previous.height + 24;
    }
    // Only now does the rest of the program see the page.
    s.PageList.publish(m + 1);
    if (s.ViewState <= 1)
        s.ViewState = 1;
    // The info line shows the page count, read when it is painted: the
    // thumbnail's render repainted it before this page was counted, so it
    // is repainted again now that the count includes the page.
    const UiRect main = m_ctx.ui.clientRect(UiWindow::MainWindow);
    m_ctx.ui.invalidate(UiWindow::MainWindow,
                        UiRect{main.left + 10, main.bottom - 25, main.right - 200, main.bottom - 4}, false);
    m_ctx.ui.invalidate(UiWindow::ThumbnailStrip,
                        UiRect{page.x, page.y, page.x + page.width, page.y + page.height + 24}, true);
    m_ctx.ui.setScrollRange(UiWindow::ThumbnailStrip, ScrollBar::Vertical, 0, 10 * (m + 1), false);
}

void CaptureWorker::showFirstPage(int m) {
    Session& s = m_ctx.session;
    m_ctx.ui.invalidate(UiWindow::ThumbnailStrip, std::nullopt, false);
    s.PageList.currentPage = m;
    s.shownPage = m;
    const auto page = s.PageList.record(m).metafile;
    {
        std::lock_guard lock(s.renderLock);
        s.CurrentImage.store(std::make_shared<const Magick::Image>(
            m_ctx.renderer.renderPage(currentResolution(s), page.get())));
    }
    s.ViewState = 2;
    m_ctx.ui.invalidate(UiWindow::PageView, std::nullopt, false);
    const UiRect main = m_ctx.ui.clientRect(UiWindow::MainWindow);
    m_ctx.ui.invalidate(UiWindow::MainWindow,
                        UiRect{main.left + 50, main.bottom - 25, main.right - 200, main.bottom - 4}, true);
}

void mainWindowDestroyed(Session& session, SettingsStore& store, const platform::PlatformFolders& folders,
                         const WindowPlacement& placement) {
    for (int i = 0; i < session.PageList.count(); ++i) session.PageList.record(i).metafile.reset();
    using platform::RegRoot;
    if (placement.maximized) {
        store.writeDword(RegRoot::CurrentUser, "lvKodMainWinMax", 1);
    } else {
        store.writeDword(RegRoot::CurrentUser, "lvKodMainWinMax", 0);
        store.writeDword(RegRoot::CurrentUser, "lvWinBottom", static_cast<std::uint32_t>(placement.bottom));
        store.writeDword(RegRoot::CurrentUser, "lvWinTop", static_cast<std::uint32_t>(placement.top));
        store.writeDword(RegRoot::CurrentUser, "lvWinLeft", static_cast<std::uint32_t>(placement.left));
        store.writeDword(RegRoot::CurrentUser, "lvWinRight", static_cast<std::uint32_t>(placement.right));
    }
    const auto work = folders.workFolder();
    if (!work)
        return;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(*work, ec)) {
        if (!entry.is_directory(ec))
            fs::remove(entry.path(), ec);
    }
}

}  // namespace app
