// Program entry: the content tool when a tool switch is given, the demo otherwise.

#include "app/capture/Capture.h"
#include "app/CommandLine.h"
#include "app/ContentTool.h"
#include "app/demo/Demo.h"
#include "app/demo/Timeline.h"
#include "app/dev/DevMode.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/Window.h"
#include "engine/platform/Platform.h"

#include <cstdio>
#include <cstdlib>

int SDL_main(int argc, char** argv);

namespace {

VirtualClock virtualClock;

void exitProgram() { tarnix::init.close(); }

}  // namespace

int SDL_main(int argc, char** argv) {
    tarnix::prepareConsole();
    tarnix::init.setProgramDirectory(argv[0]);
    DemoOptions options;
    {
        ContentTool tool;
        const ScanResult scan = scanCommandLine(argc, argv, tool);
        if (scan.toolMode)
            return scan.toolFailed ? EXIT_FAILURE : 0;
        options = scan.demo;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tarnix: %s\n", options.error.c_str());
        return 2;
    }
    const bool capturing = !options.captureTarget.empty();
    CapturePlan capture;
    if (capturing) {
        capture = planCapture(options);
        const std::string problem = captureProblem(capture);
        if (!problem.empty()) {
            std::fprintf(stderr, "tarnix: %s\n", problem.c_str());
            return EXIT_FAILURE;
        }
        // Offline: nothing is heard and time follows the frames.
        tarnix::setEnvironment("SDL_AUDIODRIVER", "dummy");
        tarnix::setTickSource(&virtualClock);
        // Closing the window or a signal ends a capture as Escape does, its
        // files whole, but with a status that says it did not finish.
        tarnix::catchStopSignals();
        tarnix::input.setQuitEndsProgram(false);
    }
    setCalm(options.calm);
    tarnix::window.setFullscreen(!options.windowed && !capturing);
    tarnix::window.setNative(options.native && !options.windowed && !capturing);
    if (!findDemoData())
        return EXIT_FAILURE;
    std::atexit(exitProgram);
    const bool developing = options.dev && !capturing;
    DevMode dev;
    if (developing)
        dev.prepare();
    if (!setUpDemo()) {
        const int stopped = capturing ? reportStopBeforeCapture() : 0;
        return stopped != 0 ? stopped : EXIT_FAILURE;
    }
    if (capturing) {
        const int status = runCapture(capture, virtualClock);
        shutDownDemo();
        return status;
    }
    if (developing) {
        dev.start(options.startMs, options.syncHost, options.syncPort);
        while (dev.frame()) {
        }
        shutDownDemo();
        return 0;
    }
    // Where the display does not pace the frames, one a step of the motion
    // grid: more would show the same motions again, torn.
    runMainLoop(options.startMs, motionStepsPerSecond);
    shutDownDemo();
    return 0;
}

#ifdef main
#undef main
#endif

int main(int argc, char** argv) { return SDL_main(argc, argv); }
