#pragma once

#include "app/CommandLine.h"
#include "engine/io/DataPack.h"

#include <string>

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
