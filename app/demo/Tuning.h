#pragma once

// The demo's values a maker tunes with a sync editor instead of in code: each
// is a sync track ("cloud:size": a group, a colon, a name) read at the row of
// the demo time, and keeps the code's own value while its track has no keys,
// so that the demo as shipped draws what the code says. The tracks' keys come
// from the track files in data/ (sync_GROUP-3ANAME.track, in the pack or, in
// the development mode, beside it) and from an editor connected to the
// development mode.

#include <vector>

struct TunedValue {
    const char* name;     // the track's
    const char* meaning;  // what it sets, and its unit
    float codeValue;      // the code's own, for the table (some are curves of the time instead)
};

// Every tuned value, in the order an editor lists them.
const std::vector<TunedValue>& tunedValues();

// The value of track `name` at demo time `t` (ms), or `codeValue` while the
// track has no keys.
float tuned(const char* name, unsigned t, float codeValue);

// The rows' rate (the music's 128 beats a minute, 8 rows a beat), every
// tuned track made (so that an editor is asked for each), and the keys of
// each from its track file where there is one; a track file that cannot be
// read is named in one line, and its value stays the code's.
void loadTunedTracks();
// Loads the track file `name` ("sync_cloud-3Asize.track") again; false, with
// a line, when it cannot be read.
bool reloadTrackFile(const char* name);
