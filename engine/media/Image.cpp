#include "engine/media/Image.h"

#include "engine/core/OpenGL.h"
#include "engine/io/FileIO.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace tarnix {

Image image;

// ---- PNG decoding ----

namespace {

// The most pixels a picture may have, checked against its header before
// libpng allocates anything: 64 Mpixel, 256 MiB as RGBA words. The sides are
// free within that; GLU scales a texture to what the driver takes.
const std::uint64_t largestPixelCount = std::uint64_t(64) << 20;
const png_uint_32 largestSide = 0x7FFFFFFF;  // the format's own limit

// Deflate stores at most 1032 bytes in one (a run of 258 in two bits), so a
// file of n bytes cannot hold more than 1032 n bytes of picture rows.
const std::uint64_t deflateLargestRatio = 1032;

// What a PNG's header claims, read before libpng sees the file: the 8-byte
// signature, then the header chunk with width and height (big-endian) at
// bytes 16..23, bit depth and colour type at 24 and 25.
struct ClaimedPicture {
    std::uint64_t width = 0, height = 0;
    std::uint64_t rowBytes = 0;  // one row as compressed: a filter byte and the samples
};

// False when the file does not begin like a PNG; libpng then says what is wrong.
bool claimedPicture(const FileIO& stream, ClaimedPicture& claim) {
    const unsigned char* bytes = stream.readFile();
    if (stream.getLength() < 26 || std::memcmp(bytes + 12, "IHDR", 4) != 0)
        return false;
    auto bigEndian = [bytes](int at) {
        return std::uint64_t(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
    };
    static const unsigned samplesOfColourType[7] = {1, 0, 3, 1, 2, 0, 4};
    const unsigned bitDepth = bytes[24];
    const unsigned samples = bytes[25] < 7 ? samplesOfColourType[bytes[25]] : 0;
    claim.width = bigEndian(16);
    claim.height = bigEndian(20);
    claim.rowBytes = 1 + (claim.width * samples * bitDepth + 7) / 8;
    return true;
}

// Where libpng pulls its bytes from, and what went wrong if it gave up.
struct PngSource {
    FileIO* stream = nullptr;
    const std::atomic<bool>* abandon = nullptr;
    char error[256] = {};

    bool abandoned() const { return abandon && abandon->load(std::memory_order_relaxed); }
};

void readFromStream(png_structp png, png_bytep destination, png_size_t count) {
    PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->abandoned())
        png_error(png, "abandoned");
    if (count > 0xFFFFFFFFu || source->stream->read(reinterpret_cast<char*>(destination), static_cast<unsigned>(count)) != 1)
        png_error(png, "the file ends inside the picture");
}

void recordError(png_structp png, png_const_charp message) {
    PngSource* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->error, sizeof source->error, "%s", message);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Kept apart so that nothing with a destructor lives between setjmp and a
// longjmp out of libpng.
bool decodeAll(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, largestSide, largestSide);
    // Ancillary chunks (text, profiles, suggested palettes, ...) are skipped
    // unread: nothing here uses them, and libpng allocates a chunk at the
    // length the file claims before reading it, with no limit in this build.
    // Skipped chunks are read past in small pieces. tRNS is still handled.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // 16-bit channels are reduced to 8; nothing else is transformed.
    png_read_png(png, info, PNG_TRANSFORM_STRIP_16, nullptr);
    return true;
}

// Rows go bottom-up into R, G, B, A words; RGB pictures get alpha 0. Returns
// the sum of the red samples. The channel count is fixed per instantiation so
// that the per-pixel loop carries no branch (it runs once per pixel of every
// picture the demo loads).
template <int Channels>
std::uint64_t copyRows(const png_bytepp rows, ImageData& picture) {
    const std::size_t width = static_cast<std::size_t>(picture.width);
    std::uint64_t redSum = 0;
    for (int row = 0; row < picture.height; ++row) {
        const png_byte* in = rows[row];
        std::uint32_t* out = &picture.pixels[static_cast<std::size_t>(picture.height - 1 - row) * width];
        for (std::size_t x = 0; x < width; ++x, in += Channels) {
            const std::uint32_t alpha = Channels == 4 ? in[3] : 0;
            out[x] = in[0] | (in[1] << 8) | (in[2] << 16) | (alpha << 24);
            redSum += in[0];
        }
    }
    return redSum;
}

