// libSLPrnSupprt.so: the C exports over PrinterSupport. The library keeps its
// state for as long as it is loaded, as the process-wide state of the
// original library; calls are serialised by a lock.

#include "printer_support/slprnsupprt.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"
#include "printer_support/printer_support.h"

namespace {

struct Library {
    platform::Registry registry{platform::RegistryLocation::fromEnvironment()};
    platform::PlatformFolders folders = platform::PlatformFolders::fromEnvironment();
    std::unique_ptr<platform::Spooler> spooler;
    std::unique_ptr<printer_support::PrinterSupport> support;
};

std::mutex g_mutex;
SLPrnSupprtMessageHandler g_handler = nullptr;

Library& library() {
    static Library lib = [] {
        Library l;
        const auto windows = l.folders.windowsFolder();
        l.spooler = std::make_unique<platform::Spooler>(
            l.registry, windows ? *windows : std::filesystem::path(), platform::platformFromEnvironment());
        l.support = std::make_unique<printer_support::PrinterSupport>(
            l.registry, l.folders, *l.spooler, [](const std::string& text, const std::string& caption) {
                if (g_handler != nullptr) {
                    g_handler(text.c_str(), caption.c_str());
                } else {
                    std::fprintf(stderr, "%s: %s\n", caption.empty() ? "Error" : caption.c_str(),
                                 text.c_str());
                }
            });
        return l;
    }();
    return lib;
}

}  // namespace

extern "C" int fnSLPrnSetting(void) {
    std::lock_guard lock(g_mutex);
    library().support->setting();
    return 0;
}

extern "C" int fnSLPrnRefresh(void) {
    std::lock_guard lock(g_mutex);
    library().support->refresh();
    return 0;
}

extern "C" void SLPrnSupprtSetMessageHandler(SLPrnSupprtMessageHandler handler) {
    std::lock_guard lock(g_mutex);
    g_handler = handler;
}
