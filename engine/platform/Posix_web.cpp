// What Emscripten's POSIX and SDL layers declare and the page must do
// otherwise.

#include <SDL.h>
#include <sys/inotify.h>

#include <cerrno>

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

}  // extern "C"
