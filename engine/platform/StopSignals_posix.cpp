#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <signal.h>

#include <atomic>
#include <cstdio>

namespace tarnix {

namespace {

// Written by the handler, read by any thread: lock-free, so the handler may
// touch it.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

void noteStopSignal(int number) {
    int none = 0;
    caught.compare_exchange_strong(none, number);
}

const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void catchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: the writer threads' file writes go on undisturbed.
    // SA_RESETHAND: a second Ctrl+C ends a program that does not stop soon enough.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int number : stopSignals)
        sigaction(number, &action, nullptr);
}

int caughtStopSignal() { return caught.load(); }

const char* stopSignalName(int number) { return stopSignalName(number, SIGHUP); }

}  // namespace tarnix
