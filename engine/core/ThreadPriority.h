#pragma once

namespace tarnix {

// Gives the calling thread the least priority the system has for ordinary
// threads, so that it runs on the processor time the others leave idle and
// slows them as little as it can. Meant for background work that can wait
// (encoding captured frames while the renderer keeps every core busy). Best
// effort: where the system refuses, the thread keeps its priority.
void runInSpareTime();

}  // namespace tarnix
