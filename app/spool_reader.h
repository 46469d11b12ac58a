#pragma once
// Sequential reading of a spool file through a 2048-byte buffer. Skipping
// moves the file position without reading; every read is bounded by what the
// file still holds.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace app {

class SpoolReader {
public:
    static constexpr std::size_t kBufferSize = 2048;

    SpoolReader() = default;
    SpoolReader(const SpoolReader&) = delete;
    SpoolReader& operator=(const SpoolReader&) = delete;
    ~SpoolReader() { close(); }

    // Opens a regular file (never waits on a FIFO or device); false otherwise.
    bool open(const std::filesystem::path& file);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    // Copies up to out.size() bytes; fewer at the end of the file.
    std::size_t read(std::span<std::byte> out);
    // Moves on by n bytes: what the buffer holds is consumed, the rest is
    // skipped by moving the file position.
    void skip(std::uint64_t n);
    void rewind();
    bool endOfFile() const { return m_eof; }
    // Bytes between the read position and the end of the file.
    std::uint64_t remaining() const;
    // The read position: bytes read or skipped since the start of the file.
    std::uint64_t position() const { return m_fileOffset - (m_filled - m_position); }

private:
    bool refill();

    std::FILE* m_file = nullptr;
    std::byte m_buffer[kBufferSize] = {};
    std::size_t m_filled = 0;        // bytes in the buffer
    std::size_t m_position = 0;      // read position in the buffer
    std::uint64_t m_fileOffset = 0;  // file position after the buffer
    std::uint64_t m_fileSize = 0;
    bool m_eof = false;
};

}  // namespace app
