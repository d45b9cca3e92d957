#include "app/dev/DevMode.h"

#include "app/CommandLine.h"
#include "app/ContentTool.h"
#include "app/demo/Demo.h"
#include "app/demo/Timeline.h"
#include "app/demo/Tuning.h"
#include "engine/core/Graphics.h"
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
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

// ---- Clock ----

namespace {

const int slowestSpeed = -2, fastestSpeed = 1;  // a quarter to twice, as powers of two

}  // namespace

unsigned DevClock::sinceChange() {
    const unsigned elapsed = real.ticks() - runningSinceTicks;
    return speedDoublings >= 0 ? elapsed << speedDoublings : elapsed >> -speedDoublings;
}

unsigned DevClock::ticks() { return running ? heldMs + sinceChange() : heldMs; }

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

void DevClock::setSpeed(int doublings) {
    heldMs = ticks();
    runningSinceTicks = real.ticks();
    speedDoublings = std::clamp(doublings, slowestSpeed, fastestSpeed);
}

int DevClock::getSpeed() const { return speedDoublings; }

// ---- Development mode ----

namespace {

const unsigned buildingFramePauseMs = 45;  // besides the pacing
const unsigned stripSpanStepMs = 10000;  // past the demo's end the strip grows by this much

// The strip's scale and the caption's loop show times like this: "12.345".
std::string seconds(unsigned ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", ms / 1000, ms % 1000);
    return text;
}

// A failure's first line as the loader put it on standard error.
std::string firstLine(const std::string& text) {
    const std::size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos)
        return "";
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

bool isMusicFile(const std::string& name) {
    return tarnix::hasExtension(name, "ogg") || tarnix::hasExtension(name, "mp3") || tarnix::hasExtension(name, "wav");
}

}  // namespace

