#include "engine/sync/SyncTracks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarnix::sync {

// ---- Track ----

namespace {

bool beforeRow(const Key& key, std::uint32_t row) { return key.row < row; }

// How far between two keys (0 to 1) the value has gone, by the first key's
// interpolation.
double eased(Interpolation interpolation, double t) {
    switch (interpolation) {
    case Interpolation::step: return 0;
    case Interpolation::linear: return t;
    case Interpolation::smooth: return t * t * (3 - 2 * t);
    case Interpolation::ramp: return t * t;
    }
    return 0;
}

}  // namespace

void Track::setKey(const Key& key) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), key.row, beforeRow);
    if (at != sorted.end() && at->row == key.row)
        *at = key;
    else
        sorted.insert(at, key);
}

bool Track::deleteKey(std::uint32_t row) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), row, beforeRow);
    if (at == sorted.end() || at->row != row)
        return false;
    sorted.erase(at);
    return true;
}

void Track::clear() { sorted.clear(); }

bool Track::empty() const { return sorted.empty(); }

const std::vector<Key>& Track::keys() const { return sorted; }

double Track::valueAt(double row) const {
    if (sorted.empty())
        return 0;
    if (row <= sorted.front().row)
        return sorted.front().value;
    if (row >= sorted.back().row)
        return sorted.back().value;
    // The last key at or before the row; the one after it is past the row.
    const auto next = std::upper_bound(sorted.begin(), sorted.end(), row,
                                       [](double at, const Key& key) { return at < key.row; });
    const Key& from = *(next - 1);
    const Key& to = *next;
    if (from.interpolation == Interpolation::step)
        return from.value;
    const double t = (row - from.row) / (to.row - from.row);
    return from.value + (to.value - from.value) * eased(from.interpolation, t);
}

// ---- TrackSet ----

Track& TrackSet::track(const std::string& name) {
    const auto found = tracks.find(name);
    if (found != tracks.end())
        return found->second;
    order.push_back(name);
    return tracks[name];
}

const Track* TrackSet::find(const std::string& name) const {
    const auto found = tracks.find(name);
    return found == tracks.end() ? nullptr : &found->second;
}

Track* TrackSet::find(const std::string& name) {
    const auto found = tracks.find(name);
    return found == tracks.end() ? nullptr : &found->second;
}

const std::vector<std::string>& TrackSet::names() const { return order; }

void TrackSet::setRowRate(double beatsPerMinute, unsigned rowsPerBeat) { rowRate = beatsPerMinute * rowsPerBeat / 60; }

double TrackSet::rowsPerSecond() const { return rowRate; }

double TrackSet::rowAt(std::uint64_t ms) const { return static_cast<double>(ms) * rowRate / 1000; }

// The first whole ms whose row is `row`: rowAt() of it, rounded down, is the
// row again, and of the ms before it is the row before.
std::uint64_t TrackSet::timeOfRow(std::uint32_t row) const {
    auto ms = static_cast<std::uint64_t>(std::ceil(row * 1000.0 / rowRate));
    while (ms > 0 && std::floor(rowAt(ms - 1)) >= row)
        --ms;
    while (std::floor(rowAt(ms)) < row)
        ++ms;
    return ms;
}

void TrackSet::noteChange() { ++changes; }

std::uint64_t TrackSet::revision() const { return changes; }

float TrackSet::value(const std::string& name, std::uint64_t ms, float codeValue) const {
    const Track* found = find(name);
    if (!found || found->empty())
        return codeValue;
    return static_cast<float>(found->valueAt(rowAt(ms)));
}

TrackSet& tracks() {
    static TrackSet demoTracks;
    return demoTracks;
}

// ---- Track files ----

namespace {

bool keptAsIs(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '/';
}

void putLittle32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::uint32_t little32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

const std::size_t keyBytes = 9;

}  // namespace

std::string trackFileName(const std::string& base, const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string file = base + "_";
    for (char c : name) {
        if (keptAsIs(c)) {
            file += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            file += '-';
            file += hex[byte >> 4];
            file += hex[byte & 15];
        }
    }
    return file + ".track";
}

std::vector<unsigned char> trackFileBytes(const Track& track) {
    std::vector<unsigned char> out;
    out.reserve(4 + track.keys().size() * keyBytes);
    putLittle32(out, static_cast<std::uint32_t>(track.keys().size()));
    for (const Key& key : track.keys()) {
        putLittle32(out, key.row);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &key.value, sizeof bits);
        putLittle32(out, bits);
        out.push_back(static_cast<unsigned char>(key.interpolation));
    }
    return out;
}

bool readTrackFile(const unsigned char* bytes, std::size_t size, Track& track, std::string& error) {
    if (size < 4) {
        error = "a track file shorter than its key count";
        return false;
    }
    const std::uint32_t count = little32(bytes);
    if ((size - 4) / keyBytes != count || (size - 4) % keyBytes != 0) {
        error = "a track file of " + std::to_string(count) + " keys in " + std::to_string(size) + " bytes";
        return false;
    }
    Track read;
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* at = bytes + 4 + i * keyBytes;
        Key key;
        key.row = little32(at);
        const std::uint32_t bits = little32(at + 4);
        std::memcpy(&key.value, &bits, sizeof key.value);
        if (at[8] > static_cast<unsigned char>(Interpolation::ramp)) {
            error = "key " + std::to_string(i) + " has interpolation " + std::to_string(at[8]) + ", past ramp (3)";
            return false;
        }
        key.interpolation = static_cast<Interpolation>(at[8]);
        if (!std::isfinite(key.value)) {
            error = "key " + std::to_string(i) + " holds no finite number";
            return false;
        }
        if (i > 0 && key.row <= read.keys().back().row) {
            error = "key " + std::to_string(i) + " is at row " + std::to_string(key.row) + ", not after the key before";
            return false;
        }
        read.setKey(key);
    }
    track = read;
    return true;
}

}  // namespace tarnix::sync
