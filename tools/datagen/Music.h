#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The demo's music: a small synthesizer (drums, bass, pad, lead) playing an
// arrangement that follows the timeline, and an Ogg Vorbis encoder.

namespace datagen {

// Interleaved stereo samples, -1 .. 1.
struct Audio {
    int rate = 44100;  // Hz
    std::vector<float> samples;
    double seconds() const { return samples.size() / 2.0 / rate; }
};

// About 64 seconds: a quiet opening, a build from 6.7 s, the main part from
// 18.7 s, a break at 50 s, the closing from 53 s. Both ends fade to silence,
// so the track loops without a click. Deterministic.
Audio composeDemoMusic();

// A stereo sine with white noise of the given amplitude mixed in (0: none).
Audio tone(double seconds, double frequency, double noise);

// Ogg Vorbis at the given quality (-0.1 .. 1), with a fixed stream serial so
// the same audio always gives the same bytes.
std::string encodeOgg(const Audio& audio, float quality);

}  // namespace datagen
