// Dotlift: installs the Word macro template into Word's start-up folder.
//   Dotlift debug   install and list every step
//   Dotlift pause   install quietly and end
//   Dotlift         show the banner only

#include <wx/app.h>

#include <cstdio>
#include <ctime>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tools/common/tool_window.h"
#include "tools/installer/install_run.h"

namespace {

class DotliftApp : public wxApp {
public:
    DotliftApp() { tools::setWindowClassName("Dotlift200"); }

    bool OnInit() override {
        // The framework's own command-line parsing is not used: the whole
        // argument text is the command word.
        const auto mode = tools::parseToolMode(tools::commandText(argv, argc), "pause");
        const tools::ToolIdentity tool{"Dotlift 2.0.0", "Dotlift200", "Dotlift\u2122 v2.0.0",
                                       "Install information in <Dotlift.log>.", 31};
        tools::runToolWindow(*this, tool, mode, [](int lineHeight) {
            platform::Registry registry(platform::RegistryLocation::fromEnvironment());
            const auto folders = platform::PlatformFolders::fromEnvironment();
            tools::InstallEnvironment env{registry, folders, tools::showOwnerlessError};
            const tools::InstallState state = tools::runInstallation(env);
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            const auto log = tools::appendInstallLog(state, registry, folders, local);
            // The window names the log by its name only; when it could not go
            // into the installation folder, say where it went.
            if (!log)
                std::fprintf(stderr,
                             "Dotlift: the install information could not be written to Dotlift.log\n");
            else if (state.lvrPathExe && log->parent_path() != folders.nativePath(*state.lvrPathExe))
                std::fprintf(stderr,
                             "Dotlift: the installation folder is not writable; install information in %s\n",
                             log->c_str());
            return tools::installDebugListing(state, lineHeight);
        });
        return true;
    }

    int OnExit() override { return 0; }
};

}  // namespace

wxIMPLEMENT_APP(DotliftApp);
