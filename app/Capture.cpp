#include "app/Capture.h"

#include "app/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/io/FileSystem.h"
#include "engine/media/PngWriter.h"
#include "engine/media/Sound.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

const int escapeKey = 27;
const int frameCompression = 1;  // fast: thousands of frames; still the same bytes every time

// The finished frame, read before it is presented and written top row first.
class FrameWriter {
public:
    FrameWriter(int frameWidth, int frameHeight)
        : width(frameWidth), height(frameHeight), pixels(static_cast<std::size_t>(width) * height * 3), rows(pixels.size()) {}

    void read() {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    }

    bool write(const std::string& path, std::string& error) {
        const std::size_t stride = static_cast<std::size_t>(width) * 3;
        for (int y = 0; y < height; ++y)
            std::memcpy(&rows[y * stride], &pixels[(height - 1 - y) * stride], stride);
        return tarnix::writePngFile(path, width, height, 3, rows.data(), frameCompression, error);
    }

private:
    int width, height;
    std::vector<unsigned char> pixels;  // bottom row first, as OpenGL reads it
    std::vector<unsigned char> rows;    // top row first, as a PNG stores it
};

void putLittleEndian(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The music as the demo plays it from `fromMs` for `frames` sample frames:
// the track from the demo's start, looping; silence without one.
std::vector<std::int16_t> musicFor(const std::vector<std::int16_t>& track, unsigned fromMs, std::size_t frames,
                                   int rate, int channels) {
    std::vector<std::int16_t> out;
    if (track.size() < static_cast<std::size_t>(channels)) {
        out.assign(frames * channels, 0);
        return out;
    }
    const std::size_t trackFrames = track.size() / channels;
    std::size_t position = static_cast<std::size_t>(static_cast<unsigned long long>(fromMs) * rate / 1000 % trackFrames);
    out.resize(frames * channels);
    for (std::size_t i = 0; i < frames; ++i, position = (position + 1) % trackFrames)
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = track[position * channels + c];
    return out;
}

}  // namespace

std::uint64_t frameTime(unsigned startMs, unsigned fps, unsigned long k) {
    return startMs + static_cast<std::uint64_t>(k) * 1000 / fps;
}

void skipFramesBefore(unsigned startMs, unsigned fps) {
    for (unsigned long k = 0;; ++k) {
        const std::uint64_t t = frameTime(0, fps, k);
        if (t >= startMs)
            break;
        skipFrame(static_cast<unsigned>(t));
    }
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate, int channels) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    putLittleEndian(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2);  // PCM
    putLittleEndian(out, static_cast<std::uint32_t>(channels), 2);
    putLittleEndian(out, static_cast<std::uint32_t>(rate), 4);
    putLittleEndian(out, static_cast<std::uint32_t>(rate * channels * 2), 4);
    putLittleEndian(out, static_cast<std::uint32_t>(channels * 2), 2);
    putLittleEndian(out, 16, 2);
    out.write("data", 4);
    putLittleEndian(out, dataBytes, 4);
    for (std::int16_t sample : samples)
        putLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    out.close();
    return static_cast<bool>(out);
}

bool runCapture(const DemoOptions& options, VirtualClock& clock) {
    const std::string& directory = options.captureDirectory;
    if (tarnix::pathKind(directory) != tarnix::PathKind::directory && mkdir(directory.c_str(), 0777) != 0) {
        std::fprintf(stderr, "tarnix: %s: cannot make the capture directory: %s\n", directory.c_str(),
                     std::strerror(errno));
        return false;
    }
    skipFramesBefore(options.startMs, options.framesPerSecond);

    FrameWriter frame(tarnix::window.getWidth(), tarnix::window.getHeight());
    tarnix::setFrameObserver([&frame] { frame.read(); });
    unsigned long count = 0;
    bool written = true;
    for (;; ++count) {
        const std::uint64_t time = frameTime(options.startMs, options.framesPerSecond, count);
        if (time > options.untilMs)
            break;
        const auto t = static_cast<unsigned>(time);
        clock.now = t;
        tarnix::timer.setTime(t);
        draw();
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05lu.png", count);
        std::string error;
        if (!frame.write(directory + name, error)) {
            std::fprintf(stderr, "tarnix: %s%s: %s\n", directory.c_str(), name, error.c_str());
            written = false;
            break;
        }
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == escapeKey)
            break;
    }
    tarnix::setFrameObserver(nullptr);

    // The sound lasts as long as the frames: `count` frames at the capture's rate.
    int rate = 44100, channels = 2;
    std::vector<std::int16_t> track;
    tarnix::sound.musicSamples(0, track, rate, channels);
    const auto frames = static_cast<std::size_t>(static_cast<unsigned long long>(count) * rate / options.framesPerSecond);
    const std::vector<std::int16_t> music = musicFor(track, options.startMs, frames, rate, channels);
    if (!writeWav(directory + "/sound.wav", music, rate, channels)) {
        std::fprintf(stderr, "tarnix: %s/sound.wav: cannot write the sound\n", directory.c_str());
        return false;
    }
    return written;
}
