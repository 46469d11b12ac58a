#include "platform/clipboard.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

bool FileClipboard::open() {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    m_open = fs::is_directory(m_folder, ec);
    return m_open;
}

void FileClipboard::close() {
    m_open = false;
}

std::optional<std::vector<std::byte>> FileClipboard::enhancedMetafile() {
    if (!m_open)
        return std::nullopt;
    std::ifstream in(file(), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> out(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) out[i] = static_cast<std::byte>(raw[i]);
    return out;
}

bool FileClipboard::setEnhancedMetafile(std::span<const std::byte> bytes) {
    if (!m_open)
        return false;
    std::ofstream out(file(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool FileClipboard::empty() {
    if (!m_open)
        return false;
    std::error_code ec;
    fs::remove(file(), ec);
    return !ec;
}

}  // namespace platform
