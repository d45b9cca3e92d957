#include "app/ContentTool.h"

#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"

#include <cstdio>
#include <memory>

ContentTool::ContentTool() : pack("data/", "datafile.dat") {}

void ContentTool::setPackDirectory(const std::string& directory) { pack.setDirectory(directory.c_str()); }

bool ContentTool::createPack() { return pack.createPack() == 1; }

bool ContentTool::hexdumpPack() { return pack.hexdumpPack(); }

// The importer is the engine's one `obj`, whose lists are never emptied: each
// converted file also carries the models of the files converted before it in
// the same run.
bool ContentTool::convertModel(const char* modelName) {
    return convertModelToMesh(obj, modelName, [modelName] {
        std::printf("\tExporting %s\n", modelName);
        std::fflush(stdout);
    });
}

bool convertModelToMesh(CObject& importer, const std::string& modelName, const std::function<void()>& loaded) {
    std::unique_ptr<MeshObject> model(importer.loadModel(modelName));
    if (!model)
        return false;
    model->calculateNormals();
    if (loaded)
        loaded();
    return model->writeFile(meshFileNameFor(modelName).c_str());
}
