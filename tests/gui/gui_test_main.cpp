// The window tests' entry point: the toolkit started on the display the test
// runs on (tests/gui/with_xvfb.sh gives each run its own), the tests run
// inside its event loop; without a display they are skipped (exit 77).

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>

#include <cstdio>
#include <cstdlib>

#include "render/magick.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::printf("SKIP: no display (run through tests/gui/with_xvfb.sh)\n");
        return 77;
    }
    Magick::InitializeMagick(nullptr);
    wxApp::SetInstance(new wxApp);
    int count = argc;
    if (!wxEntryStart(count, argv)) {
        std::printf("SKIP: the display %s cannot be opened\n", display);
        return 77;
    }
    int status = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        status = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return status;
}
