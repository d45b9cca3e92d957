#include "tools/datagen/Music.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace datagen {

namespace {

const double pi = 3.14159265358979323846;

// A small deterministic generator (xorshift), so no run depends on rand().
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state(seed ? seed : 1) {}
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state) / 4294967296.0f * 2 - 1;
    }

private:
    std::uint32_t state;
};

double noteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// ---- Instruments: each adds one note into the stereo buffer ----

struct Mix {
    std::vector<float>& samples;
    int rate;

    template <typename Voice>
    void add(double start, double seconds, float pan, float gain, Voice voice) {
        const long first = static_cast<long>(start * rate);
        const long count = static_cast<long>(seconds * rate);
        const long frames = static_cast<long>(samples.size() / 2);
        for (long i = 0; i < count && first + i < frames; ++i) {
            const float value = gain * voice(static_cast<double>(i) / rate);
            samples[2 * (first + i)] += value * (1 - pan);
            samples[2 * (first + i) + 1] += value * (1 + pan);
        }
    }
};

void kick(Mix& mix, double at) {
    mix.add(at, 0.35, 0, 0.9f, [](double t) {
        const double phase = 2 * pi * (50 * t + 90 * (1 - std::exp(-t * 30)) / 30);
        return static_cast<float>(std::sin(phase) * std::exp(-t * 9));
    });
}

void snare(Mix& mix, double at, Noise& noise) {
    mix.add(at, 0.25, 0.1f, 0.45f, [&noise](double t) {
        const double body = std::sin(2 * pi * 190 * t) * std::exp(-t * 25);
        return static_cast<float>((0.6 * noise.next() + 0.5 * body) * std::exp(-t * 14));
    });
}

void hat(Mix& mix, double at, Noise& noise, float gain) {
    float previous = 0;
    mix.add(at, 0.06, -0.3f, gain, [&noise, previous](double t) mutable {
        const float white = noise.next();
        const float high = white - previous;  // a crude high-pass: hats are all hiss
        previous = white;
        return static_cast<float>(high * std::exp(-t * 60));
    });
}

void bass(Mix& mix, double at, double seconds, int midi, float brightness) {
    const double frequency = noteFrequency(midi);
    float low = 0;
    mix.add(at, seconds, 0, 0.35f, [frequency, brightness, seconds, low](double t) mutable {
        const double saw = 2 * std::fmod(frequency * t, 1.0) - 1;
        low += brightness * (static_cast<float>(saw) - low);  // one-pole low-pass
        const double envelope = std::min(1.0, t * 200) * std::min(1.0, (seconds - t) * 60);
        return static_cast<float>(low * envelope);
    });
}

void lead(Mix& mix, double at, double seconds, int midi, float pan) {
    const double frequency = noteFrequency(midi);
    mix.add(at, seconds, pan, 0.16f, [frequency, seconds](double t) {
        const double vibrato = 1 + 0.004 * std::sin(2 * pi * 5.5 * t) * std::min(1.0, t * 4);
        const double pulse = std::fmod(frequency * vibrato * t, 1.0) < 0.3 ? 1.0 : -1.0;
        const double envelope = std::min(1.0, t * 80) * std::exp(-t * 1.5) * std::min(1.0, (seconds - t) * 40);
        return static_cast<float>(pulse * envelope);
    });
}

void pad(Mix& mix, double at, double seconds, const std::vector<int>& chord, float gain) {
    for (std::size_t n = 0; n < chord.size(); ++n) {
        const double frequency = noteFrequency(chord[n]);
        const float pan = static_cast<float>(n) / chord.size() - 0.5f;
        mix.add(at, seconds, pan, gain, [frequency, seconds](double t) {
            double value = 0;
            for (double detune : {0.997, 1.0, 1.004})
                value += std::sin(2 * pi * frequency * detune * t + detune * 7);
            const double envelope = std::min(1.0, t / 0.8) * std::min(1.0, (seconds - t) / 0.8);
            return static_cast<float>(value / 3 * envelope);
        });
    }
}

// ---- Arrangement ----

const double beat = 60.0 / 128;  // seconds a beat at 128 beats a minute
const double length = 64.0;      // seconds

enum class Part { opening, build, main, brk, closing };

Part partAt(double t) {
    if (t < 6.7)
        return Part::opening;
    if (t < 18.7)
        return Part::build;
    if (t < 50.0)
        return Part::main;
    if (t < 53.0)
        return Part::brk;
    return Part::closing;
}

