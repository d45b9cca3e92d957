// The SDL and C library functions the browser build replaces at link time:
// defined here, they are taken instead of Emscripten's own, and no include
// anywhere else shows it. Each replaces one for the reason given beside it:
//   SDL_GetTicks          the page's clock, on the music's once it plays
//   SDL_Delay             a page's one thread must never wait
//   SDL_SetError          Emscripten's SDL keeps no error text ...
//   SDL_GetError          ... and the engine's messages quote it
//   SDL_RWFromMem         memory streams the mixer (Mixer.cpp) can read ...
//   SDL_FreeRW            ... and their end
//   SDL_GL_SwapBuffers    the loading pass gives the page back at each bar
//   SDL_GL_GetProcAddress the OpenGL layer's own extension functions first
// The OpenGL and GLU entry points of OpenGL.cpp and Glu.cpp replace
// Emscripten's likewise; they are the layer itself. The page's side of all
// this is written down in Page.h.

#include "engine/platform/web/OpenGLPipeline.h"
#include "engine/platform/web/Page.h"

#include <SDL.h>
#include <emscripten.h>
#include <emscripten/html5_webgl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

char lastError[512] = "";

// clang-format off
// Milliseconds since the program started, from the page's clock until its
// sound plays and from the sound's clock (as heard: after the output's
// latency) from then on, so that the picture keeps step with the music. The
// count goes on from where the page's clock had it when the switch comes. A
// page showing a still frame sets the clock standing (frozen) at that frame's
// demo time, where a capture's virtual clock has it for the frame.
EM_JS(unsigned, pageTicks, (), {
    var now = performance.now();
    var clock = Module.tarnixClock || (Module.tarnixClock = {start: now, audioBase: null, ticksBase: 0});
    if (clock.frozen) return clock.at >>> 0;
    if (clock.start === undefined) { clock.start = now; clock.audioBase = null; }
    var audio = Module.tarnixAudio;
    if (audio && audio.ctx.state === 'running') {
        var ctx = audio.ctx;
        var heard = (ctx.currentTime - (ctx.outputLatency || 0) - (ctx.baseLatency || 0)) * 1000;
        if (clock.audioBase === null) {
            clock.audioBase = heard;
            clock.ticksBase = clock.last === undefined ? now - clock.start : clock.last;
        }
        clock.last = Math.max(clock.last || 0, clock.ticksBase + heard - clock.audioBase);
    } else {
        if (clock.audioBase !== null) {
            clock.start = now - clock.last;
            clock.audioBase = null;
        }
        clock.last = now - clock.start;
    }
    return clock.last >>> 0;
});
// clang-format on

}  // namespace

extern "C" {

// The page's one thread must never wait: the browser paces the frames (the
// frame loop), and Emscripten's SDL_Delay would stop the program instead.
void SDL_Delay(Uint32) {}

Uint32 SDL_GetTicks() { return pageTicks(); }

// Emscripten's SDL keeps no error text; the engine's messages quote it.
void SDL_SetError(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(lastError, sizeof lastError, format, arguments);
    va_end(arguments);
}

const char* SDL_GetError() { return lastError; }

// The memory streams of Sound.cpp, which hands Mix_LoadWAV_RW a file's bytes.
// Emscripten's SDL keeps its streams on the page's side, out of reach of the
// program's mixer.
SDL_RWops* SDL_RWFromMem(void* memory, int size) {
    auto* stream = new SDL_RWops{};
    stream->hidden.mem.base = static_cast<Uint8*>(memory);
    stream->hidden.mem.here = stream->hidden.mem.base;
    stream->hidden.mem.stop = stream->hidden.mem.base + (size > 0 ? size : 0);
    return stream;
}

void SDL_FreeRW(SDL_RWops* stream) { delete stream; }

// Before the frame loop runs (the loading pass), presenting a frame gives the
// page back to the browser for a moment (Asyncify unwinds the program's
// stack and winds it up again), so that the browser shows the loading bar and
// the page answers; in the loop the browser presents each frame itself.
void SDL_GL_SwapBuffers() {
    if (!tarnix::frameLoopRunning())
        emscripten_sleep(0);
}

// The layer's extension functions, then WebGL's own under the core name
// (framebuffers, which WebGL 2 has).
void* SDL_GL_GetProcAddress(const char* name) {
    if (void* layers = tarnix::webgl::layerEntryPoint(name))
        return layers;
    std::string core = name;
    for (const char* suffix : {"ARB", "EXT"})
        if (core.size() > 3 && core.compare(core.size() - 3, 3, suffix) == 0)
            core.resize(core.size() - 3);
    return emscripten_webgl_get_proc_address(core.c_str());
}

}  // extern "C"
