#include "app/spool_cutter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <system_error>

#include "app/page_acquisition.h"
#include "app/spool_reader.h"
#include "metafile/byte_reader.h"
#include "metafile/emf_records.h"
#include "metafile/metafile.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kSpoolHeaderType = 0x10000;
constexpr std::uint32_t kPageRecordType = 12;
constexpr std::uint32_t kBareRecordTypes = 0xFFFF;  // and above: no data follows
constexpr std::size_t kEmfHeaderBytes = 88;
constexpr std::size_t kCopyPiece = 64 * 1024;

std::uint32_t le32(const std::byte* p) {
    return std::to_integer<std::uint32_t>(p[0]) | (std::to_integer<std::uint32_t>(p[1]) << 8) |
           (std::to_integer<std::uint32_t>(p[2]) << 16) | (std::to_integer<std::uint32_t>(p[3]) << 24);
}

// The checks that make bytes an enhanced metafile: a header record that is
// long enough, fits in the page and carries the signature.
bool startsLikeEmf(std::span<const std::byte> head, std::uint64_t pageSize) {
    metafile::ByteReader in(head);
    const auto type = in.u32();
    const auto size = in.u32();
    if (!size || *type != metafile::emf::EMR_HEADER || *size < kEmfHeaderBytes || *size > pageSize)
        return false;
    auto signature = in.range(40, 4);
    return signature && signature->u32() == metafile::emf::kEmfSignature;
}

bool writeAll(int fd, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

std::string bytesText(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// Copies one page record of `size` bytes, whose first bytes are `head`, from
// the reader to `file`. Empty on success, else the reason; `unwritten` when
// the file could not be written (not when the spool file ran short).
std::string copyPage(SpoolReader& reader, std::span<const std::byte> head, std::uint64_t size,
                     const fs::path& file, bool& unwritten) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        unwritten = true;
        return "cannot write " + file.string() + ": " + std::strerror(errno);
    }
    std::string problem;
    if (!writeAll(fd, head)) {
        problem = std::strerror(errno);
        unwritten = true;
    }
    std::array<std::byte, kCopyPiece> piece;
    for (std::uint64_t left = size - head.size(); problem.empty() && left > 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
        const std::size_t got = reader.read(std::span(piece).first(want));
        if (got != want) {
            problem = "the file ended inside a page";
            break;
        }
        if (!writeAll(fd, std::span(piece).first(got))) {
            problem = std::strerror(errno);
            unwritten = true;
        }
        left -= got;
    }
    if (::close(fd) != 0 && problem.empty()) {
        problem = std::strerror(errno);
        unwritten = true;
    }
    if (!problem.empty()) {
        ::unlink(file.c_str());
        return "cannot write " + file.string() + ": " + problem;
    }
    return {};
}

std::string tooManyPages(int maxPages) {
    return "it holds more than " + std::to_string(maxPages) + " pages; only the first " +
           std::to_string(maxPages) + " were taken";
}

}  // namespace

CutResult cutEmfPages(const fs::path& spoolFile, std::uint32_t job, const fs::path& workFolder,
                      int maxPages) {
    CutResult result;
    SpoolReader reader;
    if (!reader.open(spoolFile)) {
        result.problem = "it cannot be opened";
        return result;
    }
    std::byte head[8];
    if (reader.read(head) != 8 || le32(head) != kSpoolHeaderType || le32(head + 4) < 8) {
        result.problem = "it is not an EMF spool file";
        return result;
    }
    const std::uint32_t headerRest = le32(head + 4) - 8;
    if (headerRest > reader.remaining()) {
        result.problem = "its header claims " + bytesText(le32(head + 4)) + ", more than the file holds";
        return result;
    }
    reader.skip(headerRest);
    std::error_code ec;
    fs::create_directories(workFolder, ec);
    int page = 0;
    while (true) {
        const std::uint64_t at = reader.position();
        const std::size_t got = reader.read(head);
        if (got == 0) {
            result.readToEnd = true;  // the end of the file at a record boundary ends the job
            break;
        }
        if (got < 8) {
            result.problem = "it ends inside the record at byte " + std::to_string(at);
            break;
        }
        const std::uint32_t type = le32(head), size = le32(head + 4);
        if (type == 0) {
            result.readToEnd = true;
            break;
        }
        if (type >= kBareRecordTypes)
            continue;
        if (size > reader.remaining()) {
            result.problem = "the record at byte " + std::to_string(at) + " claims " + bytesText(size) +
                             " but only " + bytesText(reader.remaining()) + " follow";
            break;
        }
        if (type != kPageRecordType) {
            reader.skip(size);
            continue;
        }
        if (size > metafile::Metafile::kMaxBytes) {
            result.problem = "the page at byte " + std::to_string(at) + " claims " + bytesText(size) +
                             ", more than a page may hold";
            break;
        }
        // The header decides whether this is a page at all.
        std::array<std::byte, kEmfHeaderBytes> pageHead;
        const std::size_t headSize = std::min<std::size_t>(size, pageHead.size());
        const auto headBytes = std::span(pageHead).first(headSize);
        if (reader.read(headBytes) != headSize) {
            result.problem = "it ends inside the page at byte " + std::to_string(at);
            break;
        }
        if (!startsLikeEmf(headBytes, size)) {
            ++result.rejectedPages;  // not an enhanced metafile: no page file
            reader.skip(size - headSize);
            continue;
        }
        if (page == maxPages) {
            result.problem = tooManyPages(maxPages);
            result.pageLimit = true;
            break;
        }
        const fs::path file = workFolder / pageFileName(job, ++page);
        result.problem = copyPage(reader, headBytes, size, file, result.unwritten);
        if (!result.problem.empty())
            break;
        result.pages.push_back(file);
    }
    return result;
}

CutResult copyTemporaryPages(const fs::path& spoolFile, const fs::path& tempFolder, std::uint32_t job,
                             const fs::path& workFolder, int maxPages) {
    CutResult result;
    SpoolReader reader;
    if (!reader.open(spoolFile)) {
        result.problem = "it cannot be opened";
        return result;
    }
    constexpr std::size_t kNameBytes = 12;  // "~EMF" and the eight characters of the name
    std::error_code ec;
    fs::create_directories(workFolder, ec);
    // The first byte is never the start of a name.
    reader.skip(1);
    std::string window;  // unread tail of the previous piece, then the next piece
    std::array<std::byte, SpoolReader::kBufferSize> piece;
    int page = 0;
    while (result.problem.empty()) {
        const std::size_t got = reader.read(piece);
        window.append(reinterpret_cast<const char*>(piece.data()), got);
        std::size_t i = 0;
        while (i + kNameBytes <= window.size()) {
            if (window.compare(i, 4, "~EMF") != 0) {
                ++i;
                continue;
            }
            const std::string tail = window.substr(i + 4, 8);
            if (tail.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
                ++i;  // names stay inside the folder
                continue;
            }
            i += kNameBytes;
            if (page == maxPages) {
                result.problem = tooManyPages(maxPages);
                break;
            }
            const fs::path target = workFolder / pageFileName(job, ++page);
            if (fs::copy_file(tempFolder / ("~EMF" + tail), target, fs::copy_options::overwrite_existing, ec))
                result.pages.push_back(target);
        }
        window.erase(0, i);
        if (got == 0) {
            result.readToEnd = result.problem.empty();
            break;
        }
    }
    return result;
}

}  // namespace app
