#pragma once
// The main program with its window: the start-up steps in their order (the
// earlier instance closed and waited for, the settings, the placement, the
// capture printer, the capture worker on its thread, the start-up hooks),
// and the orderly end when the main window closes. Used by the application
// object and, in-process, by the window tests.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/capture_worker.h"
#include "ui/page_navigator.h"
#include "ui/tip_of_the_day.h"
#include "ui/wx/wx_ui_port.h"

namespace app {
struct Session;
class SettingsStore;
class SingleInstance;
}  // namespace app
namespace platform {
class PlatformFolders;
class Registry;
class Spooler;
class Clipboard;
}  // namespace platform
namespace render {
class PageRenderer;
}
namespace output {
class FormatService;
}

namespace ui {

inline constexpr const char* kEarlierStaysMessage =
    "The Scrivlet window that is open did not close. Close it, then start Scrivlet again: the document "
    "stays in the print queue until then.";

class lvFrameWin;
class MainCommands;
class WxDialogs;

struct WindowedStart {
    app::Session& session;
    app::SettingsStore& store;
    platform::Registry& registry;
    const platform::PlatformFolders& folders;
    std::function<int()> refreshPrinter;  // fnSLPrnRefresh
    std::function<void(const std::filesystem::path& program, const std::string& parameter)> startProgram;
};

class MainProgram {
public:
    explicit MainProgram(const WindowedStart& start);
    ~MainProgram();
    MainProgram(const MainProgram&) = delete;
    MainProgram& operator=(const MainProgram&) = delete;

    // How long a new instance waits for the earlier one to end.
    std::chrono::milliseconds instanceBound{10000};
    // The start-up's dialogs (Tip of the Day, splash): their windows are
    // the dialogs' own; here only when they are called.
    std::function<void()> tipOfTheDay;
    std::function<void()> splash;
    // The desktop opener for the commands (tests use a fake).
    std::string opener = "xdg-open";

    // The start-up steps; false when the main window cannot be made.
    bool start(const std::vector<std::string>& arguments);
    // Closes the main window as the close message does (the earlier-
    // instance request lands here). While a modal window runs, the program's
    // dialogs are cancelled and the close waits until none is left (a
    // message box for its answer): the main window is never destroyed under
    // a dialog that is still running.
    void requestClose();
    // A close request from a signal handler (async-signal-safe): carried
    // out on the interface thread within a tenth of a second, also when no
    // other event comes.
    static void signalCloseRequest();

    lvFrameWin* frame() const { return m_frame; }
    MainCommands& commands() { return *m_commands; }
    WxUiPort& port() { return m_port; }
    WxDialogs& dialogs() { return *m_dialogs; }
    ViewModel& view() { return m_view; }
    bool earlierInstanceClosed() const { return m_earlierClosed; }
    bool captureRunning() const { return !m_workerDone; }
    // Waits for the capture worker to finish its run.
    void waitForCapture();
    bool closed() const { return m_closed; }

private:
    void windowDestroyed(const app::WindowPlacement& placement);
    // Carries out a close request that came by signal or waited for a modal
    // window (polled on the interface thread).
    void pollCloseRequest();
    class CloseTimer;

    WindowedStart m_start;
    WxUiPort m_port;
    ViewModel m_view;
    std::unique_ptr<app::SingleInstance> m_instance;
    std::unique_ptr<platform::Spooler> m_spooler;
    std::unique_ptr<platform::Clipboard> m_clipboard;
    std::unique_ptr<render::PageRenderer> m_renderer;
    std::unique_ptr<output::FormatService> m_formats;
    std::unique_ptr<MainCommands> m_commands;
    std::unique_ptr<WxDialogs> m_dialogs;
    std::unique_ptr<app::CaptureWorker> m_worker;
    lvFrameWin* m_frame = nullptr;
    bool m_earlierClosed = false;
    std::atomic<bool> m_workerDone{true};
    bool m_closed = false;
    bool m_closePending = false;
    std::unique_ptr<CloseTimer> m_closeTimer;
};

// The whole program with its window: -1 when no display could be opened
// (nothing was shown and nothing changed), else the exit status.
int runWindowed(int argc, char** argv, const WindowedStart& start);

}  // namespace ui
