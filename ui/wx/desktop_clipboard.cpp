#include "ui/wx/desktop_clipboard.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include <cstring>
#include <memory>

#include "platform/clipboard.h"
#include "ui/wx/wx_ui_port.h"

namespace ui {
namespace {

class DesktopClipboard : public platform::Clipboard {
public:
    DesktopClipboard(WxUiPort& port, const std::filesystem::path& fileFolder)
        : m_port(port), m_file(fileFolder) {}

    bool open() override {
        m_fileOpen = m_file.open();
        m_fromFile = false;
        auto desktop = std::make_shared<bool>(false);
        m_port.onInterfaceThread([desktop] { *desktop = wxTheClipboard->Open(); }, true);
        m_desktopOpen = *desktop;
        return m_fileOpen || m_desktopOpen;
    }
    void close() override {
        if (m_fileOpen)
            m_file.close();
        if (m_desktopOpen)
            m_port.onInterfaceThread([] { wxTheClipboard->Close(); }, true);
        m_fileOpen = m_desktopOpen = false;
    }
    std::optional<std::vector<std::byte>> enhancedMetafile() override {
        if (m_fileOpen) {
            if (auto bytes = m_file.enhancedMetafile()) {
                m_fromFile = true;
                return bytes;
            }
        }
        if (!m_desktopOpen)
            return std::nullopt;
        auto result = std::make_shared<std::optional<std::vector<std::byte>>>();
        m_port.onInterfaceThread(
            [result] {
                for (std::string_view mime : kEmfMimeTypes) {
                    const wxDataFormat format(wxString::FromUTF8(mime.data(), mime.size()));
                    if (!wxTheClipboard->IsSupported(format))
                        continue;
                    wxCustomDataObject data(format);
                    if (!wxTheClipboard->GetData(data) || data.GetSize() == 0)
                        continue;
                    std::vector<std::byte> bytes(data.GetSize());
                    std::memcpy(bytes.data(), data.GetData(), bytes.size());
                    *result = std::move(bytes);
                    return;
                }
            },
            true);
        return *result;
    }
    bool setEnhancedMetafile(std::span<const std::byte> bytes) override {
        return m_file.setEnhancedMetafile(bytes);
    }
    bool empty() override {
        bool ok = m_fileOpen ? m_file.empty() : true;
        if (m_desktopOpen && !m_fromFile) {
            m_port.onInterfaceThread(
                [] {
                    // Other programs own what they offer: an empty text
                    // takes its place.
                    wxTheClipboard->SetData(new wxTextDataObject(wxString()));
                },
                true);
        }
        return ok;
    }

private:
    WxUiPort& m_port;
    platform::FileClipboard m_file;
    bool m_fileOpen = false;
    bool m_desktopOpen = false;
    bool m_fromFile = false;  // the metafile came from the file-backed clipboard
};

}  // namespace

std::unique_ptr<platform::Clipboard> makeDesktopClipboard(WxUiPort& port,
                                                          const std::filesystem::path& fileFolder) {
    return std::make_unique<DesktopClipboard>(port, fileFolder);
}

}  // namespace ui
