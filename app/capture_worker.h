#pragma once
// The capture worker: takes the pages (the demonstration's samples, the
// clipboard's metafile, or the spool route's page files), renders a thumbnail
// of each, lays them out in the thumbnail strip, publishes them one by one
// and shows the first page. It runs once per process, on a thread of its own.

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace platform {
class Clipboard;
class PlatformFolders;
class Spooler;
}  // namespace platform
namespace render {
class PageRenderer;
}

namespace app {

struct Session;
class SettingsStore;
class UserInterfacePort;

struct CaptureWorkerContext {
    Session& session;
    SettingsStore& store;
    const platform::PlatformFolders& folders;
    platform::Spooler& spooler;
    platform::Clipboard& clipboard;
    UserInterfacePort& ui;
    render::PageRenderer& renderer;
    std::function<int()> refreshPrinter;  // fnSLPrnRefresh
    std::function<int()> screenDpi;       // the display's resolution; 96 without one
    // Starts a program through the shell (the demonstration that the spool
    // route offers when there is no spool file).
    std::function<void(const std::filesystem::path& program, const std::string& parameter)> startProgram;
};

class CaptureWorker {
public:
    explicit CaptureWorker(CaptureWorkerContext context) : m_ctx(std::move(context)) {}
    ~CaptureWorker() { join(); }

    // Called on the worker's thread when a run started by start() ends.
    std::function<void()> onFinished;

    void start();
    void join();
    // The worker's whole run, on the calling thread.
    int run();

private:
    void clipboardRoute(const std::filesystem::path& work);
    void openedFilesRoute(const std::filesystem::path& work);
    void listFolder(const std::filesystem::path& folder);
    // Fills, renders, lays out and publishes page m from `file`.
    void listPage(int m, const std::filesystem::path& file, bool deleteFile);
    void showFirstPage(int m);

    CaptureWorkerContext m_ctx;
    std::thread m_thread;
};

// The window placement the destruction hook stores.
struct WindowPlacement {
    bool maximized = false;
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The main window's destruction: the pages' metafiles go, the placement is
// stored, the work folder is emptied (its subfolders stay).
void mainWindowDestroyed(Session& session, SettingsStore& store, const platform::PlatformFolders& folders,
                         const WindowPlacement& placement);

}  // namespace app
