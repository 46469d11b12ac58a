#include "metafile/metafile.h"

#include <cstdio>
#include <fstream>

#include "metafile/byte_reader.h"
#include "metafile/emf_read.h"
#include "metafile/emf_records.h"

namespace metafile {
namespace {

using platform::unexpected;

constexpr std::uint32_t kBaseHeaderSize = 88;

std::optional<EmfHeader> parseHeader(ByteReader in, std::string& why) {
    EmfHeader h;
    auto type = in.u32();
    auto size = in.u32();
    if (!size || *type != emf::EMR_HEADER) {
        why = "it does not start with an EMF header record";
        return std::nullopt;
    }
    h.size = *size;
    if (h.size < kBaseHeaderSize || h.size > in.size()) {
        why = "its header record has an impossible size (" + std::to_string(h.size) + " bytes)";
        return std::nullopt;
    }
    auto bounds = readRectL(in);
    auto frame = readRectL(in);
    auto signature = in.u32();
    auto version = in.u32();
    auto nBytes = in.u32();
    auto nRecords = in.u32();
    auto nHandles = in.u16();
    auto reserved = in.u16();
    auto nDescription = in.u32();
    auto offDescription = in.u32();
    auto nPalEntries = in.u32();
    auto device = readSizeL(in);
    auto millimetres = readSizeL(in);
    if (!millimetres || !reserved) {
        why = "its header is truncated";
        return std::nullopt;
    }
    h.rclBounds = *bounds;
    h.rclFrame = *frame;
    h.dSignature = *signature;
    h.nVersion = *version;
    h.nBytes = *nBytes;
    h.nRecords = *nRecords;
    h.nHandles = *nHandles;
    h.nDescription = *nDescription;
    h.offDescription = *offDescription;
    h.nPalEntries = *nPalEntries;
    h.szlDevice = *device;
    h.szlMillimeters = *millimetres;
    if (h.dSignature != emf::kEmfSignature) {
        why = "its header lacks the \" EMF\" signature";
        return std::nullopt;
    }
    // The extensions are present when the header record is long enough and
    // the description does not start inside them.
    const auto extensionEnd = [&](std::uint32_t end) {
        return h.size >= end && (h.offDescription == 0 || h.offDescription >= end);
    };
    if (extensionEnd(100)) {
        h.cbPixelFormat = in.u32();
        h.offPixelFormat = in.u32();
        h.bOpenGL = in.u32();
    }
    if (extensionEnd(108)) {
        h.szlMicrometers = readSizeL(in);
    }
    // The description: nDescription UTF-16 units inside the header record.
    if (h.nDescription > 0 && h.offDescription >= kBaseHeaderSize) {
        ByteReader record(in.bytes().subspan(0, h.size));
        if (auto text = record.range(h.offDescription, std::size_t{h.nDescription} * 2)) {
            for (std::uint32_t i = 0; i < h.nDescription; ++i) {
                h.description.push_back(static_cast<char16_t>(*text->u16()));
            }
        }
    }
    return h;
}

}  // namespace

platform::Expected<Metafile, MetafileError> Metafile::fromBytes(std::vector<std::byte> bytes) {
    if (bytes.size() > kMaxBytes) {
        return unexpected(MetafileError{"The file is too large to be a page (over 512 MiB)."});
    }
    std::string why;
    auto header = parseHeader(ByteReader(bytes), why);
    if (!header) {
        return unexpected(MetafileError{"Not an enhanced metafile: " + why + "."});
    }
    auto data = std::make_shared<Data>();
    data->header = std::move(*header);

    // Index the records: each must hold its 8-byte head and fit in the file.
    ByteReader in(bytes);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        in.seek(offset);
        auto type = in.u32();
        auto size = in.u32();
        if (!size) {
            data->truncation = "the last record is cut off at byte " + std::to_string(offset);
            break;
        }
        if (*size < 8 || *size > bytes.size() - offset) {
            data->truncation = "record " + std::to_string(data->records.size()) + " (" +
                               std::string(emf::recordName(*type)) + ") at byte " + std::to_string(offset) +
                               " claims " + std::to_string(*size) + " bytes";
            break;
        }
        if (data->records.empty() && *type != emf::EMR_HEADER) {
            break;  // cannot happen: the header was checked above
        }
        data->records.push_back(RecordRef{*type, static_cast<std::uint32_t>(offset), *size});
        offset += *size;
        if (*type == emf::EMR_EOF) {
            break;
        }
    }
    // Records that end cleanly in a file shorter than its header says: the
    // rest of the page is missing.
    if (data->truncation.empty() && data->header.nBytes > bytes.size())
        data->truncation = "the file holds " + std::to_string(bytes.size()) + " of the " +
                           std::to_string(data->header.nBytes) + " bytes its header gives";
    data->bytes = std::move(bytes);
    return Metafile(std::move(data));
}

platform::Expected<Metafile, MetafileError> Metafile::fromFile(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        return unexpected(MetafileError{"Cannot open " + file.string() + ": " + ec.message() + "."});
    }
    if (size > kMaxBytes) {
        return unexpected(MetafileError{"The file is too large to be a page (over 512 MiB)."});
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<std::byte> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in && !in.eof()) {
        return unexpected(MetafileError{"Cannot read " + file.string() + "."});
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return fromBytes(std::move(bytes));
}

std::optional<MetafileError> Metafile::writeToFile(const std::filesystem::path& file) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes().data()), static_cast<std::streamsize>(bytes().size()));
    out.close();
    if (!out) {
        return MetafileError{"Cannot write " + file.string() + "."};
    }
    return std::nullopt;
}

}  // namespace metafile
