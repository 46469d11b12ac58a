// The PNG row writer, written for speed. The rows of each pass (the whole
// image, or the seven passes of an interlaced one, taken from the rows as
// they come) are filtered as they come ("up": each byte less the one above,
// which makes blank and repeated rows zeros) and gathered into pieces of a
// fixed number of rows. Each piece is deflated on its own by the run coder
// (runs of a repeated byte only, as zlib's run-length strategy finds them,
// with Huffman codes of the piece's own counts: about zlib level 1's size,
// many times faster), ending on a byte boundary with an empty stored block
// as a sync flush writes it, the stream's last piece with the stream's end.
// Pieces are compressed on several threads and joined, in pass and row
// order, into one zlib stream whose checksum is the pieces' checksums
// combined. A non-interlaced page's pieces go to the file as they are done;
// an interlaced page's wait, compressed, in an unnamed scratch file until
// its passes can be written in order. A piece's bytes depend on its rows
// alone, so the file is the same bytes whatever the number of threads.

#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "output/png_run_coder.h"
#include "output/row_io.h"
#include "output/row_writer.h"
#include "platform/large_pages.h"

namespace output {
namespace {

// Pixels a piece holds before it is compressed: a few MB.
constexpr std::size_t kPiecePixels = 1 << 20;
constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char kFilterUp = 2;

struct Pass {
    std::uint32_t x0, y0, dx, dy;
};
// Adam7: where each pass starts and how far apart its pixels are.
constexpr std::array<Pass, 7> kAdam7 = {
    {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
constexpr Pass kWhole = {0, 0, 1, 1};

std::uint32_t extent(std::uint32_t size, std::uint32_t start, std::uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

void putU32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

// A chunk: length, type, data and the CRC of type and data.
std::vector<unsigned char> chunk(const char (&type)[5], const unsigned char* data, std::size_t length) {
    std::vector<unsigned char> bytes(length + 12);
    putU32(bytes.data(), static_cast<std::uint32_t>(length));
    std::memcpy(bytes.data() + 4, type, 4);
    if (length > 0)
        std::memcpy(bytes.data() + 8, data, length);
    const uLong crc = crc32(crc32(0, nullptr, 0), bytes.data() + 4, static_cast<uInt>(length + 4));
    putU32(bytes.data() + 8 + length, static_cast<std::uint32_t>(crc));
    return bytes;
}

// Pixels 0x00RRGGBB as red, green, blue bytes: each pixel is stored as four
// bytes whose last the next pixel overwrites, so `out` has one byte more
// than the row needs.
void packRow(const std::uint32_t* __restrict in, std::size_t step, std::uint32_t columns,
             unsigned char* __restrict out) {
    for (std::uint32_t x = 0; x < columns; ++x) {
        const std::uint32_t rgb0 = __builtin_bswap32(in[x * step]) >> 8;  // bytes R, G, B, 0
        std::memcpy(out + 3 * std::size_t{x}, &rgb0, 4);
    }
}

// zlib's Adler-32 of `data` continued from `adler`, in blocks the compiler
// can vectorise. In a block of runs of kRun bytes, lane k sums the bytes at
// k of every run, and `before` sums, for each run, the lanes of the runs
// before it: the block's weighted sum follows from those without a multiply
// in the loop. kBlock keeps every sum below 2^32 before it is reduced.
std::uint32_t adler32Of(std::uint32_t adler, const unsigned char* data, std::size_t length) {
    constexpr std::uint32_t kBase = 65521;
    constexpr std::size_t kRun = 16, kBlock = 346 * kRun;  // 5536, at most 5552
    std::uint64_t a = adler & 0xFFFF, b = adler >> 16;
    while (length >= kRun) {
        const std::size_t block = std::min(kBlock, length - length % kRun);
        std::uint32_t lane[kRun] = {}, before[kRun] = {};
        for (std::size_t at = 0; at < block; at += kRun) {
            for (std::size_t k = 0; k < kRun; ++k) {
                before[k] += lane[k];
                lane[k] += data[at + k];
            }
        }
        std::uint64_t sum = 0, earlier = 0, weighted = 0;
        for (std::size_t k = 0; k < kRun; ++k) {
            sum += lane[k];
            earlier += before[k];
            weighted += (kRun - k) * std::uint64_t{lane[k]};
        }
        b = (b + a * block + kRun * earlier + weighted) % kBase;
        a = (a + sum) % kBase;
        data += block;
        length -= block;
    }
    for (std::size_t i = 0; i < length; ++i) {
        a += data[i];
        b += a;
    }
    return static_cast<std::uint32_t>((b % kBase) << 16 | (a % kBase));
}

struct Piece {
    std::uint32_t columns = 0;  // of its pass
    // Its rows as the file holds them: each a filter byte and the pixels
    // packed and filtered.
    std::vector<unsigned char> rgb;
    std::uint32_t rows = 0;
    bool last = false;  // the stream's last
    // Filled by the compression.
    std::vector<unsigned char> deflated;
    uLong adler = 1;
    std::size_t rawLength = 0;
    bool done = false;
};

// Where an interlaced page's compressed piece waits.
struct Kept {
    off_t offset = 0;
    std::size_t length = 0;
    uLong adler = 1;
    std::size_t rawLength = 0;
    bool last = false;
};

// One thread's compressor: codes a piece's filtered rows.
class Deflater {
public:
    void compress(Piece& piece) {
        piece.rawLength = (static_cast<std::size_t>(piece.columns) * 3 + 1) * piece.rows;
        piece.adler = adler32Of(1, piece.rgb.data(), piece.rawLength);
        encodeRuns(piece.rgb.data(), piece.rawLength, piece.last, piece.deflated);
    }
};

// `row` less `above`, byte by byte, into `out`.
void subtract(const unsigned char* __restrict row, const unsigned char* __restrict above,
              unsigned char* __restrict out, std::size_t length) {
    // Blocks of a fixed length, which the compiler turns into vector
    // instructions.
    constexpr std::size_t kBlock = 32;
    std::size_t i = 0;
    for (; i + kBlock <= length; i += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k)
            out[i + k] = static_cast<unsigned char>(row[i + k] - above[i + k]);
    }
    for (; i < length; ++i) out[i] = static_cast<unsigned char>(row[i] - above[i]);
}

// One pass's rows as they are gathered into pieces.
struct PassState {
    Pass pass{};
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    std::uint32_t pieceRows = 1;
    std::uint32_t taken = 0;
    std::unique_ptr<Piece> filling;
    // The pass's row before and the one being taken, packed (with one spare
    // byte), swapped after each row: small enough to stay in the cache.
    std::vector<unsigned char> lastRow;
    std::vector<unsigned char> row;
    std::vector<Kept> kept;  // interlaced: its pieces in order
};

class PngPieceWriter : public RowWriter {
public:
    PngPieceWriter(int fd, const RowImage& image, const std::string& scratchFolder, int threads)
        : m_fd(fd), m_image(image) {
        std::uint32_t pieces = 0;
        const auto passes =
            image.interlace ? std::vector<Pass>(kAdam7.begin(), kAdam7.end()) : std::vector<Pass>{kWhole};
        for (const Pass& pass : passes) {
            PassState state;
            state.pass = pass;
            state.columns = extent(image.columns, pass.x0, pass.dx);
            state.rows = extent(image.rows, pass.y0, pass.dy);
            if (state.columns == 0 || state.rows == 0)
                continue;  // an empty pass has no bytes at all
            state.pieceRows =
                static_cast<std::uint32_t>(std::max<std::size_t>(1, kPiecePixels / state.columns));
            pieces += (state.rows - 1) / state.pieceRows + 1;
            m_pieceBytes = std::max<std::size_t>(
                m_pieceBytes, (std::size_t{state.columns} * 3 + 1) * std::min(state.pieceRows, state.rows));
            m_passes.push_back(std::move(state));
        }
        if (image.interlace) {
            m_scratch = scratchFile(scratchFolder);
            if (m_scratch < 0)
                m_error = std::string("cannot make a scratch file: ") + std::strerror(errno);
        }
        // A thread pays for its start only with a piece's worth of pixels
        // of its own: a small page is compressed here.
        const std::uint64_t pixels = std::uint64_t{image.columns} * image.rows;
        const auto fullPieces =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(pixels / kPiecePixels, pieces));
        const int workers = static_cast<int>(
            std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(threads, 1)), fullPieces));
        m_window = static_cast<std::size_t>(std::max(workers, 1)) + 1;
        if (workers > 1 && m_error.empty()) {
            for (int t = 0; t < workers; ++t) m_workers.emplace_back([this] { work(); });
        }
    }

