// The 3D Studio importer on any bytes, followed by what the converter does
// with its mesh: normals, and the DVM written and read back.

#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "fuzz/FuzzSupport.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/input.3ds", data, size);
    // The import's bound (about 120 n: tiny materials inheriting a long bitmap
    // name), then the converted DVM file and the copy read back: 240 n at
    // worst.
    fuzzsupport::AllocationBudget budget(size, 256, 1 << 20);
    CObject importer;  // a fresh one: the engine's own keeps every file it ever read
    std::unique_ptr<MeshObject> mesh(importer.loadModel("input.3ds"));
    if (!mesh) {
        // Damaged: refused whole, with nothing of it left in the importer.
        if (!importer.getModels().empty() || !importer.getMaterials().empty())
            fuzzsupport::fail("a refused file left models or materials behind");
        return 0;
    }
    mesh->calculateNormals();
    if (!mesh->writeFile("input.dvm"))
        return 0;
    MeshObject copy;
    if (!copy.readFile("input.dvm") || copy.getObjectSize() != mesh->getObjectSize())
        fuzzsupport::fail("a converted mesh did not read back");
    return 0;
}
