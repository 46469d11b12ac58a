#include "output/pdf_export.h"

#include <cstdio>
#include <filesystem>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/mail.h"
#include "output/multipage_image.h"
#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/pdf_layer.h"
#include "output/run_snapshot.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"

namespace output {
namespace {

using platform::RegRoot;

void setMultipageMode(WriterServices& s, int mode) {
    s.session.MultipageMode = mode;
    s.store.writeDword(RegRoot::CurrentUser, "KodMultipageFormat", static_cast<std::uint32_t>(mode));
}

void writeFormatFlags(WriterServices& s, const app::FormatFlags& f) {
    s.store.writeDword(RegRoot::CurrentUser, "JPG_Default", f.JPG_Default ? 1 : 0);
    s.store.writeDword(RegRoot::CurrentUser, "GIF_Default", f.GIF_Default ? 1 : 0);
    s.store.writeDword(RegRoot::CurrentUser, "PNG_Default", f.PNG_Default ? 1 : 0);
    s.store.writeDword(RegRoot::CurrentUser, "BMP_Default", f.BMP_Default ? 1 : 0);
    s.store.writeDword(RegRoot::CurrentUser, "TIF_Default", f.TIF_Default ? 1 : 0);
}

void message(WriterServices& s, const std::string& text, const char* caption = app::kMessageCaption) {
    s.ui.showMessage(text, caption, app::MessageButtons::Ok, app::MessageIcon::Error);
}

// The page files' extension: "." and the stored inside format as it is
// stored, "bmp" when it is empty.
std::string pageFileExtension(WriterServices& s) {
    const auto stored = s.store.readString(RegRoot::CurrentUser, "PDF_Bitmp_Format");
    return "." + (stored && !stored->empty() ? *stored : std::string("bmp"));
}

// The format flags as the command found them, written back.
void restoreFormat(WriterServices& s, const PdfBackups& backups) {
    if (!backups.format)
        return;
    {
        std::lock_guard lock(s.session.renderLock);
        s.session.CurrentFormat = *backups.format;
    }
    writeFormatFlags(s, *backups.format);
}

// Multipage modes 2 and 3 (from the e-mail route): every page rendered with
// the TIF or GIF options into one multipage TIF or animated GIF, named by the
// save rule after the first page, and mailed.
bool runMultipageWriter(WriterServices& s, const RunSnapshot& snap, const PdfBackups& backups) {
    const int mode = snap.multipageMode;
    std::string path;
    bool completed = false;
    if (!snap.pages.empty()) {
        const std::string base = snap.mailRoute ? mailBaseName(snap.baseName) : snap.baseName;
        path = outputFileName(snap.saveFolder, base, pageNumberOf(snap.pages.front().fileName),
                              multipageExtension(mode));
    }
    if (tooLong(path)) {
        s.ui.showMessage(kTooLongMessage, app::kMessageCaption, app::MessageButtons::Ok,
                         app::MessageIcon::None);
    } else if (!path.empty()) {
        s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
        RunCursor cursor(s.ui);
        try {
            RunRenderer renderer(s.session, snap, s.store, s.folders, s.ui);
            MultipageImageWriter writer(mode, snap.formatOptions.GIF_Delay);
            bool stopped = false;
            for (int i = 0; i < static_cast<int>(snap.pages.size()) && !stopped; ++i) {
                stopped = abortConfirmed(s.session, s.ui);
                if (stopped)
                    break;
                if (const auto failure = writer.addPage(renderer.renderPage(i, snap.resolution))) {
                    message(s, writeFailureMessage(path, *failure));
                    stopped = true;
                }
            }
            if (!stopped) {
                if (const auto failure = writer.finish(path))
                    message(s, writeFailureMessage(path, *failure));
                else
                    completed = true;
            }
        } catch (const std::exception& e) {
            message(s, std::string("The file could not be written:\n") + e.what());
        }
    }
    if (completed) {
        restoreFormat(s, backups);
        s.session.OutputFileList.at(0) = path;
        if (snap.mailRoute)
            s.mailer.sendDocuments({path});
    }
    s.session.MailRoute = false;
    setMultipageMode(s, 0);
    return completed;
}

}  // namespace

void PdfExport::exportPdf() {
    WriterServices& s = m_services;
    if (s.refuseWhileRunning())
        return;
    double r = app::currentResolution(s.session);
    while (r < 100) {
        char text[256];
        std::snprintf(text, sizeof text, kPdfResolutionQuestion, static_cast<int>(r));
        const auto answer = s.ui.showMessage(text, app::kMessageCaption, app::MessageButtons::YesNoCancel,
                                             app::MessageIcon::Question);
        if (answer == app::MessageAnswer::Yes)
            break;
        if (answer != app::MessageAnswer::No || !resolutionDialog)
            return;
        resolutionDialog();
        r = app::currentResolution(s.session);
    }
    PdfBackups backups{s.session.CurrentFormat, s.session.CurrentImage.load()};
    bool invokeOptions = s.session.options.SaveFile_Opt;
    bool startFile = s.session.options.StartFile_Opt;
    while (true) {
        app::SaveDialogRequest request;
        request.types = {{"PDF (Portable Document Format)", "*.pdf"}};
        request.initialName = proposedBaseName(s.session.macroExchange.DocumentName);
        request.initialFolder = s.store.readString(RegRoot::CurrentUser, "SavePath").value_or("");
        request.checkBoxes = 2;
        request.invokeImageOptions = invokeOptions;
        request.startFileAfterCreation = startFile;
        const app::SaveDialogResult result = s.ui.showSaveDialog(request);
        invokeOptions = result.invokeImageOptions;
        startFile = result.startFileAfterCreation;
        if (!result.ok)
            return;
        s.takeChosenPath(result.path, {".pdf"});
        if (s.mayReplace(platform::joinPath(s.SaveFolder, s.BaseName + ".pdf")))
            break;
    }
    s.commitChecks(invokeOptions, startFile, true);
    setMultipageMode(s, 1);
    if (invokeOptions) {
        std::int32_t delay = s.session.formatOptions.GIF_Delay;
        std::string inside = s.formats.pdfInsideFormat();
        if (s.ui.showExtraOptionsPage(2, delay, inside))
            s.formats.commitExtraPage(2, delay, inside);
        const std::string stored = s.formats.pdfInsideFormat();
        const int code = stored == "JPG"   ? 1
                         : stored == "PNG" ? 3
                         : stored == "BMP" ? 4
                         : stored == "TIF" ? 5
                                           : 0;
        if (code != 0)
            s.formats.selectFormat(code, s.rerenderCurrentPage);
        s.showFormatOptions();
    }
    if (!s.currentPageExists()) {
        setMultipageMode(s, 0);
        return;
    }
    s.session.AbortRequested = false;
    startPdfRun(std::move(backups));
}

bool PdfExport::startPdfRun(PdfBackups backups) {
    WriterServices& s = m_services;
    auto snapshot = std::make_shared<RunSnapshot>(takeSnapshot(s.session));
    snapshot->saveFolder = s.SaveFolder;
    snapshot->baseName = s.BaseName;
    auto kept = std::make_shared<PdfBackups>(std::move(backups));
    if (s.thread.start([&s, snapshot, kept] { runPdfWriter(s, *snapshot, *kept); }))
        return true;
    s.session.MailRoute = false;
    setMultipageMode(s, 0);
    s.refuseWhileRunning();
    return false;
}

bool runPdfWriter(WriterServices& s, const RunSnapshot& snap, const PdfBackups& backups) {
    if (snap.multipageMode == kMultipageTif || snap.multipageMode == kMultipageGif)
        return runMultipageWriter(s, snap, backups);
    const std::string pdfPath = platform::joinPath(snap.saveFolder, snap.baseName + ".pdf");
    bool completed = false;
    PDF* p = PDF_new();
    if (PDF_begin_document(p, pdfPath.c_str(), 0, "") == -1) {
        if (tooLong(pdfPath))
            s.ui.showMessage(kTooLongMessage, app::kMessageCaption, app::MessageButtons::Ok,
                             app::MessageIcon::None);
        else
            message(s, "Error 000079");
        PDF_delete(p);
    } else {
        const auto work = s.folders.workFolder();
        const std::string workFolder = work ? work->string() : std::string(".");
        std::error_code ec;
        std::filesystem::create_directories(workFolder, ec);
        PDF_set_parameter(p, "SearchPath", (workFolder + "/").c_str());
        s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
        RunCursor cursor(s.ui);
        bool stopped = false;
        try {
            RunRenderer renderer(s.session, snap, s.store, s.folders, s.ui);
            const std::string extension = pageFileExtension(s);
            for (int i = 0; i < static_cast<int>(snap.pages.size()); ++i) {
                if (abortConfirmed(s.session, s.ui)) {
                    stopped = true;
                    break;
                }
                const Magick::Image image = renderer.renderPage(i, snap.resolution);
                const std::string pageFile = platform::joinPath(
                    workFolder, pageNumberOf(snap.pages[static_cast<std::size_t>(i)].fileName) + extension);
                if (const auto failure = writePageFile(image, pageFile)) {
                    message(s, writeFailureMessage(pageFile, *failure));
                    stopped = true;
                    break;
                }
                s.session.OutputFileList.at(static_cast<std::size_t>(i)) = pageFile;
                const int handle = PDF_load_image(p, "auto", pageFile.c_str(), 0, "");
                if (handle == -1) {
                    message(s, "ERROR 05000157", "Scrivlet Message");
                    continue;
                }
                PDF_begin_page_ext(p, 10.0, 10.0, "");
                PDF_fit_image(p, handle, 0.0, 0.0, "adjustpage");
                PDF_close_image(p, handle);
                PDF_end_page_ext(p, "");
            }
        } catch (const std::exception& e) {
            message(s, std::string("The PDF file could not be written:\n") + e.what());
            stopped = true;
        }
        if (!stopped) {
            if (PDF_end_document(p, "") == -1)
                message(s, writeFailureMessage(pdfPath, PDF_get_errmsg(p)));
            else
                completed = true;
        }
        // An unfinished document leaves no file.
        PDF_delete(p);
    }
    if (completed) {
        if (!snap.mailRoute && snap.startFile)
            s.openFile(pdfPath);
        restoreFormat(s, backups);
        if (!snap.mailRoute) {
            if (backups.view)
                s.session.CurrentImage.store(backups.view);
            s.ui.invalidate(app::UiWindow::MainWindow, std::nullopt, true);
        } else {
            s.session.OutputFileList.at(0) = pdfPath;
            s.mailer.sendDocuments({pdfPath});
        }
    }
    s.session.MailRoute = false;
    setMultipageMode(s, 0);
    return completed;
}

}  // namespace output
