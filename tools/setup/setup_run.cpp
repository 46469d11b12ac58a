#include "tools/setup/setup_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tools {
namespace {

namespace fs = std::filesystem;
using platform::RegStatus;

SetupResult failed(SetupResult result, const std::string& why) {
    result.status = 1;
    result.errors += "ScrivletSetup: " + why + "\n";
    return result;
}

}  // namespace

SetupResult runSetup(const SetupEnvironment& env, std::string_view installationFolder) {
    SetupResult result;
    std::error_code ec;
    const fs::path folder = fs::absolute(fs::path(installationFolder), ec);
    if (installationFolder.empty() || ec || !fs::is_directory(folder, ec))
        return failed(result, std::string(installationFolder) + " is not a folder");
    // The programs read their sample pages and helpers from it: a folder
    // they cannot enter is no installation.
    if (::access(folder.c_str(), R_OK | X_OK) != 0)
        return failed(result, "cannot read " + folder.string() + ": " + std::strerror(errno));

    const std::string hive = env.location.localMachineFile.string();
    auto key = env.registry.createKey(platform::RegRoot::LocalMachine, "Software\\Quillo\\Scrivlet",
                                      platform::RegAccess::Write);
    RegStatus status = key ? key->setString("InstallPath", folder.string()) : key.error();
    if (status == RegStatus::Success)
        status = key->setString("Version", kSetupVersion);
    if (status != RegStatus::Success) {
        return failed(result,
                      "cannot write " + hive + " (" + std::string(platform::describe(status)) +
                          "). Run as a user who may, or set SCRIVLET_REGISTRY to a folder of your own.");
    }
    result.output += "Installation folder " + folder.string() + " recorded in " + hive + "\n";

    // The emulated spooler gets a capture printer (the default when there is
    // none), so that the Word side has somewhere to print.
    const auto windows = env.folders.windowsFolder();
    if (!windows)
        return failed(result, "no Windows folder for the spooler: " + windows.error().message);
    platform::Spooler spooler(env.registry, *windows, env.windowsPlatform);
    if (!spooler.printer(kCapturePrinter)) {
        platform::PrinterInfo printer;
        printer.name = kCapturePrinter;
        printer.port = "LPT1:";
        printer.driver = kCapturePrinter;
        printer.dataType = "NT EMF 1.008";
        if (!spooler.addPrinter(printer))
            return failed(result,
                          std::string("cannot add the printer \"") + kCapturePrinter + "\" to " + hive);
    }
    if (!spooler.defaultPrinter() && !spooler.setDefaultPrinter(kCapturePrinter)) {
        return failed(result, std::string("cannot make \"") + kCapturePrinter + "\" the default printer in " +
                                  env.location.currentUserFile.string());
    }
    result.output += std::string("Capture printer \"") + kCapturePrinter + "\" ready (spool folder " +
                     spooler.spoolFolder().string() + ")\n";
    return result;
}

}  // namespace tools
