#include "output/mail_commands.h"

#include <filesystem>

#include "app/session.h"
#include "app/settings_store.h"
#include "output/formats.h"
#include "output/mail.h"
#include "output/naming_rule.h"
#include "output/page_file.h"
#include "output/pdf_export.h"
#include "output/save_command.h"
#include "output/writer_services.h"
#include "platform/folders.h"

namespace output {
namespace {

using platform::RegRoot;

constexpr int kMailPdf = 6;
// Stored codes the list does not offer: one multipage TIF, one animated GIF.
constexpr int kMailTif = 7;
constexpr int kMailGif = 8;

std::string workFolderOf(WriterServices& s) {
    const auto work = s.folders.workFolder();
    if (!work)
        return {};
    std::error_code ec;
    std::filesystem::create_directories(*work, ec);
    return work->string();
}

}  // namespace

void MailCommands::email() {
    WriterServices& s = m_services;
    if (!s.currentPageExists() || s.refuseWhileRunning())
        return;
    const std::int32_t stored = s.store.readDword(RegRoot::CurrentUser, "KodEmailFormat");
    int code = stored <= 0 ? 1 : stored;
    bool invokeOptions = s.session.options.SaveFile_Opt;
    if (!s.ui.showMailFormatDialog(code, invokeOptions))
        return;
    if (code < 1 || code > kMailGif)
        code = 1;
    s.BaseName = proposedBaseName(s.session.macroExchange.DocumentName);
    s.SaveFolder = workFolderOf(s);
    if (code != s.session.options.KodEmailFormat || stored != code) {
        s.session.options.KodEmailFormat = code;
        s.store.writeDword(RegRoot::CurrentUser, "KodEmailFormat", static_cast<std::uint32_t>(code));
    }
    s.commitChecks(invokeOptions, false, false);
    PdfBackups backups;
    if (code <= 5) {
        s.formats.selectFormat(code, s.rerenderCurrentPage);
        if (invokeOptions)
            s.showFormatOptions();
    } else if (code == kMailPdf) {
        // The format before the PDF's inside format became current, put back
        // when the document has been mailed.
        backups.format = s.session.CurrentFormat;
        if (invokeOptions) {
            std::int32_t delay = s.session.formatOptions.GIF_Delay;
            std::string inside = s.formats.pdfInsideFormat();
            if (s.ui.showExtraOptionsPage(2, delay, inside))
                s.formats.commitExtraPage(2, delay, inside);
        }
        const std::string inside = s.formats.pdfInsideFormat();
        const int insideCode = inside == "JPG"   ? 1
                               : inside == "PNG" ? 3
                               : inside == "BMP" ? 4
                               : inside == "TIF" ? 5
                                                 : 0;
        if (insideCode != 0)
            s.formats.selectFormat(insideCode, s.rerenderCurrentPage);
        if (invokeOptions)
            s.showFormatOptions();
    } else {
        // TIF for the multipage TIF; GIF, with the animation page, for the
        // animated GIF. The format before is put back after the mail.
        backups.format = s.session.CurrentFormat;
        s.formats.selectFormat(code == kMailTif ? 5 : 2, s.rerenderCurrentPage);
        if (invokeOptions && code == kMailGif) {
            std::int32_t delay = s.session.formatOptions.GIF_Delay;
            std::string inside = s.formats.pdfInsideFormat();
            if (s.ui.showExtraOptionsPage(1, delay, inside))
                s.formats.commitExtraPage(1, delay, inside);
        }
        if (invokeOptions)
            s.showFormatOptions();
    }
    if (!s.currentPageExists())
        return;
    s.session.AbortRequested = false;
    s.session.MailRoute = true;
    if (code <= 5) {
        m_save.startImageRun();
        return;
    }
    const int mode = code == kMailPdf ? 1 : code == kMailTif ? 2 : 3;
    s.session.MultipageMode = mode;
    s.store.writeDword(RegRoot::CurrentUser, "KodMultipageFormat", static_cast<std::uint32_t>(mode));
    if (code == kMailPdf)
        s.BaseName = "doc";
    m_pdf.startPdfRun(std::move(backups));
}

void MailCommands::sendTo() {
    WriterServices& s = m_services;
    s.ui.invalidate(app::UiWindow::PageView, std::nullopt, false);
    const int current = s.session.PageList.currentPage.load();
    const auto image = s.session.CurrentImage.load();
    if (current < 0 || current >= s.session.PageList.count() || !image)
        return;
    const auto& f = s.session.CurrentFormat;
    const char* extension = f.JPG_Default ? ".jpg" : f.GIF_Default ? ".gif" : f.PNG_Default ? ".png" : ".bmp";
    const std::string path = platform::joinPath(
        workFolderOf(s), proposedBaseName(s.session.macroExchange.DocumentName) +
                             pageNumberOf(s.session.PageList.record(current).fileName) + extension);
    if (const auto failure = writePageFile(*image, path)) {
        s.ui.showMessage(writeFailureMessage(path, *failure), app::kMessageCaption, app::MessageButtons::Ok,
                         app::MessageIcon::Error);
        return;
    }
    s.session.OutputFileList.at(0) = path;
    s.mailer.sendDocuments({path});
}

}  // namespace output
