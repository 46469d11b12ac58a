#pragma once
// "Set to Wallpaper": the current page as a Windows bitmap in the system
// temporary folder, named in the registry values the desktop reads, and set
// as the desktop's own wallpaper (gsettings, where the GNOME background
// schema exists).

#include <string>

namespace output {

struct WriterServices;

inline constexpr const char* kWallpaperFile = "QuilloWallpaper.bmp";

class Wallpaper {
public:
    explicit Wallpaper(WriterServices& services) : m_services(services) {}

    // The settings tool of the desktop.
    std::string settingsProgram = "gsettings";

    // Returns the bitmap's path, empty when it could not be written.
    std::string setToWallpaper();

    // Marked when the second registry key is missing; lasts until the
    // program ends.
    bool noActiveDesktop() const { return m_noActiveDesktop; }

private:
    WriterServices& m_services;
    bool m_noActiveDesktop = false;
};

// A local path as a "file://" address (bytes outside the unreserved set
// and "/" percent-encoded).
std::string fileUri(const std::string& path);

}  // namespace output
