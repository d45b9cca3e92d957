#pragma once

#include "app/CommandLine.h"

#include <string>

// The content tool behind the command-line switches: data packs and model
// conversion.
class ContentTool : public ToolActions {
public:
    void setPackDirectory(const std::string& directory) override;
    void createPack() override;
    void hexdumpPack() override;
    void convertModel(const char* modelName) override;

private:
    std::string packDirectory = "data/";
};
