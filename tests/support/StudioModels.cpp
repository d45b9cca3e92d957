#include "support/StudioModels.h"

#include "support/Process.h"

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include <algorithm>
#include <fstream>

namespace testsupport {

void writeObjModel(const std::string& directory, const std::string& name, int objects, int side) {
    std::ofstream materials(directory + "/" + name + ".mtl");
    materials << "newmtl stone\nKd 0.5 0.5 0.5\nmap_Kd stone.png\n"
              << "newmtl moss\nKd 0.2 0.6 0.2\nmap_Kd moss.png\n";
    std::ofstream model(directory + "/" + name + ".obj");
    model << "mtllib " << name << ".mtl\n";
    const int row = side + 1;
    int base = 1;
    for (int o = 0; o < objects; ++o) {
        model << "o part" << o << "\n";
        for (int y = 0; y <= side; ++y)
            for (int x = 0; x <= side; ++x)
                model << "v " << x + o * (side + 2) << " " << y << " " << (x * y % 7) * 0.1 << "\n";
        for (int y = 0; y <= side; ++y)
            for (int x = 0; x <= side; ++x)
                model << "vt " << double(x) / side << " " << double(y) / side << "\n";
        for (int y = 0; y < side; ++y) {
            if (y == 0 || y == side / 2)
                model << "usemtl " << ((y == 0) == (o % 2 == 0) ? "stone" : "moss") << "\n";
            for (int x = 0; x < side; ++x) {
                const int a = base + y * row + x, b = a + 1, c = a + row + 1, d = a + row;
                model << "f " << a << "/" << a << " " << b << "/" << b << " " << c << "/" << c << "\n";
                model << "f " << a << "/" << a << " " << c << "/" << c << " " << d << "/" << d << "\n";
            }
        }
        base += row * row;
    }
}

bool convertWithAssimp(const std::string& from, const std::string& to) {
    const ProcessResult result = runProcess("/usr/bin/assimp", {"export", from, to});
    return result.exitStatus == 0;
}

std::vector<StudioObjectCounts> lib3dsObjectCounts(const std::string& path) {
    std::vector<StudioObjectCounts> counts;
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    if (!file)
        return counts;
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next)
        counts.push_back({mesh->name, mesh->points, mesh->faces, mesh->texels});
    lib3ds_file_free(file);
    std::sort(counts.begin(), counts.end());
    return counts;
}

}  // namespace testsupport
