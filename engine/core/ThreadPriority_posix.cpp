#include "engine/core/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnix {

void runInSpareTime() {
    // Linux keeps a niceness per thread: PRIO_PROCESS with a thread's id sets
    // that thread's alone. 19 is the least; raising it needs no privilege.
    const int leastPriority = 19;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), leastPriority);
}

}  // namespace tarnix
