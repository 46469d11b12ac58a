// ScrivletSetup: records an installation folder the way the product's setup
// does, so that the programs find their files.
//   ScrivletSetup <installation folder>
// writes InstallPath and Version under the local machine's product key and
// makes sure the emulated spooler has a capture printer.

#include <cstdio>
#include <filesystem>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"

namespace {
constexpr const char* kCapturePrinter = "Scrivlet Capture";
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <installation folder>\n", argv[0]);
        return 2;
    }
    std::error_code ec;
    const auto folder = std::filesystem::absolute(argv[1], ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "ScrivletSetup: %s is not a folder\n", argv[1]);
        return 1;
    }
    const auto location = platform::RegistryLocation::fromEnvironment();
    platform::Registry registry(location);
    auto key = registry.createKey(platform::RegRoot::LocalMachine, "Software\\Quillo\\Scrivlet",
                                  platform::RegAccess::Write);
    if (!key || key->setString("InstallPath", folder.string()) != platform::RegStatus::Success ||
        key->setString("Version", "2.0.0") != platform::RegStatus::Success) {
        std::fprintf(stderr,
                     "ScrivletSetup: cannot write %s (%s). Run as a user who may, or set SCRIVLET_REGISTRY "
                     "to a folder of your own.\n",
                     location.localMachineFile.c_str(),
                     key ? "write failed" : std::string(platform::describe(key.error())).c_str());
        return 1;
    }
    std::printf("Installation folder %s recorded in %s\n", folder.c_str(), location.localMachineFile.c_str());

    // The emulated spooler gets a capture printer (the default when there is
    // none), so that the Word side has somewhere to print.
    const auto folders = platform::PlatformFolders::fromEnvironment();
    const auto windows = folders.windowsFolder();
    if (windows) {
        platform::Spooler spooler(registry, *windows, platform::platformFromEnvironment());
        if (!spooler.printer(kCapturePrinter)) {
            platform::PrinterInfo printer;
            printer.name = kCapturePrinter;
            printer.port = "LPT1:";
            printer.driver = "Scrivlet Capture";
            printer.dataType = "NT EMF 1.008";
            spooler.addPrinter(printer);
        }
        if (!spooler.defaultPrinter())
            spooler.setDefaultPrinter(kCapturePrinter);
        std::printf("Capture printer \"%s\" ready (spool folder %s)\n", kCapturePrinter,
                    spooler.spoolFolder().c_str());
    }
    return 0;
}
