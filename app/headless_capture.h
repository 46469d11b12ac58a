#pragma once
// The capture without a window: the capture worker takes the pages (spool
// route, clipboard route) on the calling thread, and every listed page is
// written to an output folder in the current format, the way the
// demonstration writes its pages. Used where no display exists (or when
// asked for) until the main window is built.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace platform {
class PlatformFolders;
class Registry;
}  // namespace platform

namespace app {

struct Session;
class SettingsStore;
class UserInterfacePort;

struct HeadlessCapture {
    Session& session;
    SettingsStore& store;
    platform::Registry& registry;
    const platform::PlatformFolders& folders;
    UserInterfacePort& ui;
    std::function<int()> refreshPrinter;  // fnSLPrnRefresh
    std::function<void(const std::filesystem::path& program, const std::string& parameter)> startProgram;
    std::filesystem::path outputFolder;
    std::FILE* report = stdout;  // where the written files are listed
};

// The base name of the output files: the document name up to its first "."
// (the whole name when it has none), with characters that cannot stand in a
// file name replaced; "Page" when nothing is left.
std::string outputBaseName(const std::string& documentName);

// Runs the capture and writes BASE0001.ext, BASE0002.ext ... in page order.
// Returns 0 when at least one page was captured and every page was written,
// 1 otherwise (each failure is named on standard error).
int runHeadlessCapture(const HeadlessCapture& run);

}  // namespace app
