#include "engine/media/RunDeflater.h"

#include <libdeflate.h>

#if defined(__SSE2__)
#define TARNIX_RUNS_SSE2 1
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

// The stream is made in three passes over each band of input: find the runs
// (sixteen positions at a time, from masks of equal bytes), count the symbols
// and build the band's codes, then write the bits. Only distances 1 to 4 are
// used, whose deflate codes carry no extra bits. Every band is written as
// whichever of a Huffman-coded or a stored block is smaller, worked out to the
// bit before anything is written, which bounds the output.

// BitWriter::flush stores its word as it lies in memory, and runLength finds
// the first byte that differs from the lowest bit set: both little-endian.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the run deflater is written for little-endian processors"
#endif

namespace tarnix {

namespace {

// ---- Deflate's alphabets ----

const std::size_t bandBytes = 65535;  // a stored block's most, and the span each set of codes serves
const std::size_t runMinimum = 4;     // shorter runs cost more as a match than their bytes as literals
const int literalLengthSymbols = 286;
const int distanceSymbols = 30;
const int codeLengthSymbols = 19;
const int endOfBlock = 256;
const int longestCode = 15;
const int longestCodeLengthCode = 7;
const unsigned shortestMatch = 3;
const unsigned longestMatch = 258;

// A match length's symbol (257 to 285), and its extra bits: how many and their value.
struct LengthCode {
    std::uint16_t symbol = 0;
    std::uint8_t extraBits = 0;
    std::uint8_t extraValue = 0;
};

const std::array<LengthCode, longestMatch + 1>& lengthCodes() {
    static const std::array<LengthCode, longestMatch + 1> codes = [] {
        static const unsigned base[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const unsigned extra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        std::array<LengthCode, longestMatch + 1> table{};
        for (unsigned index = 0; index < sizeof base / sizeof base[0]; ++index) {
            const unsigned last = index + 1 < sizeof base / sizeof base[0] ? base[index + 1] - 1 : longestMatch;
            for (unsigned length = base[index]; length <= last && length <= longestMatch; ++length)
                table[length] = {static_cast<std::uint16_t>(257 + index), static_cast<std::uint8_t>(extra[index]),
                                 static_cast<std::uint8_t>(length - base[index])};
        }
        return table;
    }();
    return codes;
}

// ---- Finding runs ----

inline std::uint64_t load64(const unsigned char* at) {
    std::uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Bit i set where at[i] equals at[i - distance], for i below min(32, available).
inline std::uint32_t equalBytes(const unsigned char* at, std::size_t distance, std::size_t available) {
#if defined(TARNIX_RUNS_SSE2)
    if (available >= 32) {
        const auto load = [](const unsigned char* from) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        };
        const auto low = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(load(at), load(at - distance))));
        const auto high = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(load(at + 16), load(at + 16 - distance))));
        return low | high << 16;
    }
#endif
    // (at - distance)[i], never at[i - distance]: that index wraps round below
    // zero, an offset past the pointer's range.
    const unsigned char* back = at - distance;
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(32, available); ++i)
        mask |= static_cast<std::uint32_t>(at[i] == back[i]) << i;
    return mask;
}

// Bit i set where a run of at least runMinimum equal bytes starts.
inline std::uint32_t runStarts(std::uint32_t equal) {
    std::uint32_t starts = equal;
    for (std::size_t shift = 1; shift < runMinimum; ++shift)
        starts &= equal >> shift;
    return starts;
}

// How many bytes from `at` (before `end`) repeat those `distance` back.
std::size_t runLength(const unsigned char* at, std::size_t distance, const unsigned char* end) {
    const unsigned char* from = at;
    for (; at + 8 <= end; at += 8) {
        const std::uint64_t differing = load64(at) ^ load64(at - distance);
        if (differing != 0) {
#if defined(__GNUC__)
            // Little-endian: the lowest set bit is in the first byte that differs.
            return static_cast<std::size_t>(at - from) + static_cast<std::size_t>(__builtin_ctzll(differing) / 8);
#else
            break;
#endif
        }
    }
    while (at < end && *at == *(at - distance))
        ++at;
    return static_cast<std::size_t>(at - from);
}

inline unsigned lowestBit(std::uint32_t mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned bit = 0;
    while (!(mask >> bit & 1))
        ++bit;
    return bit;
#endif
}

// ---- Counting ----

// Everything a band's block needs to choose and build its codes.
struct BandCounts {
    std::array<std::uint32_t, literalLengthSymbols> literalLength{};
    std::array<std::uint32_t, distanceSymbols> distance{};
    std::uint64_t extraBits = 0;  // the match lengths'
    std::uint32_t literalTallies[4][256] = {};  // literals, added into literalLength at the band's end
};

