#pragma once
// The program's own dialogs on wxWidgets, opened through the dialog port:
// thin windows over the core's models. Every modal dialog runs through the
// interface port's runModal, so tests reach its controls by id.

#include <wx/toplevel.h>  // with wxWeakRef

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "ui/dialog_port.h"

class wxHtmlHelpController;
class wxConfigBase;

namespace ui {

class WxUiPort;

class WxDialogs : public DialogPort {
public:
    explicit WxDialogs(WxUiPort& port);
    ~WxDialogs() override;

    bool runResolutionDialog(ResolutionDialogModel& model) override;
    bool runHatchDialog(HatchDialogModel& model) override;
    bool runFullFormatSheet(app::FormatCode current, app::FormatSettings& values,
                            std::string& insideFormat) override;
    void runTipOfTheDay(TipCycle& tips) override;
    void showSplash() override;
    bool showHelp(const std::filesystem::path& book, const std::string& topic) override;

    // The help viewer once a book has been shown (tests close its frame).
    wxHtmlHelpController* helpController() const { return m_help.get(); }
    // Opens a help topic from a dialog's Help button.
    std::function<void(const std::string& topic)> help;

private:
    wxWindow* parent() const;

    WxUiPort& m_port;
    // The viewer's size and the width of its contents pane, kept in memory
    // only; declared before the viewer, which writes to it as it goes.
    std::unique_ptr<wxConfigBase> m_helpLayout;
    std::unique_ptr<wxHtmlHelpController> m_help;
    std::filesystem::path m_book;
    // The start-up splash while it is up: it goes with the dialogs (the main
    // window closing) rather than stay on its own until its time is over.
    wxWeakRef<wxWindow> m_splash;
};

// The dialogs, each run modally over its model (wx_dialogs_*.cpp).
bool runResolutionWindow(wxWindow* parent, WxUiPort& port, ResolutionDialogModel& model,
                         const std::function<void(const std::string&)>& help);
bool runHatchWindow(wxWindow* parent, WxUiPort& port, HatchDialogModel& model,
                    const std::function<void(const std::string&)>& help);
void runTipWindow(wxWindow* parent, WxUiPort& port, TipCycle& tips);
// The option sheets: the full sheet (six pages, opened on `start`), the
// single page of ShowFormatOptions, or an extra page (kind 1 animation
// delay, 2 PDF inside format).
bool runFullSheetWindow(wxWindow* parent, WxUiPort& port, int start, app::FormatSettings& values,
                        std::string& insideFormat);
bool runSingleSheetWindow(wxWindow* parent, WxUiPort& port, app::FormatCode code,
                          app::FormatSettings& values);
bool runExtraPageWindow(wxWindow* parent, WxUiPort& port, int kind, std::int32_t& gifDelay,
                        std::string& insideFormat);
bool runMailFormatWindow(wxWindow* parent, WxUiPort& port, int& code, bool& imageOptions);

}  // namespace ui
