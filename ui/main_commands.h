#pragma once
// The operations behind the command table: every action bound to the code
// that carries it out (option commands, writers, page changes, scrolling,
// help, exit), and the start buttons' clicks. The windows only route ids
// here; this class needs no window.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "ui/command_router.h"
#include "ui/page_navigator.h"

namespace app {
struct Session;
class SettingsStore;
class UserInterfacePort;
class PageAcquisition;
}  // namespace app
namespace platform {
class PlatformFolders;
class Spooler;
}  // namespace platform
namespace render {
class PageRenderer;
class OptionCommands;
}  // namespace render
namespace output {
class FormatService;
class Mailer;
class WriterThread;
struct WriterServices;
class SaveCommands;
class PdfExport;
class HtmlGallery;
class MailCommands;
class Wallpaper;
class EmergencyReport;
}  // namespace output

namespace ui {

class DialogPort;

inline constexpr const char* kOnlineAddress = "https://www.quillo.example/";
inline constexpr const char* kSupportMailLink = "mailto:support@quillo.example";
inline constexpr const char* kLeaveDemoQuestion = "Demo-mode settings will be discarded. Proceed?";

struct MainCommandsContext {
    app::Session& session;
    app::SettingsStore& store;
    const platform::PlatformFolders& folders;
    platform::Spooler& spooler;
    app::UserInterfacePort& ui;
    render::PageRenderer& renderer;
    output::FormatService& formats;
    ViewModel& view;
    // Sends the close message to the main window.
    std::function<void()> closeWindow;
    // Brings the top-level window titled `title` to the front; false when
    // there is none.
    std::function<bool(const std::string& title)> activateWindow;
    // Whether the capture worker still lists pages (the list is then left
    // to the window's destruction).
    std::function<bool()> captureRunning;
};

class MainCommands {
public:
    explicit MainCommands(MainCommandsContext context);
    ~MainCommands();
    MainCommands(const MainCommands&) = delete;
    MainCommands& operator=(const MainCommands&) = delete;

    CommandRouter& router() { return m_router; }
    PageNavigator& navigator() { return m_navigator; }
    render::OptionCommands& options() { return *m_options; }
    output::WriterServices& writerServices() { return *m_services; }

    // The program's own dialogs; without them (no windows) the commands
    // that open one do nothing.
    void setDialogs(DialogPort* dialogs) { m_dialogs = dialogs; }

    // The dialogs behind the commands, each with its commit on OK.
    void resolutionDialog();
    void hatchDialog();
    void fullFormatSheet();
    // The help book at `topic` (help_book.h); a message when it is missing.
    void help(const std::string& topic);
    // The About box of the installation folder's library; nothing when it
    // or its export is missing.
    void about();
    // Tip of the Day and the splash of the start-up.
    void tipOfTheDay();
    void splash();

    // The desktop's opener of files, addresses and mail links ("xdg-open";
    // tests point it at a fake). The mail program is found on PATH.
    void setOpener(const std::string& program);

    // The clicks of start buttons 0, 1, 4, 5 and 6 (2 and 3 open popups).
    void clickButton(int index);
    // Button 2's step before its popup: during the demonstration it asks
    // whether to leave it and, on Yes, shows the current page as the user's
    // settings render it. True when the demonstration has ended here.
    bool leaveDemonstrationForOptions();
    // Exit and back to Word.
    void exitToWord();
    // Waits for a running writer (before the windows go).
    void waitForWriter();

private:
    void bindAll();
    void openWithDesktop(const std::string& target);

    MainCommandsContext m_ctx;
    DialogPort* m_dialogs = nullptr;
    CommandRouter m_router;
    PageNavigator m_navigator;
    std::unique_ptr<render::OptionCommands> m_options;
    std::unique_ptr<output::Mailer> m_mailer;
    std::unique_ptr<output::WriterThread> m_thread;
    std::unique_ptr<output::WriterServices> m_services;
    std::unique_ptr<output::SaveCommands> m_save;
    std::unique_ptr<output::PdfExport> m_pdf;
    std::unique_ptr<output::HtmlGallery> m_html;
    std::unique_ptr<output::MailCommands> m_mail;
    std::unique_ptr<output::Wallpaper> m_wallpaper;
    std::unique_ptr<app::PageAcquisition> m_acquisition;
    std::unique_ptr<output::EmergencyReport> m_report;
};

}  // namespace ui
