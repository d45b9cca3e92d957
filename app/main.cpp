// Program entry: the content tool when a tool switch is given, the demo otherwise.

#include "app/CommandLine.h"
#include "app/ContentTool.h"
#include "app/Demo.h"
#include "engine/core/Init.h"

#include <cstdlib>

int SDL_main(int argc, char** argv);

namespace {

void exitProgram() { tarnix::init.close(); }

}  // namespace

int SDL_main(int argc, char** argv) {
    tarnix::init.setProgramDirectory(argv[0]);
    {
        ContentTool tool;
        const ScanResult scan = scanCommandLine(argc, argv, tool);
        if (scan.toolMode)
            return scan.toolFailed ? EXIT_FAILURE : 0;
    }
    if (!findDemoData())
        return EXIT_FAILURE;
    std::atexit(exitProgram);
    if (!setUpDemo())
        return EXIT_FAILURE;
    runMainLoop();
    shutDownDemo();
    return 0;
}

#ifdef main
#undef main
#endif

int main(int argc, char** argv) { return SDL_main(argc, argv); }
