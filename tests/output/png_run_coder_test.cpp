#include "output/png_run_coder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

namespace output {
namespace {

using Bytes = std::vector<unsigned char>;

// The bytes a raw deflate stream inflates to; fails the test when the
// stream is invalid or does not end where it should.
Bytes inflateRaw(const Bytes& stream, std::size_t expected) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    Bytes out(expected + 64);
    Bytes in = stream;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    EXPECT_EQ(result, Z_STREAM_END) << (z.msg ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the last block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

Bytes coded(const Bytes& data, bool last) {
    Bytes out;
    encodeRuns(data.data(), data.size(), last, out);
    return out;
}

std::size_t zlibFastestSize(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    Bytes in = data;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    const std::size_t size = z.total_out;
    deflateEnd(&z);
    return size;
}

// Filtered rows of a page: a filter byte, then mostly zeros with marks of
// a few colours at places that drift from row to row.
Bytes pageLike(std::size_t rowBytes, std::size_t rows) {
    Bytes data;
    for (std::size_t y = 0; y < rows; ++y) {
        data.push_back(2);
        for (std::size_t x = 1; x < rowBytes; ++x) {
            const bool mark = (x + 7 * y) % 97 < 3 || (y % 40 == 0 && x % 5 != 0);
            data.push_back(mark ? static_cast<unsigned char>(1 + (x * 31 + y) % 7 * 36) : 0);
        }
    }
    return data;
}

struct Case {
    const char* label;
    std::function<Bytes()> make;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"one byte", [] { return Bytes{42}; }},
        {"two equal bytes",
         [] {
             return Bytes{7, 7};
         }},
        {"a run of 3",
         [] {
             return Bytes{0, 0, 0, 0};
         }},
        {"runs around the longest copy",
         [] {
             Bytes data;
             for (const std::size_t run :
                  {257u, 258u, 259u, 260u, 261u, 515u, 516u, 517u, 518u, 1u, 2u, 3u}) {
                 data.push_back(static_cast<unsigned char>(data.size() % 251 + 1));
                 data.insert(data.end(), run, static_cast<unsigned char>(run % 256));
             }
             return data;
         }},
        {"every copy length",
         [] {
             Bytes data;
             for (std::size_t run = 1; run <= 300; ++run) {
                 data.push_back(static_cast<unsigned char>(run & 1 ? 0x55 : 0xAA));
                 data.insert(data.end(), run, static_cast<unsigned char>(run & 1 ? 0xAA : 0x55));
             }
             return data;
         }},
        {"every byte value, no runs",
         [] {
             Bytes data;
             for (int i = 0; i < 5000; ++i) data.push_back(static_cast<unsigned char>((i * 167) % 256));
             return data;
         }},
        {"noise",
         [] {
             Bytes data(200000);
             std::uint32_t state = 12345;
             for (auto& byte : data) {
                 state = state * 1664525u + 1013904223u;
                 byte = static_cast<unsigned char>(state >> 24);
             }
             return data;
         }},
        {"a blank page", [] { return Bytes(3 * 1000 * 1000, 0); }},
        {"a page with marks", [] { return pageLike(3 * 1201 + 1, 300); }},
    };
    return all;
}

// Every input comes back byte for byte, as the last block and as a block
// followed by the sync flush's empty stored block; the same input gives the
// same bytes.
TEST(RunCoder, DecodesToItsInput) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.label);
        const Bytes data = c.make();
        const Bytes last = coded(data, true);
        EXPECT_TRUE(inflateRaw(last, data.size()) == data);
        EXPECT_EQ(last[0] & 7, 5) << "the last block, with codes of its own";
        const Bytes flushed = coded(data, false);
        ASSERT_GE(flushed.size(), 5u);
        EXPECT_EQ(flushed[0] & 1, 0) << "not the last block";
        EXPECT_TRUE(Bytes(flushed.end() - 4, flushed.end()) == (Bytes{0x00, 0x00, 0xFF, 0xFF}));
        EXPECT_TRUE(coded(data, true) == last) << "the same input, other bytes";
    }
}

// Pieces coded on their own and joined make one stream of all their bytes:
// no piece looks back into the one before it.
TEST(RunCoder, PiecesJoinIntoOneStream) {
    Bytes joined, expected;
    const auto& all = cases();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Bytes data = all[i].make();
        const Bytes piece = coded(data, i + 1 == all.size());
        joined.insert(joined.end(), piece.begin(), piece.end());
        expected.insert(expected.end(), data.begin(), data.end());
    }
    EXPECT_TRUE(inflateRaw(joined, expected.size()) == expected);
}

// Blank and marked pages code to about what zlib's fastest level makes of
// them; noise grows by at most a few percent.
TEST(RunCoder, SizesStayNearZlibsFastest) {
    for (const Case& c : cases()) {
        const Bytes data = c.make();
        if (data.size() < 100000)
            continue;
        SCOPED_TRACE(c.label);
        const std::size_t ours = coded(data, true).size(), zlib = zlibFastestSize(data);
        EXPECT_LE(ours, zlib + zlib / 4 + 64) << "zlib " << zlib;
        EXPECT_LE(ours, data.size() + data.size() / 32 + 512);
    }
}

}  // namespace
}  // namespace output
