#include "support/MediaFiles.h"

#include "tools/datagen/Music.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace testsupport {

namespace {

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void noFlush(png_structp) {}

int channelsOf(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 1;
    }
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string pngBytes(int width, int height, int colorType, int bitDepth, const std::vector<std::uint16_t>& samples,
                     const std::vector<std::uint8_t>& palette, int compressionLevel) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::abort();
    }
    png_set_write_fn(png, &out, appendToString, noFlush);
    if (compressionLevel >= 0)
        png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colors;
    for (std::size_t i = 0; i + 2 < palette.size(); i += 3)
        colors.push_back({palette[i], palette[i + 1], palette[i + 2]});
    if (!colors.empty())
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
    png_write_info(png, info);
    const int perRow = width * channelsOf(colorType);
    std::vector<png_byte> row(static_cast<std::size_t>(perRow) * (bitDepth / 8));
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < perRow; ++i) {
            const std::uint16_t sample = samples[static_cast<std::size_t>(y) * perRow + i];
            if (bitDepth == 16) {
                row[2 * i] = static_cast<png_byte>(sample >> 8);
                row[2 * i + 1] = static_cast<png_byte>(sample & 0xFF);
            } else {
                row[i] = static_cast<png_byte>(sample);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string wavBytes(double seconds, double frequency) {
    const int rate = 44100;
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t dataBytes = frames * 4;
    std::string out = "RIFF";
    appendLittleEndian(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    appendLittleEndian(out, 16, 4);
    appendLittleEndian(out, 1, 2);         // PCM
    appendLittleEndian(out, 2, 2);         // stereo
    appendLittleEndian(out, rate, 4);
    appendLittleEndian(out, rate * 4, 4);  // bytes per second
    appendLittleEndian(out, 4, 2);         // bytes per frame
    appendLittleEndian(out, 16, 2);        // bits per sample
    out += "data";
    appendLittleEndian(out, dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * frequency * i / rate));
        appendLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
        appendLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    }
    return out;
}

std::string oggBytes(double seconds, double frequency, double noise) {
    return datagen::encodeOgg(datagen::tone(seconds, frequency, noise), 0.3f);
}

std::string mp3Bytes(int frames) {
    std::string out;
    for (int f = 0; f < frames; ++f) {
        out += std::string("\xFF\xFB\x90\x00", 4);
        out += std::string(417 - 4, '\0');
    }
    return out;
}

}  // namespace testsupport
