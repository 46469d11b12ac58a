// DotsweepAll: removes the Word macro template and the installer's traces.
//   DotsweepAll debug      remove and list every result
//   DotsweepAll maxpause   remove quietly and end
//   DotsweepAll            show the banner only

#include <wx/app.h>

#include "platform/folders.h"
#include "platform/registry/registry.h"
#include "tools/common/tool_window.h"
#include "tools/remover/removal_run.h"

namespace {

class DotsweepApp : public wxApp {
public:
    DotsweepApp() { tools::setWindowClassName("Dotsweep200"); }

    bool OnInit() override {
        const auto mode = tools::parseToolMode(tools::commandText(argv, argc), "maxpause");
        const tools::ToolIdentity tool{"Dotsweep 2.0.0", "Dotsweep200", "Dotsweep\u2122 v2.0.0",
                                       "Uninstall information in <Dotsweep.log>.", 35};
        tools::runToolWindow(*this, tool, mode, [](int lineHeight) {
            platform::Registry registry(platform::RegistryLocation::fromEnvironment());
            const auto folders = platform::PlatformFolders::fromEnvironment();
            tools::RemovalEnvironment env{registry, folders};
            return tools::removalDebugListing(tools::runRemoval(env), lineHeight);
        });
        return true;
    }

    int OnExit() override { return 0; }
};

}  // namespace

wxIMPLEMENT_APP(DotsweepApp);
