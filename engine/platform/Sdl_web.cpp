// What Emscripten's SDL and POSIX layers declare and the page does otherwise.

#include <SDL.h>
#include <emscripten.h>
#include <sys/inotify.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

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

// A page has no file system of its own to watch: the development mode's
// watcher reports that it cannot start.
int inotify_init1(int) {
    errno = ENOSYS;
    return -1;
}

int inotify_add_watch(int, const char*, uint32_t) {
    errno = ENOSYS;
    return -1;
}

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

}  // extern "C"
