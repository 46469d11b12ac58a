#include "output/wallpaper.h"

#include "app/session.h"
#include "app/settings_store.h"
#include "output/gallery_html.h"
#include "output/page_file.h"
#include "output/writer_services.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace output {

std::string fileUri(const std::string& path) {
    std::string uri = "file://";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        uri += percentEncode(std::string_view(path).substr(start, end - start));
        if (slash == std::string::npos)
            break;
        uri += '/';
        start = slash + 1;
    }
    return uri;
}

std::string Wallpaper::setToWallpaper() {
    WriterServices& s = m_services;
    const auto image = s.session.CurrentImage.load();
    const auto temp = s.folders.systemTempFolder();
    if (!image || !temp)
        return {};
    const std::string path = platform::joinPath(temp->string(), kWallpaperFile);
    if (const auto failure = writePageFile(*image, path)) {
        s.ui.showMessage(writeFailureMessage(path, *failure), app::kMessageCaption, app::MessageButtons::Ok,
                         app::MessageIcon::Error);
        return {};
    }
    if (s.store.writeUserKeyString("Control Panel\\Desktop", "Wallpaper", path) &&
        !s.store.writeUserKeyString("SOFTWARE\\Microsoft\\Internet Explorer\\Desktop\\General",
                                    "BackupWallpaper", path))
        m_noActiveDesktop = true;
    // The desktop's own setting; a desktop without the schema keeps its own.
    if (const auto program = platform::findOnPath(settingsProgram)) {
        const std::string uri = fileUri(path);
        const auto set =
            platform::runProgram(*program, {"set", "org.gnome.desktop.background", "picture-uri", uri});
        if (set && *set == 0)
            (void)platform::runProgram(*program,
                                       {"set", "org.gnome.desktop.background", "picture-uri-dark", uri});
    }
    return path;
}

}  // namespace output
