#include "engine/platform/Platform.h"

#include <windows.h>

#include <thread>

namespace tarnix {

const bool threadsAvailable = true;

// The idle level of the process's class: the thread runs when no thread of
// ordinary priority wants the processor (Windows still lifts a starved one
// now and then, so it never stops for good).
void runInSpareTime() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE); }

unsigned usableProcessors() {
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        unsigned count = 0;
        for (; process != 0; process &= process - 1)
            ++count;
        return count;
    }
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? machine : 1;
}

}  // namespace tarnix
