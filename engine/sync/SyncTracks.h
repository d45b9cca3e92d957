#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Sync tracks: named curves of keys a demo reads its values from at the
// current row, as a sync tracker edits them. Rows follow the demo time at a
// rate the demo sets from its music (beats a minute × rows a beat). A value
// whose track has no keys is the code's own.

namespace tarnix::sync {

// How a key's value goes on to the next key's: held, in a straight line, in
// an S (t²(3 − 2t)), or speeding up (t²). The numbers are the protocol's and
// the track files'.
enum class Interpolation : std::uint8_t { step = 0, linear = 1, smooth = 2, ramp = 3 };

struct Key {
    std::uint32_t row = 0;
    float value = 0;
    Interpolation interpolation = Interpolation::step;
};

class Track {
public:
    // Sets the key at its row, replacing one there.
    void setKey(const Key& key);
    // Removes the key at `row`; false when there is none.
    bool deleteKey(std::uint32_t row);
    void clear();
    bool empty() const;
    const std::vector<Key>& keys() const;
    // The value at a fractional row: before the first key the first key's
    // value, after the last the last key's, between two keys the first's
    // interpolation towards the second; 0 without keys.
    double valueAt(double row) const;

private:
    std::vector<Key> sorted;  // by row, one key a row
};

// The tracks by name, in the order first asked for. Names are the editor's
// ("cloud:size": a group, a colon, a name).
class TrackSet {
public:
    // The track `name`, made (without keys) when new.
    Track& track(const std::string& name);
    // The track `name`, or null.
    const Track* find(const std::string& name) const;
    Track* find(const std::string& name);
    // Every name, in the order first asked for.
    const std::vector<std::string>& names() const;

    // The row rate: beats a minute × rows a beat.
    void setRowRate(double beatsPerMinute, unsigned rowsPerBeat);
    double rowsPerSecond() const;
    // The row at demo time `ms`, fractional; the first whole ms of a row,
    // where rowAt() rounded down is that row.
    double rowAt(std::uint64_t ms) const;
    std::uint64_t timeOfRow(std::uint32_t row) const;

    // Counts changes to the keys, for what keeps state made from them (the
    // motion grid adds some values up step by step): whoever changes keys
    // notes it.
    void noteChange();
    std::uint64_t revision() const;

    // The value of track `name` at demo time `ms`, or `codeValue` while the
    // track has no keys (or there is no such track).
    float value(const std::string& name, std::uint64_t ms, float codeValue) const;

private:
    std::map<std::string, Track> tracks;
    std::vector<std::string> order;
    double rowRate = 128.0 * 8 / 60;  // rows a second
    std::uint64_t changes = 0;
};

// The demo's tracks: the program's one set, which every copy of the demo's
// code reads.
TrackSet& tracks();

// ---- Track files ----
// One file a track, in the player format of the sync tracker's own library:
// a 32-bit key count, then 9 bytes a key (32-bit row, 32-bit IEEE float, one
// byte of interpolation), all little-endian.

// The file of track `name`: "BASE_NAME.track", every character of the name
// outside A-Z a-z 0-9 . _ / written as '-' and two upper-case hex digits
// ("cloud:size" under "sync" is "sync_cloud-3Asize.track"); a '/' makes a folder.
std::string trackFileName(const std::string& base, const std::string& name);

std::vector<unsigned char> trackFileBytes(const Track& track);

// Reads a track file's bytes into `track` (its keys replaced); false, with
// the reason in `error` and `track` untouched, for a file that is not one: a
// count the bytes do not hold, a row given twice or out of order, an
// interpolation past ramp, a value that is not a finite number.
bool readTrackFile(const unsigned char* bytes, std::size_t size, Track& track, std::string& error);

}  // namespace tarnix::sync
