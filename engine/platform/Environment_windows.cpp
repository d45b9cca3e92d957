#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

namespace tarnix {

void prepareConsole() {
    // The same bytes on standard output as on POSIX (a hex dump, the help):
    // no \n turned into \r\n. The text is UTF-8, and a console is told so.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    // Started from Explorer, the program got a console window of its own: it
    // goes. Started from a console, the program shares it with the shell and
    // keeps it.
    DWORD consoleUsers[2];
    if (GetConsoleProcessList(consoleUsers, 2) == 1)
        FreeConsole();
}

bool setEnvironment(const char* name, const char* value) { return _putenv_s(name, value) == 0; }

// Windows always has its one display, and SDL its Win32 drivers for it (under
// Wine too, where DISPLAY is set but SDL has no x11 driver).
bool chooseDisplayDriver(bool) { return true; }

std::string workingDirectory() {
    char directory[MAX_PATH + 1];
    return _getcwd(directory, sizeof directory) ? std::string(directory) : std::string();
}

bool changeDirectory(const std::string& path) { return _chdir(path.c_str()) == 0; }

unsigned long processId() { return static_cast<unsigned long>(GetCurrentProcessId()); }

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

// As on POSIX, through the C runtime's descriptors. tmpfile() may be refused
// (it writes to the drive's root): the copy then stays empty.
StandardErrorCopy::StandardErrorCopy() {
    std::fflush(stderr);
    copy = std::tmpfile();
    if (!copy)
        return;
    savedDescriptor = _dup(_fileno(stderr));
    if (savedDescriptor >= 0 && _dup2(_fileno(copy), _fileno(stderr)) == 0)
        return;
    if (savedDescriptor >= 0)
        _close(savedDescriptor);
    savedDescriptor = -1;
    std::fclose(copy);
    copy = nullptr;
}

StandardErrorCopy::~StandardErrorCopy() { finish(); }

std::string StandardErrorCopy::finish() {
    if (!copy)
        return "";
    std::fflush(stderr);
    _dup2(savedDescriptor, _fileno(stderr));
    _close(savedDescriptor);
    savedDescriptor = -1;
    return takeCopiedText(copy);
}

}  // namespace tarnix
