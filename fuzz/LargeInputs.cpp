// Writes the fuzz inputs too large to keep in the repository, made by the
// engine's own writers and the tests' chunk builders, into <directory>/<target>/:
//   make_large_fuzz_inputs <directory>
// - seeds of a mebibyte and more for the 3D Studio, DVM and pack targets, so
//   that fuzzing reaches sizes where allocation out of proportion shows;
// - the 3D Studio file that once drove the converter to 10 GB: 40,000 small
//   objects, each with a one-entry material group naming face 65535.
// The fuzz script adds them to the working corpora; the test build replays
// them under the harnesses' allocation budgets.

#include "engine/io/DataPack.h"
#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "fuzz/InputFiles.h"
#include "support/StudioBytes.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace fuzzinputs;
using namespace testsupport;

namespace {

std::string root;  // absolute: the writers below change the working directory

// One side × side grid of quads as an object: texture coordinates per vertex,
// the lower half of the faces in "stone", the upper half in "moss".
std::string gridObject(const std::string& name, int side, float offset) {
    std::vector<float> xyz, uv;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) {
            xyz.insert(xyz.end(), {offset + x, float(y), float((x * y) % 7) * 0.1f});
            uv.insert(uv.end(), {float(x) / side, float(y) / side});
        }
    std::vector<std::uint16_t> faces, lower, upper;
    const int row = side + 1;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const auto a = static_cast<std::uint16_t>(y * row + x);
            faces.insert(faces.end(), {a, std::uint16_t(a + 1), std::uint16_t(a + row + 1)});
            faces.insert(faces.end(), {a, std::uint16_t(a + row + 1), std::uint16_t(a + row)});
            for (int k = 0; k < 2; ++k)
                (y < side / 2 ? lower : upper).push_back(static_cast<std::uint16_t>(faces.size() / 3 - 2 + k));
        }
    return namedObject(name, pointArray(xyz) + texVerts(uv) +
                                 faceArray(faces, materialGroup("stone", lower) + materialGroup("moss", upper)));
}

// A model of about 1.1 MB as a 3D Studio writer lays it out: version,
// materials, a hundred textured objects, master scale, keyframer section.
std::string largeModel() {
    const std::string materials =
        chunk(0xAFFF, chunk(0xA000, cstring("stone")) +
                          chunk(0xA020, chunk(0x0011, std::string("\x80\x80\x80", 3))) +
                          chunk(0xA200, chunk(0xA300, cstring("stone.png")))) +
        chunk(0xAFFF, chunk(0xA000, cstring("moss")) + chunk(0xA020, chunk(0x0010, f32le(0.2f) + f32le(0.6f) + f32le(0.2f))) +
                          chunk(0xA050, chunk(0x0030, u16le(25))) + chunk(0xA200, chunk(0xA300, cstring("moss.png"))));
    std::string objects;
    for (int o = 0; o < 100; ++o)
        objects += gridObject("part" + std::to_string(o), 16, 18.0f * o);
    std::string keyframer;
    for (int o = 0; o < 100; ++o)
        keyframer += chunk(0xB002, chunk(0xB010, cstring("part" + std::to_string(o)) + u16le(0) + u16le(0) + u16le(65535)));
    return chunk(0x4D4D, chunk(0x0002, u32le(3)) + chunk(0x3D3D, materials + objects + chunk(0x0100, f32le(1))) +
                             chunk(0xB000, keyframer));
}

// 40,000 named objects without geometry, each with a face list holding a
// one-entry material group naming face 65535: 1.36 MB that once asked for
// 10 GB.
std::string faceGroupBlowUp() {
    std::string objects;
    const std::string geometry = faceArray({}, materialGroup("m", {65535}));
    for (int o = 0; o < 40000; ++o)
        objects += namedObject("o", geometry);
    return studioFile(chunk(0xAFFF, chunk(0xA000, cstring("m"))) + objects);
}

}  // namespace

int main(int argc, char** argv) {
    root = rootFromCommandLine(argc, argv, "make_large_fuzz_inputs");
    const std::string model = largeModel();
    writeInput(root, "studio_import", "large-model.3ds", model);
    writeInput(root, "studio_import", "forty-thousand-face-groups.3ds", faceGroupBlowUp());

    // The work happens in a scratch directory with a data/ of its own; the
    // converter's and the packer's trace is not wanted here.
    enter(root + "/.work");
    enter(root + "/.work/data");
    writeFile("large-model.3ds", model);
    writeFile("scroller.txt", "a few words of text\n");
    writeFile("empty", "");
    enter(root + "/.work");
    std::fflush(stdout);
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    CObject importer;
    std::unique_ptr<MeshObject> mesh(importer.loadModel("large-model.3ds"));
    if (!mesh)
        return 1;
    mesh->calculateNormals();
    if (!mesh->writeFile("large-model.dvm"))
        return 1;
    const std::string meshBytes = readFile("data/large-model.dvm");
    std::remove("data/large-model.dvm");
    DataPack pack("data/", "datafile.dat");
    if (pack.createPack() != 1)
        return 1;
    writeInput(root, "dvm_reader", "large-model.dvm", meshBytes);
    writeInput(root, "pack_reader", "large-pack.dat", readFile("data/datafile.dat"));
    return removeScratch(root);
}
