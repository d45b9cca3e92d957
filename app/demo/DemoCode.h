#pragma once

#include "app/demo/Timeline.h"

#include <cstddef>

// The demo's code as the development mode calls it: one table of entry
// points, so that a copy of the code built again while the program runs (a
// shared library, in a build with live code) can take the place of the one
// the program started with. Each copy has its own objects and frame state;
// the engine (textures, meshes' data, music, the clock) is the program's,
// shared by every copy.
struct DemoCode {
    std::size_t size = sizeof(DemoCode);  // as the copy was built: another size is another table, refused

    // A copy's objects over the engine's loaded data, the random sequence
    // started afresh first as the program starts it, so that the copy's
    // set-up is the program's; and their release before the copy goes.
    void (*setUpObjects)() = nullptr;
    void (*releaseObjects)() = nullptr;
    void (*setCalm)(bool calm) = nullptr;
    bool (*isCalm)() = nullptr;
    // Keeps the state the set-up left, which frames are replayed from.
    void (*keepSetUpState)() = nullptr;
    // Puts the copy in the state of a frame at demo time t (ms) on the motion
    // grid, as --start would, ready for draw().
    void (*prepareFrameAt)(unsigned t) = nullptr;
    void (*draw)() = nullptr;
    Section (*sectionAt)(unsigned t) = nullptr;
    const char* (*sectionName)(Section section) = nullptr;
    // The data files the copy's objects hold, loaded again (app/demo/Demo.h).
    bool (*reloadScrollerText)() = nullptr;
    bool (*reloadDemoMesh)(const char* name) = nullptr;
};

// The entry point a shared library of the demo's code exports, by this name.
#define TARNIX_DEMO_CODE_ENTRY "tarnixDemoCode"

// This copy's table: the program's own, or, looked up by name in a library,
// the library's.
extern "C" const DemoCode* tarnixDemoCode();
