#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>

// Windows has no stop signals but console events: Ctrl+C and Ctrl+Break are
// reported as SIGINT, a closed console window (or the user logging off, the
// system shutting down) as SIGHUP, the terminal going, so that a capture ends
// with the same lines and statuses as on POSIX.

namespace tarnix {

namespace {

const int hangUp = 1;  // SIGHUP's number on POSIX; Windows' C library has none

std::atomic<int> caught{0};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI noteConsoleEvent(DWORD event) {
    const int number = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : hangUp;
    int none = 0;
    if (!caught.compare_exchange_strong(none, number))
        return FALSE;  // a second one: the system's own handler ends the process
    if (number == hangUp)
        // The system ends the process as soon as this returns (or after 5 s):
        // the time until then is what the capture has to end its files.
        Sleep(5000);
    return TRUE;
}

}  // namespace

void catchStopSignals() { SetConsoleCtrlHandler(noteConsoleEvent, TRUE); }

int caughtStopSignal() { return caught.load(); }

const char* stopSignalName(int number) { return stopSignalName(number, hangUp); }

}  // namespace tarnix
