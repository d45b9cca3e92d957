#include "app/dev/DevMode.h"

#include "app/CommandLine.h"
#include "app/ContentTool.h"
#include "app/demo/Demo.h"
#include "app/demo/Timeline.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/io/FileName.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

// ---- Clock ----

unsigned DevClock::ticks() { return running ? heldMs + (real.ticks() - runningSinceTicks) : heldMs; }

void DevClock::delay(unsigned milliseconds) { real.delay(milliseconds); }

void DevClock::run(bool on) {
    if (on == running)
        return;
    heldMs = ticks();
    runningSinceTicks = real.ticks();
    running = on;
}

bool DevClock::isRunning() const { return running; }

void DevClock::set(unsigned ms) {
    heldMs = ms;
    runningSinceTicks = real.ticks();
}

// ---- Development mode ----

namespace {

const unsigned framePauseMs = 15;  // as the normal loop sleeps between frames

bool isMusicFile(const std::string& name) {
    return tarnix::hasExtension(name, "ogg") || tarnix::hasExtension(name, "mp3") || tarnix::hasExtension(name, "wav");
}

}  // namespace

DevMode::~DevMode() {
    if (prepared)
        tarnix::setTickSource(nullptr);
}

void DevMode::prepare() {
    // Loose files beside the pack when the development mode starts win over
    // its entries of the same name, as those saved while it runs do: a file
    // copied there to be edited is the one shown from the start.
    std::vector<std::string> names;
    std::string error;
    if (tarnix::listDirectory("data", names, error))
        for (const std::string& name : names)
            if (name != "datafile.dat" && tarnix::pathKind("data/" + name) == tarnix::PathKind::regularFile)
                tarnix::init.preferLooseFile(name.c_str());
    takeOverRandomSequence();
    tarnix::setTickSource(&clock);
    prepared = true;
}

void DevMode::start(unsigned startMs) {
    afterSetUp = saveFrameState();
    std::string error;
    watching = watcher.watch("data", error);
    if (!watching)
        std::fprintf(stderr, "tarnix: data: cannot watch for changed files (%s); nothing is loaded again\n",
                     error.c_str());
    if (tarnix::pathKind("data/datafile.dat") == tarnix::PathKind::regularFile)
        std::printf("tarnix: data/datafile.dat is here: its entries are used but where a loose file of the same name "
                    "is in data/ or is saved there\n");
    std::fflush(stdout);
    clock.run(true);
    seek(startMs);
    lastPass = Clock::now();
}

bool DevMode::frame() {
    drawFrame();
    tarnix::delay(framePauseMs);
    tarnix::timer.update();
    int key = 0;
    while (tarnix::input.nextKeyPress(key))
        if (!handleKey(key))
            return false;
    if (watching)
        for (const std::string& name : watcher.changedNames())
            reload(name);
    const Clock::time_point now = Clock::now();
    noteFrameTime(now);
    // The caption changes every frame while playing; ten times a second is
    // enough to read it.
    if (now - captionShown >= std::chrono::milliseconds(100) || !clock.isRunning()) {
        tarnix::window.setTitle(caption().c_str());
        captionShown = now;
    }
    return true;
}

// While paused the frame is drawn again and again from the same state: what
// drawing it changes (the per-frame phases, the random picks) is put back.
void DevMode::drawFrame() {
    if (clock.isRunning()) {
        draw();
        return;
    }
    const FrameState before = saveFrameState();
    draw();
    restoreFrameState(before);
}

// ---- Keys ----

bool DevMode::handleKey(int key) {
    const long long now = getTime();
    switch (key) {
    case tarnix::keyEscape: return false;
    case tarnix::keySpace: togglePause(); break;
    case tarnix::keyLeft: seek(now - 1000); break;
    case tarnix::keyRight: seek(now + 1000); break;
    case tarnix::keyPageUp: seek(now - 10000); break;
    case tarnix::keyPageDown: seek(now + 10000); break;
    case tarnix::keyHome: seek(0); break;
    case tarnix::keyComma: stepFrames(-1); break;
    case tarnix::keyPeriod: stepFrames(1); break;
    default: break;
    }
    return true;
}

void DevMode::togglePause() {
    clock.run(!clock.isRunning());
    tarnix::timer.setTime(clock.ticks());
    if (clock.isRunning())
        restartMusic();
    else
        tarnix::sound.stop();
}

