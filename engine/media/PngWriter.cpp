#include "engine/media/PngWriter.h"

#include "engine/media/RunDeflater.h"
#include "engine/platform/Platform.h"

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#if defined(__SSE2__) && defined(__x86_64__)
#define TARNIX_PNG_SSE2 1
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// Captures write thousands of frames, so the writer does the costly part of
// libpng's work itself: the adaptive choice of a filter for each row, four
// candidate rows at once with SIMD, and the PNG chunks around zlib's stream.
// Everything that decides a byte follows libpng's defaults exactly (the
// choice and its ties, zlib's settings, the 8 KiB IDAT chunks), so the files
// are byte for byte the ones libpng writes; a test holds the two together.
// Pictures of 16 KiB of filtered data or less go through libpng itself, which
// shrinks zlib's window and patches the stream header for them.
// A capture's frames take a cheaper way of their own (FramePngWriter).

namespace tarnix {

namespace {

// ---- Adaptive filter choice ----

enum FilterType { filterNone = 0, filterSub, filterUp, filterAverage, filterPaeth, filterTypes };

const std::size_t smallestStreamedImage = 16385;  // filtered bytes; smaller ones are libpng's
const std::size_t idatChunkBytes = 8192;           // libpng's default zlib buffer, one IDAT each
const int zlibWindowBits = 15;
const int zlibMemoryLevel = 8;

// A filtered byte's weight in libpng's choice: its distance from zero read as
// a signed byte.
inline unsigned magnitude(unsigned value) {
    return value < 128 ? value : 256 - value;
}

inline int paethPredictor(int left, int above, int aboveLeft) {
    const int distanceLeft = above > aboveLeft ? above - aboveLeft : aboveLeft - above;
    const int distanceAbove = left > aboveLeft ? left - aboveLeft : aboveLeft - left;
    const int total = left + above - 2 * aboveLeft;
    const int distanceAboveLeft = total < 0 ? -total : total;
    if (distanceLeft <= distanceAbove && distanceLeft <= distanceAboveLeft)
        return left;
    return distanceAbove <= distanceAboveLeft ? above : aboveLeft;
}

// One row's four filtered candidates (Sub, Up, Average, Paeth at [type - 1])
// and every type's weight.
struct RowCandidates {
    explicit RowCandidates(std::size_t rowBytes) {
        for (auto& row : filtered)
            row.resize(rowBytes);
    }
    std::array<std::vector<unsigned char>, filterTypes - 1> filtered;
    std::array<std::uint64_t, filterTypes> weight{};
};

// Bytes [from, to) of a row, one at a time; bytes before `bytesPerPixel`
// have no left neighbour, which counts as zero.
void filterBytes(const unsigned char* raw, const unsigned char* prior, std::size_t bytesPerPixel, std::size_t from,
                 std::size_t to, RowCandidates& rows) {
    for (std::size_t i = from; i < to; ++i) {
        const int left = i >= bytesPerPixel ? raw[i - bytesPerPixel] : 0;
        const int aboveLeft = i >= bytesPerPixel ? prior[i - bytesPerPixel] : 0;
        const int above = prior[i];
        const unsigned char values[filterTypes] = {
            raw[i],
            static_cast<unsigned char>(raw[i] - left),
            static_cast<unsigned char>(raw[i] - above),
            static_cast<unsigned char>(raw[i] - ((left + above) >> 1)),
            static_cast<unsigned char>(raw[i] - paethPredictor(left, above, aboveLeft)),
        };
        rows.weight[filterNone] += magnitude(values[filterNone]);
        for (int type = filterSub; type < filterTypes; ++type) {
            rows.filtered[type - 1][i] = values[type];
            rows.weight[type] += magnitude(values[type]);
        }
    }
}

#if defined(TARNIX_PNG_SSE2)

inline __m128i absolute16(__m128i value) {
    return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

// Paeth's prediction for eight pixels' bytes widened to 16 bits.
inline __m128i paethPredictor16(__m128i left, __m128i above, __m128i aboveLeft) {
    const __m128i fromAbove = _mm_sub_epi16(above, aboveLeft);
    const __m128i fromLeft = _mm_sub_epi16(left, aboveLeft);
    const __m128i distanceLeft = absolute16(fromAbove);
    const __m128i distanceAbove = absolute16(fromLeft);
    const __m128i distanceAboveLeft = absolute16(_mm_add_epi16(fromAbove, fromLeft));
    const __m128i notLeft = _mm_or_si128(_mm_cmpgt_epi16(distanceLeft, distanceAbove),
                                         _mm_cmpgt_epi16(distanceLeft, distanceAboveLeft));
    const __m128i aboveLeftWins = _mm_cmpgt_epi16(distanceAbove, distanceAboveLeft);
    const __m128i aboveOrAboveLeft =
        _mm_or_si128(_mm_andnot_si128(aboveLeftWins, above), _mm_and_si128(aboveLeftWins, aboveLeft));
    return _mm_or_si128(_mm_andnot_si128(notLeft, left), _mm_and_si128(notLeft, aboveOrAboveLeft));
}

inline __m128i paethPredictor8(__m128i left, __m128i above, __m128i aboveLeft) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = paethPredictor16(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(above, zero),
                                         _mm_unpacklo_epi8(aboveLeft, zero));
    const __m128i high = paethPredictor16(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(above, zero),
                                          _mm_unpackhi_epi8(aboveLeft, zero));
    return _mm_packus_epi16(low, high);
}

// Sixteen bytes' magnitudes summed into two 64-bit lanes.
inline __m128i addMagnitudes(__m128i sums, __m128i values) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i magnitudes = _mm_min_epu8(values, _mm_sub_epi8(zero, values));
    return _mm_add_epi64(sums, _mm_sad_epu8(magnitudes, zero));
}

inline std::uint64_t total(__m128i sums) {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

// Sixteen bytes at a time from `bytesPerPixel` on (where every byte has a
// left neighbour); returns where the bytes left for filterBytes begin.
std::size_t filterBlocks(const unsigned char* raw, const unsigned char* prior, std::size_t bytesPerPixel,
                         std::size_t rowBytes, RowCandidates& rows) {
    std::size_t i = bytesPerPixel;
    __m128i sums[filterTypes];
    for (auto& sum : sums)
        sum = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 16 <= rowBytes; i += 16) {
        const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i - bytesPerPixel));
        const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        const __m128i aboveLeft = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i - bytesPerPixel));
        // _mm_avg_epu8 rounds up; the filter rounds down.
        const __m128i average =
            _mm_sub_epi8(_mm_avg_epu8(left, above), _mm_and_si128(_mm_xor_si128(left, above), one));
        const __m128i candidates[filterTypes - 1] = {
            _mm_sub_epi8(value, left),
            _mm_sub_epi8(value, above),
            _mm_sub_epi8(value, average),
            _mm_sub_epi8(value, paethPredictor8(left, above, aboveLeft)),
        };
        sums[filterNone] = addMagnitudes(sums[filterNone], value);
        for (int type = filterSub; type < filterTypes; ++type) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows.filtered[type - 1].data() + i), candidates[type - 1]);
            sums[type] = addMagnitudes(sums[type], candidates[type - 1]);
        }
    }
    for (int type = filterNone; type < filterTypes; ++type)
        rows.weight[type] += total(sums[type]);
    return i;
}

