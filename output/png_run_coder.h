#pragma once
// A deflate coder made for filtered image rows, where most bytes repeat the
// byte before them (blank and flat areas filter to runs of zeros). It looks
// for nothing but such runs, coded as copies from one byte back (what zlib's
// run-length strategy finds), and codes the whole input as one block with
// Huffman codes made from its own symbol counts. Inside runs it reads eight
// bytes at a time and writes one symbol for each 258, so on page images it
// is many times faster than zlib at its fastest level, for about the same
// size.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace output {

// Codes `length` bytes of `data` as one deflate block into `out` (resized
// to the bytes written). The block is
// the stream's last when `last` (then padded to a byte); otherwise it is
// followed by an empty stored block, as zlib's sync flush writes it, so the
// output ends on a byte boundary and the next piece of the stream can be
// appended. The first byte is never coded as a copy: the output does not
// depend on what came before it.
void encodeRuns(const unsigned char* data, std::size_t length, bool last, std::vector<unsigned char>& out);

}  // namespace output
