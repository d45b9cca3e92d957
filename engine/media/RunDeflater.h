#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnix {

// A zlib stream (RFC 1950 around deflate, RFC 1951) made for a capture's
// filtered frames at the least processor time: the only repeats it looks for
// are runs, a byte or a pixel repeated, and each band of input gets its own
// Huffman codes. Rendered frames filtered by the row above are mostly such
// runs and small differences, so the files stay near a general compressor's
// at its fastest level for a fraction of its time. The same input always gives
// the same bytes. One deflater per thread: it keeps its list of runs from call
// to call, so inputs of one size allocate nothing after the first.
class RunDeflater {
public:
    // The most bytes compress() writes for `size` bytes of input: stored
    // (uncompressed) blocks and the stream's six bytes of framing.
    static std::size_t bound(std::size_t size);

    // Compresses `size` bytes into `out`, resized to the stream's length.
    // `pixelBytes` (1 to 4) is the distance of a repeated pixel; other values
    // look for repeated bytes only.
    void compress(const unsigned char* data, std::size_t size, int pixelBytes, std::vector<unsigned char>& out);

    // A run broken into deflate's matches: how many literal bytes come first
    // (from where the previous token ended), then a match of `length` bytes
    // (3 to 258, or 0 for none) at `distance` (1 to 4) back.
    struct Token {
        std::uint32_t literals = 0;
        std::uint16_t length = 0;
        std::uint16_t distance = 0;
    };

private:
    std::vector<Token> tokens;
};

}  // namespace tarnix
