// The DVM mesh reader on any bytes; what it accepts must write and read back
// to the same counts.

#include "engine/mesh/MeshObject.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool sameCounts(MeshObject& a, MeshObject& b) {
    if (a.getName() != b.getName() || a.getObjectSize() != b.getObjectSize() ||
        a.getMaterialSize() != b.getMaterialSize())
        return false;
    for (unsigned o = 0; o < a.getObjectSize(); ++o) {
        const MeshSubObject& x = a.getObject(o);
        const MeshSubObject& y = b.getObject(o);
        if (x.getVertexSize() != y.getVertexSize() || x.getTexCoordSize() != y.getTexCoordSize() ||
            x.getFaceTriangleSize() != y.getFaceTriangleSize())
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/input.dvm", data, size);
    // The file and its mesh (at most about 12 n), twice: the copy is read back.
    fuzzsupport::AllocationBudget budget(size, 32, 1 << 20);
    MeshObject mesh;
    if (!mesh.readFile("input.dvm"))
        return 0;
    mesh.calculateNormals();
    if (!mesh.writeFile("copy.dvm"))
        return 0;  // refused: beyond the format's 16-bit fields
    MeshObject copy;
    if (!copy.readFile("copy.dvm") || !sameCounts(mesh, copy))
        fuzzsupport::fail("a mesh the reader accepted did not read back from its own copy");
    return 0;
}
