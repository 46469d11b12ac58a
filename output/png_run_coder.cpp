#include "output/png_run_coder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <queue>
#include <utility>

namespace output {
namespace {

constexpr int kSymbols = 286;  // literals 0-255, end of block 256, lengths 257-285
constexpr int kEndOfBlock = 256;
constexpr int kLongest = 258;  // symbol 285
constexpr int kMaxCodeLength = 15;
constexpr int kMaxLengthCodeLength = 7;
constexpr int kLengthCodes = 19;

// Where each length code starts and its extra bits (RFC 1951, 3.2.5).
constexpr std::array<unsigned short, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                        15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                        67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<unsigned char, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which the code lengths' own code lengths are sent.
constexpr std::array<unsigned char, kLengthCodes> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                            11, 4,  12, 3, 13, 2, 14, 1, 15};

// For each copy length 3-258: its symbol and the value of its extra bits.
struct LengthCode {
    std::array<unsigned short, kLongest + 1> symbol{};
    std::array<unsigned short, kLongest + 1> extra{};
    LengthCode() {
        for (int length = 3; length <= kLongest; ++length) {
            std::size_t index = 28;
            if (length < kLongest) {
                index = 0;
                while (index + 1 < 28 && kLengthBase[index + 1] <= length) ++index;
            }
            symbol[static_cast<std::size_t>(length)] = static_cast<unsigned short>(257 + index);
            extra[static_cast<std::size_t>(length)] =
                static_cast<unsigned short>(length - kLengthBase[index]);
        }
    }
};

const LengthCode& lengthCode() {
    static const LengthCode table;
    return table;
}

// Huffman code lengths for `counts`, none longer than `limit`: when the
// tree is too deep the counts are halved (keeping every used symbol) and it
// is built again. Ties go to the lower symbol, so equal counts give equal
// codes. Needs at least two counts above zero.
template <std::size_t N>
std::array<unsigned char, N> huffmanLengths(std::array<std::uint32_t, N> counts, int limit) {
    while (true) {
        using Node = std::pair<std::uint64_t, int>;  // weight, node
        std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
        std::vector<int> parent;
        parent.reserve(2 * N);
        for (std::size_t symbol = 0; symbol < N; ++symbol) {
            parent.push_back(-1);
            if (counts[symbol] > 0)
                queue.emplace(counts[symbol], static_cast<int>(symbol));
        }
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            const int joined = static_cast<int>(parent.size());
            parent.push_back(-1);
            parent[static_cast<std::size_t>(a.second)] = joined;
            parent[static_cast<std::size_t>(b.second)] = joined;
            queue.emplace(a.first + b.first, joined);
        }
        std::array<unsigned char, N> lengths{};
        int deepest = 0;
        for (std::size_t symbol = 0; symbol < N; ++symbol) {
            if (counts[symbol] == 0)
                continue;
            int depth = 0;
            for (int node = static_cast<int>(symbol); parent[static_cast<std::size_t>(node)] >= 0;
                 node = parent[static_cast<std::size_t>(node)])
                ++depth;
            lengths[symbol] = static_cast<unsigned char>(depth);
            deepest = std::max(deepest, depth);
        }
        if (deepest <= limit)
            return lengths;
        for (auto& count : counts) count = count > 0 ? (count >> 1) | 1 : 0;
    }
}

// Canonical codes for `lengths` (RFC 1951, 3.2.2), bit-reversed: deflate
// sends a Huffman code from its first bit, and the writer fills bytes from
// their lowest bit.
template <std::size_t N>
std::array<unsigned short, N> canonicalCodes(const std::array<unsigned char, N>& lengths) {
    std::array<int, kMaxCodeLength + 1> count{};
    for (const unsigned char length : lengths) ++count[length];
    count[0] = 0;
    std::array<int, kMaxCodeLength + 1> next{};
    int code = 0;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<unsigned short, N> codes{};
    for (std::size_t symbol = 0; symbol < N; ++symbol) {
        const int length = lengths[symbol];
        if (length == 0)
            continue;
        const int value = next[length]++;
        int reversed = 0;
        for (int bit = 0; bit < length; ++bit) reversed |= ((value >> bit) & 1) << (length - 1 - bit);
        codes[symbol] = static_cast<unsigned short>(reversed);
    }
    return codes;
}

// The bytes from `data` equal to `value`, at most `limit`.
std::size_t runOf(const unsigned char* data, std::size_t limit, unsigned char value) {
    const std::uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t n = 0;
    while (n + 8 <= limit) {
        std::uint64_t word;
        std::memcpy(&word, data + n, 8);
        if (const std::uint64_t differ = word ^ pattern; differ != 0) {
            // The first differing byte: the lowest in memory order.
            const int bit =
                __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? __builtin_ctzll(differ) : __builtin_clzll(differ);
            return n + static_cast<std::size_t>(bit / 8);
        }
        n += 8;
    }
    while (n < limit && data[n] == value) ++n;
    return n;
}

// The input as deflate's symbols: each byte a literal, except a byte that
// repeats the one before it, which starts a copy from one byte back of the
// whole run (in pieces of 258; a remainder under 3 as literals). `sink`
// takes literal(byte) and copy(length).
template <typename Sink>
void parse(const unsigned char* data, std::size_t length, Sink& sink) {
    std::size_t i = 0;
    while (i < length) {
        const unsigned char value = data[i];
        if (i == 0 || value != data[i - 1]) {
            sink.literal(value);
            ++i;
            continue;
        }
        std::size_t run = runOf(data + i, length - i, value);
        i += run;
        for (; run >= kLongest; run -= kLongest) sink.copy(kLongest);
        if (run >= 3) {
            sink.copy(static_cast<int>(run));
        } else {
            for (; run > 0; --run) sink.literal(value);
        }
    }
}