// Always replayed from the set-up's state, forwards as well as backwards:
// the frames a live run drew fell at whatever times its frame rate gave, and
// only a replay on the motion grid gives the frame --start gives.
void DevMode::seek(long long ms) {
    const auto target = static_cast<unsigned>(std::clamp<long long>(ms, 0, latestDemoTimeMs));
    restoreFrameState(afterSetUp);
    skipStepsBefore(target);
    clock.set(target);
    tarnix::timer.setTime(target);
    if (clock.isRunning())
        restartMusic();
}

// Step k of the motion grid is at floor(k · 1000 / 60) ms: a step goes to the
// next grid time after the current one, or to the last one before it.
void DevMode::stepFrames(int frames) {
    if (clock.isRunning() || frames == 0)
        return;
    // k: the last frame of the grid at or before now.
    const unsigned now = getTime();
    unsigned long k = static_cast<unsigned long>(static_cast<unsigned long long>(now) * motionStepsPerSecond / 1000);
    while (k > 0 && frameTime(0, motionStepsPerSecond, k) > now)
        --k;
    while (frameTime(0, motionStepsPerSecond, k + 1) <= now)
        ++k;
    if (frames > 0) {
        k += static_cast<unsigned long>(frames);
    } else if (frameTime(0, motionStepsPerSecond, k) == now) {
        k = k >= static_cast<unsigned long>(-frames) ? k + frames : 0;
    } else {
        k = k + 1 >= static_cast<unsigned long>(-frames) ? k + 1 + frames : 0;
    }
    seek(static_cast<long long>(frameTime(0, motionStepsPerSecond, k)));
}

void DevMode::restartMusic() {
    tarnix::sound.stop();
    tarnix::sound.playMusicFrom(0, getTime());
}

// ---- Changed files ----

void DevMode::reload(const std::string& name) {
    const char* file = name.c_str();
    bool reloaded = false;
    if (tarnix::hasExtension(name, "3ds")) {
        // A fresh importer: the engine's own keeps every model it ever read.
        CObject importer;
        if (convertModelToMesh(importer, name))
            std::printf("tarnix: %s converted; its mesh follows\n", file);
        std::fflush(stdout);
        return;  // the written .dvm is a change of its own
    }
    if (!tarnix::hasExtension(name, "png") && !tarnix::hasExtension(name, "dvm") && !isMusicFile(name) && name != "scrolleri.txt")
        return;  // not data the demo loads (editors' temporary files, the pack)
    tarnix::init.preferLooseFile(file);
    if (tarnix::hasExtension(name, "png")) {
        reloaded = tarnix::image.reloadImage(file);
    } else if (tarnix::hasExtension(name, "dvm")) {
        reloaded = reloadDemoMesh(file);
    } else if (isMusicFile(name)) {
        reloaded = tarnix::sound.reload(file);
        if (reloaded && clock.isRunning())
            restartMusic();
    } else {
        reloaded = reloadScrollerText();
    }
    if (reloaded)
        std::printf("tarnix: %s loaded again\n", file);
    std::fflush(stdout);
}

// ---- Caption ----

unsigned DevMode::getTime() const { return tarnix::timer.getTime(); }

bool DevMode::isPaused() const { return !clock.isRunning(); }

void DevMode::noteFrameTime(Clock::time_point now) {
    frameTimes.emplace_back(now, std::chrono::duration<double, std::milli>(now - lastPass).count());
    lastPass = now;
    while (now - frameTimes.front().first > std::chrono::seconds(1))
        frameTimes.pop_front();
}

std::string DevMode::caption() const {
    const unsigned t = getTime();
    std::vector<double> durations;
    for (const auto& [end, duration] : frameTimes)
        durations.push_back(duration);
    double median = 0;
    if (!durations.empty()) {
        std::nth_element(durations.begin(), durations.begin() + durations.size() / 2, durations.end());
        median = durations[durations.size() / 2];
    }
    char text[160];
    std::snprintf(text, sizeof text, "%s - %u.%03u s - %s%s - %.1f ms a frame", tarnix::windowCaption, t / 1000,
                  t % 1000, sectionName(sectionAt(t)), clock.isRunning() ? "" : " - paused", median);
    return text;
}
