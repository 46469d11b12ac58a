#pragma once
// Image files written a row at a time, top to bottom, for pages too large to
// hold whole: the rows come from the renderer's strips as they are reduced.
// Each writer decodes to the pixels the image library's encoder gives the
// same page with the same options.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace output {

struct RowImage {
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    unsigned density = 0;  // dots per inch, the truncated resolution
    bool interlace = false;
};

class RowWriter {
public:
    virtual ~RowWriter() = default;
    // One row of `columns` pixels, 0x00RRGGBB; rows arrive in order.
    virtual bool writeRow(const std::uint32_t* row) = 0;
    // Completes the file after the last row; an error text on failure.
    virtual std::optional<std::string> finish() = 0;
    // Why the last call failed.
    virtual const std::string& error() const = 0;
};

// A true-colour PNG (8 bits a sample) on the open file `fd`, which stays the
// caller's. An interlaced image keeps its rows in an unnamed file beside
// `scratchFolder` until the passes are written.
std::unique_ptr<RowWriter> openPngRowWriter(int fd, const RowImage& image, const std::string& scratchFolder);

}  // namespace output