DevMode::~DevMode() {
    if (prepared)
        tarnix::setTickSource(nullptr);
    tarnix::setFrameOverlay(nullptr);
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

void DevMode::start(unsigned startMs, const std::string& syncHost, unsigned syncPort) {
    live.code().keepSetUpState();
    findSections();
    tarnix::setFrameOverlay([this] { drawOverlay(); });
    std::string codeError;
    const bool reloadingCode = live.watch(codeError);
    if (!reloadingCode && !codeError.empty())
        std::fprintf(stderr, "tarnix: app/demo: cannot watch the demo's code (%s); it is not reloaded\n",
                     codeError.c_str());
    else if (!reloadingCode)
        std::printf("tarnix: live code is off in this build: saved code in app/demo/ is not reloaded (%s)\n",
                    LiveCode::whyOff());
    std::string error;
    watching = watcher.watch("data", error);
    if (!watching)
        std::fprintf(stderr, "tarnix: data: cannot watch for changed files (%s); nothing is loaded again\n",
                     error.c_str());
    if (tarnix::pathKind("data/datafile.dat") == tarnix::PathKind::regularFile)
        std::printf("tarnix: data/datafile.dat is here: its entries are used but where a loose file of the same name "
                    "is in data/ or is saved there\n");
    std::fflush(stdout);
    editor.emplace(tarnix::sync::tracks(), syncHost, syncPort, "data");
    pacer.emplace(motionStepsPerSecond);
    clock.run(true);
    seek(startMs);
    lastPass = Clock::now();
}

bool DevMode::frame() {
    const unsigned before = getTime();
    drawFrame();
    pacer->framePresented(before);
    // While the code builds, the compiler gets the cores the drawing would take.
    if (live.building())
        tarnix::delay(buildingFramePauseMs);
    tarnix::timer.update();
    wrapAtLoopEnd(before);
    tarnix::Press press;
    while (tarnix::input.nextPress(press)) {
        if (press.button != 0)
            click(press.x, press.y);
        else if (!handleKey(press.key))
            return false;
    }
    if (watching)
        for (const std::string& name : watcher.changedNames())
            reload(name);
    takeNewCode();
    const Clock::time_point now = Clock::now();
    followEditor(now);
    noteFrameTime(now);
    // The caption changes every frame while playing; ten times a second is
    // enough to read it.
    if (now - captionShown >= std::chrono::milliseconds(100) || !clock.isRunning()) {
        tarnix::window.setTitle(caption().c_str());
        captionShown = now;
    }
    return true;
}

// The editor's seeks land on the row's time as a key's seek does; its pause
// and play are Space's. The editor hears of the demo's row as it changes.
void DevMode::followEditor(Clock::time_point now) {
    std::vector<std::string> lines;
    const tarnix::sync::EditorRequests asked = editor->update(getRow(), now, lines);
    for (const std::string& line : lines)
        std::fprintf(stderr, "%s\n", line.c_str());
    if (asked.seekRow)
        seek(static_cast<long long>(tarnix::sync::tracks().timeOfRow(*asked.seekRow)));
    if (asked.pause && *asked.pause != isPaused())
        togglePause();
    if (asked.saved)
        std::printf("tarnix: the sync tracks are saved in data/ (sync_*.track)\n");
    std::fflush(stdout);
}

// Drawn again and again while paused, or at whatever times the frame rate
// gives while playing, a frame always starts from the motion grid's state for
// its time.
void DevMode::drawFrame() {
    live.code().prepareFrameAt(getTime());
    live.code().draw();
}

// New code starts from its own set-up, replayed to the time shown: the frame
// --start draws with it.
void DevMode::takeNewCode() {
    switch (live.poll()) {
    case LiveCode::Change::loaded:
        failure.clear();
        findSections();
        break;
    case LiveCode::Change::failed: failure = live.failure(); break;
    case LiveCode::Change::none: break;
    }
}

void DevMode::findSections() {
    sectionStarts.clear();
    for (unsigned t = 0; t < DemoOptions().untilMs; ++t)
        if (t == 0 || live.code().sectionAt(t) != live.code().sectionAt(t - 1))
            sectionStarts.push_back(t);
}

void DevMode::drawOverlay() {
    if (stripShown)
        overlay.drawStrip(strip());
    if (!failure.empty())
        overlay.drawMessage(failure);
}

// Play that reaches the loop's end (from inside the loop or before it) goes
// on from its start; a seek past the end leaves it behind.
void DevMode::wrapAtLoopEnd(unsigned before) {
    if (loopEndMarked && clock.isRunning() && before <= loopEndMs && getTime() >= loopEndMs)
        seek(loopStartMs);
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
    case tarnix::keyLeftBracket: markLoopStart(); break;
    case tarnix::keyRightBracket: markLoopEnd(); break;
    case tarnix::keyBackslash: clearLoop(); break;
    case tarnix::keyMinus: changeSpeed(-1); break;
    case tarnix::keyEquals: changeSpeed(1); break;
    case tarnix::keyT: toggleStrip(); break;
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

// The frame drawn next carries the motion grid's state for the new time.
void DevMode::seek(long long ms) {
    const auto target = static_cast<unsigned>(std::clamp<long long>(ms, 0, latestDemoTimeMs));
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

void DevMode::markLoopStart() {
    loopStartMs = getTime();
    loopStartMarked = true;
    if (loopEndMarked && loopEndMs <= loopStartMs)
        loopEndMarked = false;
}

void DevMode::markLoopEnd() {
    const unsigned now = getTime(), start = loopStartMarked ? loopStartMs : 0;
    if (now <= start)
        return;
    loopStartMs = start;
    loopEndMs = now;
    loopStartMarked = loopEndMarked = true;
}

void DevMode::clearLoop() { loopStartMarked = loopEndMarked = false; }

// The demo time stays where it is; the music starts again from it at the new
// speed.
void DevMode::changeSpeed(int doublings) {
    const int speed = std::clamp(clock.getSpeed() + doublings, slowestSpeed, fastestSpeed);
    if (speed == clock.getSpeed())
        return;
    const unsigned now = getTime();
    clock.setSpeed(speed);
    seek(now);
}

void DevMode::toggleStrip() { stripShown = !stripShown; }

// The strip covers the bottom stripHeight rows of pixels, y 1 (the bottom
// row) to stripHeight.
void DevMode::click(int x, int y) {
    if (stripShown && y >= 1 && y <= DevOverlay::stripHeight)
        seek(DevOverlay::timeAt(x, strip().spanMs));
}

// Resampled to the speed, pitch and all: in slow motion the beat a cut falls
// on is still heard where it falls, which is what slowing down is for.
void DevMode::restartMusic() {
    tarnix::sound.stop();
    tarnix::sound.playMusicFrom(0, getTime(), std::ldexp(1.0, clock.getSpeed()));
}

// ---- Changed files ----

void DevMode::reload(const std::string& name) {
    const char* file = name.c_str();
    bool reloaded = false;
    if (tarnix::hasExtension(name, "3ds")) {
        // A fresh importer: the engine's own keeps every model it ever read.
        CObject importer;
        tarnix::StandardErrorCopy errors;
        const bool converted = convertModelToMesh(importer, name);
        const std::string said = errors.finish();
        if (converted)
            std::printf("tarnix: %s converted; its mesh follows\n", file);
        else
            noteLoad(false, said, name);
        std::fflush(stdout);
        return;  // the written .dvm is a change of its own
    }
    const bool trackFile = tarnix::hasExtension(name, "track");
    // While an editor is connected its keys are the tracks' (a save of its
    // own writes these files, with the keys the tracks hold already).
    if (trackFile && editorConnected())
        return;
    if (!tarnix::hasExtension(name, "png") && !tarnix::hasExtension(name, "dvm") && !isMusicFile(name) &&
        name != "scrolleri.txt" && !trackFile)
        return;  // not data the demo loads (editors' temporary files, the pack)
    tarnix::StandardErrorCopy errors;
    tarnix::init.preferLooseFile(file);
    if (tarnix::hasExtension(name, "png")) {
        reloaded = tarnix::image.reloadImage(file);
    } else if (tarnix::hasExtension(name, "dvm")) {
        reloaded = live.code().reloadDemoMesh(file);
    } else if (trackFile) {
        reloaded = reloadTrackFile(file);
    } else if (isMusicFile(name)) {
        reloaded = tarnix::sound.reload(file);
        if (reloaded && clock.isRunning())
            restartMusic();
    } else {
        reloaded = live.code().reloadScrollerText();
    }
    noteLoad(reloaded, errors.finish(), name);
    if (reloaded)
        std::printf("tarnix: %s loaded again\n", file);
    std::fflush(stdout);
}

void DevMode::noteLoad(bool loaded, const std::string& errors, const std::string& name) {
    if (loaded) {
        failure.clear();
        return;
    }
    failure = firstLine(errors);
    if (failure.empty())
        failure = "tarnix: " + name + ": not loaded; the last good one stays";
}

// ---- Caption ----

unsigned DevMode::getTime() const { return tarnix::timer.getTime(); }

std::uint32_t DevMode::getRow() const {
    return static_cast<std::uint32_t>(tarnix::sync::tracks().rowAt(getTime()));
}

bool DevMode::editorConnected() const { return editor && editor->connected(); }

bool DevMode::isPaused() const { return !clock.isRunning(); }

int DevMode::getSpeed() const { return clock.getSpeed(); }

bool DevMode::loopStartSet() const { return loopStartMarked; }

bool DevMode::loopEndSet() const { return loopEndMarked; }

unsigned DevMode::loopStart() const { return loopStartMs; }

unsigned DevMode::loopEnd() const { return loopEndMs; }

const std::string& DevMode::message() const { return failure; }

void DevMode::noteFrameTime(Clock::time_point now) {
    frameTimes.emplace_back(now, std::chrono::duration<double, std::milli>(now - lastPass).count());
    lastPass = now;
    while (now - frameTimes.front().first > std::chrono::seconds(1))
        frameTimes.pop_front();
}

// The demo's default length, or past it the current time and the loop's
// end rounded up to the next 10 s.
TimelineStrip DevMode::strip() const {
    TimelineStrip shown;
    shown.nowMs = getTime();
    const unsigned latest = std::max(shown.nowMs, loopEndMarked ? loopEndMs : 0);
    shown.spanMs = std::max(DemoOptions().untilMs, (latest / stripSpanStepMs + 1) * stripSpanStepMs);
    shown.sectionStartsMs = sectionStarts;
    shown.loopStartSet = loopStartMarked;
    shown.loopEndSet = loopEndMarked;
    shown.loopStartMs = loopStartMs;
    shown.loopEndMs = loopEndMs;
    shown.label = seconds(shown.nowMs) + " s  row " + std::to_string(getRow());
    return shown;
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
    const DemoCode& code = live.code();
    std::string text = std::string(tarnix::windowCaption) + " - " + seconds(t) + " s - row " +
                       std::to_string(getRow()) + " - " + code.sectionName(code.sectionAt(t));
    if (!clock.isRunning())
        text += " - paused";
    if (clock.getSpeed() != 0) {
        char factor[16];
        std::snprintf(factor, sizeof factor, "%gx", std::ldexp(1.0, clock.getSpeed()));
        text += std::string(" - ") + factor;
    }
    if (loopEndMarked)
        text += " - loop " + seconds(loopStartMs) + "-" + seconds(loopEndMs) + " s";
    else if (loopStartMarked)
        text += " - loop from " + seconds(loopStartMs) + " s";
    char frameRate[32];
    std::snprintf(frameRate, sizeof frameRate, " - %.1f ms a frame", median);
    return text + frameRate;
}
