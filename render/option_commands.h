#pragma once
// The commands that change how pages are rendered: antialiasing, sharpening,
// the date stamp, the four presets, Include HTML and the legacy background
// commands, with the re-rendering of the current page and the thumbnails.

#include <cstdint>
#include <functional>

namespace app {
struct Session;
class SettingsStore;
class UserInterfacePort;
}  // namespace app

namespace render {

class PageRenderer;

enum class Preset { TextGraphics = 1, Professional = 2, WordArtPhoto = 3, DemoDefault = 4 };

// The values of a preset, in the order of the table's rows, into `session`;
// each stored value is also handed to `write` (registry name, value).
void setPresetValues(app::Session& session, Preset preset,
                     const std::function<void(const char*, std::int32_t)>& write);

class OptionCommands {
public:
    OptionCommands(app::Session& session, app::SettingsStore& store, app::UserInterfacePort& ui,
                   PageRenderer& renderer);

    // rerenderCurrentPage: the long form (ViewState 1 then 2, page-up scroll
    // requests when asked) or the short form of the toggles.
    bool rerenderCurrentPage();
    void rerenderShort();
    void rebuildThumbnails();

    void setAntialias(int factor);
    void toggleSharpen();
    void toggleDateStamp();
    void applyPreset(Preset preset);
    void toggleIncludeHtml();
    void setLegacyBackground(int style);
    void setBackgroundColour(std::uint32_t colorRef);

    // Commands through the main window during the demonstration ask first;
    // true when the command may run (and the demonstration has ended).
    bool confirmLeavingDemonstration();

private:
    bool renderCurrent();
    void write(const char* name, std::int32_t value);
    // Runs `change` on the options under the render lock, so that no render
    // reads them half changed.
    template <class Change>
    void change(Change&& change);

    app::Session& m_session;
    app::SettingsStore& m_store;
    app::UserInterfacePort& m_ui;
    PageRenderer& m_renderer;
};

}  // namespace render
