#include "output/row_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "output/row_writer.h"

namespace output {

int writeAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

int writeAllAt(int fd, const void* data, std::size_t length, off_t offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::pwrite(fd, bytes, length, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        bytes += written;
        offset += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

int scratchFile(const std::string& folder) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    int fd = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string pattern = where + "/.scrivlet-rows.XXXXXX";
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(pattern.c_str());
    return fd;
}

int readAllAt(int fd, void* data, std::size_t length, off_t offset) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (length > 0) {
        const ssize_t got = ::pread(fd, bytes, length, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : EIO;
        bytes += got;
        offset += got;
        length -= static_cast<std::size_t>(got);
    }
    return 0;
}

bool RowWriter::writeRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride) {
    for (std::uint32_t y = 0; y < count; ++y) {
        if (!writeRow(rows + y * stride))
            return false;
    }
    return true;
}

}  // namespace output
