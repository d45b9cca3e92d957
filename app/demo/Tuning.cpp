#include "app/demo/Tuning.h"

#include "engine/io/FileIO.h"
#include "engine/sync/SyncTracks.h"

#include <cstdio>
#include <string>

namespace {

const char* const trackFileBase = "sync";
const double musicBeatsPerMinute = 128;
const unsigned rowsPerBeat = 8;

// Reads the track file of `name` into its track; without one (none, or one
// removed since) the track has no keys: the code's value.
bool loadTrackFileOf(const std::string& name) {
    const std::string file = tarnix::sync::trackFileName(trackFileBase, name);
    tarnix::sync::TrackSet& tracks = tarnix::sync::tracks();
    tarnix::FileIO stream;
    tracks.noteChange();
    if (!stream.open(file, std::ios::in | std::ios::binary)) {
        tracks.track(name).clear();
        return true;
    }
    std::string error;
    if (!tarnix::sync::readTrackFile(stream.readFile(), stream.getLength(), tracks.track(name), error)) {
        std::fprintf(stderr, "tarnix: %s: %s; the code's value stays\n", file.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace

const std::vector<TunedValue>& tunedValues() {
    static const std::vector<TunedValue> values = {
        {"title:near", "the near plane of the title's projection in the opening", 1},
        {"opening:jitter ms", "how often the title's frame jumps from 6.7 s, ms (1200 calm)", 400},
        {"sphere:distance", "how far the opening's sphere is, units", 5},
        {"sphere:wobble", "the sphere's swing a step (60 a second), radians", 0.05f},
        {"head:distance", "how far the head is, units", 10},
        {"head:size", "the head's scale", 2},
        {"head:line width", "its wireframe's width, pixels", 6},
        {"middle:background", "the city's opacity, 0 to 1 (a fade in from 20.7 s and out from 35 s)", 0},
        {"cloud:spread", "how far the cloud has grown (its particles' distance over their speed, from 24.7 s)", 0},
        {"cloud:size", "the cloud's particles' size", 30},
        {"cloud:distance", "how far the cloud is, units", 17},
        {"cloud:spin", "the cloud turned about the vertical, degrees", 0},
        {"tunnel:speed", "the tunnel's pace, times the code's", 1},
        {"closing:picture ms", "how long a closing picture stays, ms (2400 calm)", 400},
        {"scroller:speed", "the scroller's travel a step (60 a second), units", 4},
        {"scroller:height", "the scroller's line, in the 320 x 240 view", 100},
        {"scroller:wobble", "how far the scroller swings up and down, units", 25},
    };
    return values;
}

float tuned(const char* name, unsigned t, float codeValue) { return tarnix::sync::tracks().value(name, t, codeValue); }

void loadTunedTracks() {
    tarnix::sync::TrackSet& tracks = tarnix::sync::tracks();
    tracks.setRowRate(musicBeatsPerMinute, rowsPerBeat);
    for (const TunedValue& value : tunedValues()) {
        tracks.track(value.name);
        loadTrackFileOf(value.name);
    }
}

bool reloadTrackFile(const char* name) {
    for (const TunedValue& value : tunedValues())
        if (tarnix::sync::trackFileName(trackFileBase, value.name) == name)
            return loadTrackFileOf(value.name);
    std::fprintf(stderr, "tarnix: %s: no tuned value has this track file\n", name);
    return false;
}
