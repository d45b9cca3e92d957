// The capture's PNG writer against the one it replaced (libpng's bytes at
// zlib's level 1), on a capture's own frames: for each ten seconds of demo
// time, the mean encoding time of a frame (processor time, file written
// included) and the mean file size of each, and their ratios.
//   bench_png_frames FOLDER FPS
// FOLDER holds a capture at FPS frames a second from 0 ms (frame_NNNNN.png),
// e.g. tarnix --capture FOLDER --fps 4.

#include "engine/media/PngWriter.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool readRgb(const std::string& path, png_image& image, std::vector<unsigned char>& pixels) {
    image = png_image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    pixels.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

struct Totals {
    double seconds[2] = {0, 0};
    double bytes[2] = {0, 0};
    int frames = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: bench_png_frames FOLDER FPS\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int fps = std::atoi(argv[2]);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".png")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    const std::string scratch = (std::filesystem::temp_directory_path() / "bench-png-frames.png").string();
    std::map<int, Totals> stretches;  // by the first second of each ten
    std::vector<unsigned char> pixels;
    tarnix::FramePngWriter frameWriter;
    for (const std::string& name : names) {
        png_image image;
        if (!readRgb(folder + "/" + name, image, pixels)) {
            std::fprintf(stderr, "bench_png_frames: %s/%s: %s\n", folder.c_str(), name.c_str(), image.message);
            return 1;
        }
        const long index = std::atol(name.c_str() + 6);  // "frame_NNNNN.png"
        Totals& totals = stretches[static_cast<int>(index / fps / 10 * 10)];
        const int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
        for (int writer = 0; writer < 2; ++writer) {
            std::string error;
            const double start = processorSeconds();
            const bool written =
                writer == 0 ? tarnix::writePngFile(scratch, width, height, 3, pixels.data(), 1, error)
                            : frameWriter.write(scratch, width, height, 3, pixels.data(), width * 3, error);
            totals.seconds[writer] += processorSeconds() - start;
            if (!written) {
                std::fprintf(stderr, "bench_png_frames: %s: %s\n", scratch.c_str(), error.c_str());
                return 1;
            }
            totals.bytes[writer] += static_cast<double>(std::filesystem::file_size(scratch));
        }
        ++totals.frames;
    }
    std::filesystem::remove(scratch);
    std::printf("seconds   frames   libpng level 1: ms, KB   frame writer: ms, KB   time ratio   size ratio\n");
    Totals all;
    for (const auto& [second, totals] : stretches) {
        const double n = totals.frames;
        std::printf("%2d-%2d s  %6d   %14.2f %8.0f   %12.2f %8.0f   %10.3f   %10.3f\n", second, second + 10,
                    totals.frames, 1000 * totals.seconds[0] / n, totals.bytes[0] / n / 1000,
                    1000 * totals.seconds[1] / n, totals.bytes[1] / n / 1000, totals.seconds[1] / totals.seconds[0],
                    totals.bytes[1] / totals.bytes[0]);
        for (int writer = 0; writer < 2; ++writer) {
            all.seconds[writer] += totals.seconds[writer];
            all.bytes[writer] += totals.bytes[writer];
        }
        all.frames += totals.frames;
    }
    std::printf("all      %6d   %14.2f %8.0f   %12.2f %8.0f   %10.3f   %10.3f\n", all.frames,
                1000 * all.seconds[0] / all.frames, all.bytes[0] / all.frames / 1000,
                1000 * all.seconds[1] / all.frames, all.bytes[1] / all.frames / 1000,
                all.seconds[1] / all.seconds[0], all.bytes[1] / all.bytes[0]);
    return 0;
}