void copyPixels(png_structp png, png_infop info, ImageData& picture) {
    const png_bytepp rows = png_get_rows(png, info);
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height);
    const std::uint64_t redSum = picture.channels == 4 ? copyRows<4>(rows, picture) : copyRows<3>(rows, picture);
    const std::uint64_t count = static_cast<std::uint64_t>(picture.width) * picture.height;
    picture.average = count ? static_cast<unsigned>(redSum / count) : 0;
}

}  // namespace

ImageData* Image::loadPNG(const char* name, const std::atomic<bool>* abandon) {
    FileIO stream;
    if (!stream.open(name, std::ios::in | std::ios::binary)) {
        std::fprintf(stderr, "tarnix: %s: cannot open the picture\n", name);
        return nullptr;
    }
    // libpng allocates every row once it has read the header, so a claim is
    // checked first: against the limit, and against what the file can hold.
    ClaimedPicture claim;
    if (claimedPicture(stream, claim)) {
        if (claim.width * claim.height > largestPixelCount) {
            std::fprintf(stderr,
                         "tarnix: %s: the picture claims %llu × %llu pixels; at most %llu (64 Mpixel) are accepted\n",
                         name, static_cast<unsigned long long>(claim.width),
                         static_cast<unsigned long long>(claim.height),
                         static_cast<unsigned long long>(largestPixelCount));
            return nullptr;
        }
        if (claim.height * claim.rowBytes > deflateLargestRatio * stream.getLength()) {
            std::fprintf(stderr, "tarnix: %s: damaged picture: its %u bytes cannot hold the %llu × %llu pixels it claims\n",
                         name, stream.getLength(), static_cast<unsigned long long>(claim.width),
                         static_cast<unsigned long long>(claim.height));
            return nullptr;
        }
    }
    PngSource source;
    source.stream = &stream;
    source.abandon = abandon;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, recordError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fprintf(stderr, "tarnix: %s: out of memory for the picture decoder\n", name);
        return nullptr;
    }
    png_set_read_fn(png, &source, readFromStream);

    std::unique_ptr<ImageData> picture;
    if (!decodeAll(png, info)) {
        if (!source.abandoned())
            std::fprintf(stderr, "tarnix: %s: damaged picture: %s\n", name, source.error);
    } else {
        const int channels = png_get_channels(png, info);
        if (channels != 3 && channels != 4) {
            std::fprintf(stderr, "tarnix: %s: palette and greyscale pictures are not supported, only RGB and RGBA\n",
                         name);
        } else {
            picture = std::make_unique<ImageData>();
            picture->filename = name;
            picture->name = name;
            picture->width = static_cast<int>(png_get_image_width(png, info));
            picture->height = static_cast<int>(png_get_image_height(png, info));
            picture->channels = channels;
            copyPixels(png, info, *picture);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return picture.release();
}

// ---- Textures ----

Image::Image() = default;

Image::~Image() { freeImageData(); }

void Image::loadImage(const char* name) { addImage(std::unique_ptr<ImageData>(loadPNG(name))); }

void Image::addImage(std::unique_ptr<ImageData> picture) {
    if (!picture)
        return;
    images.push_back(std::move(picture));
    createTexture(images.back().get());
}

namespace {

// The whole mipmap chain of a picture into the bound texture.
void uploadPixels(const ImageData& picture) {
    // GLU rescales sides that are not powers of two, or larger than the
    // driver takes. The minification filter stays linear, so the smaller
    // levels exist without being sampled.
    const GLint failure = gluBuild2DMipmaps(GL_TEXTURE_2D, picture.channels, picture.width, picture.height, GL_RGBA,
                                            GL_UNSIGNED_BYTE, picture.pixels.data());
    if (failure != 0)
        std::fprintf(stderr, "tarnix: %s: the texture could not be made: %s\n", picture.name.c_str(),
                     reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(failure))));
}

}  // namespace

