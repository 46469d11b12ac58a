// --settings: the main program's stored settings, read as it reads them at
// start (loadSettings), from the registry the environment names.

#include "app/session.h"
#include "app/settings_store.h"
#include "cli/convert_options.h"
#include "platform/registry/registry.h"

namespace cli {

platform::Expected<ConvertSettings, std::string> readStoredSettings() {
    std::string problems;
    platform::Registry registry(platform::RegistryLocation::fromEnvironment(),
                                [&problems](const std::string& message) { problems += message + "\n"; });
    app::SettingsStore store(registry);
    app::Session session;
    store.loadSettings(session);
    if (!problems.empty()) {
        while (!problems.empty() && problems.back() == '\n') problems.pop_back();
        return platform::unexpected(problems);
    }
    ConvertSettings s;
    s.dpi = app::currentResolution(session);
    s.render = session.RenderOptions;
    s.format = session.CurrentFormat;
    s.formatOptions = session.formatOptions;
    const auto inside = store.readString(platform::RegRoot::CurrentUser, "PDF_Bitmp_Format");
    s.pdfInsideFormat = inside && !inside->empty() ? *inside : "BMP";
    return s;
}

}  // namespace cli
