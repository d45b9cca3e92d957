#include "engine/platform/Platform.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace tarnix {

const bool threadsAvailable = true;

void runInSpareTime() {
    // SCHED_IDLE runs the thread only on a core that has nothing else to run:
    // the renderer's threads never wait for it, where niceness 19 still takes
    // them a share of each core when it wakes. Lowering a thread's policy
    // needs no privilege; where it is refused anyway, niceness 19, the least,
    // which Linux keeps per thread (PRIO_PROCESS with a thread's id). Threads
    // the thread starts, and programs it runs, inherit either.
    const auto thread = static_cast<pid_t>(syscall(SYS_gettid));
    sched_param none{};
    none.sched_priority = 0;
    if (sched_setscheduler(thread, SCHED_IDLE, &none) == 0)
        return;
    const int leastPriority = 19;
    setpriority(PRIO_PROCESS, static_cast<id_t>(thread), leastPriority);
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
