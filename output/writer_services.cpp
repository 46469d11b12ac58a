#include "output/writer_services.h"

#include <filesystem>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/naming_rule.h"
#include "output/writer_thread.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace output {

using platform::RegRoot;

bool WriterServices::refuseWhileRunning() {
    if (thread.idle())
        return false;
    ui.showMessage(kRunActiveMessage, app::kMessageCaption, app::MessageButtons::Ok,
                   app::MessageIcon::Information);
    return true;
}

bool WriterServices::currentPageExists() const {
    const int current = session.PageList.currentPage.load();
    return current >= 0 && current < session.PageList.count();
}

void WriterServices::showFormatOptions() {
    const app::FormatCode code = currentFormatCode(session.CurrentFormat);
    if (code == app::FormatCode::BMP)
        return;
    app::FormatSettings working = session.formatOptions;
    if (!ui.showFormatOptionsSheet(code, working))
        return;
    formats.commitFormatPage(code, working);
    ui.beginWaitCursor();
    if (currentPageExists()) {
        if (rerenderCurrentPage)
            rerenderCurrentPage();
    } else {
        session.PageList.currentPage = -1;
    }
    ui.endWaitCursor();
}

void WriterServices::takeChosenPath(const std::string& path,
                                    std::initializer_list<std::string_view> extensions) {
    const ChosenName chosen = splitChosenPath(path, extensions);
    SaveFolder = chosen.folder;
    BaseName = chosen.title;
    std::string savePath = SaveFolder;
    if (savePath.empty() || savePath.back() != platform::kPathSeparator)
        savePath.push_back(platform::kPathSeparator);
    store.writeString(RegRoot::CurrentUser, "SavePath", savePath);
}

bool WriterServices::mayReplace(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    return ui.showMessage(path + " already exists. Replace?", "Save As", app::MessageButtons::YesNo,
                          app::MessageIcon::Warning) == app::MessageAnswer::Yes;
}

void WriterServices::commitChecks(bool invokeImageOptions, bool startFile, bool both) {
    session.options.SaveFile_Opt = invokeImageOptions;
    store.writeDword(RegRoot::CurrentUser, "SaveFile_Opt", invokeImageOptions ? 1 : 0);
    if (both) {
        session.options.StartFile_Opt = startFile;
        store.writeDword(RegRoot::CurrentUser, "StartFile_Opt", startFile ? 1 : 0);
    }
}

void WriterServices::openFile(const std::string& path) {
    if (const auto program = platform::findOnPath(opener))
        (void)platform::runProgram(*program, {path});
}

bool abortConfirmed(app::Session& session, app::UserInterfacePort& ui) {
    if (!session.AbortRequested.exchange(false))
        return false;
    return ui.showMessage(kAbortQuestion, app::kMessageCaption, app::MessageButtons::OkCancel,
                          app::MessageIcon::Question) == app::MessageAnswer::Ok;
}

}  // namespace output