    ~PngPieceWriter() override {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (auto& worker : m_workers) worker.join();
        if (m_scratch >= 0)
            ::close(m_scratch);
    }

    bool writeRow(const std::uint32_t* row) override { return writeRows(row, 1, m_image.columns); }

    bool writeRows(const std::uint32_t* rows, std::uint32_t count, std::size_t stride) override {
        if (!m_error.empty())
            return false;
        if (count > m_image.rows - m_taken)
            return fail("more rows than the image has");
        for (std::uint32_t y = 0; y < count; ++y, ++m_taken) {
            for (std::size_t p = 0; p < m_passes.size(); ++p) {
                PassState& state = m_passes[p];
                if (m_taken % state.pass.dy == state.pass.y0 && !take(p, rows + y * stride))
                    return false;
            }
        }
        return true;
    }

    std::optional<std::string> finish() override {
        if (!m_error.empty())
            return m_error;
        if (m_taken != m_image.rows)
            return fail("the page ended early"), m_error;
        while (!m_queue.empty()) {
            if (!emitOldest())
                return m_error;
        }
        if (m_image.interlace && !writeKept())
            return m_error;
        if (!begin() || !put(chunk("IEND", nullptr, 0)))
            return m_error;
        return std::nullopt;
    }

    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::string& text) {
        if (m_error.empty())
            m_error = text;
        return false;
    }

