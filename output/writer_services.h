#pragma once
// What the writer commands share: the session and its services, the folder
// and base name of the last save dialog, the run thread, and the small steps
// every command and run takes (the options sheet, the abort question, the
// refusal of a second run, opening a finished file).

#include <functional>
#include <string>

#include "app/ui_port.h"

namespace app {
struct Session;
class SettingsStore;
}  // namespace app
namespace platform {
class PlatformFolders;
}

namespace output {

class FormatService;
class Mailer;
class WriterThread;

inline constexpr const char* kAbortQuestion = "Abort File Generation Process?";
inline constexpr const char* kRunActiveMessage =
    "Scrivlet is still writing files.\nWait until it has finished, or press Esc to stop it.";

struct WriterServices {
    app::Session& session;
    app::SettingsStore& store;
    const platform::PlatformFolders& folders;
    app::UserInterfacePort& ui;
    FormatService& formats;
    Mailer& mailer;
    WriterThread& thread;
    // rerenderCurrentPage of the interface thread.
    std::function<void()> rerenderCurrentPage;
    // The desktop's opener of files ("Start file after creation").
    std::string opener = "xdg-open";

    // `SaveFolder` (without its closing separator) and `BaseName` of the
    // last save dialog.
    std::string SaveFolder;
    std::string BaseName;

    // True, after telling the user, while a run is active.
    bool refuseWhileRunning();
    // Whether currentPage names an existing page.
    bool currentPageExists() const;
    // ShowFormatOptions: the CurrentFormat's sheet; on OK its options are
    // committed and the current page is rendered again.
    void showFormatOptions();
    // The dialog's folder and title, and `SavePath` written.
    void takeChosenPath(const std::string& path, std::initializer_list<std::string_view> extensions);
    // Asks "PATH already exists. Replace?" when `path` exists; false for No.
    bool mayReplace(const std::string& path);
    // Writes SaveFile_Opt and StartFile_Opt (the latter when `both`).
    void commitChecks(bool invokeImageOptions, bool startFile, bool both);
    // Opens a finished file with the desktop's default program.
    void openFile(const std::string& path);
};

// Polled by a run before each page: when Esc was pressed, the flag is
// cleared and the user asked; true when the user confirms the abort.
bool abortConfirmed(app::Session& session, app::UserInterfacePort& ui);

// The wait cursor of a run, ended on every way out.
class RunCursor {
public:
    explicit RunCursor(app::UserInterfacePort& ui) : m_ui(ui) { m_ui.beginWaitCursor(); }
    ~RunCursor() { m_ui.endWaitCursor(); }
    RunCursor(const RunCursor&) = delete;
    RunCursor& operator=(const RunCursor&) = delete;

private:
    app::UserInterfacePort& m_ui;
};

}  // namespace output
