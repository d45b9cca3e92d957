// Writes the demo's data files into the directory given on the command line.
//   make-demo-data DIRECTORY

#include "tools/datagen/DemoData.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-demo-data DIRECTORY\n");
        return 2;
    }
    std::string error;
    if (!datagen::writeDemoData(argv[1], error)) {
        std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
