// The capture's PNG writer against the one it replaced (libpng at zlib's
// level 1), on a capture's own frames: for each ten seconds of demo time, the
// mean encoding time of a frame (processor time, file written included) and
// the mean file size of each, and their ratios. Then the compression alone:
// the writer's RunDeflater against libdeflate at level 1, its fastest, on the
// same filtered rows (each row less the row above, as the writer files them).
//   bench_png_frames FOLDER FPS
// FOLDER holds a capture at FPS frames a second from 0 ms (frame_NNNNN.png),
// e.g. tarnix --capture FOLDER --fps 4.

#include "engine/media/PngWriter.h"
#include "engine/media/RunDeflater.h"

#include <libdeflate.h>

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

// libpng's file, the frame writer's file, the RunDeflater's stream and
// libdeflate's, in that order.
const int measures = 4;

struct Totals {
    double seconds[measures] = {};
    double bytes[measures] = {};
    int frames = 0;
};

// Each row after its filter byte: the first as it is, the others less the row
// above.
std::vector<unsigned char> filteredUp(const std::vector<unsigned char>& pixels, std::size_t rowBytes, int height) {
    std::vector<unsigned char> out((rowBytes + 1) * height);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = out.data() + y * (rowBytes + 1);
        const unsigned char* raw = pixels.data() + y * rowBytes;
        row[0] = y == 0 ? 0 : 2;
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[1 + i] = static_cast<unsigned char>(y == 0 ? raw[i] : raw[i] - raw[i - rowBytes]);
    }
    return out;
}

// Compresses the filtered rows both ways into `totals` (measures 2 and 3).
void timeDeflaters(const std::vector<unsigned char>& filtered, tarnix::RunDeflater& deflater,
                   libdeflate_compressor* fastest, Totals& totals) {
    std::vector<unsigned char> stream;
    double start = processorSeconds();
    deflater.compress(filtered.data(), filtered.size(), 3, stream);
    totals.seconds[2] += processorSeconds() - start;
    totals.bytes[2] += static_cast<double>(stream.size());
    stream.resize(libdeflate_zlib_compress_bound(fastest, filtered.size()));
    start = processorSeconds();
    const std::size_t length =
        libdeflate_zlib_compress(fastest, filtered.data(), filtered.size(), stream.data(), stream.size());
    totals.seconds[3] += processorSeconds() - start;
    totals.bytes[3] += static_cast<double>(length);
}

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
    tarnix::RunDeflater deflater;
    libdeflate_compressor* fastest = libdeflate_alloc_compressor(1);
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
        timeDeflaters(filteredUp(pixels, static_cast<std::size_t>(width) * 3, height), deflater, fastest, totals);
        ++totals.frames;
    }
    libdeflate_free_compressor(fastest);
    std::filesystem::remove(scratch);
    std::printf("seconds   frames   libpng level 1: ms, KB   frame writer: ms, KB   time ratio   size ratio"
                "   |   RunDeflater: ms, KB   libdeflate 1: ms, KB   time ratio   size ratio\n");
    Totals all;
    const auto printRow = [](const char* label, const Totals& totals) {
        const double n = totals.frames;
        std::printf("%-8s  %6d   %14.2f %8.0f   %12.2f %8.0f   %10.3f   %10.3f   |   %11.2f %8.0f   %12.2f %8.0f   "
                    "%10.3f   %10.3f\n",
                    label, totals.frames, 1000 * totals.seconds[0] / n, totals.bytes[0] / n / 1000,
                    1000 * totals.seconds[1] / n, totals.bytes[1] / n / 1000, totals.seconds[1] / totals.seconds[0],
                    totals.bytes[1] / totals.bytes[0], 1000 * totals.seconds[2] / n, totals.bytes[2] / n / 1000,
                    1000 * totals.seconds[3] / n, totals.bytes[3] / n / 1000, totals.seconds[2] / totals.seconds[3],
                    totals.bytes[2] / totals.bytes[3]);
    };
    for (const auto& [second, totals] : stretches) {
        const std::string label = std::to_string(second) + "-" + std::to_string(second + 10) + " s";
        printRow(label.c_str(), totals);
        for (int measure = 0; measure < measures; ++measure) {
            all.seconds[measure] += totals.seconds[measure];
            all.bytes[measure] += totals.bytes[measure];
        }
        all.frames += totals.frames;
    }
    printRow("all", all);
    return 0;
}
