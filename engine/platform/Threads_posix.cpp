#include "engine/platform/Platform.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace tarnix {

void runInSpareTime() {
    // Linux keeps a niceness per thread: PRIO_PROCESS with a thread's id sets
    // that thread's alone. 19 is the least; raising it needs no privilege.
    const int leastPriority = 19;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), leastPriority);
}

unsigned usableProcessors() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? machine : 1;
}

}  // namespace tarnix
