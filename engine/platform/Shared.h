#pragma once

#include <cstdio>
#include <string>

// What the platform variants share, for this folder's files only: each
// system's own part stays in its variant.

namespace tarnix {

// The text a StandardErrorCopy's file holds, once standard error is its own
// again: read back, closed (`copy` becomes null), and written to standard
// error after all, so that nothing said is lost.
std::string takeCopiedText(std::FILE*& copy);

// "SIGINT", "SIGTERM", "SIGHUP" for the stop signals (`hangUp`: SIGHUP's
// number where the system has one, the number that stands for it where not),
// "signal N" for any other.
const char* stopSignalName(int number, int hangUp);

}  // namespace tarnix