// Four tallies in turn, so that a byte repeated does not wait on its own count.
void countLiterals(const unsigned char* bytes, std::size_t count, BandCounts& counts) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        for (std::size_t lane = 0; lane < 4; ++lane)
            ++counts.literalTallies[lane][bytes[i + lane]];
    for (; i < count; ++i)
        ++counts.literalTallies[0][bytes[i]];
}

// Appends a run's matches, none longer than deflate's longest nor shorter
// than its shortest, the first after `literals` literal bytes.
void addRun(std::uint32_t literals, std::size_t length, std::size_t distance, std::vector<RunDeflater::Token>& tokens,
            BandCounts& counts) {
    const auto& codes = lengthCodes();
    while (length > 0) {
        std::size_t piece = std::min<std::size_t>(length, longestMatch);
        if (length - piece > 0 && length - piece < shortestMatch)
            piece = length - shortestMatch;
        tokens.push_back({literals, static_cast<std::uint16_t>(piece), static_cast<std::uint16_t>(distance)});
        ++counts.literalLength[codes[piece].symbol];
        ++counts.distance[distance - 1];
        counts.extraBits += codes[piece].extraBits;
        literals = 0;
        length -= piece;
    }
}

// The runs of bytes [begin, end) of `data` (its `size` bytes all readable),
// at distance 1 and `pixelBytes`, as tokens; the last carries the literals
// left after the last run and no match.
void findRuns(const unsigned char* data, std::size_t size, std::size_t begin, std::size_t end, std::size_t pixelBytes,
              std::vector<RunDeflater::Token>& tokens, BandCounts& counts) {
    const std::size_t distances[2] = {1, pixelBytes};
    const bool pixelRuns = pixelBytes > 1;
    std::size_t literalStart = begin;
    std::size_t at = std::max(begin, pixelBytes);  // every distance reaches back into the data
    while (at < end) {
        const std::size_t inBand = end - at;
        const std::uint32_t bandMask = inBand >= 32 ? ~0u : (1u << inBand) - 1;
        const std::uint32_t startsMask = inBand >= 16 ? 0xFFFFu : (1u << inBand) - 1;
        std::uint32_t starts = runStarts(equalBytes(data + at, 1, size - at) & bandMask);
        if (pixelRuns)
            starts |= runStarts(equalBytes(data + at, pixelBytes, size - at) & bandMask);
        starts &= startsMask;
        if (starts == 0) {
            at += std::min<std::size_t>(16, inBand);
            continue;
        }
        at += lowestBit(starts);
        std::size_t length = 0, distance = 1;
        for (std::size_t candidate : distances) {
            const std::size_t run = runLength(data + at, candidate, data + end);
            if (run > length) {
                length = run;
                distance = candidate;
            }
        }
        assert(length >= runMinimum);
        countLiterals(data + literalStart, at - literalStart, counts);
        addRun(static_cast<std::uint32_t>(at - literalStart), length, distance, tokens, counts);
        at += length;
        literalStart = at;
    }
    countLiterals(data + literalStart, end - literalStart, counts);
    for (const auto& tally : counts.literalTallies)
        for (int byte = 0; byte < 256; ++byte)
            counts.literalLength[byte] += tally[byte];
    tokens.push_back({static_cast<std::uint32_t>(end - literalStart), 0, 0});
    ++counts.literalLength[endOfBlock];
}

// ---- Huffman codes ----

