#pragma once
// The main program in this process on a virtual display: a private machine
// (registry, home, XDG folders, installation folder with the demonstration
// pages), fake desktop programs on PATH, message boxes answered from a
// script, and an event pump for the test's thread.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/settings_store.h"
#include "metafile/emf_writer.h"
#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "printer_support/slprnsupprt.h"
#include "tests/support/temp_dir.h"
#include "ui/main_commands.h"
#include "ui/wx/lv_frame_win.h"
#include "ui/wx/main_program.h"

namespace gui_test {

namespace fs = std::filesystem;

// Runs the interface thread's event loop, as the program's main loop runs
// it, until `done` holds; false after `seconds` without it.
class PumpTimer : public wxTimer {
public:
    PumpTimer(wxEventLoopBase& loop, const std::function<bool()>& done,
              std::chrono::steady_clock::time_point end)
        : m_loop(loop), m_done(done), m_end(end) {}
    void Notify() override {
        if (m_done() || std::chrono::steady_clock::now() > m_end)
            m_loop.Exit();
    }

private:
    wxEventLoopBase& m_loop;
    const std::function<bool()>& m_done;
    std::chrono::steady_clock::time_point m_end;
};
inline bool pumpUntil(const std::function<bool()>& done, double seconds = 30) {
    if (done())
        return true;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    wxGUIEventLoop loop;
    PumpTimer timer(loop, done, end);
    timer.Start(5);
    loop.Run();
    timer.Stop();
    return done();
}
// Events for a while (paints after a change).
inline void pumpFor(double seconds) {
    pumpUntil([] { return false; }, seconds);
}

// What the screen shows of `window`'s client area, read from the display
// server (screen_grab.cpp).
wxImage grab(wxWindow* window);
inline bool pixelIs(const wxImage& image, int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight())
        return false;
    return image.GetRed(x, y) == r && image.GetGreen(x, y) == g && image.GetBlue(x, y) == b;
}

