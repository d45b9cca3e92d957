#pragma once

#include "app/CommandLine.h"
#include "engine/io/DataPack.h"

#include <functional>
#include <string>

class CObject;

// The content tool behind the command-line switches: the data pack
// "datafile.dat" of data/ (or of the directory given), and model conversion.
class ContentTool : public ToolActions {
public:
    ContentTool();

    void setPackDirectory(const std::string& directory) override;
    bool createPack() override;
    bool hexdumpPack() override;
    bool convertModel(const char* modelName) override;

private:
    DataPack pack;
};

// Converts the 3D Studio model `modelName` into the DVM mesh beside it
// (meshFileNameFor), its normals computed: what --convert3DtoDVM and the
// development mode both do. `importer` keeps every model it reads. `loaded`
// runs between the reading and the writing. False when either failed (and
// has said why).
bool convertModelToMesh(CObject& importer, const std::string& modelName, const std::function<void()>& loaded = {});
