#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tarnix {

// Writes an 8-bit RGB (3 channels) or RGBA (4) PNG from rows given top first,
// `width` × channels bytes each, through libpng with its default settings
// at zlib's compressionLevel, 0 (none) to 9: the same pixels always give the
// same file. The file is made fresh: whatever had its name goes first, and a
// link there is not followed. False with the reason in `error`.
bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* rows,
                  int compressionLevel, std::string& error);

// The same, with the top row at `topRow` and each next row `rowStride` bytes
// further on; a negative stride writes a picture held bottom row first, as
// OpenGL reads it back.
bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* topRow,
                  std::ptrdiff_t rowStride, int compressionLevel, std::string& error);

// Writes a capture's frames at the least processor time: every row filtered
// by the one above it (the first as it is), the whole picture compressed by a
// RunDeflater into one IDAT chunk. Under a third of the time of libpng at
// level 1 for a frame of the demo, the files about the same size; the same pixels always give the same bytes. One writer per thread: it
// keeps its deflater and buffers from frame to frame.
class FramePngWriter {
public:
    FramePngWriter();
    ~FramePngWriter();
    FramePngWriter(const FramePngWriter&) = delete;
    FramePngWriter& operator=(const FramePngWriter&) = delete;

    // 8-bit RGB or RGBA, rows as in writePngFile's strided form, the file
    // made fresh in the same way; false with the reason in `error`.
    bool write(const std::string& path, int width, int height, int channels, const unsigned char* topRow,
               std::ptrdiff_t rowStride, std::string& error);

private:
    struct Encoder;
    std::unique_ptr<Encoder> encoder;
};

}  // namespace tarnix
