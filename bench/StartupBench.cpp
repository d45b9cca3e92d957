// Start-up benchmark: the loading pass over a directory of realistic pictures
// and one music track, against the decoders alone on the same files, and the
// cost of the mipmap chain built with GLU against glGenerateMipmap.
// Needs a display (DISPLAY, e.g. Xvfb). Run from any directory; it works in a
// temporary one.

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/io/LoadingBar.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A plasma with grain: smooth areas and detail, as demo pictures have.
std::vector<std::uint16_t> picture(int side, int channels, unsigned seed) {
    std::mt19937 noise(seed);
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(side) * side * channels);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < channels; ++c) {
                const double wave = std::sin(x * 0.021 * (c + 1) + seed) + std::cos(y * 0.017 * (c + 2)) +
                                    std::sin((x + y) * 0.011);
                const int value = static_cast<int>(128 + 40 * wave) + static_cast<int>(noise() % 9) - 4;
                samples[(static_cast<std::size_t>(y) * side + x) * channels + c] =
                    static_cast<std::uint16_t>(std::min(255, std::max(0, value)));
            }
    return samples;
}

struct MemoryReader {
    const std::string* bytes;
    std::size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    std::memcpy(out, reader->bytes->data() + reader->position, count);
    reader->position += count;
}

void decodeWithLibpng(const std::string& bytes) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&bytes, 0};
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

struct OggMemory {
    const std::string* bytes;
    std::size_t position;
};

size_t oggRead(void* out, size_t size, size_t count, void* source) {
    auto* memory = static_cast<OggMemory*>(source);
    const std::size_t wanted = size * count;
    const std::size_t available = std::min(wanted, memory->bytes->size() - memory->position);
    std::memcpy(out, memory->bytes->data() + memory->position, available);
    memory->position += available;
    return available / size;
}

long decodeWithVorbisfile(const std::string& bytes) {
    OggMemory memory{&bytes, 0};
    OggVorbis_File file;
    const ov_callbacks callbacks = {oggRead, nullptr, nullptr, nullptr};
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0)
        return -1;
    char buffer[65536];
    long total = 0;
    int section = 0;
    long got = 0;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
        total += got;
    ov_clear(&file);
    return total;
}

PFNGLGENERATEMIPMAPPROC generateMipmap = nullptr;  // OpenGL 3.0, looked up at run time

// Total time of building mipmaps for every decoded picture one way.
double mipmapMilliseconds(bool withGlu) {
    const Clock::time_point start = Clock::now();
    for (unsigned i = 0; tarnix::image.getImageData("p0.png") && i < 20; ++i) {
        const tarnix::ImageData* data = tarnix::image.getImageData(static_cast<int>(i));
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        if (withGlu) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, data->channels, data->width, data->height, GL_RGBA, GL_UNSIGNED_BYTE,
                              data->pixels.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, data->channels, data->width, data->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         data->pixels.data());
            generateMipmap(GL_TEXTURE_2D);
        }
        glFinish();
        GLint smallest = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 10, GL_TEXTURE_WIDTH, &smallest);
        if (data->width == 1024 && smallest != 1)
            std::printf("mipmap chain incomplete (%s)\n", withGlu ? "GLU" : "glGenerateMipmap");
        glDeleteTextures(1, &texture);
    }
    return millisecondsSince(start);
}

}  // namespace

int main() {
    WorkingDirectory directory;
    std::vector<std::string> pngs;
    for (unsigned i = 0; i < 20; ++i) {
        const bool large = i < 10;
        const int side = large ? 1024 : 512;
        const int channels = large ? 4 : 3;
        pngs.push_back(pngBytes(side, side, large ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, 8,
                                picture(side, channels, i)));
        writeFile("data/p" + std::to_string(i) + ".png", pngs.back());
    }
    std::printf("encoding a 60-second Ogg Vorbis track...\n");
    const std::string ogg = oggBytes(60.0, 330.0, 0.2);
    writeFile("data/track.ogg", ogg);
    std::size_t pngTotal = 0;
    for (const std::string& png : pngs)
        pngTotal += png.size();
    std::printf("data: 10 x 1024x1024 RGBA + 10 x 512x512 RGB PNG (%.1f MB), Ogg track %.1f MB\n", pngTotal / 1e6,
                ogg.size() / 1e6);

    tarnix::window.setFullscreen(false);
    if (!tarnix::window.init())
        return 1;
    tarnix::sound.init();
    tarnix::init.openglInit();
    tarnix::init.extensions();
    tarnix::init.readDirectoryContent("data/");
    generateMipmap = reinterpret_cast<PFNGLGENERATEMIPMAPPROC>(SDL_GL_GetProcAddress("glGenerateMipmap"));
    if (!generateMipmap)
        return 1;

    Clock::time_point start = Clock::now();
    tarnix::init.loadDataFiles();
    const double pass = millisecondsSince(start);

    start = Clock::now();
    for (const std::string& png : pngs)
        decodeWithLibpng(png);
    const double libpngAlone = millisecondsSince(start);
    start = Clock::now();
    const long pcmBytes = decodeWithVorbisfile(ogg);
    const double vorbisAlone = millisecondsSince(start);

    const double glu = mipmapMilliseconds(true);
    const double generate = mipmapMilliseconds(false);

    // The pass again, step by step, to see where its time goes.
    double decoding = 0, texturing = 0, sounding = 0, barFrames = 0;
    tarnix::Image pictures;
    for (unsigned i = 0; i < tarnix::init.getFileListSize(); ++i) {
        const std::string name = tarnix::init.getDataFile(i);
        start = Clock::now();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".png") {
            tarnix::ImageData* data = pictures.loadPNG(name.c_str());
            decoding += millisecondsSince(start);
            start = Clock::now();
            pictures.createTexture(data);
            glFinish();
            texturing += millisecondsSince(start);
            delete data;
        } else {
            tarnix::sound.load(name.c_str());
            sounding += millisecondsSince(start);
        }
        start = Clock::now();
        tarnix::drawLoadingBar(i, tarnix::init.getFileListSize());
        tarnix::flush();
        glFinish();
        barFrames += millisecondsSince(start);
    }

    std::printf("\n%-52s %10s\n", "", "ms");
    std::printf("%-52s %10.1f\n", "loading pass (20 pictures, 1 track, bar frames)", pass);
    std::printf("%-52s %10.1f\n", "libpng alone, same pictures", libpngAlone);
    std::printf("%-52s %10.1f  (%ld bytes of PCM)\n", "Vorbis decoder alone, same track", vorbisAlone, pcmBytes);
    std::printf("%-52s %10.2f\n", "ratio: pass / (libpng + Vorbis alone)", pass / (libpngAlone + vorbisAlone));
    std::printf("  %-50s %10.1f\n", "of it: PNG decoding into RGBA words", decoding);
    std::printf("  %-50s %10.1f\n", "of it: textures (GLU mipmaps, upload)", texturing);
    std::printf("  %-50s %10.1f\n", "of it: sound decoding (SDL_mixer)", sounding);
    std::printf("  %-50s %10.1f\n", "of it: 21 loading-bar frames", barFrames);
    std::printf("%-52s %10.1f\n", "mipmaps with gluBuild2DMipmaps (20 pictures)", glu);
    std::printf("%-52s %10.1f\n", "mipmaps with glTexImage2D + glGenerateMipmap", generate);
    std::printf("%-52s %10.2f\n", "ratio: GLU / glGenerateMipmap", glu / generate);
    std::printf("%-52s %10.0f %%\n", "share of the pass spent in GLU mipmaps", 100.0 * glu / pass);
    tarnix::init.close();
    return 0;
}