// A minor progression, one chord a bar: Am F C G.
const int chordRoots[4] = {57, 53, 48, 55};
const std::vector<int> chords[4] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};
const int melody[16] = {76, 74, 72, 74, 76, 76, 76, 0, 74, 74, 74, 0, 76, 79, 79, 0};

}  // namespace

Audio composeDemoMusic() {
    Audio audio;
    audio.samples.assign(static_cast<std::size_t>(length * audio.rate) * 2, 0.0f);
    Mix mix{audio.samples, audio.rate};
    Noise noise(0x7A71);

    const double bar = 4 * beat;
    for (int b = 0; b * bar < length; ++b)
        pad(mix, b * bar, bar + 0.6, chords[b % 4], partAt(b * bar) == Part::main ? 0.05f : 0.09f);

    const int steps = static_cast<int>(length / (beat / 4));
    for (int s = 0; s < steps; ++s) {
        const double at = s * beat / 4;
        const Part part = partAt(at);
        const int step = s % 16;
        const int chord = (s / 16) % 4;
        if (part == Part::opening) {
            if (step % 4 == 0)
                lead(mix, at, beat * 0.9, chords[chord][(s / 4) % 3] + 12, 0.4f);
            continue;
        }
        if (part == Part::brk) {
            if (step % 8 == 0)
                hat(mix, at, noise, 0.2f);
            continue;
        }
        const float rise = part == Part::build ? static_cast<float>((at - 6.7) / 12.0) : 1.0f;
        if (step % 2 == 0)
            bass(mix, at, beat / 2 * 0.9, chordRoots[chord] - 12 + (step % 8 == 6 ? 12 : 0), 0.02f + 0.2f * rise);
        hat(mix, at, noise, (step % 2 ? 0.12f : 0.2f) * rise);
        if (part == Part::build) {
            if (step % 4 == 0 && at > 12.7)
                kick(mix, at);
            continue;
        }
        if (step % 4 == 0)
            kick(mix, at);
        if (step == 4 || step == 12)
            snare(mix, at, noise);
        const int note = melody[step];
        if (note && (part == Part::closing || (s / 16) % 8 >= 4))
            lead(mix, at, beat / 2, note + (part == Part::closing ? 0 : -12), -0.3f);
    }

    // Gentle compression, then a fade at both ends so the loop has no click.
    const std::size_t frames = audio.samples.size() / 2;
    const std::size_t fade = static_cast<std::size_t>(0.05 * audio.rate);
    for (std::size_t i = 0; i < frames; ++i) {
        const float edge = static_cast<float>(std::min({i, frames - 1 - i, fade})) / fade;
        for (int c = 0; c < 2; ++c) {
            float& value = audio.samples[2 * i + c];
            value = std::tanh(value * 1.2f) * 0.85f * edge;
        }
    }
    return audio;
}

Audio tone(double seconds, double frequency, double noise) {
    Audio audio;
    const std::size_t frames = static_cast<std::size_t>(seconds * audio.rate);
    audio.samples.resize(frames * 2);
    Noise white(1234);
    for (std::size_t i = 0; i < frames; ++i) {
        const double value = 0.4 * std::sin(2 * pi * frequency * i / audio.rate);
        audio.samples[2 * i] = static_cast<float>(value + noise * 0.5 * white.next());
        audio.samples[2 * i + 1] = static_cast<float>(value + noise * 0.5 * white.next());
    }
    return audio;
}

std::string encodeOgg(const Audio& audio, float quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 2, audio.rate, quality);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x54524E58);  // a fixed serial: the same audio gives the same bytes

    std::string out;
    ogg_page page;
    auto appendPage = [&out, &page] {
        out.append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page))
        appendPage();

    auto encodeBlocks = [&] {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page))
                    appendPage();
            }
        }
    };
    const long frames = static_cast<long>(audio.samples.size() / 2);
    const long chunk = 1024;
    for (long start = 0; start < frames; start += chunk) {
        const long count = std::min(chunk, frames - start);
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        for (long i = 0; i < count; ++i) {
            buffer[0][i] = audio.samples[2 * (start + i)];
            buffer[1][i] = audio.samples[2 * (start + i) + 1];
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        encodeBlocks();
    }
    vorbis_analysis_wrote(&dsp, 0);  // end of stream
    encodeBlocks();
    while (ogg_stream_flush(&stream, &page))
        appendPage();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

}  // namespace datagen