    bool put(const std::vector<unsigned char>& bytes) {
        if (const int error = writeAll(m_fd, bytes.data(), bytes.size()))
            return fail(std::strerror(error));
        return true;
    }

    // The row's pixels of pass `p` join that pass's piece.
    bool take(std::size_t p, const std::uint32_t* row) {
        PassState& state = m_passes[p];
        const std::size_t packed = static_cast<std::size_t>(state.columns) * 3;
        if (!state.filling) {
            state.filling = newPiece();
            Piece& piece = *state.filling;
            piece.columns = state.columns;
            // Every piece's buffer holds the largest piece of any pass, so
            // that it is made once and never grows; a small page's pieces
            // are no larger than its largest pass.
            if (piece.rgb.size() < m_pieceBytes) {
                piece.rgb = std::vector<unsigned char>();
                platform::resizeLarge(piece.rgb, m_pieceBytes);
            }
        }
        Piece& piece = *state.filling;
        unsigned char* const out = piece.rgb.data() + piece.rows * (packed + 1);
        out[0] = kFilterUp;
        // Packed beside, then filtered into the piece: above a pass's first
        // row are zeros, so that row goes in as it is.
        state.row.resize(packed + 1);
        packRow(row + state.pass.x0, state.pass.dx, state.columns, state.row.data());
        if (state.taken == 0) {
            std::memcpy(out + 1, state.row.data(), packed);
        } else {
            subtract(state.row.data(), state.lastRow.data(), out + 1, packed);
        }
        std::swap(state.row, state.lastRow);
        ++piece.rows;
        ++state.taken;
        if (piece.rows < state.pieceRows && state.taken < state.rows)
            return true;
        piece.last = state.taken == state.rows && p + 1 == m_passes.size();
        m_order.push_back(p);
        return submit(std::move(state.filling));
    }

    // A piece to fill: one written earlier, its buffers kept, or a new one.
    std::unique_ptr<Piece> newPiece() {
        if (m_free.empty())
            return std::make_unique<Piece>();
        std::unique_ptr<Piece> piece = std::move(m_free.back());
        m_free.pop_back();
        piece->rows = 0;
        piece->last = piece->done = false;
        return piece;
    }

    bool begin() {
        if (m_begun)
            return true;
        m_begun = true;
        std::vector<unsigned char> head(kSignature, kSignature + sizeof kSignature);
        unsigned char header[13] = {};
        putU32(header, m_image.columns);
        putU32(header + 4, m_image.rows);
        header[8] = 8;                           // bits a sample
        header[9] = 2;                           // RGB
        header[12] = m_image.interlace ? 1 : 0;  // Adam7
        const auto ihdr = chunk("IHDR", header, sizeof header);
        head.insert(head.end(), ihdr.begin(), ihdr.end());
        // pixels a metre: dots per inch / 0.0254, rounded
        const auto perMetre = static_cast<std::uint32_t>(m_image.density * 100.0 / 2.54 + 0.5);
        unsigned char physical[9] = {};
        putU32(physical, perMetre);
        putU32(physical + 4, perMetre);
        physical[8] = 1;  // the unit is the metre
        const auto phys = chunk("pHYs", physical, sizeof physical);
        head.insert(head.end(), phys.begin(), phys.end());
        return put(head);
    }

