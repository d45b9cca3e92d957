#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The one door to the operating system, or to the browser: everything the
// engine and the demo ask of it beyond standard C++ and SDL. Each section is
// carried out once per platform, by the file of this folder named after it
// with a suffix saying where it builds: _posix on any POSIX system
// (FileSystem_posix.cpp, which the browser's POSIX layer builds too), _linux
// only on Linux (Process_linux.cpp), _windows, _web; _desktop and _none where
// several platforms share one. engine/CMakeLists.txt names each platform's
// files. The browser's emulations (OpenGL 1.x over WebGL 2, GLU, SDL_mixer
// over Web Audio, the SDL functions replaced at link time) are in web/, with
// the page's contract (web/Page.h). No code outside this folder includes a
// system header for these things or asks which platform it is built for.

namespace tarnix {

// ---- Start-up (Environment_*) ----

// Makes the standard streams carry the program's bytes as they are (no "\n"
// turned into "\r\n") and its text as UTF-8, and lets go of a console window
// the program got without asking for one (started from a file manager), which
// nobody would read and which would stand beside the demo.
void prepareConsole();

// Sets the environment variable `name` for this process and the libraries it
// loads afterwards (SDL reads its drivers there). False when it cannot.
bool setEnvironment(const char* name, const char* value);

// Picks the display driver that can give an OpenGL window here, unless the
// user chose one (SDL_VIDEODRIVER): x11 with an X display, wayland with only
// a Wayland one when `waylandPossible` (SDL 2 underneath; classic SDL 1.2 has
// no Wayland driver). False when there is no display at all: left to itself
// SDL would try a text-mode driver, which takes the terminal over and then has
// no OpenGL anyway.
bool chooseDisplayDriver(bool waylandPossible);

// The directory relative paths start from, "" when it cannot be told.
std::string workingDirectory();
// Makes `path` the directory relative paths start from. False with errno set.
bool changeDirectory(const std::string& path);

// This process's id, for names unique to it.
unsigned long processId();

// Whether the standard error stream is a terminal, where a line can be
// rewritten in place, rather than a file or a pipe.
bool standardErrorIsTerminal();

// Keeps a copy of what this process writes on its standard error (the
// descriptor, so the libraries' messages too) while it lives, the text still
// reaching standard error: for showing a message somewhere else as well. One
// at a time. Where the stream cannot be redirected, the copy stays empty.
class StandardErrorCopy {
public:
    StandardErrorCopy();
    ~StandardErrorCopy();  // finish()es
    StandardErrorCopy(const StandardErrorCopy&) = delete;
    StandardErrorCopy& operator=(const StandardErrorCopy&) = delete;

