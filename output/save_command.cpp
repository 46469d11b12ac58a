#include "output/save_command.h"

#include <filesystem>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/mail.h"
#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/run_snapshot.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"

namespace output {
namespace {

std::vector<app::FileType> imageTypes() {
    std::vector<app::FileType> types;
    for (const auto& f : formats()) types.push_back({std::string(f.caption), std::string(f.filter)});
    return types;
}

// The save dialog for page images: the five formats, the current one
// chosen, the document's name in the last folder saved to.
app::SaveDialogRequest imageSaveRequest(WriterServices& s) {
    app::SaveDialogRequest request;
    request.types = imageTypes();
    request.initialType = static_cast<int>(currentFormatCode(s.session.CurrentFormat));
    request.initialName = proposedBaseName(s.session.macroExchange.DocumentName);
    request.initialFolder = s.store.readString(platform::RegRoot::CurrentUser, "SavePath").value_or("");
    return request;
}

void stopMessage(app::UserInterfacePort& ui, const std::string& text) {
    ui.showMessage(text, app::kMessageCaption, app::MessageButtons::Ok, app::MessageIcon::Error);
}

}  // namespace

void SaveCommands::save() {
    WriterServices& s = m_services;
    if (s.refuseWhileRunning())
        return;
    bool invokeOptions = s.session.options.SaveFile_Opt;
    while (true) {
        app::SaveDialogRequest request = imageSaveRequest(s);
        request.checkBoxes = 1;
        request.invokeImageOptions = invokeOptions;
        const app::SaveDialogResult result = s.ui.showSaveDialog(request);
        invokeOptions = result.invokeImageOptions;
        if (!result.ok)
            return;
        s.takeChosenPath(result.path, {".jpg", ".gif", ".png", ".bmp", ".tif"});
        s.formats.selectFormat(result.type, s.rerenderCurrentPage);
        s.commitChecks(invokeOptions, false, false);
        const std::string first =
            outputFileName(s.SaveFolder, s.BaseName, "0001", extensionOf(s.session.CurrentFormat));
        if (tooLong(first)) {
            s.ui.showMessage(kTooLongMessage, app::kMessageCaption, app::MessageButtons::Ok,
                             app::MessageIcon::None);
            return;
        }
        if (!s.mayReplace(first))
            continue;
        if (invokeOptions)
            s.showFormatOptions();
        if (s.currentPageExists()) {
            s.session.AbortRequested = false;
            startImageRun();
        }
        return;
    }
}

bool SaveCommands::startImageRun() {
    WriterServices& s = m_services;
    auto snapshot = std::make_shared<RunSnapshot>(takeSnapshot(s.session));
    snapshot->saveFolder = s.SaveFolder;
    snapshot->baseName = s.BaseName;
    const bool started = s.thread.start([&s, snapshot] { runImageWriter(s, *snapshot); });
    if (!started) {
        s.session.MailRoute = false;
        s.refuseWhileRunning();
    }
    return started;
}

std::vector<std::string> runImageWriter(WriterServices& s, const RunSnapshot& snap) {
    std::vector<std::string> written;
    bool complete = false;
    {
        s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
        RunCursor cursor(s.ui);
        try {
            RunRenderer renderer(s.session, snap, s.store, s.folders, s.ui);
            const std::string extension(extensionOf(snap.format));
            const std::string base = snap.mailRoute ? mailBaseName(snap.baseName) : snap.baseName;
            const double dpi = snap.resolution;
            complete = true;
            for (int i = 0; i < static_cast<int>(snap.pages.size()); ++i) {
                if (abortConfirmed(s.session, s.ui)) {
                    complete = false;
                    break;
                }
                Magick::Image image;
                if (i == snap.currentPage && snap.currentImage)
                    image = *snap.currentImage;
                else
                    image = renderer.renderPage(i, dpi);
                const std::string name =
                    outputFileName(snap.saveFolder, base,
                                   pageNumberOf(snap.pages[static_cast<std::size_t>(i)].fileName), extension);
                if (tooLong(name)) {
                    s.ui.showMessage(kTooLongMessage, app::kMessageCaption, app::MessageButtons::Ok,
                                     app::MessageIcon::None);
                    complete = false;
                    break;
                }
                if (const auto failure = writePageFile(image, name)) {
                    stopMessage(s.ui, writeFailureMessage(name, *failure));
                    complete = false;
                    break;
                }
                s.session.OutputFileList.at(static_cast<std::size_t>(i)) = name;
                written.push_back(name);
            }
        } catch (const std::exception& e) {
            stopMessage(s.ui, std::string("The files could not be written:\n") + e.what());
            complete = false;
        }
    }
    if (complete && snap.mailRoute)
        s.mailer.sendDocuments(written);
    s.session.MailRoute = false;
    return written;
}

void SaveCommands::saveTo() {
    WriterServices& s = m_services;
    app::FormatCode chosen = app::FormatCode::JPG;
    std::string path;
    while (true) {
        app::SaveDialogRequest request = imageSaveRequest(s);
        const app::SaveDialogResult result = s.ui.showSaveDialog(request);
        if (!result.ok || result.type < 1 || result.type > 5)
            return;
        s.takeChosenPath(result.path, {".jpg", ".gif", ".png", ".bmp", ".tif"});
        chosen = static_cast<app::FormatCode>(result.type);
        path = platform::joinPath(s.SaveFolder, s.BaseName) +
               std::string(formats()[static_cast<std::size_t>(chosen) - 1].extension);
        // The dialog asked about the name as typed; a name that gained its
        // extension here is asked about now (No: the dialog again).
        if (path == result.path || s.mayReplace(path))
            break;
    }
    if (chosen != currentFormatCode(s.session.CurrentFormat)) {
        // In memory only: the stored flags stay.
        {
            std::lock_guard lock(s.session.renderLock);
            s.session.CurrentFormat = {chosen == app::FormatCode::JPG, chosen == app::FormatCode::GIF,
                                       chosen == app::FormatCode::PNG, chosen == app::FormatCode::BMP,
                                       chosen == app::FormatCode::TIF};
        }
        s.ui.beginWaitCursor();
        if (s.rerenderCurrentPage)
            s.rerenderCurrentPage();
        s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
        s.ui.endWaitCursor();
    }
    const auto image = s.session.CurrentImage.load();
    if (!image)
        return;
    if (const auto failure = writePageFile(*image, path))
        stopMessage(s.ui, writeFailureMessage(path, *failure));
}

}  // namespace output