#else

std::size_t filterBlocks(const unsigned char*, const unsigned char*, std::size_t bytesPerPixel, std::size_t,
                         RowCandidates&) {
    return bytesPerPixel;
}

#endif

// The types libpng weighs for a picture: all five, but a row has no row
// above it in a picture one row high, nor a left neighbour in one a pixel wide.
unsigned typesToWeigh(int width, int height) {
    unsigned types = (1u << filterTypes) - 1;
    if (height == 1)
        types &= ~((1u << filterUp) | (1u << filterAverage) | (1u << filterPaeth));
    if (width == 1)
        types &= ~((1u << filterSub) | (1u << filterAverage) | (1u << filterPaeth));
    return types;
}

// Writes the filter type byte and the row filtered by the type libpng would
// choose among `types` (a bit per type): the least weight, the first type on
// a tie.
void filterRow(const unsigned char* raw, const unsigned char* prior, std::size_t bytesPerPixel,
               std::size_t rowBytes, unsigned types, RowCandidates& rows, unsigned char* out) {
    rows.weight.fill(0);
    filterBytes(raw, prior, bytesPerPixel, 0, bytesPerPixel, rows);
    const std::size_t blocksEnd = filterBlocks(raw, prior, bytesPerPixel, rowBytes, rows);
    filterBytes(raw, prior, bytesPerPixel, blocksEnd, rowBytes, rows);
    int chosen = -1;
    for (int type = filterNone; type < filterTypes; ++type)
        if ((types >> type & 1) && (chosen < 0 || rows.weight[type] < rows.weight[chosen]))
            chosen = type;
    out[0] = static_cast<unsigned char>(chosen);
    std::memcpy(out + 1, chosen == filterNone ? raw : rows.filtered[chosen - 1].data(), rowBytes);
}

