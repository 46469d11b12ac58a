#include "app/session.h"

namespace app {

double currentResolution(const Session& session) {
    switch (session.resolution.CheckN) {
        case 0:
            return session.ScreenDpi.load();
        case 1:
            return session.PrinterDpi.load();
        case 2:
            return session.DemoMode.load() ? 80.0 : session.resolution.userResolution;
        default:
            return 100.0;
    }
}

}  // namespace app
