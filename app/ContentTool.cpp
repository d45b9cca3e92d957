#include "app/ContentTool.h"

#include <cstdio>

ContentTool::ContentTool() : pack("data/", "datafile.dat") {}

void ContentTool::setPackDirectory(const std::string& directory) { pack.setDirectory(directory.c_str()); }

bool ContentTool::createPack() { return pack.createPack() == 1; }

bool ContentTool::hexdumpPack() { return pack.hexdumpPack(); }

bool ContentTool::convertModel(const char* modelName) {
    std::fprintf(stderr, "tarnix: %s: converting 3D Studio models is not part of this build yet\n", modelName);
    return false;
}
