#pragma once
// The work of ScrivletSetup: records an installation folder the way the
// product's setup does (InstallPath and Version under the local machine's
// product key) and makes sure the emulated spooler has a capture printer,
// the default one when there is none. Every step that fails is said and
// makes the run fail.

#include <string>
#include <string_view>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "platform/spooler/spooler.h"

namespace tools {

inline constexpr const char* kCapturePrinter = "Scrivlet Capture";
inline constexpr const char* kSetupVersion = "2.0.0";

struct SetupEnvironment {
    platform::Registry& registry;
    const platform::RegistryLocation& location;  // named in the messages
    const platform::PlatformFolders& folders;
    platform::WindowsPlatform windowsPlatform;
};

struct SetupResult {
    int status = 0;      // 0 done, 1 failed
    std::string output;  // what was done, one line each
    std::string errors;  // why it failed
};

SetupResult runSetup(const SetupEnvironment& env, std::string_view installationFolder);

}  // namespace tools
