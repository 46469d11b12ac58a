#include "output/html_gallery.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/gallery_html.h"
#include "output/image_file.h"
#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/run_snapshot.h"
#include "output/writer_services.h"
#include "output/writer_thread.h"
#include "platform/folders.h"

namespace output {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

bool isGalleryFile(const std::string& name) {
    if (name == "header.html" || name == "bottoms.html")
        return true;
    // NNNN.ext or NNNN_.ext with an extension the gallery writes.
    if (name.size() < 8)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])))
            return false;
    std::string rest = name.substr(4);
    if (!rest.empty() && rest.front() == '_')
        rest.erase(0, 1);
    return rest == ".jpg" || rest == ".gif" || rest == ".png" || rest == ".bmp";
}

void stop(WriterServices& s, const std::string& text, const char* caption = app::kMessageCaption) {
    s.ui.showMessage(text, caption, app::MessageButtons::Ok, app::MessageIcon::Error);
}

bool writeText(const std::string& path, const std::string& text) {
    return replaceFile(path, std::as_bytes(std::span(text.data(), text.size()))).hasValue();
}

}  // namespace

std::string galleryExtension(const app::FormatFlags& f) {
    if (f.JPG_Default)
        return ".jpg";
    if (f.GIF_Default)
        return ".gif";
    if (f.PNG_Default)
        return ".png";
    return ".bmp";
}

bool prepareGalleryFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(folder, ec))) {
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec) && isGalleryFile(entry.path().filename().string()))
                fs::remove(entry.path(), ec);
        }
        return true;
    }
    return fs::create_directory(folder, ec);
}

void HtmlGallery::exportGallery() {
    WriterServices& s = m_services;
    if (s.refuseWhileRunning())
        return;
    bool invokeOptions = s.session.options.SaveFile_Opt;
    bool startFile = s.session.options.StartFile_Opt;
    while (true) {
        app::SaveDialogRequest request;
        for (std::size_t i = 0; i < 4; ++i)
            request.types.push_back({std::string(formats()[i].caption), std::string(formats()[i].filter)});
        const app::FormatCode current = currentFormatCode(s.session.CurrentFormat);
        request.initialType = current == app::FormatCode::TIF ? 1 : static_cast<int>(current);
        request.initialName = proposedBaseName(s.session.macroExchange.DocumentName);
        request.initialFolder = s.store.readString(RegRoot::CurrentUser, "SavePath").value_or("");
        request.checkBoxes = 2;
        request.invokeImageOptions = invokeOptions;
        request.startFileAfterCreation = startFile;
        const app::SaveDialogResult result = s.ui.showSaveDialog(request);
        invokeOptions = result.invokeImageOptions;
        startFile = result.startFileAfterCreation;
        if (!result.ok || result.type < 1 || result.type > 4)
            return;
        s.takeChosenPath(result.path, {".jpg", ".gif", ".png", ".bmp", ".html", ".htm"});
        s.formats.selectFormat(result.type, s.rerenderCurrentPage);
        s.commitChecks(invokeOptions, startFile, true);
        if (!s.mayReplace(platform::joinPath(s.SaveFolder, s.BaseName + ".html")))
            continue;
        s.commitChecks(invokeOptions, startFile, true);
        if (invokeOptions)
            s.showFormatOptions();
        if (s.currentPageExists()) {
            s.session.AbortRequested = false;
            startHtmlRun();
        }
        return;
    }
}

bool HtmlGallery::startHtmlRun() {
    WriterServices& s = m_services;
    auto snapshot = std::make_shared<RunSnapshot>(takeSnapshot(s.session));
    snapshot->saveFolder = s.SaveFolder;
    snapshot->baseName = s.BaseName;
    if (s.thread.start([&s, snapshot] { runHtmlWriter(s, *snapshot); }))
        return true;
    s.refuseWhileRunning();
    return false;
}

bool runHtmlWriter(WriterServices& s, const RunSnapshot& snap) {
    s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
    RunCursor cursor(s.ui);
    const std::string& base = snap.baseName;
    const std::string gallery = platform::joinPath(snap.saveFolder, base + "_files");
    if (!prepareGalleryFolder(gallery)) {
        if (tooLong(gallery + "/"))
            s.ui.showMessage(kTooLongMessage, app::kMessageCaption, app::MessageButtons::Ok,
                             app::MessageIcon::None);
        else
            stop(s, "Error 0009836", "Quillo Scrivlet message");
        return false;
    }
    const std::string extension = galleryExtension(snap.format);
    if (!writeText(platform::joinPath(snap.saveFolder, base + ".html"), framesetHtml(base, extension)))
        stop(s, "HTML file is not created!");
    if (!writeText(platform::joinPath(gallery, "header.html"), headerHtml(base)))
        stop(s, "header.html file is not created!\nError 00012934");
    const std::string bottomsPath = platform::joinPath(gallery, "bottoms.html");
    std::ofstream bottoms(bottomsPath, std::ios::binary | std::ios::trunc);
    if (bottoms)
        bottoms << bottomsHead(base) << std::flush;
    if (!bottoms) {
        bottoms.close();
        stop(s, "bottoms.html file not created!\nError 00065482");
    }
    try {
        RunRenderer renderer(s.session, snap, s.store, s.folders, s.ui);
        for (int i = 0; i < static_cast<int>(snap.pages.size()); ++i) {
            if (abortConfirmed(s.session, s.ui))
                return false;
            const std::string number = pageNumberOf(snap.pages[static_cast<std::size_t>(i)].fileName);
            const std::string pagePath = platform::joinPath(gallery, number + extension);
            if (const auto failure = writePageFile(renderer.renderPage(i, snap.resolution), pagePath)) {
                stop(s, writeFailureMessage(pagePath, *failure));
                return false;
            }
            s.session.OutputFileList.at(static_cast<std::size_t>(i)) = pagePath;
            Magick::Image thumbnail = renderer.renderThumbnail(i, kThumbnailDpi);
            thumbnail.scale(Magick::Geometry(kThumbnailBox, kThumbnailBox));
            const std::string thumbPath = platform::joinPath(gallery, number + "_" + extension);
            if (const auto failure = writePageFile(thumbnail, thumbPath)) {
                stop(s, writeFailureMessage(thumbPath, *failure));
                return false;
            }
            if (bottoms.is_open())
                bottoms << bottomsLink(number, extension) << std::flush;
        }
    } catch (const std::exception& e) {
        stop(s, std::string("The gallery could not be written:\n") + e.what());
        return false;
    }
    if (bottoms.is_open()) {
        bottoms << kBottomsEnd;
        bottoms.close();
        if (!bottoms)
            stop(s, writeFailureMessage(bottomsPath, "the file could not be completed"));
    }
    if (snap.startFile)
        s.openFile(platform::joinPath(snap.saveFolder, base + ".html"));
    return true;
}

}  // namespace output
