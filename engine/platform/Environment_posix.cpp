#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <unistd.h>

#include <cstdlib>
#include <cstdio>

namespace tarnix {

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

// POSIX streams are bytes already, and a terminal takes UTF-8 as it comes.
void prepareConsole() {}

bool setEnvironment(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

bool chooseDisplayDriver(bool waylandPossible) {
    if (isSet("SDL_VIDEODRIVER"))
        return true;
    if (isSet("DISPLAY"))
        return setEnvironment("SDL_VIDEODRIVER", "x11");
    if (isSet("WAYLAND_DISPLAY") && waylandPossible)
        return setEnvironment("SDL_VIDEODRIVER", "wayland");
    return false;
}

std::string workingDirectory() {
    std::vector<char> directory(4096);
    return getcwd(directory.data(), directory.size()) ? std::string(directory.data()) : std::string();
}

bool changeDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

unsigned long processId() { return static_cast<unsigned long>(getpid()); }

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

StandardErrorCopy::StandardErrorCopy() {
    std::fflush(stderr);
    copy = std::tmpfile();
    if (!copy)
        return;
    savedDescriptor = dup(STDERR_FILENO);
    if (savedDescriptor >= 0 && dup2(fileno(copy), STDERR_FILENO) >= 0)
        return;
    if (savedDescriptor >= 0)
        close(savedDescriptor);
    savedDescriptor = -1;
    std::fclose(copy);
    copy = nullptr;
}

StandardErrorCopy::~StandardErrorCopy() { finish(); }

std::string StandardErrorCopy::finish() {
    if (!copy)
        return "";
    std::fflush(stderr);
    dup2(savedDescriptor, STDERR_FILENO);
    close(savedDescriptor);
    savedDescriptor = -1;
    return takeCopiedText(copy);
}

}  // namespace tarnix