    // Hands a full piece on; with no threads it is compressed here.
    bool submit(std::unique_ptr<Piece> piece) {
        if (m_workers.empty()) {
            m_deflater.compress(*piece);
            piece->done = true;
            m_queue.push_back(std::move(piece));
            return emitOldest();
        }
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(piece));
            m_pending.push_back(m_queue.back().get());
        }
        m_changed.notify_all();
        while (m_queue.size() >= m_window) {
            if (!emitOldest())
                return false;
        }
        return true;
    }

    void work() {
        Deflater deflater;
        while (true) {
            Piece* piece = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stop || !m_pending.empty(); });
                if (m_stop)
                    return;
                piece = m_pending.front();
                m_pending.pop_front();
            }
            deflater.compress(*piece);
            {
                std::lock_guard lock(m_mutex);
                piece->done = true;
            }
            m_changed.notify_all();
        }
    }

    // Waits for the oldest piece given out: a non-interlaced page's is
    // written at once, an interlaced page's kept for its pass.
    bool emitOldest() {
        std::unique_ptr<Piece> piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_queue.front()->done; });
            piece = std::move(m_queue.front());
            m_queue.pop_front();
        }
        const std::size_t pass = m_order.front();
        m_order.pop_front();
        Piece& done = *piece;
        m_free.push_back(std::move(piece));
        if (!m_image.interlace)
            return writePiece(done.deflated, done.adler, done.rawLength, done.last);
        Kept kept{m_scratchLength, done.deflated.size(), done.adler, done.rawLength, done.last};
        if (const int error =
                writeAllAt(m_scratch, done.deflated.data(), done.deflated.size(), m_scratchLength))
            return fail(std::string("cannot keep the compressed rows: ") + std::strerror(error));
        m_scratchLength += static_cast<off_t>(kept.length);
        m_passes[pass].kept.push_back(kept);
        return true;
    }

    // One piece as an IDAT chunk, the stream's header before the first and
    // its checksum after the last.
    bool writePiece(const std::vector<unsigned char>& deflated, uLong adler, std::size_t rawLength,
                    bool last) {
        if (!begin())
            return false;
        std::vector<unsigned char> data;
        data.reserve(deflated.size() + 6);
        if (m_first) {
            // zlib's header: deflate with a 32 KB window, the fastest level.
            data.push_back(0x78);
            data.push_back(0x01);
            m_first = false;
        }
        data.insert(data.end(), deflated.begin(), deflated.end());
        m_adler = adler32_combine(m_adler, adler, static_cast<z_off_t>(rawLength));
        if (last) {
            unsigned char trailer[4];
            putU32(trailer, static_cast<std::uint32_t>(m_adler));
            data.insert(data.end(), trailer, trailer + 4);
        }
        return put(chunk("IDAT", data.data(), data.size()));
    }

    // An interlaced page's pieces, pass after pass.
    bool writeKept() {
        std::vector<unsigned char> bytes;
        for (const PassState& state : m_passes) {
            for (const Kept& kept : state.kept) {
                bytes.resize(kept.length);
                if (const int error = readAllAt(m_scratch, bytes.data(), kept.length, kept.offset))
                    return fail(std::string("cannot read the compressed rows back: ") + std::strerror(error));
                if (!writePiece(bytes, kept.adler, kept.rawLength, kept.last))
                    return false;
            }
        }
        return true;
    }

    int m_fd;
    RowImage m_image;
    std::vector<PassState> m_passes;
    std::size_t m_window = 2;      // pieces given out and not yet written
    std::size_t m_pieceBytes = 0;  // the filtered rows of the largest piece
    std::uint32_t m_taken = 0;
    Deflater m_deflater;              // without threads
    std::deque<std::size_t> m_order;  // the pass of each piece in m_queue
    int m_scratch = -1;
    off_t m_scratchLength = 0;
    bool m_begun = false;
    bool m_first = true;
    uLong m_adler = 1;
    std::string m_error;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<Piece>> m_free;  // written, to be filled again
    std::deque<std::unique_ptr<Piece>> m_queue;  // in the order given out, the oldest first
    std::deque<Piece*> m_pending;                // not yet taken by a thread
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

}  // namespace

std::unique_ptr<RowWriter> openPngRowWriter(int fd, const RowImage& image, const std::string& scratchFolder,
                                            int threads) {
    return std::make_unique<PngPieceWriter>(fd, image, scratchFolder, threads);
}

}  // namespace output