struct Counter {
    std::array<std::uint32_t, kSymbols> counts{};
    const LengthCode& lengths = lengthCode();
    void literal(unsigned char byte) { ++counts[byte]; }
    void copy(int length) { ++counts[lengths.symbol[static_cast<std::size_t>(length)]]; }
};

// Bits into bytes, lowest bit first.
class BitWriter {
public:
    explicit BitWriter(unsigned char* out) : m_out(out), m_start(out) {}

    void put(std::uint64_t value, int count) {
        m_bits |= value << m_count;
        m_count += count;
        if (m_count >= 32) {
            const auto word = static_cast<std::uint32_t>(m_bits);
            const unsigned char bytes[4] = {
                static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
                static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
            std::memcpy(m_out, bytes, 4);
            m_out += 4;
            m_bits >>= 32;
            m_count -= 32;
        }
    }
    // Pads with zero bits to the next byte and writes what is held.
    void align() {
        while (m_count > 0) {
            *m_out++ = static_cast<unsigned char>(m_bits);
            m_bits >>= 8;
            m_count = m_count > 8 ? m_count - 8 : 0;
        }
        m_bits = 0;
    }
    void byte(unsigned char value) { *m_out++ = value; }
    std::size_t written() const { return static_cast<std::size_t>(m_out - m_start); }

private:
    unsigned char* m_out;
    unsigned char* m_start;
    std::uint64_t m_bits = 0;
    int m_count = 0;  // bits held, below 32 between calls
};

struct Emitter {
    BitWriter& bits;
    const std::array<unsigned short, kSymbols>& codes;
    const std::array<unsigned char, kSymbols>& lengths;
    const LengthCode& table = lengthCode();
    void literal(unsigned char byte) { bits.put(codes[byte], lengths[byte]); }
    void copy(int length) {
        const auto at = static_cast<std::size_t>(length);
        const std::size_t symbol = table.symbol[at];
        bits.put(codes[symbol], lengths[symbol]);
        bits.put(table.extra[at], kLengthExtra[symbol - 257]);
        bits.put(0, 1);  // the one distance code: one byte back
    }
};

}  // namespace

void encodeRuns(const unsigned char* data, std::size_t length, bool last, std::vector<unsigned char>& out) {
    Counter counter;
    parse(data, length, counter);
    auto& counts = counter.counts;
    counts[kEndOfBlock] = 1;
    if (length == 0)
        counts[0] = 1;  // a code needs two symbols
    const auto lengths = huffmanLengths(counts, kMaxCodeLength);
    const auto codes = canonicalCodes(lengths);

    // The code lengths (0 for unused symbols, then the one distance code's
    // 1), themselves Huffman-coded.
    std::array<std::uint32_t, kLengthCodes> lengthCounts{};
    for (const unsigned char l : lengths) ++lengthCounts[l];
    ++lengthCounts[1];
    if (std::count_if(lengthCounts.begin(), lengthCounts.end(), [](std::uint32_t c) { return c > 0; }) < 2)
        ++lengthCounts[lengthCounts[0] > 0 ? 1 : 0];  // a code needs two symbols
    const auto lengthLengths = huffmanLengths(lengthCounts, kMaxLengthCodeLength);
    const auto lengthCodes = canonicalCodes(lengthLengths);
    int sent = kLengthCodes;
    while (sent > 4 && lengthLengths[kOrder[static_cast<std::size_t>(sent) - 1]] == 0) --sent;

    // The size follows from the counts: the header, each symbol's code and
    // extra bits, a distance bit for each copy, the end and the flush.
    std::uint64_t bitCount = 3 + 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(sent);
    for (const unsigned char l : lengths) bitCount += lengthLengths[l];
    bitCount += lengthLengths[1];
    for (std::size_t symbol = 0; symbol < kSymbols; ++symbol) {
        std::uint64_t each = lengths[symbol];
        if (symbol > kEndOfBlock)
            each += kLengthExtra[symbol - 257] + 1;
        bitCount += counts[symbol] * each;
    }
    out.resize(static_cast<std::size_t>(bitCount / 8) + 16);

    BitWriter bits(out.data());
    bits.put(last ? 1 : 0, 1);
    bits.put(2, 2);               // a block with its own codes
    bits.put(kSymbols - 257, 5);  // literal and length codes sent
    bits.put(0, 5);               // one distance code
    bits.put(static_cast<std::uint64_t>(sent - 4), 4);
    for (int i = 0; i < sent; ++i) bits.put(lengthLengths[kOrder[static_cast<std::size_t>(i)]], 3);
    for (const unsigned char l : lengths) bits.put(lengthCodes[l], lengthLengths[l]);
    bits.put(lengthCodes[1], lengthLengths[1]);  // the distance code is 1 bit long

    Emitter emitter{bits, codes, lengths};
    parse(data, length, emitter);
    bits.put(codes[kEndOfBlock], lengths[kEndOfBlock]);
    if (!last) {
        bits.put(0, 3);  // an empty stored block
        bits.align();
        for (const unsigned char byte : {0x00, 0x00, 0xFF, 0xFF}) bits.byte(byte);
    } else {
        bits.align();
    }
    out.resize(bits.written());
}

}  // namespace output
