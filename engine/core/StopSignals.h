#pragma once

namespace tarnix {

// The signals that ask a program to stop (SIGINT from Ctrl+C, SIGTERM,
// SIGHUP when the terminal goes), caught instead of ending the process at
// once, for work that must leave its files whole first (a capture). A second
// one of them ends the process as it would have without this.
void catchStopSignals();

// The number of the first stop signal caught since catchStopSignals(), 0
// while none. Safe to call from any thread.
int caughtStopSignal();

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N" for another.
const char* stopSignalName(int signal);

}  // namespace tarnix
