#include "app/headless_capture.h"

#include <system_error>

#include "app/capture_worker.h"
#include "app/macro_exchange.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/player.h"
#include "output/formats.h"
#include "output/page_file.h"
#include "platform/clipboard.h"
#include "platform/folders.h"
#include "platform/spooler/spooler.h"
#include "render/page_renderer.h"

namespace app {

namespace fs = std::filesystem;

std::string outputBaseName(const std::string& documentName) {
    std::string base = documentName.substr(0, documentName.find('.'));
    for (char& c : base) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    return base.empty() ? "Page" : base;
}

int runHeadlessCapture(const HeadlessCapture& run) {
    Session& session = run.session;
    const auto windows = run.folders.windowsFolder();
    if (!windows) {
        std::fprintf(stderr, "Scrivlet: %s\n", windows.error().message.c_str());
        return 1;
    }
    platform::Spooler spooler(run.registry, *windows, platform::platformFromEnvironment());
    platform::FileClipboard clipboard(*windows / "clipboard");
    render::PageRenderer renderer(session, run.ui);
    output::FormatService formats(session, run.store, run.folders, run.ui);
    renderer.applyEncodingOptions = [&](Magick::Image& image, double dpi) {
        formats.applyEncodingOptions(image, dpi);
    };
    {
        CaptureWorker worker({session, run.store, run.folders, spooler, clipboard, run.ui, renderer,
                              run.refreshPrinter, [] { return 96; }, run.startProgram});
        worker.run();
    }
    const int count = session.PageList.count();
    if (count == 0 && !session.OpenedFiles.empty()) {
        // Each file has said why it gave no page.
        std::fprintf(stderr, "Scrivlet: none of the %zu file(s) given gave a page; nothing written.\n",
                     session.OpenedFiles.size());
        return 1;
    }
    if (count == 0) {
        std::fprintf(stderr,
                     "Scrivlet: no page was captured (capture printer \"%s\", document \"%s\"); nothing "
                     "written.\n",
                     session.CapturePrinterName.c_str(), session.macroExchange.DocumentName.c_str());
        return 1;
    }
    // The save dialog's file name: the document name (the clipboard route
    // does not read it on its way).
    if (session.macroExchange.DocumentName.empty())
        readDocumentName(run.store, run.folders, session.macroExchange);
    std::error_code ec;
    fs::create_directories(run.outputFolder, ec);
    const std::string base = outputBaseName(session.macroExchange.DocumentName);
    const std::string extension(output::extensionOf(session.CurrentFormat));
    const double dpi = currentResolution(session);
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const auto page = session.PageList.record(i).metafile;
        char number[16];
        std::snprintf(number, sizeof number, "%04d", i + 1);
        const fs::path file = run.outputFolder / (base + number + extension);
        if (!page) {
            std::fprintf(stderr, "Scrivlet: page %d (%s) is no readable metafile; %s not written\n", i + 1,
                         session.PageList.record(i).fileName.c_str(), file.c_str());
            continue;
        }
        Magick::Image image;
        metafile::PlaybackReport report;
        {
            std::lock_guard lock(session.renderLock);
            image = renderer.renderPage(dpi, page.get(), &report);
        }
        if (image.columns() == 0 || image.rows() == 0) {
            std::fprintf(stderr, "Scrivlet: page %d could not be rendered; %s not written\n", i + 1,
                         file.c_str());
            continue;
        }
        if (const std::string damage = metafile::damageSummary(report); !damage.empty()) {
            std::fprintf(stderr, "Scrivlet: page %d is damaged: %s; it was drawn from what could be read\n",
                         i + 1, damage.c_str());
        }
        // Written beside the name and renamed over it: a page that fails
        // leaves an older file as it was, and a link is never written
        // through.
        if (const auto failure = output::writePageFile(image, file)) {
            std::fprintf(stderr, "Scrivlet: cannot write %s: %s\n", file.c_str(), failure->c_str());
            continue;
        }
        std::fprintf(run.report, "  %s (%zux%zu pixels, %.0f dpi)\n", file.c_str(), image.columns(),
                     image.rows(), dpi);
        ++written;
    }
    std::fprintf(run.report, "%d of %d captured page(s) written to %s\n", written, count,
                 run.outputFolder.c_str());
    return written == count ? 0 : 1;
}

}  // namespace app
