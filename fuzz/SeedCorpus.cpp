// Writes the seed corpora of the fuzz targets, made by the engine's own code
// and the tests' file builders, into <directory>/<target>/:
//   build/fuzz/make_fuzz_seeds fuzz/corpus
// The committed corpus under fuzz/corpus was written by this program; run it
// again when a format gains something the seeds should exercise.

#include "engine/io/DataPack.h"
#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "fuzz/InputFiles.h"
#include "support/MediaFiles.h"
#include "support/StudioBytes.h"

#include <png.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace fuzzinputs;
using namespace testsupport;

namespace {

std::string corpus;  // absolute: the tools below change the working directory

void writeSeed(const std::string& target, const std::string& name, const std::string& bytes) {
    writeInput(corpus, target, name, bytes);
}

// A small model: two objects, two materials (every colour form and a texture
// map), texture coordinates and material groups.
std::string studioModel() {
    const std::string materials =
        chunk(0xAFFF, chunk(0xA000, cstring("paint")) + chunk(0xA010, chunk(0x0011, std::string("\xFF\x80\x00", 3))) +
                          chunk(0xA020, chunk(0x0010, f32le(0.25f) + f32le(0.5f) + f32le(0.75f))) +
                          chunk(0xA030, chunk(0x0012, std::string("\x10\x20\x30", 3))) +
                          chunk(0xA040, chunk(0x0030, u16le(50))) + chunk(0xA050, chunk(0x0031, f32le(0.3f))) +
                          chunk(0xA200, chunk(0xA300, cstring("wood.png")))) +
        chunk(0xAFFF, chunk(0xA000, cstring("plain")) + chunk(0xA020, chunk(0x0013, f32le(1) + f32le(0) + f32le(0))));
    const std::string quad = namedObject(
        "quad", pointArray({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}) + texVerts({0, 0, 1, 0, 1, 1, 0, 1}) +
                    faceArray({0, 1, 2, 0, 2, 3}, materialGroup("paint", {0}) + materialGroup("plain", {1})));
    const std::string tetra =
        namedObject("tetra", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}) + faceArray({0, 1, 2, 0, 1, 3, 0, 2, 3, 1, 2, 3}));
    return studioFile(chunk(0x0100, f32le(1.0f)) + materials + quad + tetra);
}

void studioSeeds() {
    writeSeed("studio_import", "two-objects.3ds", studioModel());
    writeSeed("studio_import", "one-triangle.3ds",
              studioFile(namedObject("tri", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + faceArray({0, 1, 2}))));
}

// The DVM seeds are the converter's output for the 3DS seeds.
void meshSeeds() {
    enter(corpus + "/.work");
    mkdir("data", 0777);
    writeFile("data/model.3ds", studioModel());
    CObject importer;
    std::unique_ptr<MeshObject> mesh(importer.loadModel("model.3ds"));
    mesh->calculateNormals();
    mesh->writeFile("model.dvm");
    writeSeed("dvm_reader", "two-objects.dvm", readFile("data/model.dvm"));
    writeSeed("dvm_reader", "empty.dvm", [] {
        MeshObject empty;
        empty.writeFile("empty.dvm");
        return readFile("data/empty.dvm");
    }());
}

// A pack of a few small files, written by the pack writer.
std::string smallPack() {
    enter(corpus + "/.work");
    const std::string work = corpus + "/.work/pack";
    enter(work);
    writeFile("a.txt", "scroller text\n");
    writeFile("b.bin", std::string("\x00\x01\x02\xFA\xFB\xFC", 6));
    writeFile("empty", "");
    DataPack pack("./", "datafile.dat");
    pack.createPack();
    return readFile("datafile.dat");
}

void packSeeds() {
    const std::string pack = smallPack();
    writeSeed("pack_reader", "three-files.dat", pack);
    writeSeed("hexdump", "three-files.dat", pack);
    writeSeed("pack_reader", "empty-pack.dat", std::string("\xFA\xFB", 2) + u32le(0) + "\xFC" + u32le(0));
}

std::vector<std::uint16_t> ramp(std::size_t count, std::uint16_t modulus) {
    std::vector<std::uint16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::uint16_t>((i * 37) % modulus);
    return samples;
}