class WindowFixture : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    fs::path install;
    std::string savedPath;
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<app::SettingsStore> store;
    std::unique_ptr<platform::PlatformFolders> folders;
    std::unique_ptr<app::Session> session;
    std::unique_ptr<ui::MainProgram> program;
    // Message boxes shown, and the answers for the next ones (the box's
    // cancelling answer when the script is empty).
    std::vector<std::string> messages;
    std::deque<app::MessageAnswer> answers;
    // What the next modal dialogs of the program do once they run, in order
    // (Cancel when none is left).
    std::deque<std::function<void(wxDialog&)>> dialogActions;
    // Commands that reached an operation, with their map.
    std::vector<std::pair<int, ui::CommandMap>> routed;
    // Called with the program before its start-up steps run (the start-up
    // hooks of the application object are set here).
    std::function<void(ui::MainProgram&)> beforeStart;

    void SetUp() override {
        const std::pair<const char*, fs::path> vars[] = {
            {"SCRIVLET_REGISTRY", dir / "registry"}, {"HOME", dir / "home"},
            {"XDG_CONFIG_HOME", dir / "config"},     {"XDG_DATA_HOME", dir / "data"},
            {"XDG_CACHE_HOME", dir / "cache"},       {"XDG_RUNTIME_DIR", dir / "runtime"},
            {"SCRIVLET_OUTPUT", dir / "out"}};
        for (const auto& [name, path] : vars) {
            fs::create_directories(path);
            ::setenv(name, path.c_str(), 1);
        }
        ::chmod((dir / "runtime").c_str(), 0700);
        ::unsetenv("SCRIVLET_HOME");
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        fs::create_directories(dir / "bin");
        ::setenv("PATH", ((dir / "bin").string() + ":" + savedPath).c_str(), 1);
        for (const char* name : {"fake-open", "xdg-email", "gsettings"}) fakeProgram(name);
        install = dir / "install";
        fs::create_directories(install / "emf");
        for (int i = 1; i <= 3; ++i) {
            const std::string name = "page000" + std::to_string(i) + ".emf";
            fs::copy_file(fs::path(SCRIVLET_SOURCE_DIR) / "samples" / "emf" / name, install / "emf" / name);
        }
        reopen();
        store->writeString(platform::RegRoot::LocalMachine, "InstallPath", install.string());
        // No Tip of the Day.
        store->writeDword(platform::RegRoot::CurrentUser, "lvStartHelpCheck", 1);
    }
    void TearDown() override {
        closeProgram();
        ::setenv("PATH", savedPath.c_str(), 1);
    }
    // Three pages of 30 x 40 mm in place of the demonstration's A4 pages.
    void useSmallPages() {
        for (int i = 1; i <= 3; ++i) {
            metafile::EmfWriter w({0, 0, 3000, 4000}, {1000, 1000}, {254, 254});
            w.selectStockObject(metafile::StockObject::BLACK_BRUSH);
            w.rectangle({0, 0, 100 * i, 100 * i});
            const auto bytes = w.finish();
            std::ofstream(install / "emf" / ("page000" + std::to_string(i) + ".emf"),
                          std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }
    void reopen() {
        registry = std::make_unique<platform::Registry>(platform::RegistryLocation::fromEnvironment());
        store = std::make_unique<app::SettingsStore>(*registry);
        folders = std::make_unique<platform::PlatformFolders>(platform::PlatformFolders::fromEnvironment());
        session = std::make_unique<app::Session>();
    }

    // Starts the program with `arguments` and waits until the capture
    // worker has listed its pages.
    void startProgram(const std::vector<std::string>& arguments) {
        program = std::make_unique<ui::MainProgram>(
            ui::WindowedStart{*session, *store, *registry, *folders, [] { return fnSLPrnRefresh(); },
                              [](const fs::path&, const std::string&) {}});
        program->opener = "fake-open";
        program->instanceBound = std::chrono::milliseconds(3000);
        program->port().answerHook = [this](const std::string& text, const std::string&,
                                            app::MessageButtons buttons, app::MessageIcon) {
            messages.push_back(text);
            if (!answers.empty()) {
                const auto a = answers.front();
                answers.pop_front();
                return a;
            }
            return buttons == app::MessageButtons::Ok      ? app::MessageAnswer::Ok
                   : buttons == app::MessageButtons::YesNo ? app::MessageAnswer::No
                                                           : app::MessageAnswer::Cancel;
        };
        // The program's own dialogs close as Cancel unless a test drives
        // them; the toolkit's choosers are never shown.
        program->port().dialogShown = [this](wxDialog& dialog) {
            if (dialogActions.empty()) {
                dialog.EndModal(wxID_CANCEL);
                return;
            }
            auto action = std::move(dialogActions.front());
            dialogActions.pop_front();
            action(dialog);
        };
        program->port().colourHook = [](std::uint32_t) { return std::optional<std::uint32_t>(); };
        if (beforeStart)
            beforeStart(*program);
        ASSERT_TRUE(program->start(arguments));
        program->commands().router().observer = [this](const ui::Command& c, ui::CommandMap map) {
            routed.emplace_back(c.id, map);
        };
        ASSERT_TRUE(pumpUntil([this] { return !program->captureRunning(); })) << "the capture worker ends";
        pumpFor(0.3);
    }
    void closeProgram() {
        if (!program)
            return;
        if (!program->closed())
            program->requestClose();
        pumpUntil([this] { return program->closed(); }, 10);
        pumpFor(0.1);
        program.reset();
    }
    ui::lvFrameWin* frame() const { return program->frame(); }

    // A program on PATH that writes each argument on a line of its log.
    void fakeProgram(const std::string& name) {
        const auto script = dir / "bin" / name;
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << (dir / (name + ".log")).string()
            << "'; done\n";
        out.close();
        fs::permissions(script, fs::perms::owner_all);
    }
    std::vector<std::string> programLog(const std::string& name) const {
        std::vector<std::string> lines;
        std::ifstream in(dir / (name + ".log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

}  // namespace gui_test
