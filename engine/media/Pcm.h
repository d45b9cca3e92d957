#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Sound as 16-bit samples, and the WAV reader of the browser's mixer (which
// has no SDL_mixer to read its files): the engine's sounds decoded in the
// program, then brought to the device's rate and to stereo.

namespace tarnix {

struct Pcm {
    std::vector<std::int16_t> samples;  // interleaved, `channels` a frame
    int channels = 0;                   // 1 or 2
    int rate = 0;                       // frames a second
};

// The sample rates a sound may have, frames a second: bounds on what a
// sound of a few megabytes may grow to at the device's rate.
inline constexpr int lowestPcmRate = 8000;
inline constexpr int highestPcmRate = 192000;

// A RIFF WAVE file of PCM samples, 8 or 16 bits, one or two channels, at a
// rate within the bounds above; a data chunk cut short keeps the whole frames
// there are. False, with the reason in `error`, for anything else.
bool decodeWave(const unsigned char* data, std::size_t size, Pcm& pcm, std::string& error);

// `pcm` (one or two channels, its rate within the bounds) as stereo at
// `rate`, each output frame the source's frame at or before its place, as
// SDL's own converter does for these rates.
std::vector<std::int16_t> stereoAtRate(const Pcm& pcm, int rate);

}  // namespace tarnix