void pictureSeeds() {
    writeSeed("png_decoder", "rgba8.png", pngBytes(4, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, ramp(4 * 3 * 4, 256)));
    writeSeed("png_decoder", "rgb16.png", pngBytes(3, 2, PNG_COLOR_TYPE_RGB, 16, ramp(3 * 2 * 3, 65535)));
    writeSeed("png_decoder", "grey8.png", pngBytes(5, 2, PNG_COLOR_TYPE_GRAY, 8, ramp(5 * 2, 256)));
    writeSeed("png_decoder", "grey-alpha8.png", pngBytes(2, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, ramp(2 * 2 * 2, 256)));
    writeSeed("png_decoder", "palette.png",
              pngBytes(4, 2, PNG_COLOR_TYPE_PALETTE, 8, ramp(4 * 2, 3), {255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

// The registry harness's own encoding: per file a name length byte, the name,
// a u16 content length and the content; '#' names the pack.
std::string registryEntry(const std::string& name, const std::string& content) {
    return std::string(1, static_cast<char>(name.size() - 1)) + name + u16le(static_cast<std::uint16_t>(content.size())) +
           content;
}

void registrySeeds() {
    writeSeed("registry", "pack-and-loose.bin",
              registryEntry("#", smallPack()) + registryEntry("a.txt", "loose copy") + registryEntry("zz.png", "x"));
    writeSeed("registry", "loose-only.bin", registryEntry("one", "1") + registryEntry("two.dvm", "22"));
}

// A WAVE file of 8-bit mono samples at 22050 Hz, a LIST chunk of odd length
// before them (padded to even, as RIFF has it).
std::string monoWave8() {
    const std::string format = std::string("fmt ") + u32le(16) + u16le(1) + u16le(1) + u32le(22050) + u32le(22050) +
                               u16le(1) + u16le(8);
    const std::string list = std::string("LIST") + u32le(3) + std::string("abc", 3) + std::string(1, '\0');
    const std::string samples = std::string("data") + u32le(6) + std::string("\x00\x40\x80\xC0\xFF\x80", 6);
    const std::string body = std::string("WAVE") + format + list + samples;
    return std::string("RIFF") + u32le(static_cast<std::uint32_t>(body.size())) + body;
}

void soundSeeds() {
    writeSeed("wave_reader", "stereo16.wav", wavBytes(0.01, 440));
    writeSeed("wave_reader", "mono8-list.wav", monoWave8());
}

// The deflater's harness: a byte for the pixel distance, then the input.
void deflaterSeeds() {
    std::string pixels;
    for (int i = 0; i < 600; ++i)
        pixels += i % 150 < 100 ? std::string("\x10\x20\x30", 3) : std::string(1, static_cast<char>(i * 7));
    writeSeed("run_deflater", "pixels3.bin", std::string(1, '\3') + pixels);
    writeSeed("run_deflater", "bytes.bin", std::string(1, '\0') + std::string(300, 'a') + "abcabcabc" + std::string(5, 'z'));
}

// The editor's commands: tracks asked for, a piece size, then the commands.
void syncSeeds() {
    const std::string setKey = std::string(1, '\0') + std::string("\0\0\0\1\0\0\0\x10\x40\x20\0\0\2", 13);
    const std::string rest = std::string("\1\0\0\0\1\0\0\0\x10", 9) + std::string("\3\0\0\1\0", 5) +
                             std::string("\4\1\4\0\5", 5) + std::string("\2\0\0\0\3a:b", 8);
    writeSeed("sync_commands", "every-command.bin", std::string("\2\3", 2) + setKey + rest);
    writeSeed("sync_commands", "whole.bin", std::string("\2\xFF", 2) + setKey + rest);
}

}  // namespace

int main(int argc, char** argv) {
    corpus = rootFromCommandLine(argc, argv, "make_fuzz_seeds");
    studioSeeds();
    pictureSeeds();
    packSeeds();
    registrySeeds();
    soundSeeds();
    deflaterSeeds();
    syncSeeds();
    meshSeeds();
    return removeScratch(corpus);
}