bool Image::reloadImage(const char* name) {
    auto texture = std::find_if(textures.begin(), textures.end(),
                                [name](const std::unique_ptr<Texture>& t) { return t->name == name; });
    if (texture == textures.end()) {
        std::fprintf(stderr, "tarnix: %s: not loaded at start, so not loaded again (restart to use it)\n", name);
        return false;
    }
    std::unique_ptr<ImageData> picture(loadPNG(name));
    if (!picture)
        return false;
    glBindTexture(GL_TEXTURE_2D, (*texture)->id);
    uploadPixels(*picture);
    glBindTexture(GL_TEXTURE_2D, 0);
    (*texture)->width = picture->width;
    (*texture)->height = picture->height;
    for (std::unique_ptr<ImageData>& stored : images)
        if (stored->filename == name) {
            stored = std::move(picture);
            break;
        }
    return true;
}

void Image::createTexture(ImageData* picture) {
    auto texture = std::make_unique<Texture>();
    glGenTextures(1, &texture->id);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    uploadPixels(*picture);
    texture->name = picture->name;
    texture->width = picture->width;
    texture->height = picture->height;
    glBindTexture(GL_TEXTURE_2D, 0);
    textures.push_back(std::move(texture));
}

void Image::createTexture(const int& filter, const int& size, const char* name) {
    auto texture = std::make_unique<Texture>();
    const std::vector<unsigned char> black(static_cast<std::size_t>(size) * size * 4, 0);
    glGenTextures(1, &texture->id);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, black.data());
    if (filter == 0 || filter == 1) {
        const GLint mode = filter == 0 ? GL_LINEAR : GL_NEAREST;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mode);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mode);
    }
    texture->name = name;
    texture->width = size;
    texture->height = size;
    glBindTexture(GL_TEXTURE_2D, 0);
    textures.push_back(std::move(texture));
}

// ---- Lookups ----

Texture* Image::getTexture(int i) { return textures[static_cast<std::size_t>(i)].get(); }

Texture* Image::getTexture(const char* name) {
    for (const std::unique_ptr<Texture>& texture : textures)
        if (texture->name == name)
            return texture.get();
    static Texture missing;
    if (std::find(reportedMissing.begin(), reportedMissing.end(), name) == reportedMissing.end()) {
        reportedMissing.emplace_back(name);
        std::fprintf(stderr, "tarnix: %s: no such texture is loaded\n", name);
    }
    missing = Texture();
    return &missing;
}

ImageData* Image::getImageData(int i) { return images[static_cast<std::size_t>(i)].get(); }

ImageData* Image::getImageData(const char* name) {
    for (const std::unique_ptr<ImageData>& picture : images)
        if (picture->filename == name)
            return picture.get();
    return nullptr;
}

unsigned Image::getImageCount() const { return static_cast<unsigned>(textures.size()); }

Texture* Image::getPixelApproxTexture(const char* name, int x, int y) {
    const ImageData* reference = getImageData(name);
    if (!reference)
        return nullptr;
    // Rows of 256 pixels, whatever the picture's width.
    const long index = static_cast<long>(y) * 256 + x;
    if (index < 0 || static_cast<std::size_t>(index) >= reference->pixels.size())
        return nullptr;
    const std::uint32_t pixel = reference->pixels[static_cast<std::size_t>(index)];
    std::size_t best = 0;
    unsigned bestAverage = 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
        // Unsigned on purpose: a picture brighter than the reference wraps to a
        // huge difference and is never picked.
        if ((pixel & (255u - bestAverage)) > reference->average - images[i]->average) {
            best = i;
            bestAverage = images[i]->average;
        }
    }
    return best < textures.size() ? textures[best].get() : nullptr;
}

void Image::freeImageData() { images.clear(); }

void Image::processImage(ImageData* picture) { std::printf("REMOVE THIS: %s\n", picture->filename.c_str()); }

}  // namespace tarnix