// ---- Chunks ----

void putBigEndian(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

bool writeChunk(std::FILE* file, const char* type, const unsigned char* data, std::size_t length) {
    unsigned char header[8];
    putBigEndian(header, static_cast<std::uint32_t>(length));
    std::memcpy(header + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, header + 4, 4);
    if (length > 0)
        crc = libdeflate_crc32(crc, data, length);
    unsigned char trailer[4];
    putBigEndian(trailer, crc);
    return std::fwrite(header, 1, 8, file) == 8 && (length == 0 || std::fwrite(data, 1, length, file) == length) &&
           std::fwrite(trailer, 1, 4, file) == 4;
}

bool writeHeader(std::FILE* file, int width, int height, int channels) {
    static const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    unsigned char header[13] = {};
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;                      // bits per channel
    header[9] = channels == 4 ? 6 : 2;  // RGBA or RGB; compression, filter method and interlace 0
    return std::fwrite(signature, 1, 8, file) == 8 && writeChunk(file, "IHDR", header, sizeof header);
}

// ---- Streamed image data ----

// zlib's stream of the filtered rows, cut into IDAT chunks as it fills them.
class ImageDataStream {
public:
    ImageDataStream(std::FILE* output, int compressionLevel) : file(output) {
        ready = deflateInit2(&stream, compressionLevel, Z_DEFLATED, zlibWindowBits, zlibMemoryLevel, Z_FILTERED) ==
                Z_OK;
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
    }
    ~ImageDataStream() {
        if (ready)
            deflateEnd(&stream);
    }
    ImageDataStream(const ImageDataStream&) = delete;
    ImageDataStream& operator=(const ImageDataStream&) = delete;

    bool add(const unsigned char* bytes, std::size_t length) { return compress(bytes, length, Z_NO_FLUSH); }
    bool finish() { return compress(nullptr, 0, Z_FINISH); }

private:
    bool compress(const unsigned char* bytes, std::size_t length, int flush) {
        if (!ready)
            return false;
        stream.next_in = const_cast<unsigned char*>(bytes);
        stream.avail_in = static_cast<uInt>(length);
        for (;;) {
            const int result = deflate(&stream, flush);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return false;
            if (stream.avail_out == 0 && !writeChunkFull())
                return false;
            if (result == Z_STREAM_END)
                return writeRest();
            if (flush == Z_NO_FLUSH && stream.avail_in == 0)
                return true;
        }
    }
    bool writeChunkFull() {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        return writeChunk(file, "IDAT", chunk, sizeof chunk);
    }
    bool writeRest() {
        const std::size_t length = sizeof chunk - stream.avail_out;
        return length == 0 || writeChunk(file, "IDAT", chunk, length);
    }

    std::FILE* file = nullptr;
    z_stream stream{};
    bool ready = false;
    unsigned char chunk[idatChunkBytes] = {};
};

bool encodeStreamed(std::FILE* file, int width, int height, int channels, const unsigned char* topRow,
                    std::ptrdiff_t rowStride, int compressionLevel) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    std::vector<unsigned char> filtered(rowBytes + 1);
    const std::vector<unsigned char> blankRow(rowBytes, 0);
    RowCandidates candidates(rowBytes);
    const unsigned types = typesToWeigh(width, height);
    ImageDataStream data(file, compressionLevel);
    if (!writeHeader(file, width, height, channels))
        return false;
    // Row by row, as libpng hands them to zlib: uncompressed (level 0) blocks
    // end where the input does.
    for (int y = 0; y < height; ++y) {
        const unsigned char* raw = topRow + y * rowStride;
        const unsigned char* prior = y == 0 ? blankRow.data() : raw - rowStride;
        filterRow(raw, prior, static_cast<std::size_t>(channels), rowBytes, types, candidates, filtered.data());
        if (!data.add(filtered.data(), filtered.size()))
            return false;
    }
    return data.finish() && writeChunk(file, "IEND", nullptr, 0);
}

// ---- libpng, for small pictures ----