    // Stops copying: what was written since the start, which is then written
    // on standard error itself. "" on later calls.
    std::string finish();

private:
    std::FILE* copy = nullptr;  // the temporary file standard error went to
    int savedDescriptor = -1;   // standard error's own, while redirected
};

// ---- Stop signals (StopSignals_*) ----

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

// ---- Threads (Threads_*) ----

// Gives the calling thread the least priority the system has (Linux: the
// SCHED_IDLE policy), so that it runs on the processor time the others leave
// idle and slows them as little as it can; threads and programs it starts
// inherit it. Meant for background work that can wait
// (encoding captured frames while the renderer keeps every core busy). Best
// effort: where the system refuses, the thread keeps its priority.
void runInSpareTime();

// The processors this process may run on (its affinity mask, which a
// container's or a scheduler's CPU set narrows), at least 1. Worker pools
// size themselves by it, not by the processors the machine has.
unsigned usableProcessors();

// Whether the program can start threads of its own. Not in a browser page:
// threads there need shared memory, which a page opened from disk never has.
// Work meant for worker threads is then done by the thread that asks for it.
extern const bool threadsAvailable;

// ---- Host: what runs the program (Host_*) ----

// Calls `frame` once a frame until it returns false. On a desktop the calls
// come back to back (each frame waits for itself). In a browser, once each
// time the browser asks for a frame, with the page given back to the browser
// in between; there the call never returns, and a frame that returns false
// ends the program with status 0.
void runFrameLoop(bool (*frame)());

// Whether the host calls each frame when the display wants one (a browser,
// at the screen's refresh), so that a frame never has to wait for the next
// itself. False on a desktop, where the loop paces itself.
extern const bool hostPacesFrames;

// Before the OpenGL window is made: asks for each presented frame to wait for
// the display's next refresh (a swap interval of one). Nothing where the host
// paces the frames.
void askForDisplayPacing();
// Once the OpenGL window is made: whether the driver took that request, so
// that presenting a frame waits for the display. False where it did not, or
// cannot tell, and where the host paces the frames.
bool presentingWaitsForDisplay();
// Once the OpenGL window is made: whether it has a context for the OpenGL
// calls to go to. A browser may make a window without one (no WebGL 2: an old
// or blocked graphics chip, or a machine too busy to make one). True on a
// desktop, where no window is made without it.
bool drawingContextMade();

// Tells the page the program runs in a named value, for its scripts and its
// tests: document.body.dataset[name]. Nothing on a desktop.
void tellHost(const char* name, const std::string& value);

// ---- Files (FileSystem_*) ----


enum class PathKind { missing, regularFile, directory, other };

// What is at `path` (symbolic links followed).
PathKind pathKind(const std::string& path);

// The directory holding the running program, "" when it cannot be told.
std::string executableDirectory();

// `path` made independent of the working directory (unchanged when absolute).
std::string absolutePath(const std::string& path);

// The entry names of one directory, "." and ".." left out, not recursing, in
// byte order of the names, so that the order (which decides the indices of
// loaded resources) is the same on every file system. Returns false, with the
// reason in `error`, when the directory cannot be opened or read to its end;
// `names` then holds the entries read before the failure.
bool listDirectory(const std::string& directory, std::vector<std::string>& names, std::string& error);

// Opens a regular file only, for reading, writing (made or emptied) or both,
// in binary: a directory, pipe or device is refused before it can be read as
// garbage or block the engine. Returns a stdio stream or null.
std::FILE* openRegularFile(const std::string& path, bool reading, bool writing);

// Makes a new, empty regular file at `path` for writing, in binary, after
// removing whatever file or link had that name (never a directory): a link
// planted under the name cannot redirect the write, nor a pipe block it.
// Meant for temporary names that are moved into place once written. Returns
// a stdio stream, or null with errno set.
std::FILE* createFreshFile(const std::string& path);

// The size of an open file, bytes. False when the system cannot tell.
bool fileSize(std::FILE* file, std::uint64_t& size);

// Moves the file `from` to `to` in one step, replacing a file already there
// (which std::rename does not do everywhere). False with errno set when it
// cannot; `to` is then as it was.
bool replaceFile(const std::string& from, const std::string& to);

// Cuts or extends the open file to `length` bytes. False with errno set.
bool truncateFile(std::FILE* file, std::uint64_t length);

// Makes one directory (its parent must exist). False with errno set.
bool makeDirectory(const std::string& path);

// Tells which files of one directory were written or moved in, so that data
// edited while the demo runs can be loaded again. Asking costs one system call
// when nothing changed (the system's change notification, not a scan). A page
// has nothing to watch: watch() fails there.
class DirectoryWatcher {
public:
    DirectoryWatcher();
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Starts watching; false, with the reason in `error`, when it cannot.
    bool watch(const std::string& directory, std::string& error);
    // The names of the files finished writing or moved in since the last
    // call, each once, in the order first seen; never blocks.
    std::vector<std::string> changedNames();

private:
    // The system's side, made by watch(): Linux's inotify stream, or a
    // change notification and the files as last seen (Windows).
    struct Platform;
    std::unique_ptr<Platform> platform;
};

// ---- Libraries (Library_*) ----

// SDL_mixer's file name, as the loader looks it up ("the page's mixer" in a
// browser).
extern const char* const mixerLibraryName;
// Loads SDL_mixer: the system's copy on POSIX, only the one in the program's
// own folder on Windows (a DLL of that name in the working folder is never
// taken), the page's own over Web Audio in a browser (web/Mixer.h). Null,
// with the reason in `error`, when it cannot be loaded. Never unloaded.
void* openMixerLibrary(std::string& error);
// The entry point `name` of a loaded library, or null.
void* libraryEntryPoint(void* library, const char* name);
// Loads the library file at `path`, its own symbols kept to itself (a copy of
// code the program holds too, linked to call its own); the names it needs
// and does not have are the program's. Null, with the reason in `error`;
// always in a browser, where a page loads no libraries.
void* openLibrary(const std::string& path, std::string& error);
// Unloads a library openLibrary() loaded; its entry points go with it.
void closeLibrary(void* library);
// The file name ending of such libraries: ".so", ".dll" (".wasm" in a page).
extern const char* const libraryFileEnding;
// Why no build for this platform swaps in the demo's code while it plays
// (live code), or "" where a build can have it.
extern const char* const noLiveCodeReason;

// ---- Child processes (Process_*) ----

// Whether this platform runs programs as child processes on pipes. Where it
// does not, ChildProcess::start fails and findProgram finds nothing.
extern const bool childProcessesAvailable;

// The path of `program` where this platform looks for programs ("" when it
// is in none): on Windows, with ".exe" added, in this program's folder first.
std::string findProgram(const char* program);
// Where findProgram looks, in words that end a sentence ("on the PATH").
extern const char* const programPlaces;
// What a user does so that findProgram finds `program` ("Debian: apt-get
// install ffmpeg").
std::string programAdvice(const char* program);

// Runs `program` (a path) with `arguments` (its name first), its standard
// error thrown away, and gives what it wrote on its standard output. False
// when it cannot be run.
bool programOutput(const std::string& program, const std::vector<std::string>& arguments, std::string& output);

// What a child's threads are doing, as far as the system tells: whether any
// runs or waits to run (or waits on a disk), whether its main thread is
// stopped, and its processor time so far (all threads, in the system's own
// units: clock ticks on Linux, 100 ns on Windows). `known`
// is false where the system tells nothing; the rest is then meaningless.
struct ProcessActivity {
    bool known = false;
    bool working = false;
    bool stopped = false;
    unsigned long long ticks = 0;
};

// A program running as a child process that reads pipes this process writes:
// its pipe `i` (from 0) is its descriptor `firstPipeDescriptor + i`; its
// standard input and output are empty, and what it says on its standard error
// is kept in a temporary file. It runs in a process group of its own (a
// Ctrl+C at the terminal reaches only this program), at the least priority,
// and is killed when the thread that started it ends (on Linux) or this
// program does (on Windows), so that it never goes on unattended after this
// program was killed or crashed.
class ChildProcess {
public:
    ChildProcess();
    // A child still running is killed.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    static const int firstPipeDescriptor = 3;

