#include "engine/media/RunDeflater.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// What zlib makes of a stream: the bytes, or nothing if it rejects it.
std::vector<unsigned char> inflated(const std::vector<unsigned char>& stream, std::size_t expectedSize) {
    std::vector<unsigned char> bytes(expectedSize + 1);
    uLongf length = static_cast<uLongf>(bytes.size());
    if (uncompress(bytes.data(), &length, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
        return {};
    bytes.resize(length);
    return bytes;
}

std::vector<unsigned char> noise(std::size_t size, std::uint32_t seed) {
    std::vector<unsigned char> bytes(size);
    for (auto& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}

// Runs of every kind in turn: zeros, a repeated pixel, noise with a few
// small differences, each stretch `stretch` bytes long.
std::vector<unsigned char> frameLike(std::size_t size, std::size_t stretch, int pixelBytes) {
    std::vector<unsigned char> bytes = noise(size, 7);
    for (std::size_t at = 0; at < size; ++at) {
        const std::size_t kind = at / stretch % 3;
        if (kind == 0)
            bytes[at] = 0;
        else if (kind == 1)
            bytes[at] = static_cast<unsigned char>(40 + at % pixelBytes * 70);
        else
            bytes[at] &= 3;
    }
    return bytes;
}

// Small differences (which a Huffman code holds) but for a run of zeros that
// starts `before` bytes before the first band's end and goes on into the second.
std::vector<unsigned char> runAcrossBands(std::size_t before) {
    std::vector<unsigned char> bytes = noise(65535 + 100, 3);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char>(1 + (byte & 7));
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(65535 - before), bytes.begin() + 65535 + 20, 0);
    return bytes;
}

// Bytes 1 to 16, byte k + 2 as often as k and k + 1 together and once more
// (1, 2, 4, 7, 12, ...), never two alike in a row: no runs, and literals whose
// best Huffman code (with the end of the block) is 16 bits deep, one more than
// deflate allows.
std::vector<unsigned char> skewedLiterals() {
    std::vector<std::size_t> left(17, 0);
    left[1] = 1;
    left[2] = 2;
    for (std::size_t symbol = 3; symbol <= 16; ++symbol)
        left[symbol] = left[symbol - 1] + left[symbol - 2] + 1;
    std::vector<unsigned char> bytes;
    for (int last = 0;;) {
        int most = 0;
        for (int symbol = 1; symbol <= 16; ++symbol)
            if (symbol != last && left[symbol] > left[most])
                most = symbol;
        if (most == 0)
            return bytes;
        bytes.push_back(static_cast<unsigned char>(most));
        --left[most];
        last = most;
    }
}

}  // namespace

// Every stream must inflate to its input and stay within the bound, across
// the cases where a run is cut: runs past deflate's longest match by 1 and 2
// bytes, runs across the end of a band (65535 bytes), inputs a byte either
// side of a band, noise that only a stored block holds, pixels of 3 and 4
// bytes, and literals too skewed for a code of 15 bits unless it is limited. A deflater used for other inputs in between must give the same bytes.
TEST(RunDeflaterTest, StreamsInflateToTheirInputWithinTheBound) {
    struct Case {
        std::string name;
        std::vector<unsigned char> bytes;
        int pixelBytes;
    };
    std::vector<Case> cases = {
        {"nothing", {}, 3},
        {"one byte", {42}, 3},
        {"a run of 259", std::vector<unsigned char>(262, 9), 3},  // runs start 3 bytes in
        {"a run of 260", std::vector<unsigned char>(263, 9), 3},
        {"a run from two bytes before a band's end", runAcrossBands(2), 3},
        {"a run from three bytes before a band's end", runAcrossBands(3), 3},
        {"zeros over three bands", std::vector<unsigned char>(3 * 65535 + 100, 0), 3},
        {"a band exactly", frameLike(65535, 500, 3), 3},
        {"a band and a byte", frameLike(65536, 500, 3), 3},
        {"noise", noise(200000, 1), 3},
        {"a frame's worth, RGB", frameLike(640 * 480 * 3 + 480, 1921, 3), 3},
        {"a frame's worth, RGBA", frameLike(301 * 37 * 4 + 37, 1205, 4), 4},
        {"bytes only", frameLike(10000, 333, 3), 0},
        {"literals whose codes must be cut to 15 bits", skewedLiterals(), 0},
    };
    tarnix::RunDeflater deflater;
    std::vector<std::vector<unsigned char>> firstStreams;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t index = 0; index < cases.size(); ++index) {
            const Case& input = cases[index];
            SCOPED_TRACE(input.name);
            std::vector<unsigned char> stream;
            deflater.compress(input.bytes.data(), input.bytes.size(), input.pixelBytes, stream);
            EXPECT_LE(stream.size(), tarnix::RunDeflater::bound(input.bytes.size()));
            if (pass == 0) {
                EXPECT_TRUE(inflated(stream, input.bytes.size()) == input.bytes);
                firstStreams.push_back(stream);
            } else {
                EXPECT_TRUE(stream == firstStreams[index]);
            }
        }
    // The runs are what it is for: a frame that is mostly runs shrinks to a
    // small part of itself, and long runs to almost nothing.
    const auto streamOf = [&](const std::string& name) {
        for (std::size_t index = 0; index < cases.size(); ++index)
            if (cases[index].name == name)
                return std::make_pair(cases[index].bytes.size(), firstStreams[index].size());
        return std::make_pair(std::size_t(0), std::size_t(0));
    };
    EXPECT_LT(streamOf("a frame's worth, RGB").second, streamOf("a frame's worth, RGB").first / 4);
    EXPECT_LT(streamOf("zeros over three bands").second, 2000u);
}
