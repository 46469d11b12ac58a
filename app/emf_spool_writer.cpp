#include "app/emf_spool_writer.h"

#include <cstdint>

namespace app {
namespace {

void put32(std::vector<std::byte>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::vector<std::byte> writeEmfSpool(std::u16string_view documentName,
                                     std::span<const std::vector<std::byte>> pages) {
    std::vector<std::byte> out;
    // Header ([MS-EMFSPOOL] 2.2.1): version, size, offsets of the document
    // name and of the output file name (none), then the name.
    const auto nameBytes = static_cast<std::uint32_t>((documentName.size() + 1) * 2);
    const std::uint32_t headerSize = (16 + nameBytes + 3) / 4 * 4;
    put32(out, 0x10000);
    put32(out, headerSize);
    put32(out, 16);
    put32(out, 0);
    for (char16_t c : documentName) {
        out.push_back(static_cast<std::byte>(c & 0xFF));
        out.push_back(static_cast<std::byte>(c >> 8));
    }
    while (out.size() < headerSize) out.push_back(std::byte{0});
    for (const auto& page : pages) {
        // Records stay on 4-byte boundaries; the padding of a page whose size
        // is no multiple of 4 belongs to its record, so the size counts it
        // (the next record head follows the record's size).
        const std::size_t padded = (page.size() + 3) / 4 * 4;
        put32(out, 12);  // EMRI_METAFILE_DATA
        put32(out, static_cast<std::uint32_t>(padded));
        out.insert(out.end(), page.begin(), page.end());
        out.resize(out.size() + (padded - page.size()), std::byte{0});
    }
    put32(out, 0);
    put32(out, 0);
    return out;
}

std::vector<std::byte> writeWin9xSpool(std::span<const std::string> temporaryFiles) {
    // A leading byte that is no page reference (the reader skips the first
    // byte), then each file's name in the temporary folder, NUL-ended.
    std::vector<std::byte> out{std::byte{0}};
    for (const auto& name : temporaryFiles) {
        for (const char c : "C:\\WINDOWS\\TEMP\\" + name) out.push_back(static_cast<std::byte>(c));
        out.push_back(std::byte{0});
    }
    return out;
}

}  // namespace app
