#pragma once
// The user-interface port on wxWidgets. Calls on the interface thread act at
// once; calls from the capture worker or a writer thread are handed to the
// interface thread (CallAfter): those that need an answer (a message box, a
// dialog) wait for it, the others (invalidation, scrolling, cursor,
// progress) do not. Once the window closes, waiting calls return the
// default answer, so no thread waits for a window that is gone.

#include <wx/gdicmn.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/ui_port.h"

class wxWindow;
class wxGauge;
class wxDialog;
class wxMenu;
class wxFileDialog;

namespace ui {

class WxUiPort : public app::UserInterfacePort {
public:
    // The windows the core names; set by the main window as it creates them.
    struct Windows {
        wxWindow* main = nullptr;
        wxWindow* strip = nullptr;
        wxWindow* view = nullptr;
    };
    // Scrolling and scroll ranges are carried out by the main window.
    std::function<void(app::UiWindow, app::ScrollBar, int minimum, int maximum)> onScrollRange;
    std::function<void(app::UiWindow, app::ScrollBar, app::ScrollRequest)> onScrollRequest;
    // Progress bar placement: the main window's client rectangle for it.
    std::function<app::UiRect()> progressPlace;
    // Answers message boxes without showing them (tests); empty: the box
    // is shown.
    std::function<app::MessageAnswer(const std::string& text, const std::string& caption, app::MessageButtons,
                                     app::MessageIcon)>
        answerHook;
    // Answers save dialogs without showing them (tests); empty: the dialog
    // is shown, or cancelled at once when message boxes are answered.
    std::function<app::SaveDialogResult(const app::SaveDialogRequest&)> saveDialogHook;

    // A save dialog's answer: the path and type chosen and the check boxes
    // it adds, as they stand when it closes.
    struct SaveChecks {
        int count = 0;  // 0, 1 or 2
        bool invokeImageOptions = false;
        bool startFileAfterCreation = false;
        std::string path;  // the full path chosen
        int type = 1;      // 1-based index into the type list
    };
    // Test seams for the toolkit's own choosers: when set, the file dialog
    // (prepared with its filters, name and folder) and the colour picker are
    // answered by these instead of being shown. The file hook returns
    // wxID_OK or wxID_CANCEL and fills in the answer (the toolkit's dialog
    // reports a path only once it has been shown).
    std::function<int(wxFileDialog&, SaveChecks&)> fileDialogHook;
    std::function<std::optional<std::uint32_t>(std::uint32_t initial)> colourHook;
    // Told of every modal dialog of the program once it runs (from inside
    // its loop): tests drive its controls from here.
    std::function<void(wxDialog&)> dialogShown;

    // Runs `dialog` modally and tells dialogShown.
    int runModal(wxDialog& dialog);
    // Modal windows of the program running now (dialogs, choosers, message
    // boxes, popup menus). A close request must not destroy the main window
    // under them: endModals ends them all, the dialogs and choosers as
    // Cancel, a message box with the answer of a closed window, a popup
    // menu with no choice; the window closes once they have returned.
    bool modalRunning() const { return !m_modals.empty() || !m_popups.empty(); }
    void endModals();
    // Shows `menu` at `at` of `owner` as a popup, known to endModals while
    // it runs.
    void showPopup(wxWindow& owner, wxMenu& menu, const wxPoint& at);
    // The system colour picker, fully opened, with `initial` (COLORREF)
    // preselected; the colour chosen, none on Cancel.
    std::optional<std::uint32_t> chooseColour(wxWindow* parent, std::uint32_t initial);
    // Opens the help book at a topic (the format sheet's Help button).
    std::function<void(const std::string& topic)> help;

    void attach(const Windows& windows);
    // The windows are going: waiting calls return their defaults from now on.
    void shutdown();
    // Kept by the main window's size handler for calls from other threads.
    void setClientRect(app::UiWindow window, app::UiRect rect);

    app::MessageAnswer showMessage(const std::string& text, const std::string& caption,
                                   app::MessageButtons buttons, app::MessageIcon icon) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void invalidate(app::UiWindow window, std::optional<app::UiRect> area, bool erase) override;
    void setScrollRange(app::UiWindow window, app::ScrollBar bar, int minimum, int maximum,
                        bool redraw) override;
    void requestScroll(app::UiWindow window, app::ScrollBar bar, app::ScrollRequest request) override;
    app::UiRect clientRect(app::UiWindow window) const override;
    void progressBegin(int range) override;
    void progressSetPosition(int position) override;
    void progressEnd() override;
    app::SaveDialogResult showSaveDialog(const app::SaveDialogRequest& request) override;
    bool showFormatOptionsSheet(app::FormatCode code, app::FormatSettings& values) override;
    bool showExtraOptionsPage(int kind, std::int32_t& gifDelay, std::string& insideFormat) override;
    bool showMailFormatDialog(int& code, bool& imageOptions) override;

    // The progress bar while a render shows it (tests); none otherwise.
    wxGauge* progressBar() const { return m_gauge; }
    int waitCursorDepth() const { return m_waitDepth; }
    wxWindow* mainWindow() const { return m_windows.main; }

    // Runs `task` on the interface thread: at once there, else posted; with
    // `wait`, returns when it has run (or the port shut down, when it may
    // never run).
    void onInterfaceThread(std::function<void()> task, bool wait);

private:
    // Shows `dialog` modally, known to endModals while it runs; true in
    // `ended` when endModals ended it.
    int showModal(wxDialog& dialog, bool* ended = nullptr);
    wxWindow* windowOf(app::UiWindow window) const;
    app::SaveDialogResult runSaveDialog(const app::SaveDialogRequest& request);

    Windows m_windows;
    wxGauge* m_gauge = nullptr;
    int m_waitDepth = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_closing = false;
    app::UiRect m_rects[3] = {};
    struct Modal {
        wxDialog* dialog;
        bool* ended;
    };
    std::vector<Modal> m_modals;    // innermost last
    std::vector<wxMenu*> m_popups;  // innermost last
};

}  // namespace ui