// Code lengths for `count` symbols of the given frequencies, none longer than
// `limit`: a Huffman code, its frequencies halved until it fits. At least two
// symbols get a code (unused ones are given the least weight), so every code
// is complete, as inflaters require.
void buildLengths(const std::uint32_t* frequencies, int count, int limit, std::uint8_t* lengths) {
    assert(count <= literalLengthSymbols);
    // Fixed arrays: this runs three times for every band of every frame.
    std::uint32_t weights[literalLengthSymbols];
    std::copy(frequencies, frequencies + count, weights);
    int used = static_cast<int>(count - std::count(weights, weights + count, 0u));
    for (int symbol = 0; used < 2 && symbol < count; ++symbol)
        if (weights[symbol] == 0) {
            weights[symbol] = 1;
            ++used;
        }
    int symbols[literalLengthSymbols];
    std::uint64_t nodeWeight[2 * literalLengthSymbols];
    int parent[2 * literalLengthSymbols];
    int depth[2 * literalLengthSymbols];
    for (;;) {
        int leaves = 0;
        for (int symbol = 0; symbol < count; ++symbol)
            if (weights[symbol] > 0)
                symbols[leaves++] = symbol;
        std::stable_sort(symbols, symbols + leaves, [&](int a, int b) { return weights[a] < weights[b]; });
        // Leaves in order of weight, then the joined nodes as they are made
        // (already in order of weight): the two lightest of both queues join.
        const int nodes = 2 * leaves - 1;
        for (int i = 0; i < leaves; ++i)
            nodeWeight[i] = weights[symbols[i]];
        int nextLeaf = 0, nextJoined = leaves;
        const auto lightest = [&](int made) {
            if (nextLeaf < leaves && (nextJoined >= made || nodeWeight[nextLeaf] <= nodeWeight[nextJoined]))
                return nextLeaf++;
            return nextJoined++;
        };
        for (int made = leaves; made < nodes; ++made) {
            const int first = lightest(made), second = lightest(made);
            nodeWeight[made] = nodeWeight[first] + nodeWeight[second];
            parent[first] = parent[second] = made;
        }
        // Depths from the root down: a parent is always made after its children.
        int deepest = 0;
        depth[nodes - 1] = 0;
        for (int node = nodes - 1; node-- > 0;) {
            depth[node] = depth[parent[node]] + 1;
            deepest = std::max(deepest, depth[node]);
        }
        if (deepest <= limit) {
            std::fill(lengths, lengths + count, 0);
            for (int i = 0; i < leaves; ++i)
                lengths[symbols[i]] = static_cast<std::uint8_t>(depth[i]);
            return;
        }
        for (int symbol = 0; symbol < count; ++symbol)
            if (weights[symbol] > 0)
                weights[symbol] = weights[symbol] / 2 | 1;
    }
}

// The canonical codes of the lengths, bit-reversed as deflate sends them
// (first bit lowest), each with its length in bits 16 and up.
void buildCodes(const std::uint8_t* lengths, int count, std::uint32_t* codes) {
    std::uint32_t lengthCount[longestCode + 1] = {};
    for (int symbol = 0; symbol < count; ++symbol)
        ++lengthCount[lengths[symbol]];
    lengthCount[0] = 0;
    std::uint32_t next[longestCode + 1] = {};
    for (int bits = 1, code = 0; bits <= longestCode; ++bits) {
        code = (code + static_cast<int>(lengthCount[bits - 1])) << 1;
        next[bits] = static_cast<std::uint32_t>(code);
    }
    for (int symbol = 0; symbol < count; ++symbol) {
        const unsigned bits = lengths[symbol];
        if (bits == 0) {
            codes[symbol] = 0;
            continue;
        }
        std::uint32_t code = next[bits]++, reversed = 0;
        for (unsigned bit = 0; bit < bits; ++bit)
            reversed |= (code >> bit & 1) << (bits - 1 - bit);
        codes[symbol] = reversed | bits << 16;
    }
}

// A band's codes and the code-length header that describes them.
struct BandCodes {
    std::uint8_t literalLengthBits[literalLengthSymbols] = {};
    std::uint8_t distanceBits[distanceSymbols] = {};
    std::uint32_t literalLength[literalLengthSymbols] = {};
    std::uint32_t distance[distanceSymbols] = {};
    int literalLengthCount = 257;  // HLIT + 257
    int distanceCount = 1;         // HDIST + 1
    // The lengths run-length coded: symbols 0 to 18, each with its extra value.
    std::pair<std::uint8_t, std::uint8_t> lengthSymbols[literalLengthSymbols + distanceSymbols];
    int lengthSymbolCount = 0;
    std::uint8_t codeLengthBits[codeLengthSymbols] = {};
    std::uint32_t codeLength[codeLengthSymbols] = {};
    int codeLengthCount = 4;  // HCLEN + 4
};

