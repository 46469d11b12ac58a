#pragma once
// An enhanced metafile held in memory: its bytes, its parsed header and an
// index of its records. Opening checks every size against the bytes that
// exist; a file that cannot be a metafile gives an error value. A damaged
// record list is cut at the first record that does not fit (the records
// before it still play) and the cut is noted.
//
// Copies share the bytes: a Metafile is an immutable value.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "metafile/geometry.h"
#include "platform/expected.h"

namespace metafile {

struct MetafileError {
    std::string message;
};

// [MS-EMF] 2.2.9 Header object, with its two optional extensions.
struct EmfHeader {
    std::uint32_t size = 0;  // of the header record
    RectL rclBounds;         // device units of the reference device, inclusive
    RectL rclFrame;          // 0.01 mm, inclusive
    std::uint32_t dSignature = 0;
    std::uint32_t nVersion = 0;
    std::uint32_t nBytes = 0;
    std::uint32_t nRecords = 0;
    std::uint16_t nHandles = 0;
    std::uint32_t nDescription = 0;
    std::uint32_t offDescription = 0;
    std::uint32_t nPalEntries = 0;
    SizeL szlDevice;       // reference device, pixels
    SizeL szlMillimeters;  // reference device, millimetres
    std::optional<std::uint32_t> cbPixelFormat;
    std::optional<std::uint32_t> offPixelFormat;
    std::optional<std::uint32_t> bOpenGL;
    std::optional<SizeL> szlMicrometers;
    std::u16string description;
};

// One record: where it lies in the file and its type and size.
struct RecordRef {
    std::uint32_t type = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

class Metafile {
public:
    // Files above this size are refused without reading them.
    static constexpr std::size_t kMaxBytes = 512u * 1024u * 1024u;

    static platform::Expected<Metafile, MetafileError> fromBytes(std::vector<std::byte> bytes);
    static platform::Expected<Metafile, MetafileError> fromFile(const std::filesystem::path& file);

    const EmfHeader& header() const { return m_data->header; }
    std::span<const std::byte> bytes() const { return m_data->bytes; }
    const std::vector<RecordRef>& records() const { return m_data->records; }
    // The bytes of one record, its 8-byte type and size included.
    std::span<const std::byte> recordBytes(const RecordRef& record) const {
        return bytes().subspan(record.offset, record.size);
    }
    // Why the record list was cut short (empty when it ended with EMR_EOF or
    // at the end of the bytes).
    const std::string& truncation() const { return m_data->truncation; }

    // Writes the metafile's bytes to a file (replacing it).
    std::optional<MetafileError> writeToFile(const std::filesystem::path& file) const;

private:
    struct Data {
        std::vector<std::byte> bytes;
        EmfHeader header;
        std::vector<RecordRef> records;
        std::string truncation;
    };
    explicit Metafile(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}

    std::shared_ptr<const Data> m_data;
};

}  // namespace metafile
