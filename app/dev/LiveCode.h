#pragma once

#include "app/demo/DemoCode.h"
#include "engine/platform/Platform.h"

#include <chrono>
#include <memory>
#include <string>

// The demo's code reloaded while it runs, in a build with live code (the dev
// preset's): a source of app/demo saved starts a build of the code's shared
// library, and once it is built a copy of it takes the place of the code
// running, its objects set up afresh over the data the engine holds. A
// change that does not build or load leaves the code running as it was.
class LiveCode {
public:
    // Runs the program's own code.
    LiveCode() = default;
    // Releases a loaded copy's objects and unloads it; a build still running
    // is stopped.
    ~LiveCode();
    LiveCode(const LiveCode&) = delete;
    LiveCode& operator=(const LiveCode&) = delete;

    // Whether this build has live code (the dev and test presets', on Linux),
    // and why not where it has none.
    static bool builtIn();
    static const char* whyOff();

    // Starts watching the demo's sources; false, with the reason in `error`,
    // when this build has no live code ("" then) or the folder cannot be
    // watched. Nothing is reloaded after false.
    bool watch(std::string& error);

    enum class Change {
        none,     // nothing happened
        loaded,   // another copy of the code runs now
        failed,   // a build or a load failed: see failure()
    };
    // Once a frame: starts a build for sources saved (or again, after the
    // one running, for those saved while it ran) and, once one ends, loads
    // what it built. Never waits.
    Change poll();

    // Whether saving the file `name` in the demo's source folder starts a
    // build: its sources and headers (editors' backups and swap files, which
    // end otherwise, do not).
    static bool rebuildsAfterSaving(const std::string& name);

    // The code running now.
    const DemoCode& code() const;
    // The last failure in one line: the compiler's (or linker's) first error,
    // or why the library did not load.
    const std::string& failure() const;
    // From the save to the new code loaded, for the last load, s.
    double lastReloadSeconds() const;
    // Whether a build runs now.
    bool building() const;

private:
    using Clock = std::chrono::steady_clock;

    bool startBuild();
    Change finishBuild(int status);
    bool load(std::string& error);

    tarnix::DirectoryWatcher watcher;
    std::unique_ptr<tarnix::ChildProcess> build;  // the build running, or the last one
    const DemoCode* running = tarnixDemoCode();
    void* library = nullptr;                // the loaded copy's, null for the program's own
    std::string failureLine;
    Clock::time_point savedAt;              // the first save since the last build started
    Clock::time_point buildSavedAt;         // the first save the build running includes
    double reloadSeconds = 0;
    bool watching = false;
    bool savedSince = false;                // saved after the running build started (or none runs)
    unsigned copiesLoaded = 0;              // numbers the temporary copies
};
