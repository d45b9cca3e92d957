#include "app/ContentTool.h"

#include <cstdio>

namespace {

void reportUnavailable(const char* what) {
    std::fprintf(stderr, "tarnix: %s is not part of this build yet\n", what);
}

}  // namespace

void ContentTool::setPackDirectory(const std::string& directory) { packDirectory = directory; }

void ContentTool::createPack() { reportUnavailable("creating a data pack"); }

void ContentTool::hexdumpPack() { reportUnavailable("dumping a data pack"); }

void ContentTool::convertModel(const char*) { reportUnavailable("converting 3D Studio models"); }
