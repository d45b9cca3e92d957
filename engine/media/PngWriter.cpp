#include "engine/media/PngWriter.h"

#include "engine/media/RunDeflater.h"
#include "engine/platform/Platform.h"

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// Pictures are written by libpng with its default settings (the data
// generator's, a few dozen). A capture's frames, thousands of them, take a
// cheaper way of their own (FramePngWriter): rows filtered by the one above,
// compressed by the RunDeflater, the chunks written here.

namespace tarnix {

namespace {

enum FilterType { filterNone = 0, filterUp = 2 };

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

// ---- libpng ----

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

bool encodeByLibpng(std::FILE* file, int width, int height, int channels, const unsigned char* topRow,
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
    return writeFreshFile(path, error, [&](std::FILE* file) {
        return encodeByLibpng(file, width, height, channels, topRow, rowStride, compressionLevel);
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
