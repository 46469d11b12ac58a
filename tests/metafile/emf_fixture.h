#pragma once
// Builds EMF bytes by hand for reader and player tests: a header with a
// chosen frame and device, then records given as 32-bit words.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "metafile/emf_records.h"

namespace metafile::testing {

class EmfBytes {
public:
    // frame in 0.01 mm; the device: 1000 x 1000 pixels on 254 x 254 mm
    // (100 pixels an inch) unless given.
    explicit EmfBytes(std::int32_t frameRight = 25400, std::int32_t frameBottom = 25400,
                      std::int32_t devicePx = 1000, std::int32_t deviceMm = 254) {
        words({emf::EMR_HEADER,
               88,
               0,
               0,
               0,
               0,
               0,
               0,
               static_cast<std::uint32_t>(frameRight),
               static_cast<std::uint32_t>(frameBottom),
               emf::kEmfSignature,
               0x10000,
               0,
               0,
               8,
               0,
               0,
               0,
               static_cast<std::uint32_t>(devicePx),
               static_cast<std::uint32_t>(devicePx),
               static_cast<std::uint32_t>(deviceMm),
               static_cast<std::uint32_t>(deviceMm)});
        // nHandles (u16) shares a word with sReserved: 8 handles.
    }
    // A record: type, then its parameters; the size is filled in.
    EmfBytes& record(std::uint32_t type, std::initializer_list<std::uint32_t> params) {
        words({type, static_cast<std::uint32_t>(8 + 4 * params.size())});
        words(params);
        return *this;
    }
    EmfBytes& raw(std::initializer_list<std::uint32_t> w) {
        words(w);
        return *this;
    }
    std::vector<std::byte> bytes(bool withEof = true) {
        std::vector<std::byte> out = m_bytes;
        if (withEof) {
            for (std::uint32_t w : {std::uint32_t{emf::EMR_EOF}, 20u, 0u, 16u, 20u}) append(out, w);
        }
        // nBytes and nRecords in the header.
        put(out, 48, static_cast<std::uint32_t>(out.size()));
        return out;
    }

private:
    static void append(std::vector<std::byte>& out, std::uint32_t w) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>((w >> (8 * i)) & 0xFF));
    }
    static void put(std::vector<std::byte>& out, std::size_t at, std::uint32_t w) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<std::size_t>(i)] = static_cast<std::byte>((w >> (8 * i)) & 0xFF);
    }
    void words(std::initializer_list<std::uint32_t> w) {
        for (auto v : w) append(m_bytes, v);
    }
    std::vector<std::byte> m_bytes;
};

inline std::uint32_t u(std::int32_t v) {
    return static_cast<std::uint32_t>(v);
}

}  // namespace metafile::testing
