#pragma once

namespace tarnix {

// What the engine's worker threads (the loading pass's decoders, a capture's
// frame writers) ask of the system.

// Gives the calling thread the least priority the system has for ordinary
// threads, so that it runs on the processor time the others leave idle and
// slows them as little as it can. Meant for background work that can wait
// (encoding captured frames while the renderer keeps every core busy). Best
// effort: where the system refuses, the thread keeps its priority.
void runInSpareTime();

// The processors this process may run on (its affinity mask, which a
// container's or a scheduler's CPU set narrows), at least 1. Worker pools
// size themselves by it, not by the processors the machine has.
unsigned usableProcessors();

}  // namespace tarnix
