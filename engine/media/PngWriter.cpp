#include "engine/media/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace tarnix {

namespace {

// Kept apart so that nothing with a destructor lives between setjmp and a
// longjmp out of libpng.
bool encode(png_structp png, png_infop info, std::FILE* file, int width, int height, int channels,
            const unsigned char* rows, int compressionLevel) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rows + static_cast<std::size_t>(y) * width * channels));
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* rows,
                  int compressionLevel, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool written = info && encode(png, info, file, width, height, channels, rows, compressionLevel);
    png_destroy_write_struct(&png, &info);
    written = std::fclose(file) == 0 && written;
    if (!written)
        error = "the picture could not be written";
    return written;
}

}  // namespace tarnix
