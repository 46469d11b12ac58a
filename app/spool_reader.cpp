#include "app/spool_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace app {

bool SpoolReader::open(const std::filesystem::path& file) {
    close();
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (m_file = ::fdopen(fd, "rb")) == nullptr) {
        ::close(fd);
        return false;
    }
    m_fileSize = static_cast<std::uint64_t>(info.st_size);
    rewind();
    return true;
}

void SpoolReader::close() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void SpoolReader::rewind() {
    m_filled = m_position = 0;
    m_fileOffset = 0;
    m_eof = false;
    if (m_file != nullptr)
        std::fseek(m_file, 0, SEEK_SET);
}

bool SpoolReader::refill() {
    m_position = 0;
    m_filled = m_file != nullptr ? std::fread(m_buffer, 1, kBufferSize, m_file) : 0;
    m_fileOffset += m_filled;
    if (m_filled == 0)
        m_eof = true;
    return m_filled > 0;
}

std::size_t SpoolReader::read(std::span<std::byte> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        if (m_position == m_filled && !refill())
            break;
        const std::size_t n = std::min(out.size() - done, m_filled - m_position);
        std::memcpy(out.data() + done, m_buffer + m_position, n);
        m_position += n;
        done += n;
    }
    return done;
}

void SpoolReader::skip(std::uint64_t n) {
    const std::size_t inBuffer = std::min<std::uint64_t>(n, m_filled - m_position);
    m_position += inBuffer;
    n -= inBuffer;
    if (n == 0 || m_file == nullptr)
        return;
    // Past the end of the file there is nothing to skip to.
    const std::uint64_t target = std::min(m_fileOffset + n, m_fileSize);
    m_filled = m_position = 0;
    if (std::fseek(m_file, static_cast<long>(target), SEEK_SET) != 0) {
        m_eof = true;
        return;
    }
    m_fileOffset = target;
    if (target >= m_fileSize)
        m_eof = true;
}

std::uint64_t SpoolReader::remaining() const {
    return m_fileSize > position() ? m_fileSize - position() : 0;
}

}  // namespace app
