#pragma once
// The clipboard of the capture's clipboard route: the desktop's clipboard
// (the enhanced metafile an office suite offers, under the MIME types Linux
// programs use for it), reached on the interface thread; a metafile left in
// the file-backed clipboard (the Word side's tool and the tests put it
// there) is taken first.

#include <filesystem>
#include <memory>
#include <string_view>

namespace platform {
class Clipboard;
}

namespace ui {

class WxUiPort;

// The MIME types of an enhanced metafile, in the order they are asked for.
inline constexpr std::string_view kEmfMimeTypes[] = {
    "image/x-emf",
    "image/emf",
    "application/x-openoffice-emf;windows_formatname=\"Image EMF\"",
};

std::unique_ptr<platform::Clipboard> makeDesktopClipboard(WxUiPort& port,
                                                          const std::filesystem::path& fileFolder);

}  // namespace ui
