#include "engine/mesh/MeshManager.h"

#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"

#include <cassert>

namespace tarnix {

MeshManager meshManager;

namespace {

bool isStudioFile(const std::string& name) {
    if (name.size() < 3)
        return false;
    const std::string extension = name.substr(name.size() - 3);
    return extension == "3DS" || extension == "3ds";
}

}  // namespace

MeshManager::MeshManager() = default;

MeshManager::~MeshManager() = default;

void MeshManager::loadMeshObject(const std::string& name) {
    if (isStudioFile(name)) {
        meshes.emplace_back(obj.loadModel(name));
        return;
    }
    auto mesh = std::make_unique<MeshObject>();
    mesh->readFile(name.c_str());
    meshes.push_back(std::move(mesh));
}

MeshObject* MeshManager::getMeshObject(unsigned i) {
    assert(i < meshes.size());
    return meshes[i].get();
}

MeshObject* MeshManager::getMeshObject(const char* name) {
    if (!name)
        return nullptr;
    for (const std::unique_ptr<MeshObject>& mesh : meshes)
        if (mesh && mesh->getName() == name)
            return mesh.get();
    return nullptr;
}

unsigned MeshManager::getMeshCount() const { return static_cast<unsigned>(meshes.size()); }

}  // namespace tarnix
