#include "engine/media/Pcm.h"

#include <algorithm>
#include <cstring>

namespace tarnix {

namespace {

std::uint32_t little32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t little16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The format chunk's fields the reader needs.
struct WaveFormat {
    int bits = 0;
};

bool readFormat(const unsigned char* body, std::size_t length, Pcm& pcm, WaveFormat& format, std::string& error) {
    if (length < 16) {
        error = "a WAVE format chunk cut short";
        return false;
    }
    if (little16(body) != 1) {
        error = "WAVE samples that are not PCM";
        return false;
    }
    pcm.channels = little16(body + 2);
    const std::uint32_t rate = little32(body + 4);
    pcm.rate = rate <= static_cast<std::uint32_t>(highestPcmRate) ? static_cast<int>(rate) : 0;
    format.bits = little16(body + 14);
    return true;
}

bool readSamples(const unsigned char* body, std::size_t length, const WaveFormat& format, Pcm& pcm, std::string& error) {
    if ((format.bits != 8 && format.bits != 16) || pcm.channels < 1 || pcm.channels > 2) {
        error = "a WAVE format other than 8 or 16 bits, one or two channels";
        return false;
    }
    if (pcm.rate < lowestPcmRate || pcm.rate > highestPcmRate) {
        error = "a WAVE sample rate outside " + std::to_string(lowestPcmRate) + " to " + std::to_string(highestPcmRate) +
                " Hz";
        return false;
    }
    const auto channels = static_cast<std::size_t>(pcm.channels);
    const std::size_t count = (format.bits == 16 ? length / 2 : length) / channels * channels;  // whole frames
    pcm.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        pcm.samples[i] = format.bits == 16 ? static_cast<std::int16_t>(little16(body + 2 * i))
                                           : static_cast<std::int16_t>((body[i] - 128) * 256);
    return true;
}

}  // namespace

bool decodeWave(const unsigned char* data, std::size_t size, Pcm& pcm, std::string& error) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a WAVE file";
        return false;
    }
    WaveFormat format;
    bool formatSeen = false;
    // Chunk by chunk; a chunk's length may claim more than the file holds.
    for (std::size_t at = 12; size - at >= 8;) {
        const std::size_t length = little32(data + at + 4);
        const unsigned char* body = data + at + 8;
        const std::size_t available = std::min(length, size - at - 8);
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (!readFormat(body, available, pcm, format, error))
                return false;
            formatSeen = true;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (!formatSeen) {
                error = "WAVE samples before their format";
                return false;
            }
            return readSamples(body, available, format, pcm, error);
        }
        if (length + (length & 1) > size - at - 8)
            break;
        at += 8 + length + (length & 1);
    }
    error = "a WAVE file without samples";
    return false;
}

std::vector<std::int16_t> stereoAtRate(const Pcm& pcm, int rate) {
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate <= 0 || rate <= 0)
        return {};
    const auto channels = static_cast<std::size_t>(pcm.channels);
    const std::size_t frames = pcm.samples.size() / channels;
    const auto outFrames = static_cast<std::size_t>(static_cast<double>(frames) * rate / pcm.rate);
    std::vector<std::int16_t> out(outFrames * 2);
    for (std::size_t k = 0; k < outFrames; ++k) {
        const std::size_t source =
            std::min(frames - 1, static_cast<std::size_t>(static_cast<double>(k) * pcm.rate / rate));
        out[2 * k] = pcm.samples[source * channels];
        out[2 * k + 1] = pcm.samples[source * channels + (channels - 1)];
    }
    return out;
}

}  // namespace tarnix
