#include "ui/wx/wx_dialogs.h"

#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/sstream.h>
#include <wx/sysopt.h>

#include <memory>

#include "ui/format_pages.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {

WxDialogs::WxDialogs(WxUiPort& port) : m_port(port) {
    help = [this](const std::string&) {};
}

WxDialogs::~WxDialogs() {
    if (m_splash)
        m_splash->Destroy();
}

wxWindow* WxDialogs::parent() const {
    return m_port.mainWindow();
}

bool WxDialogs::runResolutionDialog(ResolutionDialogModel& model) {
    return runResolutionWindow(parent(), m_port, model, help);
}

bool WxDialogs::runHatchDialog(HatchDialogModel& model) {
    return runHatchWindow(parent(), m_port, model, help);
}

bool WxDialogs::runFullFormatSheet(app::FormatCode current, app::FormatSettings& values,
                                   std::string& insideFormat) {
    return runFullSheetWindow(parent(), m_port, fullSheetStartPage(current), values, insideFormat);
}

void WxDialogs::runTipOfTheDay(TipCycle& tips) {
    runTipWindow(parent(), m_port, tips);
}

bool WxDialogs::showHelp(const std::filesystem::path& book, const std::string& topicName) {
    if (!m_help || m_book != book) {
        // The book's pages are HTML by their extension (.htm): the toolkit's
        // own table says so, where the desktop's type database may not.
        wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
        m_help = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, parent());
        // Large enough for the topics' titles in the contents pane and a
        // page beside them without scrolling sideways.
        if (!m_helpLayout) {
            wxStringInputStream empty(wxEmptyString);
            m_helpLayout = std::make_unique<wxFileConfig>(empty);
            m_helpLayout->Write("/help/hcW", 960);
            m_helpLayout->Write("/help/hcH", 640);
            m_helpLayout->Write("/help/hcSashPos", 330);
        }
        m_help->UseConfig(m_helpLayout.get(), "/help");
        if (!m_help->AddBook(wxFileName(wxString::FromUTF8(book.string())), false)) {
            m_help.reset();
            return false;
        }
        m_book = book;
    }
    // Opened from a modal dialog, the viewer stays usable: the controller
    // makes it modal too until it is closed.
    if (topicName.empty())
        return m_help->DisplayContents();
    return m_help->Display(wxString::FromUTF8(topicName));
}

// The port's sheets and the mail dialog, on the interface thread.
bool WxUiPort::showFormatOptionsSheet(app::FormatCode code, app::FormatSettings& values) {
    auto done = std::make_shared<bool>(false);
    onInterfaceThread([&, done] { *done = runSingleSheetWindow(m_windows.main, *this, code, values); }, true);
    return *done;
}

bool WxUiPort::showExtraOptionsPage(int kind, std::int32_t& gifDelay, std::string& insideFormat) {
    auto done = std::make_shared<bool>(false);
    onInterfaceThread(
        [&, done] { *done = runExtraPageWindow(m_windows.main, *this, kind, gifDelay, insideFormat); }, true);
    return *done;
}

bool WxUiPort::showMailFormatDialog(int& code, bool& imageOptions) {
    auto done = std::make_shared<bool>(false);
    onInterfaceThread([&, done] { *done = runMailFormatWindow(m_windows.main, *this, code, imageOptions); },
                      true);
    return *done;
}

}  // namespace ui
