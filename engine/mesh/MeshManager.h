#pragma once

#include <memory>
#include <string>
#include <vector>

class MeshObject;

namespace tarnix {

// The engine's loaded meshes, in load order, found by index or by the name
// stored inside each mesh.
class MeshManager {
public:
    MeshManager();
    ~MeshManager();
    MeshManager(const MeshManager&) = delete;
    MeshManager& operator=(const MeshManager&) = delete;

    // Loads one mesh and appends it: names ending in "3DS" or "3ds" through
    // the 3D Studio importer, any other as a DVM mesh file. The entry is
    // appended even when loading failed: null for a failed import, an empty
    // mesh for a DVM file that did not read.
    void loadMeshObject(const std::string& name);
    // The i-th entry (may be null); i must be below getMeshCount().
    MeshObject* getMeshObject(unsigned i);
    // The first mesh whose stored name is exactly `name`, or null (also for a
    // null name).
    MeshObject* getMeshObject(const char* name);
    unsigned getMeshCount() const;

private:
    std::vector<std::unique_ptr<MeshObject>> meshes;
};

extern MeshManager meshManager;

}  // namespace tarnix