    // Before start(): the child runs at this program's own priority, not in
    // its spare time, in `directory` ("" for this program's), what it says
    // on its standard output kept with its standard error: for a build the
    // user waits on.
    void runInForeground(const std::string& directory);

    // Starts `program` (a path) with `arguments` (its name first) and one
    // pipe for each of `pipeBytes`, made to hold that many bytes where the
    // system lets it (0: as the system makes it). False, with the reason in
    // `error`, when it cannot. Once per object.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::size_t>& pipeBytes, std::string& error);
    // Writes what the pipe takes of `count` bytes within `waitMs`: the bytes
    // taken (0 when it took none in that time), or -1 once the child takes no
    // more (it ended, or closed the pipe). Pipes may be written from several
    // threads, one thread a pipe.
    long write(int pipe, const unsigned char* bytes, std::size_t count, int waitMs);
    // Ends one pipe: the child reads the end of its input there.
    void closePipe(int pipe);
    // The child's exit status once it has ended, without waiting: -2 while
    // it runs, -1 when it ended otherwise than by exiting, 0 when none runs.
    int exitStatus();
    // Ends a child still running at once (a stopped one too) and waits for it.
    void kill();
    bool running() const;
    ProcessActivity activity() const;
    // Whether the child has said anything on its standard error, and its last
    // line there that is not blank ("" when none).
    bool spoke() const;
    std::string lastMessage() const;
    // Everything it has said on its standard error so far.
    std::string messages() const;

private:
    struct Platform;
    std::unique_ptr<Platform> platform;
};

// ---- Connections (Connection_*) ----

// A TCP connection this program makes to a server (the development mode's
// sync editor), that never blocks: connecting, sending and receiving return
// at once with what could be done. It only connects out, never listens.
class OutgoingConnection {
public:
    enum class State { closed, connecting, open };

    OutgoingConnection();
    ~OutgoingConnection();
    OutgoingConnection(const OutgoingConnection&) = delete;
    OutgoingConnection& operator=(const OutgoingConnection&) = delete;

    // Starts connecting to `host` (a name or a numeric address) at `port`,
    // closing a connection there was. The name is looked up the first time,
    // which may take a moment for a name not of this machine; each try after
    // that takes the next of its addresses (IPv6 and IPv4). False, with the
    // reason in `error`, when it cannot even start (an unknown host, no
    // connections on this platform).
    bool open(const std::string& host, unsigned port, std::string& error);
    // Where the connection is: a connection under way that failed is closed
    // (its reason in `error`).
    State state(std::string& error);
    // Sends what the connection takes now of `count` bytes: the bytes taken
    // (0 when none fit now), or -1, with the reason, once it is broken.
    long send(const unsigned char* bytes, std::size_t count, std::string& error);
    // Takes what has come, at most `capacity` bytes: the bytes taken (0 when
    // nothing has come), or -1, with the reason ("closed" when the server
    // closed or reset it), once it has ended.
    long receive(unsigned char* into, std::size_t capacity, std::string& error);
    void close();

private:
    struct Platform;
    std::unique_ptr<Platform> platform;
};

}  // namespace tarnix
