#pragma once
// The one way to read bytes that come from outside: a cursor over a span with
// typed little-endian reads that fail (return nullopt) instead of running past
// the end, sub-ranges for offset/size fields, and overflow-checked counts.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

namespace metafile {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::byte> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    std::span<const std::byte> bytes() const { return m_bytes; }

    bool seek(std::size_t offset) {
        if (offset > m_bytes.size()) {
            return false;
        }
        m_pos = offset;
        return true;
    }
    bool skip(std::size_t count) {
        if (count > remaining()) {
            return false;
        }
        m_pos += count;
        return true;
    }

    std::optional<std::uint8_t> u8() { return read<std::uint8_t>(); }
    std::optional<std::uint16_t> u16() { return read<std::uint16_t>(); }
    std::optional<std::int16_t> i16() { return read<std::int16_t>(); }
    std::optional<std::uint32_t> u32() { return read<std::uint32_t>(); }
    std::optional<std::int32_t> i32() { return read<std::int32_t>(); }
    std::optional<float> f32() {
        auto bits = read<std::uint32_t>();
        if (!bits) {
            return std::nullopt;
        }
        float value = 0;
        std::memcpy(&value, &*bits, sizeof value);
        return value;
    }

    // The next `count` bytes as a span; nullopt when fewer remain.
    std::optional<std::span<const std::byte>> take(std::size_t count) {
        if (count > remaining()) {
            return std::nullopt;
        }
        auto out = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return out;
    }

    // `count` elements of `elementSize` bytes: fails on overflow or when the
    // bytes are not there, so a huge count never leads to a huge allocation.
    std::optional<std::span<const std::byte>> takeArray(std::size_t count, std::size_t elementSize) {
        if (elementSize != 0 && count > std::numeric_limits<std::size_t>::max() / elementSize) {
            return std::nullopt;
        }
        return take(count * elementSize);
    }

    // A sub-range [offset, offset + length) of the whole span, for fields that
    // give an offset from the start of the record.
    std::optional<ByteReader> range(std::size_t offset, std::size_t length) const {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset) {
            return std::nullopt;
        }
        return ByteReader(m_bytes.subspan(offset, length));
    }

private:
    template <class T>
    std::optional<T> read() {
        if (sizeof(T) > remaining()) {
            return std::nullopt;
        }
        // Little-endian assembly, independent of the host's byte order.
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value |= static_cast<std::uint64_t>(std::to_integer<std::uint8_t>(m_bytes[m_pos + i])) << (8 * i);
        }
        m_pos += sizeof(T);
        return static_cast<T>(value);
    }

    std::span<const std::byte> m_bytes;
    std::size_t m_pos = 0;
};

}  // namespace metafile
