#include "engine/platform/Platform.h"

// A page runs no other programs: what needs a child (a capture to a video,
// live code) says so before it starts.

namespace tarnix {

const bool childProcessesAvailable = false;

std::string findProgram(const char*) { return ""; }

const char* const programPlaces = "in this build";

std::string programAdvice(const char*) { return "this build runs no other programs"; }

bool programOutput(const std::string&, const std::vector<std::string>&, std::string&) { return false; }

struct ChildProcess::Platform {};

ChildProcess::ChildProcess() : platform(new Platform) {}

ChildProcess::~ChildProcess() = default;

bool ChildProcess::start(const std::string&, const std::vector<std::string>&, const std::vector<std::size_t>&,
                         std::string& error) {
    error = "running other programs is not available in this build";
    return false;
}

long ChildProcess::write(int, const unsigned char*, std::size_t, int) { return -1; }

void ChildProcess::closePipe(int) {}

int ChildProcess::exitStatus() { return 0; }

void ChildProcess::kill() {}

bool ChildProcess::running() const { return false; }

ProcessActivity ChildProcess::activity() const { return ProcessActivity(); }

bool ChildProcess::spoke() const { return false; }

std::string ChildProcess::lastMessage() const { return ""; }

void ChildProcess::runInForeground(const std::string&) {}

std::string ChildProcess::messages() const { return ""; }

}  // namespace tarnix
