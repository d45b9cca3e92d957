#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Media files made inside the tests, so that no test depends on files kept in
// the repository.

namespace testsupport {

// A PNG written by libpng. `samples` holds the rows top first, each row
// width × channels samples of `bitDepth` bits (8 or 16; 16-bit samples are
// written big-endian as PNG stores them). colorType is a PNG_COLOR_TYPE_*;
// compressionLevel is zlib's (-1: libpng's default).
std::string pngBytes(int width, int height, int colorType, int bitDepth, const std::vector<std::uint16_t>& samples,
                     const std::vector<std::uint8_t>& palette = {}, int compressionLevel = -1);

// 16-bit stereo PCM WAV at 44100 Hz: a sine of the given frequency.
std::string wavBytes(double seconds, double frequency);

// Ogg Vorbis (libvorbisenc) of a stereo 44100 Hz sine, with white noise of
// the given amplitude (0..1) mixed in when asked (it makes the file as large as
// real music is).
std::string oggBytes(double seconds, double frequency, double noise = 0.0);

// MPEG-1 Layer III frames of silence (128 kbit/s, 44100 Hz).
std::string mp3Bytes(int frames);

}  // namespace testsupport
