// Helper of the conversion benchmark.
//   bench_mesh_tool obj DIR NAME OBJECTS SIDE   writes DIR/NAME.obj and .mtl (see writeObjModel)
//   bench_mesh_tool size FILE.dvm                prints the bytes the mesh takes in memory

#include "engine/mesh/MeshObject.h"
#include "support/StudioModels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The mesh's own arrays (the triangles hold their normals).
unsigned long long meshBytes(MeshObject& mesh) {
    unsigned long long bytes = sizeof(MeshObject) + mesh.getMaterialSize() * sizeof(MeshMaterial);
    for (unsigned o = 0; o < mesh.getObjectSize(); ++o) {
        const MeshSubObject& sub = mesh.getObject(o);
        bytes += sizeof(MeshSubObject) + sub.getVertexSize() * sizeof(tarnix::Vector) +
                 sub.getTexCoordSize() * sizeof(tarnix::uv_coord) +
                 sub.getFaceTriangleSize() * sizeof(MeshFaceTriangle);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "obj") == 0) {
        testsupport::writeObjModel(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "size") == 0) {
        MeshObject mesh;
        if (!mesh.readFile(argv[2]))
            return 1;
        unsigned long long triangles = 0;
        for (unsigned o = 0; o < mesh.getObjectSize(); ++o)
            triangles += mesh.getObject(o).getFaceTriangleSize();
        std::printf("%llu %llu %u\n", meshBytes(mesh), triangles, mesh.getObjectSize());
        return 0;
    }
    std::fprintf(stderr, "usage: bench_mesh_tool obj DIR NAME OBJECTS SIDE | size FILE.dvm\n");
    return 2;
}
