#pragma once
// The clipboard with an enhanced metafile on it. FileClipboard keeps it in a
// folder (for tests and for the Word-side tool); the desktop clipboard is the
// GUI's.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    // The enhanced metafile on the clipboard, if there is one.
    virtual std::optional<std::vector<std::byte>> enhancedMetafile() = 0;
    virtual bool setEnhancedMetafile(std::span<const std::byte> bytes) = 0;
    virtual bool empty() = 0;
};

class FileClipboard : public Clipboard {
public:
    explicit FileClipboard(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    bool open() override;
    void close() override;
    std::optional<std::vector<std::byte>> enhancedMetafile() override;
    bool setEnhancedMetafile(std::span<const std::byte> bytes) override;
    bool empty() override;

private:
    std::filesystem::path file() const { return m_folder / "clipboard.emf"; }
    std::filesystem::path m_folder;
    bool m_open = false;
};

}  // namespace platform
