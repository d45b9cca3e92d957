#pragma once

#include "app/dev/DevOverlay.h"
#include "app/dev/LiveCode.h"
#include "engine/core/FramePacer.h"
#include "engine/core/Ticks.h"
#include "engine/platform/Platform.h"
#include "engine/sync/SyncEditor.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// The development mode (--dev): the demo in a window, with pause, seeking and
// frame stepping, a loop over a range, speeds from a quarter to twice, a
// timeline strip, a caption that says where it is, and the data files and (in
// a build with live code) the demo's code that change on disk loaded again
// while it runs, a failure to load shown over the picture.

// The development mode's clock: the demo time itself, ms. It runs with the
// tick count, times the speed, while playing and stands while paused.
// Installed as the engine's tick source, it drives the demo clock, so the
// whole picture (the tunnel too) waits with it, and a frame at a demo time is
// the frame a capture draws at that time.
class DevClock : public tarnix::TickSource {
public:
    unsigned ticks() override;
    void delay(unsigned milliseconds) override;  // really sleeps

    // Starts or stops it at the time it shows.
    void run(bool on);
    bool isRunning() const;
    // Jumps to `ms`, running or not.
    void set(unsigned ms);
    // Runs at 2^doublings times the real time from now on: -2 (a quarter) to
    // 1 (twice).
    void setSpeed(int doublings);
    int getSpeed() const;

private:
    unsigned sinceChange();  // demo time run since heldMs, ms

    tarnix::SdlTickSource real;
    unsigned heldMs = 0;             // demo time when last stopped, set or changed in speed
    unsigned runningSinceTicks = 0;  // SDL ticks then
    int speedDoublings = 0;          // the speed is 2^speedDoublings
    bool running = false;
};

class DevMode {
public:
    // Every frame, played, sought or stepped to, carries what the motion
    // grid's steps before its time left, as a frame of --start does.
    DevMode() = default;
    // Gives the engine its own clock back.
    ~DevMode();
    DevMode(const DevMode&) = delete;
    DevMode& operator=(const DevMode&) = delete;

    // Before the demo's set-up: lets the loose files of data/ win over the
    // pack's entries, takes over the clock and starts the demo's random
    // sequence afresh (app/demo/DemoRandom.h).
    void prepare();
    // After the set-up: keeps the state it left, watches data/ and the
    // demo's sources, says once when a data pack is there, looks for a sync
    // editor at `syncHost`:`syncPort` (and goes on looking), and plays from
    // `startMs`.
    void start(unsigned startMs, const std::string& syncHost = "localhost", unsigned syncPort = 1338);
    // One pass of the loop: draw (the picture held still while paused), wait
    // until the next frame is due, advance the clock, act on every key
    // pressed, every file changed and what the sync editor asked, caption.
    // False once Escape has been pressed.
    bool frame();

    // What the keys do.
    void togglePause();                  // Space
    void seek(long long ms);             // Left, Right, Page Up, Page Down, Home; clamped at 0
    void stepFrames(int frames);         // comma and period, while paused
    void markLoopStart();                // [ : the loop starts now (its end goes if not after)
    void markLoopEnd();                  // ] : the loop ends now, if after its start (0 unless marked)
    void clearLoop();                    // backslash
    void changeSpeed(int doublings);     // minus (-1) and equals (+1): a quarter to twice
    void toggleStrip();                  // T
    bool handleKey(int key);             // any of the above; false for Escape
    // A click on the strip (x, y in window pixels, y from the bottom edge)
    // seeks to the time under it; anywhere else does nothing.
    void click(int x, int y);
    // Loads the data file `name` (in data/) again, as a change on disk does.
    void reload(const std::string& name);

    unsigned getTime() const;            // demo time, ms
    // The sync tracks' row at the demo time (whole rows).
    std::uint32_t getRow() const;
    // Whether a sync editor is connected.
    bool editorConnected() const;
    bool isPaused() const;
    // The speed: 2^getSpeed(), -2 to 1.
    int getSpeed() const;
    // The loop's marks while set, ms.
    bool loopStartSet() const;
    bool loopEndSet() const;
    unsigned loopStart() const;
    unsigned loopEnd() const;
    // The line shown over the picture: the last failure to load, "" once
    // a load has succeeded since.
    const std::string& message() const;
    // "Kelbo vs. Vistral - 12.345 s - row 210 - middle - 16.7 ms a frame":
    // after the section " - paused" when paused, " - 0.5x" at another speed than 1,
    // " - loop 2.000-3.500 s" (or " - loop from 2.000 s") while a loop is
    // marked; the median time of the last second's frames.
    std::string caption() const;

private:
    using Clock = std::chrono::steady_clock;

    void drawFrame();
    void drawOverlay();
    void wrapAtLoopEnd(unsigned before);
    void restartMusic();
    void noteFrameTime(Clock::time_point now);
    void noteLoad(bool loaded, const std::string& errors, const std::string& name);
    TimelineStrip strip() const;
    void findSections();
    void takeNewCode();
    void followEditor(Clock::time_point now);

    DevClock clock;
    tarnix::DirectoryWatcher watcher;
    LiveCode live;               // the demo's code, reloaded when its sources change
    std::optional<tarnix::sync::EditorConnection> editor;  // made by start()
    DevOverlay overlay;
    std::optional<tarnix::FramePacer> pacer;  // made by start(), with the window
    std::vector<unsigned> sectionStarts;  // demo times where a section begins, ms
    std::string failure;         // the message over the picture
    unsigned loopStartMs = 0, loopEndMs = 0;
    bool loopStartMarked = false, loopEndMarked = false;
    bool stripShown = false;
    bool watching = false;
    bool prepared = false;       // the clock is installed
    Clock::time_point lastPass;      // the end of the previous pass
    Clock::time_point captionShown;  // when the caption last changed
    std::deque<std::pair<Clock::time_point, double>> frameTimes;  // (end, ms taken) of the last second's passes
};
