#include "engine/platform/Platform.h"

// A page has the one thread that runs it: the browser gives it no other
// without shared memory, and decides itself what runs in spare time.

namespace tarnix {

const bool threadsAvailable = false;

void runInSpareTime() {}

unsigned usableProcessors() { return 1; }

}  // namespace tarnix