const std::uint8_t codeLengthOrder[codeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
const unsigned codeLengthExtraBits[codeLengthSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// The lengths of both codes, one sequence as deflate sends them, as symbols
// 0 to 15, 16 (the last length 3 to 6 times more), 17 (3 to 10 zeros) and 18
// (11 to 138 zeros).
void runLengthCode(const std::uint8_t* lengths, int count, BandCodes& codes) {
    codes.lengthSymbolCount = 0;
    const auto add = [&](std::uint8_t symbol, int extra) {
        codes.lengthSymbols[codes.lengthSymbolCount++] = {symbol, static_cast<std::uint8_t>(extra)};
    };
    for (int at = 0; at < count;) {
        const std::uint8_t length = lengths[at];
        int repeat = 1;
        while (at + repeat < count && lengths[at + repeat] == length)
            ++repeat;
        at += repeat;
        if (length == 0) {
            for (; repeat >= 11; repeat -= std::min(repeat, 138))
                add(18, std::min(repeat, 138) - 11);
            for (; repeat >= 3; repeat -= std::min(repeat, 10))
                add(17, std::min(repeat, 10) - 3);
        } else {
            add(length, 0);
            --repeat;
            for (; repeat >= 3; repeat -= std::min(repeat, 6))
                add(16, std::min(repeat, 6) - 3);
        }
        for (; repeat > 0; --repeat)
            add(length, 0);
    }
}

// Builds the codes of a band and returns the bits its Huffman-coded block takes.
std::uint64_t buildBand(const BandCounts& counts, BandCodes& codes) {
    buildLengths(counts.literalLength.data(), literalLengthSymbols, longestCode, codes.literalLengthBits);
    buildLengths(counts.distance.data(), distanceSymbols, longestCode, codes.distanceBits);
    buildCodes(codes.literalLengthBits, literalLengthSymbols, codes.literalLength);
    buildCodes(codes.distanceBits, distanceSymbols, codes.distance);
    codes.literalLengthCount = literalLengthSymbols;
    while (codes.literalLengthBits[codes.literalLengthCount - 1] == 0)
        --codes.literalLengthCount;
    codes.distanceCount = distanceSymbols;
    while (codes.distanceCount > 1 && codes.distanceBits[codes.distanceCount - 1] == 0)
        --codes.distanceCount;

    std::uint8_t lengths[literalLengthSymbols + distanceSymbols];
    std::copy(codes.literalLengthBits, codes.literalLengthBits + codes.literalLengthCount, lengths);
    std::copy(codes.distanceBits, codes.distanceBits + codes.distanceCount, lengths + codes.literalLengthCount);
    runLengthCode(lengths, codes.literalLengthCount + codes.distanceCount, codes);
    std::uint32_t lengthFrequencies[codeLengthSymbols] = {};
    for (int i = 0; i < codes.lengthSymbolCount; ++i)
        ++lengthFrequencies[codes.lengthSymbols[i].first];
    buildLengths(lengthFrequencies, codeLengthSymbols, longestCodeLengthCode, codes.codeLengthBits);
    buildCodes(codes.codeLengthBits, codeLengthSymbols, codes.codeLength);
    codes.codeLengthCount = codeLengthSymbols;
    while (codes.codeLengthBits[codeLengthOrder[codes.codeLengthCount - 1]] == 0)
        --codes.codeLengthCount;

    std::uint64_t bits = 3 + 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(codes.codeLengthCount) + counts.extraBits;
    for (int i = 0; i < codes.lengthSymbolCount; ++i) {
        const int symbol = codes.lengthSymbols[i].first;
        bits += codes.codeLengthBits[symbol] + codeLengthExtraBits[symbol];
    }
    for (int symbol = 0; symbol < literalLengthSymbols; ++symbol)
        bits += std::uint64_t(counts.literalLength[symbol]) * codes.literalLengthBits[symbol];
    for (int symbol = 0; symbol < distanceSymbols; ++symbol)
        bits += std::uint64_t(counts.distance[symbol]) * codes.distanceBits[symbol];
    return bits;
}

// ---- Writing bits ----

// Deflate's bits, first bit lowest, gathered 64 at a time. Each put() adds up
// to 56 bits after a flush(); flush() writes eight bytes whole, so the output
// has eight to spare past what it keeps.
class BitWriter {
public:
    explicit BitWriter(unsigned char* output) : out(output) {}

    void put(std::uint64_t bits, unsigned count) {
        pending |= bits << filled;
        filled += count;
    }
    // A symbol's code as buildCodes keeps it.
    void putCode(std::uint32_t code) { put(code & 0xFFFF, code >> 16); }
    void flush() {
        std::memcpy(out, &pending, sizeof pending);  // little-endian: the first bits first
        out += filled / 8;
        pending = filled >= 8 ? pending >> (filled & ~7u) : pending;
        filled &= 7;
    }
    // Ends the last byte; returns where the next byte goes.
    unsigned char* finish() {
        flush();
        if (filled > 0)
            ++out;
        pending = 0;
        filled = 0;
        return out;
    }
    // Goes on at a byte the caller wrote up to, after finish().
    void resumeAt(unsigned char* next) { out = next; }

private:
    unsigned char* out = nullptr;
    std::uint64_t pending = 0;
    unsigned filled = 0;
};

void writeLiterals(const unsigned char* bytes, std::size_t count, const std::uint32_t* codes, BitWriter& bits) {
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {  // three codes of at most 15 bits fit after a flush
        bits.putCode(codes[bytes[i]]);
        bits.putCode(codes[bytes[i + 1]]);
        bits.putCode(codes[bytes[i + 2]]);
        bits.flush();
    }
    for (; i < count; ++i)
        bits.putCode(codes[bytes[i]]);
    bits.flush();
}

void writeHeader(const BandCodes& codes, bool last, BitWriter& bits) {
    bits.put(last ? 1 : 0, 1);
    bits.put(2, 2);  // Huffman codes of its own
    bits.put(static_cast<std::uint64_t>(codes.literalLengthCount - 257), 5);
    bits.put(static_cast<std::uint64_t>(codes.distanceCount - 1), 5);
    bits.put(static_cast<std::uint64_t>(codes.codeLengthCount - 4), 4);
    bits.flush();
    for (int i = 0; i < codes.codeLengthCount; ++i) {
        bits.put(codes.codeLengthBits[codeLengthOrder[i]], 3);
        bits.flush();
    }
    for (int i = 0; i < codes.lengthSymbolCount; ++i) {
        const auto& symbol = codes.lengthSymbols[i];
        bits.putCode(codes.codeLength[symbol.first]);
        bits.put(symbol.second, codeLengthExtraBits[symbol.first]);
        bits.flush();
    }
}

void writeHuffmanBlock(const unsigned char* band, const std::vector<RunDeflater::Token>& tokens,
                       const BandCodes& codes, bool last, BitWriter& bits) {
    const auto& lengths = lengthCodes();
    writeHeader(codes, last, bits);
    for (const RunDeflater::Token& token : tokens) {
        writeLiterals(band, token.literals, codes.literalLength, bits);
        band += token.literals;
        if (token.length == 0)
            continue;
        const LengthCode& length = lengths[token.length];
        bits.putCode(codes.literalLength[length.symbol]);
        bits.put(length.extraValue, length.extraBits);
        bits.putCode(codes.distance[token.distance - 1]);
        bits.flush();
        band += token.length;
    }
    bits.putCode(codes.literalLength[endOfBlock]);
    bits.flush();
}

void writeStoredBlock(const unsigned char* band, std::size_t length, bool last, BitWriter& bits) {
    bits.put(last ? 1 : 0, 3);  // stored: type 0
    unsigned char* out = bits.finish();
    const unsigned char header[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                                     static_cast<unsigned char>(~length), static_cast<unsigned char>(~length >> 8)};
    std::memcpy(out, header, 4);
    if (length > 0)  // an empty input's band may have no bytes at all to point at
        std::memcpy(out + 4, band, length);
    bits.resumeAt(out + 4 + length);
}

}  // namespace

// ---- The stream ----

std::size_t RunDeflater::bound(std::size_t size) {
    const std::size_t bands = std::max<std::size_t>(1, (size + bandBytes - 1) / bandBytes);
    // A block takes at most its bytes and 42 bits: a stored one's header, and
    // the bits that end the byte before it.
    return 2 + size + (42 * bands + 7) / 8 + 4;
}

void RunDeflater::compress(const unsigned char* data, std::size_t size, int pixelBytes,
                           std::vector<unsigned char>& out) {
    const std::size_t repeat = pixelBytes >= 1 && pixelBytes <= 4 ? static_cast<std::size_t>(pixelBytes) : 1;
    out.resize(bound(size) + sizeof(std::uint64_t));  // flush() writes whole words
    out[0] = 0x78;  // deflate, a 32 KiB window
    out[1] = 0x01;  // the fastest kind of compression; the header's check
    BitWriter bits(out.data() + 2);
    BandCodes codes;
    std::size_t begin = 0;
    do {
        const std::size_t end = std::min(size, begin + bandBytes);
        const bool last = end == size;
        tokens.clear();
        BandCounts counts;
        findRuns(data, size, begin, end, repeat, tokens, counts);
        const std::uint64_t huffmanBits = buildBand(counts, codes);
        const std::uint64_t storedBits = 3 + 7 + 32 + 8 * std::uint64_t(end - begin);
        if (huffmanBits < storedBits)
            writeHuffmanBlock(data + begin, tokens, codes, last, bits);
        else
            writeStoredBlock(data + begin, end - begin, last, bits);
        begin = end;
    } while (begin < size);
    unsigned char* at = bits.finish();
    const std::uint32_t adler = libdeflate_adler32(1, data, size);
    for (int i = 0; i < 4; ++i)
        *at++ = static_cast<unsigned char>(adler >> (24 - 8 * i));
    out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace tarnix
