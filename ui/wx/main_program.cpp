#include "ui/wx/main_program.h"

#include <signal.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/gdicmn.h>
#include <wx/icon.h>
#include <wx/timer.h>

#include <cmath>
#include <csignal>
#include <cstdio>

#include "app/page_acquisition.h"
#include "app/session.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "output/formats.h"
#include "platform/clipboard.h"
#include "platform/folders.h"
#include "platform/spooler/spooler.h"
#include "render/page_renderer.h"
#include "ui/main_commands.h"
#include "ui/view_rules.h"
#include "ui/wx/desktop_clipboard.h"
#include "ui/wx/lv_frame_win.h"
#include "ui/wx/window_activation.h"
#include "ui/wx/wx_dialogs.h"

namespace ui {
namespace {

// The program's icon: a page with a blue corner, drawn once.
wxIcon programIcon() {
    wxBitmap bitmap(32, 32, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(rgb(207, 207, 245)));
        dc.Clear();
        dc.SetPen(wxPen(rgb(113, 109, 185)));
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.DrawRectangle(7, 3, 19, 26);
        dc.SetBrush(wxBrush(rgb(0, 0, 175)));
        dc.DrawRectangle(10, 8, 13, 3);
        dc.DrawRectangle(10, 14, 13, 2);
        dc.DrawRectangle(10, 19, 9, 2);
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    return icon;
}

// ScreenDpi: the display's width in pixels over its width in inches,
// rounded up.
int measureScreenDpi() {
    const int pixels = wxDisplay(0u).GetGeometry().width;
    const int mm = wxGetDisplaySizeMM().x;
    if (pixels <= 0 || mm <= 0)
        return 96;
    return static_cast<int>(std::ceil(pixels / (mm * 0.03937007874015748)));
}

}  // namespace

namespace {

volatile std::sig_atomic_t g_closeSignalled = 0;

}  // namespace

class MainProgram::CloseTimer : public wxTimer {
public:
    explicit CloseTimer(MainProgram& program) : m_program(program) {}
    void Notify() override { m_program.pollCloseRequest(); }

private:
    MainProgram& m_program;
};

MainProgram::MainProgram(const WindowedStart& start) : m_start(start) {}

MainProgram::~MainProgram() {
    if (m_closeTimer)
        m_closeTimer->Stop();
    m_port.shutdown();
    if (m_worker)
        m_worker->join();
    if (m_commands)
        m_commands->waitForWriter();
}

void MainProgram::waitForCapture() {
    if (m_worker)
        m_worker->join();
}

bool MainProgram::start(const std::vector<std::string>& arguments) {
    app::Session& session = m_start.session;
    app::SettingsStore& store = m_start.store;
    using platform::RegRoot;
    // 1. An earlier instance is asked to close; its end is waited for
    // (bounded) before the work folder is touched, since it empties that
    // folder as it closes.
    if (const auto temp = m_start.folders.systemTempFolder()) {
        m_instance = std::make_unique<app::SingleInstance>(*temp / "Scrivlet.instance");
        const auto claim = m_instance->claim(instanceBound);
        m_earlierClosed = claim.earlierFound;
        if (claim.earlierFound && !claim.earlierEnded) {
            // It still owns the work folder and empties it when it ends: pages
            // captured now would be lost. The print job stays in the queue.
            std::fprintf(stderr, "Scrivlet: the earlier instance (process %d) did not close in time\n",
                         static_cast<int>(claim.earlierPid));
            m_port.showMessage(kEarlierStaysMessage, app::kMessageCaption, app::MessageButtons::Ok,
                               app::MessageIcon::Warning);
            return false;
        }
    }
    // 4. The settings.
    store.loadSettings(session);
    // 5. The placement, clamped to the primary screen's work area.
    const wxRect work = wxDisplay(0u).GetClientArea();
    StoredPlacement stored;
    stored.maximized = session.options.lvKodMainWinMax;
    stored.left = store.readDword(RegRoot::CurrentUser, "lvWinLeft");
    stored.top = store.readDword(RegRoot::CurrentUser, "lvWinTop");
    stored.right = store.readDword(RegRoot::CurrentUser, "lvWinRight");
    stored.bottom = store.readDword(RegRoot::CurrentUser, "lvWinBottom");
    // A window stored maximised is made at the size it is restored to, and
    // maximised once shown: a window manager restores it to that size.
    StoredPlacement normal = stored;
    normal.maximized = false;
    const UiRect r = startPlacement(normal, work.width, work.height);
    // 2, 3 and 6. The window with its cursors and icon.
    m_frame = new lvFrameWin(session, m_view, m_port, wxPoint(r.left, r.top),
                             wxSize(r.right - r.left, r.bottom - r.top));
    m_frame->SetIcon(programIcon());
    if (wxTheApp != nullptr)
        wxTheApp->SetTopWindow(m_frame);
    m_closeTimer = std::make_unique<CloseTimer>(*this);
    m_closeTimer->Start(100);
    // 7. The demonstration.
    if (!arguments.empty() && arguments[0] == "quick")
        session.DemoMode = true;
    // The services of the commands.
    const auto windows = m_start.folders.windowsFolder();
    m_spooler = std::make_unique<platform::Spooler>(
        m_start.registry, windows ? *windows : std::filesystem::path(), platform::platformFromEnvironment());
    m_clipboard = makeDesktopClipboard(m_port, windows ? *windows / "clipboard" : std::filesystem::path());
    m_renderer = std::make_unique<render::PageRenderer>(session, m_port);
    m_formats = std::make_unique<output::FormatService>(session, store, m_start.folders, m_port);
    m_renderer->applyEncodingOptions = [this](Magick::Image& image, double dpi) {
        m_formats->applyEncodingOptions(image, dpi);
    };
    m_commands = std::make_unique<MainCommands>(MainCommandsContext{
        session, store, m_start.folders, *m_spooler, m_port, *m_renderer, *m_formats, m_view,
        [this] { requestClose(); }, [](const std::string& title) { return activateTopLevelWindow(title); },
        [this] { return captureRunning(); }});
    m_commands->setOpener(opener);
    m_dialogs = std::make_unique<WxDialogs>(m_port);
    m_dialogs->help = [this](const std::string& topicName) { m_commands->help(topicName); };
    m_port.help = m_dialogs->help;
    m_commands->setDialogs(m_dialogs.get());
    m_frame->setCommands(m_commands.get());
    m_frame->onDestroyed = [this](const app::WindowPlacement& placement) { windowDestroyed(placement); };
    // 9. Centred when placed at (0, 0); shown, maximised when stored so.
    if (r.left == 0 && r.top == 0)
        m_frame->Centre();
    m_frame->Show();
    if (stored.maximized)
        m_frame->Maximize();
    m_frame->Update();
    // 10. The capture printer.
    if (!session.DemoMode && session.OpenedFiles.empty()) {
        app::PageAcquisition acquisition(session, store, m_start.folders, *m_spooler, m_port);
        acquisition.findCapturePrinter();
    }
    // 11. The capture worker, with the display's resolution measured here
    // (the display belongs to this thread).
    const int dpi = measureScreenDpi();
    m_workerDone = false;
    m_worker = std::make_unique<app::CaptureWorker>(app::CaptureWorkerContext{
        session, store, m_start.folders, *m_spooler, *m_clipboard, m_port, *m_renderer,
        m_start.refreshPrinter, [dpi] { return dpi; }, m_start.startProgram});
    m_worker->onFinished = [this] { m_workerDone = true; };
    m_worker->start();
    // 12 and 13. Tip of the Day and splash. A close asked for meanwhile (a
    // later instance, while the tip was up) ends the start-up: the splash
    // would outlive the window, alone on the screen.
    if (tipOfTheDayAtStart(m_earlierClosed, store.readDword(RegRoot::CurrentUser, "lvStartHelpCheck")) &&
        tipOfTheDay)
        tipOfTheDay();
    const bool closeAsked = m_closed || m_closePending || g_closeSignalled != 0;
    if (splash && !closeAsked)
        splash();
    return true;
}

void MainProgram::requestClose() {
    if (m_frame == nullptr || m_closed)
        return;
    if (m_port.modalRunning()) {
        m_closePending = true;
        m_port.endModals();
        return;
    }
    m_closePending = false;
    m_frame->Close();
}

void MainProgram::signalCloseRequest() {
    g_closeSignalled = 1;
}

void MainProgram::pollCloseRequest() {
    if (g_closeSignalled != 0) {
        g_closeSignalled = 0;
        m_closePending = true;
    }
    if (m_closePending)
        requestClose();
}

void MainProgram::windowDestroyed(const app::WindowPlacement& placement) {
    m_closed = true;
    if (m_closeTimer)
        m_closeTimer->Stop();
    // The worker and a writer use the pages: they end before the pages go.
    m_port.shutdown();
    if (m_worker)
        m_worker->join();
    m_commands->waitForWriter();
    m_commands->setDialogs(nullptr);
    m_port.help = nullptr;
    m_dialogs.reset();
    app::mainWindowDestroyed(m_start.session, m_start.store, m_start.folders, placement);
    m_frame = nullptr;
}

namespace {

class ScrivletApp : public wxApp {
public:
    ScrivletApp(const WindowedStart& start, std::vector<std::string> arguments)
        : m_program(start), m_arguments(std::move(arguments)) {}

    bool OnInit() override {
        m_program.tipOfTheDay = [this] { m_program.commands().tipOfTheDay(); };
        m_program.splash = [this] { m_program.commands().splash(); };
        // The close request of a later instance.
        struct sigaction action {};
        action.sa_handler = [](int) { MainProgram::signalCloseRequest(); };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        return m_program.start(m_arguments);
    }
    int OnExit() override {
        m_program.waitForCapture();
        return wxApp::OnExit();
    }

private:
    MainProgram m_program;
    std::vector<std::string> m_arguments;
};

}  // namespace

int runWindowed(int argc, char** argv, const WindowedStart& start) {
    std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    wxApp::SetInstance(new ScrivletApp(start, arguments));
    int count = argc;
    if (!wxEntryStart(count, argv))
        return -1;
    int status = 1;
    if (wxTheApp->CallOnInit())
        status = wxTheApp->OnRun();
    else
        wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}

}  // namespace ui