// Kept apart so that nothing with a destructor lives between setjmp and a
// longjmp out of libpng.
bool encodeWithLibpng(png_structp png, png_infop info, std::FILE* file, int width, int height, int channels,
                      const unsigned char* topRow, std::ptrdiff_t rowStride, int compressionLevel) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(topRow + y * rowStride));
    png_write_end(png, nullptr);
    return true;
}

bool encodeSmall(std::FILE* file, int width, int height, int channels, const unsigned char* topRow,
                 std::ptrdiff_t rowStride, int compressionLevel) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written =
        info && encodeWithLibpng(png, info, file, width, height, channels, topRow, rowStride, compressionLevel);
    png_destroy_write_struct(&png, &info);
    return written;
}

// ---- Frames of a capture ----

const std::size_t largestFrameChunk = std::size_t(1) << 30;  // a chunk's length must stay below 2^31

// Each row after its filter type byte: the first as it is (None), every other
// less the row above it (Up), a loop the compiler turns into vector code.
void filterRowsUp(const unsigned char* topRow, std::ptrdiff_t rowStride, std::size_t rowBytes, int height,
                  unsigned char* out) {
    for (int y = 0; y < height; ++y) {
        const unsigned char* raw = topRow + y * rowStride;
        unsigned char* row = out + y * (rowBytes + 1);
        if (y == 0) {
            row[0] = filterNone;
            std::memcpy(row + 1, raw, rowBytes);
            continue;
        }
        const unsigned char* prior = raw - rowStride;
        row[0] = filterUp;
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[1 + i] = static_cast<unsigned char>(raw[i] - prior[i]);
    }
}

// ---- The file ----

// Makes the file `path` fresh and has `encode` write it; false with the
// system's reason of the first failed write (or that of encoding) in `error`.
template <typename Encode>
bool writeFreshFile(const std::string& path, std::string& error, Encode encode) {
    std::FILE* file = createFreshFile(path);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    errno = 0;
    bool written = encode(file);
    // The system's reason of the first write that failed, a full disk as
    // much as a file grown past its limit: the buffered rest of the file
    // fails again when it is closed.
    int cause = written ? 0 : errno;
    if (std::fclose(file) != 0) {
        cause = written ? errno : cause;
        written = false;
    }
    if (!written)
        error = cause != 0 ? std::strerror(cause) : "the picture could not be encoded";
    return written;
}

}  // namespace

bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* topRow,
                  std::ptrdiff_t rowStride, int compressionLevel, std::string& error) {
    const std::size_t filteredBytes = (static_cast<std::size_t>(width) * channels + 1) * height;
    return writeFreshFile(path, error, [&](std::FILE* file) {
        return filteredBytes < smallestStreamedImage
                   ? encodeSmall(file, width, height, channels, topRow, rowStride, compressionLevel)
                   : encodeStreamed(file, width, height, channels, topRow, rowStride, compressionLevel);
    });
}

bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* rows,
                  int compressionLevel, std::string& error) {
    return writePngFile(path, width, height, channels, rows, static_cast<std::ptrdiff_t>(width) * channels,
                        compressionLevel, error);
}

// What a writer keeps from one frame to the next: the deflater and the
// buffers, so that frames of one size allocate nothing after the first.
struct FramePngWriter::Encoder {
    RunDeflater deflater;
    std::vector<unsigned char> filtered;
    std::vector<unsigned char> compressed;

    bool encode(std::FILE* file, int width, int height, int channels, const unsigned char* topRow,
                std::ptrdiff_t rowStride) {
        const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
        filtered.resize((rowBytes + 1) * height);
        filterRowsUp(topRow, rowStride, rowBytes, height, filtered.data());
        deflater.compress(filtered.data(), filtered.size(), channels, compressed);
        if (!writeHeader(file, width, height, channels))
            return false;
        for (std::size_t at = 0; at < compressed.size(); at += largestFrameChunk)
            if (!writeChunk(file, "IDAT", compressed.data() + at, std::min(largestFrameChunk, compressed.size() - at)))
                return false;
        return writeChunk(file, "IEND", nullptr, 0);
    }
};

FramePngWriter::FramePngWriter() : encoder(std::make_unique<Encoder>()) {}
FramePngWriter::~FramePngWriter() = default;

bool FramePngWriter::write(const std::string& path, int width, int height, int channels, const unsigned char* topRow,
                           std::ptrdiff_t rowStride, std::string& error) {
    return writeFreshFile(path, error, [&](std::FILE* file) {
        return encoder->encode(file, width, height, channels, topRow, rowStride);
    });
}

}  // namespace tarnix
